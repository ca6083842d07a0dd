function x = solve_schur (M, RM, b, C)
% M*x = b by the Cholesky factor RM of M, with iterative refinement while
% the residual is above the rounding of forming it (8*eps*trace(M)*|x|,
% trace(M) bounding M's norm), C.refinement times at most; with M empty,
% RM'*RM = M comes from M's square root, and the solve is RM's alone.
% RM 'sdp_chol' is the factor that sdp_chol keeps
  s = C.solve_block;
  if (size (RM, 1) <= C.solve_whole)
    s = C.solve_whole;
  end
  x = solve_factor (RM, b, s);
  if (isempty (M))
    return;
  end
  scale = 8 * eps * sum (diag (M));
  for k = 1:C.refinement
    r = b - M * x;
    if (norm (r) <= scale * norm (x))
      break;
    end
    x = x + solve_factor (RM, r, s);
  end
end

function x = solve_factor (R, b, s)
  % inv(R)*inv(R')*b, R upper triangular, by blocks of s rows. Octave's
  % triangular solve (linsolve's, the backslash operator's) also
  % estimates the matrix's condition, which takes longer than the solve:
  % on the whole factor, at the orders of theta's Schur complement, ten
  % times as long as a product with M. By blocks, the estimates are of
  % order s, and the rest is products with the rows beside each triangle.
  % The blocks change how the sums of the solves are grouped, and so their
  % rounding: gpp's iterations, which rounding moves by a few, went from
  % 17 to 21 on gpp500-3 with blocks of 256, hence one block up to order
  % solve_whole. sdp_chol solves with the factor it keeps by the whole
  % triangular solves, with their bits, and estimates nothing
  if (ischar (R))
    x = sdp_chol ('solve', b);
    return;
  end
  upper = struct ('UT', true);
  upper_t = struct ('UT', true, 'TRANSA', true);
  n = size (R, 1);
  first = 1:s:n;
  last = min (n, first + s - 1);
  count = numel (first);
  % R'*y = b, first block to last, each block's part of y taken out of
  % the rest of b as soon as it is known
  x = b;
  for i = 1:count
    r = first(i):last(i);
    x(r) = linsolve (R(r, r), x(r), upper_t);
    if (i < count)
      after = last(i)+1:n;
      x(after) = x(after) - R(r, after).' * x(r);
    end
  end
  % R*x = y, last block to first
  for i = count:-1:1
    r = first(i):last(i);
    if (i < count)
      after = last(i)+1:n;
      x(r) = x(r) - R(r, after) * x(after);
    end
    x(r) = linsolve (R(r, r), x(r), upper);
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
%!test
%! % the factor sdp_chol keeps: the solution, refined or not, of the
%! % factor made anew
%! C = solver_constants ();
%! if (C.sdp_chol)
%!   n = 90;
%!   A = reshape (sin (1:n*n), n, n);
%!   M = A * A.' + eye (n);
%!   b = cos (1:n).';
%!   unwind_protect
%!     sdp_chol ('factor', M);
%!     for refinement = [0, 3]
%!       C.refinement = refinement;
%!       want = solve_schur (M, chol (M), b, C);
%!       assert (solve_schur (M, 'sdp_chol', b, C), want, 1e-9 * norm (want));
%!     end
%!   unwind_protect_cleanup
%!     sdp_chol ('release');
%!   end_unwind_protect
%! end
%!test
%! % blocks of 16, the last one short, and one block: the solution of
%! % the whole factor's triangular solves
%! C = solver_constants ();
%! n = 150;
%! A = reshape (sin (1:n*n), n, n);
%! M = A * A.' + eye (n);
%! R = chol (M);
%! b = cos (1:n).';
%! C.refinement = 0;
%! want = R \ (R.' \ b);
%! C.solve_whole = 0;
%! for s = [16, 150, 1000]
%!   C.solve_block = s;
%!   assert (solve_schur (M, R, b, C), want, 1e-12 * norm (want));
%! end

%!test
%! % up to solve_whole, one block whatever solve_block says: the bits of
%! % the whole factor's triangular solves
%! C = solver_constants ();
%! C.refinement = 0;
%! C.solve_block = 7;
%! n = 60;
%! A = reshape (sin (1:n*n), n, n);
%! M = A * A.' + eye (n);
%! R = chol (M);
%! b = cos (1:n).';
%! Ru = matrix_type (R, 'upper');
%! assert (isequal (solve_schur (M, R, b, C), Ru \ (Ru.' \ b)));
%! C.solve_whole = 59;
%! assert (solve_schur (M, R, b, C), Ru \ (Ru.' \ b), 1e-12 * norm (Ru \ (Ru.' \ b)));
