function r = block_traces (P, K, A, G)
% the vector of F{i}.(A*G), summed over the blocks; A symmetric, or []
% for the identity
  % each block's traces by one cellfun, then summed block by block
  % (truss8's 33 blocks: a statement for each block's call costs more
  % than its products)
  nb = numel (P.blk);
  Kr = reshape (K, 1, nb);
  if (isempty (A))
    t = cellfun (@(k, g) k.traces ([], g), Kr, reshape (G.b, 1, nb), 'UniformOutput', false);
  else
    t = cellfun (@(k, a, g) k.traces (a, g), Kr, reshape (A.b, 1, nb), reshape (G.b, 1, nb), ...
                 'UniformOutput', false);
  end
  cons = {P.blk.cons};
  r = zeros (P.n, 1);
  for k = 1:nb
    r(cons{k}) = r(cons{k}) + t{k};
  end
  if (~isempty (P.diag.idx))
    if (isempty (A))
      r = r + P.diag.A * G.d;
    else
      r = r + P.diag.A * (A.d .* G.d);
    end
  end
end

%!test
%! % the blocks' traces summed as a loop over the blocks sums them: F{1}'s
%! % traces 2^53, 1 and -2^53 (halved with A) give 0 in the blocks' order
%! % and 1 in the reverse one; a constraint no block touches gives 0
%! S = @(A) A + A.';
%! F = {sparse(blkdiag (S([2^52 0; 0 0]), S([0.5 0; 0 0]), S([-2^52 0; 0 0]), 1)), ...
%!      sparse(blkdiag (S([0 1; 0 0]), S([0 1; 0 0]), S([3 1; 0 1]), 2)), sparse(7, 7)};
%! [P, K] = test_problem (F);
%! assert (numel (P.blk), 3);
%! G = struct ('b', {cellfun(@(b) ones (numel (b.idx)), num2cell (P.blk), 'UniformOutput', false)}, ...
%!             'd', 3);
%! A = struct ('b', {cellfun(@(b) eye (numel (b.idx)) * 0.5, num2cell (P.blk), ...
%!                          'UniformOutput', false)}, 'd', 0.25);
%! for a = {[], A}
%!   want = zeros (P.n, 1);
%!   for k = 1:numel (P.blk)
%!     if (isempty (a{1}))
%!       t = K{k}.traces ([], G.b{k});
%!     else
%!       t = K{k}.traces (a{1}.b{k}, G.b{k});
%!     end
%!     want(P.blk(k).cons) = want(P.blk(k).cons) + t;
%!   end
%!   if (isempty (a{1}))
%!     want = want + P.diag.A * G.d;
%!   else
%!     want = want + P.diag.A * (a{1}.d .* G.d);
%!   end
%!   assert (isequal (block_traces (P, K, a{1}, G), want));
%!   assert (want([1 3]), [3; 0] * (1 - 0.75 * ~isempty (a{1})));
%! end
