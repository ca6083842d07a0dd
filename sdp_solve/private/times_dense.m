function G = times_dense (S, D, C)
% S*D; for a dense D, a sparse S that is nearly full is multiplied as a
% full matrix, which is much faster, a diagonal one (max-cut's dZ) as a
% scaling of D's rows, five times as fast as a product at order 2000, and
% any other sparse one as (D'*S')', as a dense times a sparse matrix is
% several times faster than the reverse. Each entry of S*D is then one
% product, or the same sum, so that all three give S*D's bits
  if (issparse (S) && issparse (D))
    G = S * D;
  elseif (issparse (S))
    stored = nnz (S);
    if (stored > C.nearly_full * numel (S))
      G = full (S) * D;
    elseif (stored <= size (S, 1) && ~isempty (S) && nnz (diag (S)) == stored)
      G = full (diag (S)) .* D;
    else
      G = (D.' * S.').';
    end
  else
    G = S * D;
  end
end

%!test
%! % each way gives S*D's bits: nearly full, diagonal (zeros on the
%! % diagonal included), as many entries as rows but one off the
%! % diagonal, none, and dense
%! C = solver_constants ();
%! D = reshape (sin (1:64), 8, 8);
%! D = D + D.';
%! d = cos (1:8)';
%! d(1) = 0;
%! S = {sparse(reshape (cos (1:64), 8, 8)), spdiags(d, 0, 8, 8), ...
%!      spdiags(d, 0, 8, 8) + sparse(2, 5, 0.5, 8, 8), sparse(8, 8)};
%! for k = 1:numel (S)
%!   assert (isequal (times_dense (S{k}, D, C), full (S{k}) * D));
%! end
%! assert (isequal (times_dense (full (S{1}), D, C), full (S{1}) * D));
