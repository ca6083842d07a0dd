function R = factor_schur (M, C)
% Cholesky's factor of M, or of M with a little added to its diagonal
% when rounding has taken its positive definiteness away; empty when
% neither works
  [R, p] = chol (M);
  if (p == 0)
    return;
  end
  d = max (abs (diag (M)));
  for shift = d * C.schur_shifts
    [R, p] = chol (M + shift * eye (size (M, 1)));
    if (p == 0)
      return;
    end
  end
  R = [];
end
