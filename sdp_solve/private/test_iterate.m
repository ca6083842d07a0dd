function [Y, W, RZ, RY, Yf, Wf] = test_iterate (P)
% For the tests: a positive definite Y and Z = inv(W) of P's blocks, as
% the loop holds them (Y.b, W.b and the factors RZ and RY, block by
% block) and as whole matrices Yf and Wf of order P.m
  m = P.m;
  G = reshape (cos (1:m*m), m, m);
  H = reshape (sin (2 * (1:m*m)), m, m);
  [Yf, Zf, Wf] = deal (zeros (m));
  for k = 1:numel (P.blk)
    idx = P.blk(k).idx;
    Yf(idx, idx) = G(idx, idx) * G(idx, idx).' + eye (numel (idx));
    Zf(idx, idx) = H(idx, idx) * H(idx, idx).' + eye (numel (idx));
    Wf(idx, idx) = inv (Zf(idx, idx));
    Wf(idx, idx) = (Wf(idx, idx) + Wf(idx, idx).') / 2;
  end
  blocks = @(A) cellfun (@(b) A(b.idx, b.idx), num2cell (P.blk), 'UniformOutput', false);
  Y = struct ('b', {blocks(Yf)}, 'd', zeros (0, 1));
  W = struct ('b', {blocks(Wf)}, 'd', zeros (0, 1));
  RY = cellfun (@chol, Y.b, 'UniformOutput', false);
  RZ = cellfun (@chol, blocks(Zf), 'UniformOutput', false);
end
