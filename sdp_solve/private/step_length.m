function a = step_length (P, X, R, Xinv, D, C, exact)
% the largest a with X + a*D positive semidefinite, over the blocks (Inf
% when D is positive semidefinite); R holds the blocks' Cholesky factors
% and Xinv the inverses that block_inverse gives for 'step'. Blocks of
% order lanczos_order or more have the smallest eigenvalue of inv(X)*D
% from Lanczos' method, the members of a group of order 2 or 3 from the
% roots of their characteristic polynomials, and the rest from a full
% eigen-decomposition; with exact, all of them from the last
  if (nargin < 7)
    exact = false;
  end
  a = Inf;
  neg = D.d < 0;
  if (any (neg))
    a = min (-X.d(neg) ./ D.d(neg));
  end
  for k = 1:numel (X.b)
    if (~isempty (P.blk(k).members))
      lmin = group_min (P.blk(k).pages, X.b{k}, Xinv.b{k}, D.b{k}, exact);
    elseif (~exact && size (X.b{k}, 1) >= C.lanczos_order)
      lmin = lanczos_min (X.b{k}, Xinv.b{k}, D.b{k}, C);
    else
      T = R{k}.' \ (full (D.b{k}) / R{k});
      lmin = min (eig ((T + T.') / 2));
    end
    if (lmin < 0)
      a = min (a, -1 / lmin);
    end
  end
end

function lmin = group_min (pages, X, Xinv, D, exact)
  % the smallest eigenvalue of the pencil D*v = lambda*X*v over the
  % members of a group
  lmin = Inf;
  for c = 1:numel (pages)
    lin = pages(c).lin;
    Dp = reshape (full (D(lin)), size (lin));
    if (~exact && pages(c).k <= 3)
      lmin = min (lmin, min (page_min_eig (reshape (full (Xinv(lin)), size (lin)), Dp)));
    else
      Xp = reshape (full (X(lin)), size (lin));
      for j = 1:size (lin, 3)
        lmin = min (lmin, min (eig (Dp(:, :, j), Xp(:, :, j))));
      end
    end
  end
end
