function v = block_inner (X, Y)
% X.Y = trace(X*Y) of two block-diagonal matrices
  % each block's sum by one cellfun, then the blocks' sums added in
  % their order from 0 and the diagonal part's last, as a loop adds them
  % (truss8's 33 blocks: a statement a block costs more than its sum)
  s = cellfun (@(x, y) full (sum (sum (x .* y))), X.b, Y.b);
  v = 0;
  for k = 1:numel (s)
    v = v + s(k);
  end
  v = v + sum (X.d .* Y.d);
end

%!test
%! % the blocks' sums added in their order: 2^53, 1 and -2^53 give 0 (1
%! % in the reverse order), then the diagonal part's
%! X = struct ('b', {{2^53, [0.5 0; 0 0.5], -2^53}}, 'd', [1; 2]);
%! Y = struct ('b', {{1, eye(2), 1}}, 'd', [3; 0.5]);
%! assert (block_inner (X, Y), 4);
%! assert (block_inner (X, X), 2^107);
