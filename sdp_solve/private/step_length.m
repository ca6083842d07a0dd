function a = step_length (P, X, R, Xinv, D, C, exact)
% the largest a with X + a*D positive semidefinite, over the blocks (Inf
% when D is positive semidefinite); R holds the blocks' Cholesky factors
% and Xinv the inverses that block_inverse gives for 'step'. Blocks of
% order lanczos_order or more have the smallest eigenvalue of inv(X)*D
% from Lanczos' method (by Xinv, or by solves with R where Xinv is
% empty), the members of a group of order 2 or 3 from the
% roots of their characteristic polynomials, a group of order
% group_eig_order at most with larger members (or exact) from one
% eigen-decomposition of the whole group, and the rest from a full
% eigen-decomposition; with exact, all of them from the last two
  if (nargin < 7)
    exact = false;
  end
  a = Inf;
  neg = D.d < 0;
  if (any (neg))
    a = min (-X.d(neg) ./ D.d(neg));
  end
  % the blocks outside groups that take a full eigen-decomposition first,
  % with as few statements a block as can be (truss8's 33 blocks of order
  % 19: the tests below, made for each, cost more than its arithmetic);
  % the least over the blocks is the same in any order
  members = {P.blk.members};
  plain = cellfun ('isempty', reshape (members, 1, []));
  if (~exact)
    plain = plain & cellfun ('size', reshape (X.b, 1, []), 1) < C.lanczos_order;
  end
  lmin = zeros (1, numel (X.b));
  for k = find (plain)
    T = R{k}.' \ (full (D.b{k}) / R{k});
    lmin(k) = min (eig ((T + T.') / 2));
  end
  if (any (lmin < 0))
    a = min ([a, -1 ./ lmin(lmin < 0)]);
  end
  for k = find (~plain)
    if (~isempty (P.blk(k).members) && (exact || any ([P.blk(k).pages.k] > 3)) && ...
        size (X.b{k}, 1) <= C.group_eig_order)
      % one eigen-decomposition of the whole group, block-diagonal, costs
      % less than one a member
      T = R{k}.' \ (D.b{k} / R{k});
      lmin = min (eig (full (T + T.') / 2));
    elseif (~isempty (P.blk(k).members))
      lmin = group_min (P.blk(k).pages, X.b{k}, Xinv.b{k}, D.b{k}, exact);
    else
      lmin = lanczos_min (X.b{k}, Xinv.b{k}, D.b{k}, C, R{k});
    end
    if (lmin < 0)
      a = min (a, -1 / lmin);
    end
  end
end

function lmin = group_min (pages, X, Xinv, D, exact)
  % the smallest eigenvalue of the pencil D*v = lambda*X*v over the
  % members of a group
  lmin = Inf;
  for c = 1:numel (pages)
    lin = pages(c).lin;
    Dp = reshape (full (D(lin)), size (lin));
    if (~exact && pages(c).k <= 3)
      lmin = min (lmin, min (page_min_eig (reshape (full (Xinv(lin)), size (lin)), Dp)));
    else
      Xp = reshape (full (X(lin)), size (lin));
      for j = 1:size (lin, 3)
        lmin = min (lmin, min (eig (Dp(:, :, j), Xp(:, :, j))));
      end
    end
  end
end

%!test
%! % a group of members of orders 4, 4 and 5, a block of order 6 of its own
%! % and a diagonal part: the step to the boundary of the definition, from
%! % the group's one eigen-decomposition, exact or not
%! orders = [4 4 5 6];
%! m = sum (orders) + 2;
%! S = @(A) A + A.';
%! F = {sparse(blkdiag (ones (4), ones (4), ones (5), ones (6), eye (2))), ...
%!      sparse(S(blkdiag (triu (ones (4)), eye (4), eye (5), triu (ones (6)), [1 0; 0 2])))};
%! P = split_problem (F, sparse (m, m), find_blocks (F, sparse (m, m)), 5);
%! assert (sort (cellfun (@numel, {P.blk.members})), [0 3]);
%! C = solver_constants ();
%! % fractional parts of multiples of irrationals: matrices of full rank
%! G = reshape (mod ((1:m*m) * 0.7548776662466927, 1) - 0.5, m, m);
%! H = reshape (mod ((1:m*m) * 0.5698402909980532, 1) - 0.5, m, m);
%! [Xf, Df] = deal (zeros (m));
%! first = 0;
%! for q = orders
%!   idx = first + (1:q);
%!   Xf(idx, idx) = G(idx, idx) * G(idx, idx).' + eye (q);
%!   % the group's step the shortest
%!   Df(idx, idx) = S(H(idx, idx)) * (1 + 9 * (q < 6));
%!   first = first + q;
%! end
%! d = P.diag.idx;
%! Xf(d, d) = diag ([1 2]);
%! Df(d, d) = diag ([-0.01 3]);
%! held = @(A) block_hold (P, struct ('b', {cellfun(@(b) A(b.idx, b.idx), num2cell (P.blk), ...
%!                                                 'UniformOutput', false)}, 'd', diag (A(d, d))));
%! X = held (Xf);
%! D = held (Df);
%! R = block_chol (X);
%! Xinv = block_map (@(x) inv (full (x)), @(x) 1 ./ x, X);
%! want = -1 / min (eig (Df, Xf));
%! g = P.blk(~cellfun (@isempty, {P.blk.members})).idx;
%! assert (want, -1 / min (eig (Df(g, g), Xf(g, g))), 1e-12 * want);
%! assert (step_length (P, X, R, Xinv, D, C), want, 1e-12 * want);
%! assert (step_length (P, X, R, Xinv, D, C, true), want, 1e-12 * want);
