function T = diagonal_targets (P, F, c)
% The constraints F{i}.Y = c(i) whose F{i} is a lone diagonal entry
% v*e_r*e_r' (max-cut's, graph partitioning's): each asks Y(r,r) =
% c(i)/v. T.b{k} holds, for block k, the places p in the block and the
% values y there asked for, and T.d the same for the diagonal part; a
% place that several constraints ask for, or a value that is not
% positive, is left out. T is empty when no constraint is of that kind.
  T = [];
  lone = find (cellfun (@nnz, F(:)) == 1);
  E = entries_of (F(lone));
  r = E.r .* (E.r == E.c);
  want = reshape (c(lone), [], 1) ./ E.v;
  asked = accumarray (r(r > 0), 1, [P.m, 1]);
  keep = r > 0 & want > 0;
  keep(keep) = asked(r(keep)) == 1;
  if (~any (keep))
    return;
  end
  target = NaN (P.m, 1);
  target(r(keep)) = want(keep);
  T.b = cell (1, numel (P.blk));
  for k = 1:numel (P.blk)
    y = target(P.blk(k).idx);
    T.b{k} = struct ('p', find (~isnan (y)), 'y', y(~isnan (y)));
  end
  y = target(P.diag.idx);
  T.d = struct ('p', find (~isnan (y)), 'y', y(~isnan (y)));
end
