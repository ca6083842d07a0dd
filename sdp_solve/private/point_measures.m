function info = point_measures (P, K, F0b, c, x, Y, residual, scale, tol, info, d, w)
% What the returned x and Y reach, recomputed from them as a user would,
% with Zx = x(1)*F{1} + ... + x(n)*F{n} - F0, the iterate's own Z at
% ||Zx - Z||_F = residual, and the scales scale.c = 1 + max|c(i)| and
% scale.f0 = 1 + the largest entry of |F0|; and the status that follows:
% 'solved' when gap, pinf and dinf are all at most tol, 'inaccurate' when
% at most sqrt(tol), and 'not solved' otherwise; info.accuracy is the
% largest of the three. They take the DIMACS measures' scales, so that gap, pinf and
% dinf within tol hold all six within tol: the gap bounds the fifth and
% the sixth, pinf the third and the fourth, and dinf the first two.
% For a problem solved balanced (balance_data), d holds the scales, and
% the cones are tested on inv(D)*Zx*inv(D) and D*Y*D, the user's Zx and
% Y; the traces are the same numbers in both units. The dual residual is
% taken as (c(i) - F{i}.Y)/w(i): for constraints solved weighed
% (weigh_constraints) w holds the weights, so that it is in the user's
% units (c'*x is the same number in both), and where repeats were left
% out (drop_redundant) each weight is over its constraint's mult, so that
% it is over all the user's constraints.
  Zx = form_z (P, K, x, 0, F0b);   % no shift: nu = 0
  FY = block_traces (P, K, [], Y);
  pobj = full (c.' * x);
  dobj = block_inner (F0b, Y);
  r = norm ((c - FY) ./ w);
  if (any (d ~= 1))
    [Zx, Y] = deal (in_units (P, Zx, 1 ./ d), in_units (P, Y, d));
  end
  low_z = violation (P, Zx);
  low_y = violation (P, Y);
  info.pobj = pobj;
  info.dobj = dobj;
  ZxY = block_inner (Zx, Y);
  info.gap = relative_gap (pobj, dobj, ZxY);
  info.pinf = max (low_z, residual) / scale.f0;
  info.dinf = max (r, low_y) / scale.c;
  % the six DIMACS measures
  scale_obj = 1 + abs (pobj) + abs (dobj);
  info.dimacs = [r / scale.c, low_y / scale.c, residual / scale.f0, ...
                 low_z / scale.f0, (pobj - dobj) / scale_obj, ZxY / scale_obj];
  info.accuracy = max ([info.gap, info.pinf, info.dinf]);
  if (info.accuracy <= tol)
    info.status = 'solved';
  elseif (info.accuracy <= sqrt (tol))
    info.status = 'inaccurate';
  else
    info.status = 'not solved';
  end
end

function X = in_units (P, X, d)
  % D*X*D, block by block, D = diag(d)
  for k = 1:numel (P.blk)
    b = reshape (d(P.blk(k).idx), [], 1);
    X.b{k} = X.b{k} .* (b * b.');
  end
  if (~isempty (P.diag.idx))
    X.d = X.d .* reshape (d(P.diag.idx), [], 1) .^ 2;
  end
end

function v = violation (P, X)
  % max(0, -(the smallest eigenvalue of X)), over the blocks; a block whose
  % Cholesky factor exists has none
  v = max ([0, -X.d(:).'] + 0);   % +0: not -0 where X.d is 0
  for k = 1:numel (X.b)
    [~, p] = chol (X.b{k});
    if (p == 0)
      continue;
    end
    if (isempty (P.blk(k).members))
      B = full (X.b{k});
      v = max (v, -min (eig ((B + B.') / 2)));
    else
      for c = 1:numel (P.blk(k).pages)
        lin = P.blk(k).pages(c).lin;
        B = reshape (full (X.b{k}(lin)), size (lin));
        for j = 1:size (B, 3)
          v = max (v, -min (eig ((B(:, :, j) + B(:, :, j).') / 2)));
        end
      end
    end
  end
end
