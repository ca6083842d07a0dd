%BRISSET doubled traces of a product with each matrix of a cell vector.
%   r = brisset(A, B, C, D) returns, for dense A and C, sparse B and a cell
%   vector D of k sparse matrices (all real double, of one order m), the
%   k-by-1 vector
%
%      r(i) = 2 * sum(sum(D{i} .* (A'*B'*C)))  =  2*trace(C'*B*A*D{i}),
%
%   taken over the stored entries of D{i} only. With A, B and D{i}
%   symmetric this is 2*trace(A*B*C*D{i}). No product matrix is formed:
%   only the columns that D's elements use are visited, and each entry of
%   A'*B'*C that they store is computed once per column, however many
%   elements store it.
%
%   In a semidefinite programming solver, with W the inverse of the dual
%   slack matrix, brisset(W, F{i}, W, F) / 2 is row i of the Hessian
%   H(i,j) = trace(W*F{i}*W*F{j}); sdp_solve forms its Schur complement
%   rows so, as brisset(Y, F{i}, inv(Z), F(i:n)) / 2, with
%   opts.kernels = 'modules', and by default wherever its counts of the
%   work show these rows the cheapest way.
%
%   Many small elements are taken one by one, at a cost that follows their
%   entries. But the host hands over each element of D as an array of its
%   own: fetching the elements' storage and reading their entries once is
%   a floor that no call taking a cell of n matrices goes below. When n is
%   much larger than m and every D{i} holds a few entries (the Lovasz theta
%   problems), that floor alone can take longer than the whole row in
%   plain Octave with the matrices stacked as columns of one sparse matrix,
%   Fstack = [F{1}(:) ... F{n}(:)]: G = W(:,I)*(F{i}(I,:)*W) over the rows I
%   where F{i} holds entries, then G(:).'*Fstack. On SDPLIB's theta3 (order
%   150, n = 1106) the floor takes about two and a half times as long as
%   that row, on average over its rows; at order 1000 with n = 7m brisset's
%   rows are about as fast as it. So sdp_solve's default does not hand
%   such a cell over row by row: it forms the whole block with sdp_schur,
%   which takes each F{i} from the host once a call, not once a row
%   (theta3: 0.37 s over the whole solve, against 4.4 s by these rows and
%   1.2 s by Octave's). See BENCHMARKS.md.
%
%   The messages call A, B and C symmetric matrices, but only their class,
%   shape and storage kind are tested.
%
%   Example:
%      A = [2 1; 1 2]; B = speye(2); C = [1 0; 0 3];
%      r = brisset(A, B, C, {speye(2), sparse([0 1; 1 0])})   % [16; 8]
%
%   See also kovalin, zandrel, sdp_schur.

function r = brisset (varargin)
  error ('brisset: the compiled module is missing: run build_modules');
end

%!shared A, B, C, I
%! A = [2 1; 1 2]; B = speye (2); C = [1 0; 0 3]; I = speye (2);
%!assert (brisset (A, B, C, {I, sparse([0 1; 1 0])}), [16; 8])
%!test
%! % orientation: each factor as the formula places it
%! R = [1 2; 3 4];
%! assert (brisset (eye (2), I, R, {sparse([0 1; 0 0]), sparse([0 0; 1 0])}), [4; 6]);
%! assert (brisset (R, I, eye (2), {sparse([0 1; 0 0]), sparse([0 0; 1 0])}), [6; 4]);
%!test
%! brisset (A, B, C, {I});
%! assert (ans, 2 * trace (A*B*C));
%!test
%! % random unsymmetric data: 2*sum(D{i} .* (A'*B'*C))
%! randn ('seed', 1); rand ('seed', 1);
%! m = 25;
%! X = randn (m); Y = sprandn (m, m, 0.3); Z = randn (m);
%! D = {sprandn(m, m, 0.1), sprandn(m, m, 0.2), sparse(m, m), sprandn(m, m, 0.05)};
%! want = cellfun (@(d) 2 * full (sum (sum (d .* (X'*Y'*Z)))), D).';
%! assert (brisset (X, Y, Z, D), want, 1e-12 * norm (X, 1) * norm (Y, 1) * norm (Z, 1) * m);
%! assert (brisset (X, Y, Z, D.'), want, 1e-12 * norm (X, 1) * norm (Y, 1) * norm (Z, 1) * m);
%!test
%! % exact on small integers
%! rand ('seed', 4);
%! m = 10;
%! X = round (4 * rand (m) - 2); Z = round (4 * rand (m) - 2);
%! Y = sparse (round (4 * rand (m) - 2) .* (rand (m) > 0.5));
%! D = {sparse(round (4 * rand (m) - 2) .* (rand (m) > 0.6)), sparse(m, m)};
%! want = cellfun (@(d) 2 * full (sum (sum (d .* (X'*Y'*Z)))), D).';
%! assert (brisset (X, Y, Z, D), want);
%!assert (brisset (zeros (0), sparse (0, 0), zeros (0), {sparse(0, 0), sparse(0, 0)}), [0; 0])
%!error <^brisset: Error: Expecting one output argument\.$> [a, b] = brisset (A, B, C, {I});
%!error <^brisset: Error: Expecting 4 input arguments\.$> brisset (A, B, C)
%!error <^brisset: Error: Expecting 4 input arguments\.$> brisset (A, B, C, {I}, 1)
%!error <^brisset: Error: Input 1 is expected to be a symmetric matrix 3x3 \(3x4\)\.$> brisset (ones (3, 4), B, C, {I})
%!error <^brisset: Error: Input 2 is expected to be a symmetric matrix 3x3 \(2x2\)\.$> brisset (eye (3), I, eye (3), {speye(3)})
%!error <^brisset: Error: Input 2 is expected to be a symmetric matrix 2x2 \(2x2\)\.$> brisset (A, I == 1, C, {I})
%!error <^brisset: Error: Input 3 is expected to be a symmetric matrix 2x2 \(2x2\)\.$> brisset (A, B, C * 1i, {I})
%!error <^brisset: Error: Input 3 is expected to be a symmetric matrix 2x2 \(1x2\)\.$> brisset (A, B, 'ab', {I})
%!error <^brisset: Error: Input 1 is expected to be a double matrix$> brisset (single (A), B, C, {I})
%!error <^brisset: Error: Input 3 is expected to be a double matrix$> brisset (A, B, int16 (C), {I})
%!error <^brisset: Error: 4th input arguments should be a cell array\.$> brisset (sparse (A), B, C, I)
%!error <^brisset: Error: 4th input arguments should be a cell vector\.$> brisset (A, B, C, {})
%!error <^brisset: Error: 4th input arguments should be a cell vector\.$> brisset (A, B, C, cell (1, 0))
%!error <^brisset: Error: 4th input arguments should be a cell vector\.$> brisset (A, B, C, {I, I, I; I, I, I})
%!error <^brisset: Error: 1st input argument is expected to be a dense matrix$> brisset (sparse (A), B, sparse (C), {I})
%!error <^brisset: Error: 2nd input argument is expected to be a sparse matrix$> brisset (A, full (B), sparse (C), {I})
%!error <^brisset: Error: 3rd input argument is expected to be a dense matrix$> brisset (A, B, sparse (C), {I})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(2 not\)\.$> brisset (A, B, C, {I, []})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(1 not\)\.$> brisset (A, B, C, {eye(2)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(3 not\)\.$> brisset (A, B, C, {I, I, speye(3)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(1 not\)\.$> brisset (A, B, C, {I * 1i})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(2 not\)\.$> brisset (A, B, C, {I, sparse(2, 3)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(1 not\)\.$> brisset (A, B, C, {sparse(2, 1)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(1 not\)\.$> brisset (A, B, C, {ones(2, 1, 2)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 0x0 \(2 not\)\.$> brisset (zeros (0), sparse (0, 0), zeros (0), {sparse(0, 0), sparse(0, 2)})
%!error <^brisset: Error: All element of the cell array should be sparse matrices 2x2 \(1 not\)\.$> brisset (A, B, C, {I == 1})
