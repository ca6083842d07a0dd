%ZANDREL the trace of a product of four matrices, two of them sparse.
%   t = zandrel(A, B, C, D) returns the scalar
%
%      t = trace((A + A')*B'*C*D),
%
%   which is 2*trace(A*B*C*D) when A and B are symmetric. A and C are dense,
%   B and D sparse, all real double matrices of one order m. No product
%   matrix is formed: only the columns of B and D that hold stored entries
%   are visited, and the extra memory is two vectors of length m.
%
%   D's pattern of stored entries must be symmetric (its values need not
%   be); this is not tested. The messages call the inputs symmetric
%   matrices, but only their class, shape and storage kind are tested.
%
%   In a semidefinite programming solver, with W the inverse of the dual
%   slack matrix, zandrel(W, F{i}, W, F{j}) is twice the Hessian entry
%   trace(W*F{i}*W*F{j}).
%
%   The result is a 1-by-1 double.
%
%   Example:
%      A = [1 2; 2 3]; B = sparse([2 0; 0 1]); C = ones(2); D = sparse([0 1; 1 0]);
%      t = zandrel(A, B, C, D)       % 22, that is 2*trace(A*B*C*D)
%
%   See also kovalin, brisset, sdp_schur.

function t = zandrel (varargin)
  error ('zandrel: the compiled module is missing: run build_modules');
end

%!shared A, B, C, D, I
%! A = [1 2; 2 3]; B = sparse ([2 0; 0 1]); C = ones (2); D = sparse ([0 1; 1 0]);
%! I = speye (2);
%!assert (zandrel (A, B, C, D), 22)
%!test
%! % order 3, every factor with entries off the diagonal and D's pattern
%! % unsymmetric in its values
%! X = [2 -1 0; 4 1 3; 0 5 -2];
%! Y = sparse ([1 0 2; 0 0 -1; 3 1 0]);
%! Z = [1 2 0; -1 0 1; 2 1 1];
%! Q = sparse ([0 1 0; 2 0 -3; 0 4 1]);
%! assert (zandrel (X, Y, Z, Q), trace ((X + X') * Y' * Z * Q));
%!test
%! % an unsymmetric A enters through A + A'
%! assert (zandrel ([1 2; 3 4], sparse ([0 1; 0 0]), eye (2), I), 5);
%!test
%! zandrel (A, B, C, D);
%! assert (ans, 22);
%!assert (zandrel (zeros (0), sparse (0, 0), zeros (0), sparse (0, 0)), 0)
%!assert (zandrel (A, sparse (2, 2), C, D), 0)
%!test
%! % random unsymmetric A, B, C with a symmetric pattern for D
%! rand ('seed', 3); randn ('seed', 3);
%! m = 30;
%! X = randn (m); Z = randn (m); Y = sprandn (m, m, 0.2);
%! P = sprand (m, m, 0.1); P = P + P';
%! Q = sparse (P != 0) .* randn (m);
%! want = trace ((X + X')*Y'*Z*Q);
%! assert (zandrel (X, Y, Z, Q), want, 1e-12 * norm (X, 1) * norm (Z, 1) * norm (Y, 1) * norm (Q, 1));
%!test
%! % exact on small integers
%! rand ('seed', 5);
%! m = 12;
%! X = round (4 * rand (m) - 2); Z = round (4 * rand (m) - 2);
%! Y = sparse (round (6 * rand (m) - 3) .* (rand (m) > 0.6));
%! P = rand (m) > 0.7; P = P | P';
%! Q = sparse (round (6 * rand (m) - 3) .* P);
%! assert (zandrel (X, Y, Z, Q), trace ((X + X')*Y'*Z*Q));
%!error <^zandrel: Error: Expecting one output argument\.$> [a, b] = zandrel (A, B, C, D);
%!error <^zandrel: Error: Expecting 4 input arguments\.$> zandrel (A, B, C)
%!error <^zandrel: Error: Expecting 4 input arguments\.$> zandrel (A, B, C, D, D)
%!error <^zandrel: Error: Input 1 is expected to be a symmetric matrix 2x2 \(2x3\)\.$> zandrel (ones (2, 3), I, C, D)
%!error <^zandrel: Error: Input 3 is expected to be a symmetric matrix 3x3 \(3x4\)\.$> zandrel (eye (3), speye (3), ones (3, 4), speye (3))
%!error <^zandrel: Error: Input 2 is expected to be a symmetric matrix 2x2 \(2x2\)\.$> zandrel (A, I == 1, C, D)
%!error <^zandrel: Error: Input 3 is expected to be a symmetric matrix 2x2 \(1x2\)\.$> zandrel (A, B, 'ab', D)
%!error <^zandrel: Error: Input 4 is expected to be a symmetric matrix 2x2 \(2x2\)\.$> zandrel (A, B, C, D * 1i)
%!error <^zandrel: Error: Input 1 is expected to be a double matrix$> zandrel (single (A), B, C, D)
%!error <^zandrel: Error: Input 3 is expected to be a double matrix$> zandrel (A, B, int32 (C), D)
%!error <^zandrel: Error: Input 2 is expected to be a sparse matrix$> zandrel (A, full (B), C, full (D))
%!error <^zandrel: Error: Input 4 is expected to be a sparse matrix$> zandrel (A, B, C, full (D))
%!error <^zandrel: Error: Input 1 is expected to be a dense matrix$> zandrel (sparse (A), B, sparse (C), D)
%!error <^zandrel: Error: Input 3 is expected to be a dense matrix$> zandrel (A, B, sparse (C), D)
