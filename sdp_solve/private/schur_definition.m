function M = schur_definition (F, W, Y)
% For the tests: M(i,j) = trace(F{i}*W*F{j}*Y), the Schur complement by
% its definition, one product at a time
  n = numel (F);
  M = zeros (n);
  for i = 1:n
    for j = 1:n
      M(i, j) = trace (F{i} * W * F{j} * Y);
    end
  end
end
