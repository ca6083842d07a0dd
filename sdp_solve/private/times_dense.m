function G = times_dense (S, D, C)
% S*D; for a dense D, a sparse S that is nearly full is multiplied as a
% full matrix, which is much faster, and a sparse one as (D'*S')', as a
% dense times a sparse matrix is several times faster than the reverse
  if (issparse (S) && issparse (D))
    G = S * D;
  elseif (issparse (S))
    if (nnz (S) > C.nearly_full * numel (S))
      G = full (S) * D;
    else
      G = (D.' * S.').';
    end
  else
    G = S * D;
  end
end
