%SDP_CHOL a Cholesky factor kept between calls, and the solves with it.
%   p = sdp_chol('factor', M) factors the symmetric positive definite
%   matrix M, a real dense double square matrix whose upper triangle is
%   read, by the LAPACK of the process (dpotrf, the routine chol calls),
%   and keeps the factor R, upper triangular with R'*R = M, in storage of
%   its own until the next factor or release. p is 0, or where M is not
%   positive definite, the order of the first leading minor found not
%   to be, as chol's second output; a value in M's upper triangle that is
%   not finite, or a diagonal entry of R that is not positive and finite,
%   counts so at its column. A nonzero p keeps no factor.
%
%   p = sdp_chol('factor', M, shift) factors M + shift*I, shift a finite,
%   nonnegative double scalar, without forming the sum.
%
%   [p, R] = sdp_chol('factor', ...) also returns R, zeros below its
%   diagonal, with the bits of chol(M) where chol calls the same LAPACK.
%
%   X = sdp_chol('solve', B) returns R\(R'\B), for a real dense double B
%   with as many rows as R, by LAPACK's triangular solves (dtrtrs): the
%   bits of Octave's backslash with R' and R, without its estimate of the
%   condition. It is an error where no factor is kept.
%
%   X = sdp_chol('solve', B, R) returns R\(R'\B) the same way with a
%   factor R of the caller's: a real dense double square matrix of B's
%   rows whose upper triangle is read, its diagonal positive and finite
%   (chol's R). The factor kept, if any, is neither used nor changed.
%
%   sdp_chol('release') lets the storage go, as clearing sdp_chol does.
%
%   found = sdp_chol('lapack') is 1 where the process holds LAPACK's
%   dpotrf and dtrtrs, else 0; 'factor' is then an error. They are looked
%   for by name, with and without a trailing underscore, among the
%   libraries the process has loaded, both in one library, and no library
%   is ever loaded by sdp_chol. It works with a LAPACK of 32-bit integers
%   (Octave's) or of 64-bit ones (MATLAB's) on little-endian machines,
%   and finds none on big-endian ones.
%
%   Why: an interior-point method factors a matrix of one order every
%   iteration. A factor returned as a new array costs the first touch of
%   each of its pages every time: above 32 MiB glibc maps such an array
%   afresh, and on a virtual machine its page faults took longer than the
%   factorization's arithmetic (order 3028: about 0.17 s of 0.31). The
%   factor kept here is written where the last one was, and the solves
%   skip the estimate of the condition that Octave's triangular solves
%   make. sdp_solve factors its Schur complement so where LAPACK is found;
%   it replaces any factor kept before, and releases the storage when it
%   returns.
%
%   The storage is one array of the largest order factored since the last
%   release.
%
%   Example:
%      M = [4 2; 2 3];
%      p = sdp_chol('factor', M);          % 0: M is positive definite
%      x = sdp_chol('solve', [2; 1])       % M\[2; 1]
%      sdp_chol('release');
%
%   See also chol, sdp_solve, blas_threads.

function varargout = sdp_chol (varargin)
  error ('sdp_chol: the compiled module is missing: run build_modules');
end

%!test
%! % the factor has chol's bits, and the solves backslash's, at
%! % orders up to one above the storage grown before them
%! if (sdp_chol ('lapack'))
%!   unwind_protect
%!     for n = [0, 1, 7, 200, 60, 201]
%!       A = reshape (sin (1:n*(n+3)), n, n + 3);
%!       M = A * A.' + eye (n);
%!       [p, R] = sdp_chol ('factor', M);
%!       assert (p, 0);
%!       assert (isequal (R, chol (M)));
%!       B = reshape (cos (1:2*n), n, 2);
%!       Ru = matrix_type (R, 'upper');
%!       assert (isequal (sdp_chol ('solve', B), Ru \ (Ru.' \ B)));
%!       assert (sdp_chol ('solve', B), M \ B, 1e-10 * norm (M \ B, 1) + eps);
%!       assert (size (sdp_chol ('solve', zeros (n, 0))), [n, 0]);
%!     end
%!   unwind_protect_cleanup
%!     sdp_chol ('release');
%!   end_unwind_protect
%! end
%!test
%! % the lower triangle is not read; a shift is added to the diagonal
%! % alone, with chol's bits of the sum
%! if (sdp_chol ('lapack'))
%!   M = [4 2 1; 2 5 3; 1 3 6];
%!   L = M;
%!   L(2, 1) = NaN;
%!   L(3, 1:2) = [7 -Inf];
%!   [p, R] = sdp_chol ('factor', L, 0.25);
%!   assert (p, 0);
%!   assert (isequal (R, chol (M + 0.25 * eye (3))));
%!   sdp_chol ('release');
%! end
%!test
%! % not positive definite: chol's p, and no factor kept after; a value
%! % that is not finite counts at its column
%! if (sdp_chol ('lapack'))
%!   [~, q] = chol ([1 2 0; 2 1 0; 0 0 1]);
%!   assert (sdp_chol ('factor', [1 2 0; 2 1 0; 0 0 1]), q);
%!   assert (sdp_chol ('factor', [1 0 0; 0 1 NaN; 0 NaN 1]), 3);
%!   assert (sdp_chol ('factor', [1 0; 0 Inf]), 2);
%!   assert (sdp_chol ('factor', [1 0; 0 -1], 2), 0);
%!   assert (sdp_chol ('factor', [1 0; 0 -1], 0.5), 2);
%!   assert (sdp_chol ('factor', [1 1e200; 1e200 1]), 2);
%!   try
%!     sdp_chol ('solve', [1; 1]);
%!     msg = 'solved';
%!   catch err
%!     msg = err.message;
%!   end
%!   assert (msg, 'sdp_chol: Error: No factor is kept: factor a matrix first');
%!   sdp_chol ('release');
%! end
%!test
%! % a refused factor keeps the last one; release lets it go
%! if (sdp_chol ('lapack'))
%!   sdp_chol ('factor', [4 0; 0 9]);
%!   try
%!     sdp_chol ('factor', sparse ([1 0; 0 1]));
%!   catch
%!   end
%!   assert (sdp_chol ('solve', [4; 9]), [1; 1]);
%!   sdp_chol ('release');
%!   fail ("sdp_chol ('solve', [4; 9])", 'No factor is kept');
%! end
%!test
%! % a factor of the caller's: backslash's bits, its lower triangle not
%! % read, and the factor kept left as it was
%! if (sdp_chol ('lapack'))
%!   unwind_protect
%!     sdp_chol ('factor', [4 0; 0 9]);
%!     for n = [0, 1, 7, 120]
%!       A = reshape (sin (1:n*(n+3)), n, n + 3);
%!       R = chol (A * A.' + eye (n));
%!       B = reshape (cos (1:3*n), n, 3);
%!       Ru = matrix_type (R, 'upper');
%!       L = R;
%!       L(tril (true (n), -1)) = NaN;
%!       assert (isequal (sdp_chol ('solve', B, L), Ru \ (Ru.' \ B)));
%!     end
%!     assert (sdp_chol ('solve', [4; 9]), [1; 1]);
%!     fail ("sdp_chol ('solve', [1; 1], [1 0; 0 0])", 'positive, finite diagonal');
%!     fail ("sdp_chol ('solve', [1; 1], [1 0; 0 -1])", 'positive, finite diagonal');
%!     fail ("sdp_chol ('solve', [1; 1], [1 0; 0 NaN])", 'positive, finite diagonal');
%!     fail ("sdp_chol ('solve', [1; 1], eye (3))", 'square, of as many rows as input 2');
%!     fail ("sdp_chol ('solve', [1; 1], [1 0])", 'square, of as many rows as input 2');
%!     fail ("sdp_chol ('solve', [1; 1], sparse (eye (2)))", 'Input 3 is expected to be a real, dense double matrix');
%!     assert (sdp_chol ('solve', [4; 9]), [1; 1]);
%!   unwind_protect_cleanup
%!     sdp_chol ('release');
%!   end_unwind_protect
%!   assert (sdp_chol ('solve', [4; 9], [2 0; 0 3]), [1; 1]);
%! end
%!assert (any (sdp_chol ('lapack') == [0, 1]))
%!error <Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'> sdp_chol ('Factor', 1)
%!error <Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'> sdp_chol (1, 1)
%!error <Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'> sdp_chol (['fa'; 'ct'], 1)
%!error <Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'> sdp_chol ('factorize', 1)
%!error <Expecting a command> sdp_chol ()
%!error <Expecting 2 or 3 input arguments> sdp_chol ('factor')
%!error <Expecting 2 or 3 input arguments> sdp_chol ('solve')
%!error <Expecting 2 or 3 input arguments> sdp_chol ('solve', 1, 1, 1)
%!error <Expecting 1 input argument> sdp_chol ('release', 1)
%!error <Expecting at most two output arguments> [a, b, c] = sdp_chol ('factor', 1)
%!error <Expecting at most one output argument> [a, b] = sdp_chol ('solve', 1)
%!error <Input 2 is expected to be a real, dense double matrix> sdp_chol ('factor', single (1))
%!error <Input 2 is expected to be a real, dense double matrix> sdp_chol ('factor', sparse (1))
%!error <Input 2 is expected to be a real, dense double matrix> sdp_chol ('factor', 1i)
%!error <Input 2 is expected to be a real, dense double matrix> sdp_chol ('factor', {1})
%!error <Input 2 is expected to be square> sdp_chol ('factor', [1 2])
%!error <Input 3 is expected to be a finite, nonnegative double scalar> sdp_chol ('factor', 1, -1)
%!error <Input 3 is expected to be a finite, nonnegative double scalar> sdp_chol ('factor', 1, Inf)
%!error <Input 3 is expected to be a finite, nonnegative double scalar> sdp_chol ('factor', 1, NaN)
%!error <Input 3 is expected to be a finite, nonnegative double scalar> sdp_chol ('factor', 1, [1 2])
%!error <Input 3 is expected to be a finite, nonnegative double scalar> sdp_chol ('factor', 1, int8 (1))
%!error <Input 2 is expected to have 2 rows> sdp_chol ('factor', eye (2)); sdp_chol ('solve', [1; 2; 3])
