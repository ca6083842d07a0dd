%SDP_SCHUR the Schur complement of a semidefinite program's block.
%   M = sdp_schur(F, W, Y) returns, for a cell vector F of k sparse
%   matrices and dense W and Y (all real double, of one order m), the
%   k-by-k symmetric matrix
%
%      M(i,j) = M(j,i) = trace(F{i}*W*F{j}*Y),   i <= j.
%
%   In an interior-point method, with W the inverse of the dual slack
%   matrix Z and Y the primal matrix, M is the Schur complement of the
%   search direction's equations, and sdp_solve forms it so wherever its
%   counts of the work show this the cheapest way.
%
%   Each entry is formed from stored entries alone, in a fixed order, so
%   that it has the same bits on every platform: for row i and each
%   position (c,d) that F{j} stores,
%
%      H(b,d) = sum over the stored entries F{i}(a,b) of F{i}(a,b)*Y(d,a),
%      G(c,d) = sum over the columns b where F{i} stores entries of
%               W(b,c)*H(b,d),
%      M(i,j) = sum over the stored entries of F{j} of F{j}(c,d)*G(c,d),
%
%   each sum in storage order from +0.0. No product matrix is formed. The
%   positions the F{j} store are listed once a call, and row i forms G once
%   at each position that F{i}, ..., F{k} store, however many of them store
%   it: on a theta problem, whose F{j} are single symmetric pairs, a row
%   costs a few operations for each later F{j}. Each F{j} is handed over by
%   the host once a call, not once a row as with brisset's rows.
%
%   Where W and Y are block diagonal, in blocks of consecutive indices,
%   and every F{j} stores entries within the blocks, a row of a finite
%   F{i} forms H and G within the blocks that F{i} uses and leaves out the
%   rest, whose terms are zeros of W or Y times finite values: a sum from
%   +0.0 is the same without them, so M has the same bits. Many small
%   blocks laid side by side so (sdp_solve's truss problems) take one call
%   whose work grows with the blocks each F{i} uses, not with m.
%
%   P = sdp_schur(F, W, Y, [first last]) returns the panel
%   M(first:k, first:last), with the same bits as those entries of M,
%   formed from F{first}, ..., F{k} alone. A caller that keeps M from one
%   iteration to the next fills it a panel at a time, in place:
%
%      for s = 1:b:k
%        I = s:min(k, s + b - 1);
%        M(s:k, I) = sdp_schur(F, W, Y, [s I(end)]);
%        M(1:s-1, I) = M(I, 1:s-1).';
%      end
%
%   An array of M's size made anew costs its page faults each time (at
%   order 3000, more than all of M's arithmetic on a theta problem), and a
%   compiled routine's result is copied once more by Octave; panels of a
%   few megabytes are not.
%
%   The rows are shared among threads, each row formed whole by one of
%   them in the same order of sums, so that M has the same bits on any
%   number of threads. n = sdp_schur('threads') returns the most threads
%   a call takes, the processors online (at most 64) until it is set;
%   old = sdp_schur('threads', n) sets it to n, a whole number from 1 to
%   64, until the routine is cleared, and returns the number before. A
%   call takes at most one thread for each 2^17 of its stored entries
%   times its rows (below that, starting a thread costs more than the rows
%   it would share), and no more than 64 MiB of work storage for the
%   threads beside the calling one allow.
%
%   The work storage is a few integers for each stored entry of the F{j}
%   and for each index, and, for each thread, two arrays of m times the
%   most columns an F{j} uses, one of an entry for each position the F{j}
%   store and one of m integers. The blocks are found from W, Y and the
%   F{j} each call: every column of W and Y is read from each end to its
%   first entry that is not zero.
%
%   Example:
%      F = {sparse([2 1; 1 0]), speye(2), sparse([0 1; 1 0])};
%      W = [2 1; 1 3]; Y = [1 0; 0 2];
%      M = sdp_schur(F, W, Y)      % M(1,2) is trace(F{1}*W*F{2}*Y) = 7
%
%   See also brisset, kovalin, zandrel, sdp_solve.

function M = sdp_schur (varargin)
  error ('sdp_schur: the compiled module is missing: run build_modules');
end

%!shared F, W, Y
%! F = {sparse([2 1; 1 0]), speye(2), sparse([0 1; 1 0])};
%! W = [2 1; 1 3]; Y = [1 0; 0 2];
%!test
%! M = sdp_schur (F, W, Y);
%! want = zeros (3);
%! for i = 1:3
%!   for j = 1:3
%!     want(i, j) = trace (F{i} * W * F{j} * Y);
%!   end
%! end
%! assert (M, want);
%! assert (M(1, 2), 7);
%!test
%! % each panel holds the same bits as M
%! M = sdp_schur (F, W, Y);
%! assert (sdp_schur (F, W, Y, [2 3]), M(2:3, 2:3));
%! assert (sdp_schur (F, W, Y, [1 1]), M(:, 1));
%! assert (sdp_schur (F, W, Y, [3 3]), M(3, 3));
%!test
%! % random unsymmetric data: the row of the smaller index gives M(i,j)
%! rand ('seed', 2); randn ('seed', 2);
%! m = 9;
%! G = {sprandn(m, m, 0.3), sparse(m, m), sprandn(m, m, 0.5), sprandn(m, m, 0.1)};
%! A = randn (m); B = randn (m);
%! M = sdp_schur (G, A, B);
%! for i = 1:4
%!   for j = i:4
%!     t = trace (G{i} * A * G{j} * B);
%!     assert (M(i, j), t, 1e-12 * (1 + abs (t)));
%!     assert (M(j, i), M(i, j));
%!   end
%! end
%!assert (sdp_schur ({}, W, Y), zeros (0))
%!assert (sdp_schur ({sparse(0, 0)}, zeros (0), zeros (0)), 0)
%!error <Input 1 is expected to be a cell vector> sdp_schur (speye (2), W, Y)
%!error <Input 2 is expected to be a dense double matrix 2x2> sdp_schur (F, sparse (W), Y)
%!error <Input 3 is expected to be a dense double matrix 2x2> sdp_schur (F, W, single (Y))
%!error <Element 2 of input 1> sdp_schur ({F{1}, [1 0; 0 1]}, W, Y)
%!error <Input 4 is expected to be \[first last\]> sdp_schur (F, W, Y, [2 1])
%!error <Input 4 is expected to be \[first last\]> sdp_schur (F, W, Y, [1 4])
%!error <Expecting 3 or 4 input arguments> sdp_schur (F, W)
%!test
%! % the same bits on one thread and on three, over rows enough to share
%! m = 30;
%! G = arrayfun (@(i) sparse ([mod(i, m) + 1, mod(i * 7, m) + 1], [mod(i * 7, m) + 1, mod(i, m) + 1], ...
%!                            1 + i / 10, m, m), 1:400, 'UniformOutput', false);
%! G = [G, {sparse(reshape (sin (1:m*m), m, m))}];
%! A = reshape (cos (1:m*m), m, m);
%! B = reshape (sin (2 * (1:m*m)), m, m);
%! held = sdp_schur ('threads', 1);
%! unwind_protect
%!   M1 = sdp_schur (G, A, B);
%!   assert (sdp_schur ('threads', 3), 1);
%!   assert (sdp_schur ('threads'), 3);
%!   assert (isequal (sdp_schur (G, A, B), M1));
%! unwind_protect_cleanup
%!   sdp_schur ('threads', held);
%! end_unwind_protect
%!error <whole number of threads from 1 to 64> sdp_schur ('threads', 0)
%!error <or 'threads'> sdp_schur ('thread')
