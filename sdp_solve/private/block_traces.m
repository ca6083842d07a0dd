function r = block_traces (P, K, A, G)
% the vector of F{i}.(A*G), summed over the blocks; A symmetric, or []
% for the identity
  r = zeros (P.n, 1);
  for k = 1:numel (P.blk)
    if (isempty (A))
      t = K{k}.traces ([], G.b{k});
    else
      t = K{k}.traces (A.b{k}, G.b{k});
    end
    r(P.blk(k).cons) = r(P.blk(k).cons) + t;
  end
  if (~isempty (P.diag.idx))
    if (isempty (A))
      r = r + P.diag.A * G.d;
    else
      r = r + P.diag.A * (A.d .* G.d);
    end
  end
end
