function X = block_hold (P, X)
% each block of X held as the solver holds it: a group of small blocks as
% a sparse matrix, any other block full
  for k = 1:numel (X.b)
    if (isempty (P.blk(k).members))
      X.b{k} = full (X.b{k});
    else
      X.b{k} = sparse (X.b{k});
    end
  end
end
