function v = block_norm (X)
% the Frobenius norm of a block-diagonal matrix
  v = 0;
  for k = 1:numel (X.b)
    v = v + norm (X.b{k}, 'fro') ^ 2;
  end
  v = sqrt (v + sum (X.d .^ 2));
end
