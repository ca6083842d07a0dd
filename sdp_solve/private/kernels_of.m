function K = kernels_of (P, kind, C)
% the kernels of each block of P (block_kernels), in the order of P.blk,
% the small blocks' Schur complements formed together where joint_schur
% finds that they can be
  K = cell (1, numel (P.blk));
  for k = 1:numel (P.blk)
    K{k} = block_kernels (P.blk(k), kind, C);
  end
  K = joint_schur (P, K, kind, C);
end
