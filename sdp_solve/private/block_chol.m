function [R, ok] = block_chol (X)
% the Cholesky factors of a block-diagonal matrix's blocks; ok is false
% when a block, or the diagonal part, is not positive definite
  R = cell (1, numel (X.b));
  ok = all (X.d > 0);
  for k = 1:numel (X.b)
    if (~ok)
      return;
    end
    [R{k}, p] = chol (X.b{k});
    ok = p == 0;
  end
end
