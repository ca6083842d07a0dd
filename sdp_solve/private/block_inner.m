function v = block_inner (X, Y)
% X.Y = trace(X*Y) of two block-diagonal matrices
  v = 0;
  for k = 1:numel (X.b)
    v = v + full (sum (sum (X.b{k} .* Y.b{k})));
  end
  v = v + sum (X.d .* Y.d);
end
