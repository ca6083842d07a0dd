function Z = form_z (P, K, x, nu, P0)
% Z = x(1)*F{1} + ... + x(n)*F{n} - F0 - nu*P0, block by block, each block
% held as the solver holds it (block_hold) and exactly symmetric; with
% nu = 0 the blocks' last term is left out, which changes no bit
  Z = form_sum (P, K, x);
  Z.b = cellfun (@minus, Z.b, reshape ({P.blk.F0}, size (Z.b)), 'UniformOutput', false);
  if (nu ~= 0)
    Z.b = cellfun (@(z, p) z - nu * p, Z.b, reshape (P0.b, size (Z.b)), 'UniformOutput', false);
  end
  Z = block_hold (P, Z);
  Z.b = cellfun (@sym_part, Z.b, 'UniformOutput', false);
  Z.d = Z.d - P.diag.f0 - nu * P0.d;
end
