function d = balance_data (T, m, C)
% Powers of two d, one for each of the m indices, such that the matrices
% D*F{i}*D, D = diag(d), have in every row that holds entries a largest
% entry from 1/2 to 2 (in C.balance_sweeps sweeps at most, each dividing
% d(k) by the square root of row k's largest entry); all ones where the
% rows' largest entries are within a factor of C.balance_spread of each
% other. T is the list of the F{i}'s stored entries (entries_of).
%
% The problem with D*F{i}*D and D*F0*D has the same x, its Z is D*Z*D and
% its Y is inv(D)*Y*inv(D): by powers of two, each of these products is
% exact but for an entry taken below the least normal double (one that
% small against its row's largest), and the traces F{i}.Y, F0.Y and Z.Y
% are the same numbers. The exponents are bounded by C.balance_exponent,
% so that a row of entries near the least double is not scaled past the
% largest. Rows whose scales
% differ by many orders take the iteration there, and back, as a user's
% units would: a congruence of the first half of the indices by 1e-4 had
% truss1 end "dual infeasible" at its first iteration, and qap5, gpp100
% and theta1 "not solved", each solved balanced. SDPLIB's problems keep
% their data but for the control and arch problems, whose rows differ by
% about 1e4 (control's iterations fell from 16-24 to 12-20); balancing the
% hinf problems too, whose rows differ by at most 101, left hinf7 and hinf9
% "not solved".
  d = ones (m, 1);
  if (isempty (T.v))
    return;
  end
  a = abs (T.v);
  r = accumarray (T.r, a, [m 1], @max);
  used = r > 0;
  if (max (r(used)) <= C.balance_spread * min (r(used)))
    return;
  end
  for sweep = 1:C.balance_sweeps
    r = accumarray (T.r, a .* d(T.r) .* d(T.c), [m 1], @max);
    if (all (r(used) >= 1/2 & r(used) <= 2))
      break;
    end
    d(used) = d(used) ./ sqrt (r(used));
  end
  d = pow2 (min (max (round (log2 (d)), -C.balance_exponent), C.balance_exponent));
end

%!test
%! % data whose rows agree in scale is left as it is
%! C = solver_constants ();
%! F = {sparse([1 2; 2 1]), sparse([3 0; 0 -1])};
%! assert (balance_data (entries_of (F), 2, C), [1; 1]);
%!test
%! % a congruence of the first three of six indices by 1e-4: the balanced
%! % rows' largest entries lie from 1/2 to 2, d is powers of two, and
%! % D*F*D undoes the congruence but for powers of two, exactly
%! C = solver_constants ();
%! m = 6;
%! S = spdiags ([1e-4 * ones(3, 1); ones(3, 1)], 0, m, m);
%! A = sparse (toeplitz ([4 1 0 0 0 1]));
%! B = sparse (diag ([1 2 3 4 5 6]));
%! F = {S * A * S, S * B * S};
%! d = balance_data (entries_of (F), m, C);
%! assert (d, pow2 (round (log2 (d))));
%! assert (d(1:3) > 1e3 * d(4:6));
%! D = spdiags (d, 0, m, m);
%! rows = max (max (abs (D * F{1} * D), [], 2), max (abs (D * F{2} * D), [], 2));
%! assert (all (rows >= 1/2 & rows <= 2));
%! Di = spdiags (1 ./ d, 0, m, m);
%! assert (isequal (Di * (D * F{1} * D) * Di, F{1}));
%! % a row of zeros keeps its 1
%! F{1}(:, 2) = 0; F{1}(2, :) = 0; F{2}(2, 2) = 0;
%! d = balance_data (entries_of (F), m, C);
%! assert (d(2), 1);
%!test
%! % an entry near the least double: the exponents stay within their bound
%! C = solver_constants ();
%! F = {sparse([1e-300 0; 0 1])};
%! d = balance_data (entries_of (F), 2, C);
%! assert (d, pow2 ([C.balance_exponent; 0]));
