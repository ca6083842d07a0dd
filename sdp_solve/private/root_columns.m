function B = root_columns (fetch, nc, RZ, Y, w)
% A block's rows of the square root B of its Schur complement, M = B'*B
% for M(i,j) = trace(F{i}*inv(Z)*F{j}*Y), Z = RZ'*RZ: with
% RZ*Y*RZ' = U*diag(lambda)*U' and Phi = inv(RZ)*U, M(i,j) =
% trace(X{i}*diag(lambda)*X{j}) for X{i} = Phi'*F{i}*Phi, the sum over
% a <= b of X{i}(a,b)*X{j}(a,b) times lambda(a) + lambda(b) (lambda(a) on
% the diagonal). Column i holds those q*(q+1)/2 entries of X{i}, each
% times the square root of its weight. The lambda are the eigenvalues of
% Y*Z, all near mu on the central path, so that the weights are accurate
% however ill-conditioned Z and Y. fetch(s, e) gives [F{s}, ..., F{e}] as a
% dense q-by-(e-s+1)*q matrix; the columns are formed w at a time, Phi'*H
% in one product, its q-by-q parts stacked, times Phi in another.
  q = size (RZ, 1);
  Rz = full (RZ);
  G = Rz * full (Y) * Rz.';
  [U, L] = eig ((G + G.') / 2);
  lambda = max (diag (L), 0);
  Phi = Rz \ U;
  [a, b] = ndgrid (1:q, 1:q);
  up = find (a <= b);
  scale = sqrt (lambda(a(up)) + lambda(b(up)) .* (a(up) < b(up)));
  B = zeros (numel (up), nc);
  for s = 1:w:nc
    e = min (nc, s + w - 1);
    c = e - s + 1;
    X = reshape (permute (reshape (Phi.' * fetch (s, e), q, q, c), [1 3 2]), q * c, q) * Phi;
    X = reshape (permute (reshape (X, q, c, q), [1 3 2]), q * q, c);
    B(:, s:e) = X(up, :) .* scale;
  end
end
