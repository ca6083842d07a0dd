function G = sum_times (P, K, x, X, D, C)
% X*D block by block, for X = x(1)*F{1} + ... + x(n)*F{n} (form_sum's,
% the same sum) and D block diagonal: a block whose nearly full F{i} are
% of rank one (gpp's all-ones matrix) multiplies by their vectors and by
% the sparse sum of its other F{i} (K{k}.times), of order m^2 instead of
% m^3; every other block by times_dense. With x empty, X is taken as it
% is (it holds more than the sum).
  G.b = cell (1, numel (X.b));
  timed = false (1, numel (X.b));
  if (~isempty (x))
    timed = cellfun (@(k) isfield (k, 'times'), reshape (K, 1, []));
  end
  G.b(~timed) = cellfun (@(s, d) times_dense (s, d, C), X.b(~timed), D.b(~timed), ...
                         'UniformOutput', false);
  for k = find (timed)
    G.b{k} = K{k}.times (x(P.blk(k).cons), D.b{k});
  end
  G.d = X.d .* D.d;
end

%!test
%! % a block with an all-ones F{i} and one of rank one with other values,
%! % beside single entries and pairs, and a block without: the products
%! % of the definition, with x and without
%! m = 120;
%! % integers, so that u*u'/d is found exactly
%! u = mod ((1:m).', 7) - 3;
%! E = @(i, j) sparse ([i j], [j i], 1, m, m);
%! F = [{sparse(ones (m)), sparse(u * u.' / 4)}, arrayfun(@(i) E(i, mod (3 * i, m) + 1), 1:m, ...
%!                                                     'UniformOutput', false)];
%! F = cellfun (@(f) blkdiag (f, sparse (reshape (sin (1:9), 3, 3) + reshape (sin (1:9), 3, 3).')), ...
%!              F, 'UniformOutput', false);
%! n = numel (F);
%! [P, K, C] = test_problem (F);
%! assert (numel (P.blk), 2);
%! k = find (arrayfun (@(b) numel (b.idx), P.blk) == m);
%! assert (isfield (K{k}, 'times') && ~isfield (K{3 - k}, 'times'));
%! x = sin (1:n).';
%! X = form_sum (P, K, x);
%! D = block_map (@(z) reshape (cos (1:numel (z)), size (z)), @(z) z + 1, X);
%! for y = {x, []}
%!   G = sum_times (P, K, y{1}, X, D, C);
%!   for b = 1:2
%!     assert (G.b{b}, full (X.b{b}) * D.b{b}, 1e-12 * norm (D.b{b}, 1) * norm (x, 1) * m);
%!   end
%! end
