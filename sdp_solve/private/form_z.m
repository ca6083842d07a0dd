function Z = form_z (P, K, x, nu, P0)
% Z = x(1)*F{1} + ... + x(n)*F{n} - F0 - nu*P0, block by block, each block
% held as the solver holds it (block_hold) and exactly symmetric; with
% nu = 0 the blocks' last term is left out, which changes no bit
  Z = form_sum (P, K, x);
  for k = 1:numel (Z.b)
    Z.b{k} = Z.b{k} - P.blk(k).F0;
    if (nu ~= 0)
      Z.b{k} = Z.b{k} - nu * P0.b{k};
    end
  end
  Z = block_hold (P, Z);
  Z.b = cellfun (@sym_part, Z.b, 'UniformOutput', false);
  Z.d = Z.d - P.diag.f0 - nu * P0.d;
end
