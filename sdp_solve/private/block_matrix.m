function S = block_matrix (P, X)
% the m-by-m sparse matrix of a block-diagonal matrix held by blocks
  nb = numel (X.b);
  [I, J, V] = deal (cell (nb + 1, 1));
  for k = 1:nb
    idx = P.blk(k).idx(:);
    [i, j, V{k}] = find (X.b{k});
    I{k} = idx(i);
    J{k} = idx(j);
  end
  I{end} = P.diag.idx(:);
  J{end} = P.diag.idx(:);
  V{end} = X.d(:);
  S = sparse (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), P.m, P.m);
end
