function F = test_blocks (orders, n)
% For the tests: n symmetric matrices of blocks of the given orders laid
% along the diagonal, F{i} touching block k unless i + k is a multiple of
% 3, and F{3} touching the fourth block alone; full blocks of sines.
  m = sum (orders);
  F = cell (1, n);
  for i = 1:n
    A = zeros (m);
    first = 0;
    for k = 1:numel (orders)
      r = first + (1:orders(k));
      if (mod (i + k, 3) ~= 0 && (i ~= 3 || k == 4))
        A(r, r) = reshape (sin (i * k * (1:orders(k)^2)), orders(k), orders(k));
      end
      first = first + orders(k);
    end
    F{i} = sparse (A + A.');
  end
end
