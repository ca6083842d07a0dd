function x = solve_schur (M, RM, b, C)
% M*x = b by the Cholesky factor RM of M, with iterative refinement while
% the residual is above the rounding of forming it (8*eps*trace(M)*|x|,
% trace(M) bounding M's norm), C.refinement times at most. The factor is
% passed to linsolve as triangular: the backslash operator tests each
% matrix for its structure and estimates its condition first, which
% takes longer than the solve at the orders of theta's Schur complement
  upper = struct ('UT', true);
  upper_t = struct ('UT', true, 'TRANSA', true);
  x = linsolve (RM, linsolve (RM, b, upper_t), upper);
  scale = 8 * eps * sum (diag (M));
  for k = 1:C.refinement
    r = b - M * x;
    if (norm (r) <= scale * norm (x))
      break;
    end
    x = x + linsolve (RM, linsolve (RM, r, upper_t), upper);
  end
end

%!test
%! % a well-conditioned and an ill-conditioned M: the residual at the
%! % rounding of forming it, and the solution of the first to its digits
%! C = solver_constants ();
%! n = 300;
%! [Q, ~] = qr (reshape (sin (1:n*n), n, n));
%! b = cos (1:n).';
%! for spread = [2, 12]
%!   M = Q * diag (logspace (0, spread, n)) * Q.';
%!   M = (M + M.') / 2;
%!   x = solve_schur (M, chol (M), b, C);
%!   assert (norm (b - M * x) <= 100 * eps * norm (M) * norm (x));
%! end
%! M = Q * diag (logspace (0, 2, n)) * Q.';
%! M = (M + M.') / 2;
%! assert (solve_schur (M, chol (M), b, C), M \ b, 1e-12 * norm (M \ b));
