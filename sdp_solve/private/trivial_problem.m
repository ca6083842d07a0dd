function [done, x, Y, nu, info] = trivial_problem (F, c, P, F0b, x, Y, nu, info, numbers, small)
% The problems decided before the iteration. A constraint that no Y
% meets, F{i} = 0 with c(i) nonzero, certifies dual infeasibility: x =
% -e(i)/c(i), for the largest such |c(i)|, has c'*x = -1 and a sum of 0.
% Where every F{i} is 0 (and so, those left, every c(i)), Z = -F0
% whatever x: x = 0 and Y = 0 solve the problem when F0's largest
% eigenvalue is at most small (the rounding of -F0 >= 0; the measures of
% the point then say how well), and otherwise Y = v*v'/(v'*F0*v), v its
% eigenvector, certifies primal infeasibility. F0b is F0 block by block
% (P's blocks), and Y is given back so too; numbers holds the user's
% numbers of the constraints.
  done = false;
  zero = reshape (cellfun (@nnz, F), [], 1) == 0;
  cost = abs (c(:)) .* zero;
  [top, i] = max ([0; cost]);
  if (top > 0)
    i = i - 1;
    x(:) = 0;
    x(i) = -1 / c(i);
    if (~isfinite (x(i)))
      % c(i) below 1/realmax: c'*x = -realmax*|c(i)|, negative still
      x(i) = -sign (c(i)) * realmax;
    end
    Y = block_map (@(y) zeros (size (y)), @(y) zeros (size (y)), Y);
    [done, info.status, info.pobj, info.dobj] = deal (true, 'dual infeasible', -1, 0);
    info.message = sprintf ('F{%d} = 0 with c(%d) nonzero: no Y meets F{%d}.Y = c(%d)', ...
                            numbers(i) * [1 1 1 1]);
    return;
  end
  if (~all (zero))
    return;
  end
  % F0's largest eigenvalue, block by block
  [top, where, v] = deal (-Inf, 0, []);
  for k = 1:numel (F0b.b)
    [V, E] = eig (full (F0b.b{k} + F0b.b{k}.') / 2);
    [e, j] = max (diag (E));
    if (e > top)
      [top, where, v] = deal (e, k, V(:, j));
    end
  end
  [e, j] = max ([-Inf; F0b.d(:)]);
  if (e > top)
    [top, where, v] = deal (e, 0, j - 1);
  end
  x(:) = 0;
  nu = 0;
  Y = block_map (@(y) zeros (size (y)), @(y) zeros (size (y)), Y);
  done = true;
  if (top <= small)
    info.message = 'every F{i} is 0, and -F0 >= 0';
    return;
  end
  [info.status, info.pobj, info.dobj] = deal ('primal infeasible', 0, 1);
  info.message = 'every F{i} is 0, and Y >= 0 with F0.Y = 1: no x gives Z = -F0 >= 0';
  if (where > 0)
    Y.b{where} = (v * v.') / top;
  else
    Y.d(v) = 1 / top;
  end
end

%!test
%! % F{2} = 0 with c(2) = 3: dual infeasible at once, x = -e(2)/3
%! F = {speye(2), sparse(2, 2)};
%! P = split_problem (F, -speye (2), find_blocks (F, -speye (2)));
%! F0b = struct ('b', {{}}, 'd', [-1; -1]);
%! Y = struct ('b', {{}}, 'd', [1; 1]);
%! [done, x, ~, ~, info] = trivial_problem (F, [1; 3], P, F0b, [5; 5], Y, 1, struct (), [1 4], 0);
%! assert (done);
%! assert (x, [0; -1/3]);
%! assert (info.status, 'dual infeasible');
%! assert (info.message, 'F{4} = 0 with c(4) nonzero: no Y meets F{4}.Y = c(4)');
%! % a cost whose inverse overflows: x finite, c'*x < 0 still
%! [done, x] = trivial_problem (F, [1; -1e-310], P, F0b, [5; 5], Y, 1, struct (), [1 2], 0);
%! assert (x, [0; realmax]);
%!test
%! % every F{i} 0: solved by x = 0, Y = 0 where -F0 >= 0; otherwise Y of
%! % F0.Y = 1 from the eigenvector of F0's largest eigenvalue, in a block
%! % or in the diagonal part
%! F = {sparse(3, 3)};
%! for F0 = {-sparse([2 1 0; 1 2 0; 0 0 1]), sparse([2 1 0; 1 2 0; 0 0 -1]), sparse([-2 1 0; 1 -2 0; 0 0 4])}
%!   P = split_problem (F, F0{1}, find_blocks (F, F0{1}));
%!   F0b = struct ('b', {{P.blk.F0}}, 'd', P.diag.f0);
%!   Y = block_eye (P, 2);
%!   [done, x, Y, nu, info] = trivial_problem (F, 0, P, F0b, 1, Y, 1, struct ('status', 'not solved'), 1, 0);
%!   assert (done && x == 0 && nu == 0);
%!   Yf = full (block_matrix (P, Y));
%!   if (all (eig (full (F0{1})) <= 0))
%!     assert (Yf, zeros (3));
%!     assert (info.status, 'not solved');
%!   else
%!     assert (info.status, 'primal infeasible');
%!     assert (min (eig (Yf)) >= -eps);
%!     assert (sum (sum (F0{1} .* Yf)), 1, 1e-12);
%!   end
%! end
