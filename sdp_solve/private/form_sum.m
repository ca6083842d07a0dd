function S = form_sum (P, K, x)
% x(1)*F{1} + ... + x(n)*F{n}, block by block: S.b{k} the block's sum
% (sparse unless nearly full), S.d the diagonal part
  nb = numel (P.blk);
  S.b = cell (1, nb);
  for k = 1:nb
    S.b{k} = K{k}.sum (x(P.blk(k).cons));
    if (isempty (S.b{k}))
      S.b{k} = sparse (numel (P.blk(k).idx), numel (P.blk(k).idx));
    end
  end
  S.d = full (P.diag.A.' * x);
end
