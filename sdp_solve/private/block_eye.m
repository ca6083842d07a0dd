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
