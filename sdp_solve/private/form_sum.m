function S = form_sum (P, K, x)
% x(1)*F{1} + ... + x(n)*F{n}, block by block: S.b{k} the block's sum
% (sparse unless nearly full), S.d the diagonal part
  % the blocks by one cellfun (truss8's 33 blocks: a loop's statements
  % cost more than the blocks' sums)
  nb = numel (P.blk);
  S.b = cellfun (@(k, c) k.sum (x(c)), reshape (K, 1, nb), reshape ({P.blk.cons}, 1, nb), ...
                 'UniformOutput', false);
  for k = find (cellfun ('isempty', S.b))
    S.b{k} = sparse (numel (P.blk(k).idx), numel (P.blk(k).idx));
  end
  S.d = full (P.diag.A.' * x);
end
