function M = block_schur (P, K, Y, W, RZ, RY)
% the Schur complement M(i,j) = trace(F{i}*W*F{j}*Y), W = inv(Z), summed
% over the blocks, RZ and RY the blocks' Cholesky factors of Z and Y; on
% the diagonal part it is A*diag(y./z)*A'
  M = zeros (P.n);
  for k = 1:numel (P.blk)
    cons = P.blk(k).cons;
    if (numel (cons) == P.n)
      M = M + K{k}.schur (Y.b{k}, W.b{k}, RZ{k}, RY{k});
    else
      M(cons, cons) = M(cons, cons) + K{k}.schur (Y.b{k}, W.b{k}, RZ{k}, RY{k});
    end
  end
  if (~isempty (P.diag.idx))
    A = P.diag.A;
    d = numel (Y.d);
    M = M + full (A * spdiags (Y.d .* W.d, 0, d, d) * A.');
  end
end
