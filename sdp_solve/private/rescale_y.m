function Y = rescale_y (T, Y)
% D*Y*D for the diagonal D that brings Y(r,r) to the values that the
% targets T (diagonal_targets) ask for: a congruence, which keeps Y in
% the cone. It multiplies Y(i,j) by t(i)*t(j), t(r) = sqrt(target /
% Y(r,r)), about 1 + e(r)/2 where Y(r,r) falls short by a share e(r):
% those equalities then hold to the rounding of Y's entries, and the
% other entries move by about Y(i,j)*(e(i) + e(j))/2
  for k = 1:numel (Y.b)
    p = T.b{k}.p;
    if (isempty (p))
      continue;
    end
    B = Y.b{k};
    t = ones (size (B, 1), 1);
    held = full (B(p + (p - 1) * size (B, 1)));
    ok = held > 0;
    t(p(ok)) = sqrt (T.b{k}.y(ok) ./ held(ok));
    % (t(i)*B(i,j))*t(j) and (t(j)*B(j,i))*t(i) may round apart
    if (issparse (B))
      D = spdiags (t, 0, numel (t), numel (t));
      Y.b{k} = sym_part (D * B * D);
    else
      Y.b{k} = sym_part ((t .* B) .* t.');
    end
  end
  p = T.d.p;
  ok = Y.d(p) > 0;
  Y.d(p(ok)) = T.d.y(ok);
end

%!test
%! % a dense block, a group held sparse and a diagonal part: the asked
%! % diagonal entries reached, the others and Y's definiteness kept
%! F = {sparse(1, 1, 2, 6, 6), sparse(4, 4, 1, 6, 6), sparse(6, 6, 3, 6, 6), ...
%!      sparse([2 3], [3 2], [1 1], 6, 6), sparse(5, 5, -1, 6, 6), sparse(2, 2, 1, 6, 6), ...
%!      sparse(2, 2, 1, 6, 6)};
%! c = [4; 0.5; 6; 1; 1; 2; 3];
%! P.m = 6;
%! P.blk = struct ('idx', {[1 2 3], [4 5]});
%! P.diag.idx = 6;
%! T = diagonal_targets (P, F, c);
%! % Y(1,1) = 2 and Y(4,4) = 0.5; Y(5,5) asked for -1 and Y(2,2) twice:
%! % both left out
%! assert (T.b{1}.p, 1);
%! assert (T.b{2}.p, 1);
%! A = [3 1 1; 1 2 0.5; 1 0.5 2];
%! Y.b = {A, sparse([1 0.3; 0.3 2])};
%! Y.d = 1.5;
%! Z = rescale_y (T, Y);
%! assert ([Z.b{1}(1, 1), Z.b{2}(1, 1), Z.d], [2 0.5 2], 1e-15);
%! assert (Z.b{1}(2:3, 2:3), A(2:3, 2:3));
%! assert (Z.b{1}(1, 2:3) ./ A(1, 2:3), sqrt (2 / 3) * [1 1], 1e-15);
%! assert (issparse (Z.b{2}) && Z.b{2}(2, 2) == 2);
%! assert (all (eig (Z.b{1}) > 0));
%! assert (isequal (Z.b{1}, Z.b{1}.') && isequal (Z.b{2}, Z.b{2}.'));
%! % exactly symmetric where the two products of an entry round apart
%! B = reshape (sin (1:400), 20, 20);
%! B = B * B.' + eye (20);
%! Tb.b = {struct('p', (1:20)', 'y', 1 + (1:20)' / 7)};
%! Tb.d = struct ('p', zeros (0, 1), 'y', zeros (0, 1));
%! X.b = {B};
%! X.d = zeros (0, 1);
%! S = rescale_y (Tb, X);
%! assert (isequal (S.b{1}, S.b{1}.'));
%! assert (isempty (diagonal_targets (P, F(4), c(4))));
