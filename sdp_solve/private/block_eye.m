function X = block_eye (P, s)
% s times the identity, block by block, each block held as the solver
% holds it
  X.b = cell (1, numel (P.blk));
  for k = 1:numel (P.blk)
    X.b{k} = s * speye (numel (P.blk(k).idx));
  end
  X = block_hold (P, X);
  X.d = s * ones (numel (P.diag.idx), 1);
end

%!test
%! % sqrt(s) times the identity is chol's factor of s times the identity, to
%! % the bit, for a block, a group of small blocks and the diagonal part:
%! % the solver starts from it
%! F = {sparse(blkdiag (ones (4), ones (2), ones (2), 1)), sparse(blkdiag (zeros (4), [0 1; 1 0], [2 1; 1 0], 0))};
%! F0 = sparse (9, 9);
%! P = split_problem (F, F0, find_blocks (F, F0), 3);
%! assert (numel (P.diag.idx), 1);
%! assert (sort (cellfun (@isempty, {P.blk.members})), [false, true]);
%! for s = [2, 1e-3 * pi, 7.5e5]
%!   R = block_eye (P, sqrt (s));
%!   assert (isequal (R.b, block_chol (block_eye (P, s))));
%! end
