function w = weigh_constraints (T, c, C)
% Powers of two w, one for each constraint, such that each w(i)*F{i} has
% its largest entry from 1 to 2; all ones where the F{i}'s largest
% entries are within a factor of C.balance_spread of each other. T is the
% list of the F{i}'s stored entries (entries_of) and c the costs.
%
% The problem of the w(i)*F{i} and w(i)*c(i) is the same problem, its
% x(i) the user's x(i)/w(i), its F{i}.Y and c(i) w(i) times the user's,
% exactly, by powers of two; F0, Z and Y are the user's. A weight's
% exponent is bounded by C.balance_exponent, and lowered further where
% w(i)*c(i) would reach 2^512. data_scales decides whether the weights
% are taken.
  n = numel (c);
  w = ones (n, 1);
  if (isempty (T.v))
    return;
  end
  big = accumarray (T.owner, abs (T.v), [n 1], @max);
  used = big > 0;
  if (max (big(used)) <= C.balance_spread * min (big(used)))
    return;
  end
  e = -floor (log2 (big(used)));
  e = min (max (e, -C.balance_exponent), C.balance_exponent);
  cost = abs (c(used));
  some = cost > 0;
  e(some) = min (e(some), 511 - floor (log2 (cost(some))));
  w(used) = pow2 (e);
end

%!test
%! % constraints whose largest entries agree in scale keep their weights
%! C = solver_constants ();
%! T = entries_of ({sparse([1 2; 2 1]), sparse([3 0; 0 -1])});
%! assert (weigh_constraints (T, [1; 1], C), [1; 1]);
%!test
%! % half of them times 1e-8: each weighed to a largest entry from 1 to 2
%! % by a power of two; a zero matrix keeps its weight of 1
%! C = solver_constants ();
%! F = {sparse([3 1; 1 0]), 1e-8 * sparse([0 5; 5 1]), sparse(2, 2), 1e-8 * speye(2)};
%! w = weigh_constraints (entries_of (F), [1; 1; 0; 1], C);
%! assert (w, pow2 (round (log2 (w))));
%! big = cellfun (@(f) full (max (abs (f(:)))), F(:)) .* w;
%! assert (big([1 2 4]) >= 1 & big([1 2 4]) < 2);
%! assert (w(3), 1);
%!test
%! % a weight that would take w(i)*c(i) past 2^512 is held below it, and
%! % one past balance_exponent held at it
%! C = solver_constants ();
%! F = {speye(2), 1e-300 * speye(2), 1e-300 * speye(2)};
%! w = weigh_constraints (entries_of (F), [1; 1e300; 1], C);
%! assert (w(1), 1);
%! assert (w(2) * 1e300 < pow2 (512) && w(2) * 1e300 >= pow2 (511));
%! assert (w(3), pow2 (C.balance_exponent));
