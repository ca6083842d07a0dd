function R = factor_schur (M, C)
% Cholesky's factor of M, or of M with a little added to its diagonal
% when rounding has taken its positive definiteness away; empty when
% neither works. With sdp_chol at hand, the factor stays in its storage
% and R is the text 'sdp_chol', which solve_schur takes to mean it
  % (a shift that overflows, where M's diagonal is near the largest
  % double, is not tried)
  shifts = [0, max(abs (diag (M))) * C.schur_shifts];
  shifts = shifts(isfinite (shifts));
  for shift = shifts
    if (C.sdp_chol)
      R = 'sdp_chol';
      p = sdp_chol ('factor', M, shift);
    elseif (shift == 0)
      [R, p] = chol (M);
    else
      [R, p] = chol (M + shift * eye (size (M, 1)));
    end
    if (p == 0)
      return;
    end
  end
  R = [];
end

%!test
%! % a diagonal near the largest double: no shift that overflows is tried,
%! % and a matrix no factor takes gives none
%! C = solver_constants ();
%! C.schur_shifts = [1e-3, 1];
%! unwind_protect
%!   assert (isempty (factor_schur ([realmax 2 * realmax; 2 * realmax realmax], C)));
%!   assert (isempty (factor_schur ([Inf 0; 0 1], C)));
%! unwind_protect_cleanup
%!   if (C.sdp_chol)
%!     sdp_chol ('release');
%!   end
%! end_unwind_protect
%!test
%! % both ways, the factor of M or of M shifted, or none: the same factor
%! % where M is positive definite, and the same shift where it is not
%! C = solver_constants ();
%! C.schur_shifts = [1e-3, 1];
%! M = [4 2 0; 2 1 0; 0 0 3];
%! ways = false;
%! if (C.sdp_chol)
%!   ways = [false, true];
%! end
%! unwind_protect
%!   for kept = ways
%!     C.sdp_chol = kept;
%!     % positive definite
%!     A = M + eye (3);
%!     R = factor_schur (A, C);
%!     if (kept)
%!       assert (R, 'sdp_chol');
%!       [~, R] = sdp_chol ('factor', A);
%!     end
%!     assert (isequal (R, chol (A)));
%!     % singular: the first shift, 4e-3, makes it definite
%!     R = factor_schur (M, C);
%!     if (kept)
%!       [~, R] = sdp_chol ('factor', M, 4e-3);
%!     end
%!     assert (isequal (R, chol (M + 4e-3 * eye (3))));
%!     % indefinite beyond every shift
%!     assert (isempty (factor_schur ([1 0; 0 -10], C)));
%!   end
%! unwind_protect_cleanup
%!   if (C.sdp_chol)
%!     sdp_chol ('release');
%!   end
%! end_unwind_protect
