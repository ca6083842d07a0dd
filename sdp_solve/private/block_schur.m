function M = block_schur (P, K, Y, W, RZ, RY)
% the Schur complement M(i,j) = trace(F{i}*W*F{j}*Y), W = inv(Z), summed
% over the blocks, RZ and RY the blocks' Cholesky factors of Z and Y; on
% the diagonal part it is A*diag(y./z)*A'. A block that all the F{i}
% touch gives M its first value, with no array of M's order to add into:
% at order 2000 and more, each such array costs as much as a product.
  M = [];
  for k = 1:numel (P.blk)
    cons = P.blk(k).cons;
    Mk = K{k}.schur (Y.b{k}, W.b{k}, RZ{k}, RY{k});
    if (numel (cons) == P.n && isempty (M))
      M = Mk;
      continue;
    elseif (isempty (M))
      M = zeros (P.n);
    end
    if (numel (cons) == P.n)
      M = M + Mk;
    else
      M(cons, cons) = M(cons, cons) + Mk;
    end
  end
  if (isempty (M))
    M = zeros (P.n);
  end
  if (~isempty (P.diag.idx))
    A = P.diag.A;
    d = numel (Y.d);
    M = M + full (A * spdiags (Y.d .* W.d, 0, d, d) * A.');
  end
end
