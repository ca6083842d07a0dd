%KOVALIN the weighted sum of a cell array of square matrices.
%   R = kovalin(x, A) returns x(1)*A{1} + x(2)*A{2} + ... + x(n)*A{n} for a
%   real vector x of n weights and a cell vector A of n real m-by-m
%   matrices, each dense or sparse.
%   R = kovalin(x, A, nnz) also takes the number of stored entries that the
%   result is expected to have. It only sizes working storage; a negative
%   nnz asks for a dense result.
%
%   The result is a dense m-by-m matrix holding the sum when any A{i} is
%   dense or nnz is negative. Otherwise it is sparse and holds the
%   TRANSPOSE of the sum, which is the sum itself whenever the sum is
%   symmetric (in particular when every A{i} is). A sparse result keeps
%   every position that a term with a nonzero weight stores, also where the
%   terms cancel to 0, and its row indices ascend within each column.
%   kovalin([], {}) is a 0-by-0 matrix.
%
%   Each entry is formed from +0 by adding x(i)*A{i} for i ascending, each
%   product rounded before it is added; terms whose weight is 0 (or -0) are
%   left out entirely, so an Inf or NaN in their matrix does not reach the
%   result. A NaN weight is used. The messages speak of symmetric matrices,
%   but only class, shape and storage are tested.
%
%   Example:
%      A = {sparse([2 1; 1 2]), speye(2)};
%      S = kovalin([1 3], A)          % sparse [5 1; 1 5]
%      D = kovalin([1 3], A, -1)      % the same sum, dense
%
%   See also brisset, zandrel, sdp_schur.

function R = kovalin (varargin)
  error ('kovalin: the compiled module is missing: run build_modules');
end

%!shared F, y
%! F = {sparse([1 2 0; 0 3 0; 4 0 5]), sparse([0 0 1; 0 1 0; 0 0 0]), speye(3)};
%! y = [2 -1 0.5];
%!test
%! % sparse: the transpose of the sum
%! R = kovalin (y, F);
%! assert (issparse (R));
%! assert (full (R), full (y(1)*F{1} + y(2)*F{2} + y(3)*F{3}).');
%!test
%! % dense on request, or for any dense element: the sum itself
%! want = full (y(1)*F{1} + y(2)*F{2} + y(3)*F{3});
%! assert (kovalin (y, F, -1), want);
%! assert (kovalin (y, {F{1}, full(F{2}), F{3}}), want);
%! assert (! issparse (kovalin (y.', F, NaN)));
%!test
%! % terms that cancel leave stored zeros
%! R = kovalin ([1 -1], {F{1}, F{1}});
%! assert (nnz (R), 5);
%! assert (nonzeros (R), zeros (5, 1));
%!test
%! % the third argument: its kind, never the result
%! for nz = {[], 0, 0.5, -0.7, 2.9, 1e18, single(4), int8(9), uint16(3)}
%!   if (isempty (nz{1})) R = kovalin (y, F); else R = kovalin (y, F, nz{1}); end
%!   assert (issparse (R));
%!   assert (full (R), full (kovalin (y, F, -1)).');
%! end
%! for nz = {-1, -1.5, NaN, -Inf, Inf, 2^63, 2^64, -2^63, int32(-3), single(-2)}
%!   assert (! issparse (kovalin (y, F, nz{1})));
%! end
%!test
%! % zero weights hide their element completely; a NaN weight is used
%! R = kovalin ([0 -0 1], {sparse([NaN Inf; 0 1]), [Inf Inf; Inf Inf], speye(2)}, -1);
%! assert (R, eye (2));
%! R = kovalin ([NaN 1], {sparse([0 1; 0 0]), speye(2)});
%! assert (isnan (full (R(2,1))));
%! assert (full (R(1,1)), 1);
%!test
%! % the order of the terms is kept: (1e16 + 1) - 1e16 is 0
%! assert (kovalin ([1 1 -1], {1e16, sparse(1), 1e16}), 0);
%!test
%! % a sparse weight vector is read as its n weights
%! assert (kovalin (sparse ([2 0 0.5]), F), kovalin ([2 0 0.5], F));
%! assert (kovalin (sparse ([2; 0; 0.5]), F, -1), kovalin ([2 0 0.5], F, -1));
%!assert (kovalin ([], {}), zeros (0, 0))
%!assert (kovalin (zeros (0, 3), cell (1, 0)), zeros (0, 0))
%!assert (kovalin (2, {speye(2), 'anything'}), 2 * speye (2))
%!assert (kovalin ([2; 1], {speye(2); sparse([0 1; 0 0])}), sparse ([2 0; 1 2]))
%!error <^kovalin: Error: Expecting one output argument\.$> [a, b] = kovalin (y, F);
%!error <^kovalin: Error: Expecting 2 or 3 input arguments\.$> kovalin (y)
%!error <^kovalin: Error: Expecting 2 or 3 input arguments\.$> kovalin (y, F, 1, 1)
%!error <^kovalin: Third argument should be a \(numeric\) scalar\.$> kovalin ('x', 1, true)
%!error <^kovalin: Third argument should be a \(numeric\) scalar\.$> kovalin (y, F, 'a')
%!error <^kovalin: Third argument should be a \(numeric\) scalar\.$> kovalin (y, F, 1i)
%!error <^kovalin: Third argument should be a \(numeric\) scalar\.$> kovalin (y, F, [1 2])
%!error <^kovalin: First argument should be a real vector\.$> kovalin (single (y), F)
%!error <^kovalin: First argument should be a real vector\.$> kovalin (y * 1i, F)
%!error <^kovalin: Second arguments should be a cell array\.$> kovalin (y, F{1})
%!error <^kovalin: First and second arguments don't match, one is empty\.$> kovalin (y, {})
%!error <^kovalin: First and second arguments don't match, one is empty\.$> kovalin ([], F)
%!error <^kovalin: First argument should be a vector\.$> kovalin (ones (3), F)
%!error <^kovalin: Second argument should be a 1D cell array\.$> kovalin ([1 2], {F{1}, F{2}; F{1}, F{2}})
%!error <^kovalin: First and second arguments don't match in size\.$> kovalin ([1 2 3], {F{1}})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(1 not\)\.$> kovalin ([1 2], {ones(3, 4), F{1}})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(2 not\)\.$> kovalin ([1 2], {F{1}, single(ones (3))})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(2 not\)\.$> kovalin ([1 2], {F{1}, int8(ones (3))})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(2 not\)\.$> kovalin ([1 2], {F{1}, F{1} == 1})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(2 not\)\.$> kovalin ([1 2], {F{1}, F{1} * 1i})
%!error <^kovalin: Error: All element of the cell array should be matrices 3x3 \(3 not\)\.$> kovalin ([1 2 3], {F{1}, F{2}, speye(2)})
