function a = step_length (X, R, Xinv, D, C)
% the largest a with X + a*D positive semidefinite, over the blocks (Inf
% when D is positive semidefinite); R holds the blocks' Cholesky factors
% and Xinv their inverses, needed only for blocks of order lanczos_order
% or more, whose smallest eigenvalue of inv(X)*D comes from Lanczos'
% method; the smaller blocks take a full eigen-decomposition
  a = Inf;
  neg = D.d < 0;
  if (any (neg))
    a = min (-X.d(neg) ./ D.d(neg));
  end
  for k = 1:numel (X.b)
    if (size (X.b{k}, 1) >= C.lanczos_order)
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
