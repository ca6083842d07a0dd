function [F, c, T, kept, mult] = drop_redundant (F, c, T)
% The constraints that hold wherever the others do, left out:
% - void ones, whose F{i} has no nonzero entry and whose c(i) is zero:
%   they hold for every Y and leave Z as it is;
% - repeats, F{j} = a*F{i} and c(j) = a*c(i), entry by entry to within
%   4 ulps (a multiple formed in floating point rounds so), a duplicate
%   (a = 1) or a multiple of an earlier constraint: of each such set the
%   first stays, and F{i}.Y = c(i) gives F{j}.Y = c(j) to rounding.
% Their x(j) may be 0. Kept, a void constraint gives M a zero row, and a
% repeat two rows alike, which no factor holds: control2 with one
% constraint twice ended "inaccurate", hinf5 "not solved". kept marks the
% constraints that stay (empty when all do, or when all would go); mult(i)
% is sqrt(1 + the sum of a^2 over the repeats of the i-th that stays), so
% that the dual residual over all the user's constraints has the norm of
% (c(i) - F{i}.Y)*mult(i) over those that stay; T, the stored entries
% (entries_of, empty for none), is cut and renumbered to match.
  n = numel (F);
  kept = [];
  mult = ones (n, 1);
  E = T;
  if (isempty (E))
    E = entries_of (F);
  end
  drop = E.counts(:) == 0 & c(:) == 0;
  a2 = repeats (E, c, size (F{1}, 1));
  drop = drop | isnan (a2);
  if (~any (drop) || all (drop))
    return;
  end
  kept = ~drop;
  a2(isnan (a2)) = 0;
  mult = sqrt (1 + a2(kept));
  F = F(kept);
  c = c(kept);
  if (~isempty (T))
    stays = kept(T.owner);
    number = cumsum (kept);
    T.r = T.r(stays);
    T.c = T.c(stays);
    T.v = T.v(stays);
    T.owner = number(T.owner(stays));
    T.counts = T.counts(kept);
    T.starts = cumsum ([1; T.counts(1:end-1)]);
  end
end

function a2 = repeats (E, c, m)
  % a2(i): NaN for a repeat, which goes; for the first of its set, which
  % stays, the sum of a^2 over its repeats; 0 for the others. Candidates
  % have the same count of entries at the same places (a hash of the
  % places, in find's order, alike for matrices alike) and values over
  % their first whose hash agrees to rounding; each candidate is then
  % compared entry by entry with the first of its set
  n = numel (c);
  a2 = zeros (n, 1);
  live = find (E.counts(:) > 0);
  if (numel (live) < 2)
    return;
  end
  f = zeros (n, 1);
  f(live) = E.v(E.starts(live));
  % a hash of each entry's place, far from linear in it: by the fractional
  % part of place*0.618..., nearly linear, theta's pairs of places of one
  % sum had all met
  g = 1 + mod (abs (sin ((E.r + (E.c - 1) * m) * 12.9898)) * 43758.5453, 1);
  % (every entry's f is nonzero: find stores no zeros)
  gv = E.v ./ f(E.owner) .* g;
  h = accumarray (E.owner, gv, [n, 1]);
  spread = accumarray (E.owner, abs (gv), [n, 1]);
  key = [E.counts(:), accumarray(E.owner, g, [n, 1]), h];
  [sorted, order] = sortrows (key(live, :));
  spread = spread(live(order));
  % neighbours of one pattern whose value hashes agree to their rounding
  % (a multiple by a in floating point moves the values over the first
  % by an ulp or two)
  near = abs (sorted(2:end, 3) - sorted(1:end-1, 3)) <= ...
         64 * eps * max (spread(2:end), spread(1:end-1));
  same = [all(sorted(2:end, 1:2) == sorted(1:end-1, 1:2), 2) & near; false];
  for s = find (same & ~[false; same(1:end-1)]).'
    e = s;
    while (same(e))
      e = e + 1;
    end
    group = sort (live(order(s:e)));
    while (numel (group) > 1)
      i = group(1);
      ei = E.starts(i) + (0:E.counts(i) - 1);
      alike = false (size (group));
      alike(1) = true;
      for t = 2:numel (group)
        j = group(t);
        a = f(j) / f(i);
        ej = E.starts(j) + (0:E.counts(j) - 1);
        if (isequal (E.r(ej), E.r(ei)) && isequal (E.c(ej), E.c(ei)) && ...
            all (abs (E.v(ej) - a * E.v(ei)) <= 4 * eps * abs (E.v(ej))) && ...
            abs (c(j) - a * c(i)) <= 4 * eps * abs (c(j)))
          alike(t) = true;
          a2(j) = NaN;
          a2(i) = a2(i) + a ^ 2;
        end
      end
      group = group(~alike);
    end
  end
end

%!test
%! % the second and fourth constraints are void, the third's zero is a
%! % stored one; the first's cost is zero but not its matrix
%! F = {speye(2), sparse(2, 2), sparse([1 2], [1 2], [0 0], 2, 2), sparse(2, 2), sparse([0 1; 1 0])};
%! c = [0; 0; 0; 0; 3];
%! T = entries_of (F);
%! [G, d, U, kept, mult] = drop_redundant (F, c, T);
%! assert (kept, logical ([1; 0; 0; 0; 1]));
%! assert (isequal (G, F([1 5])) && isequal (d, c([1 5])) && isequal (mult, [1; 1]));
%! assert (isequal (U, entries_of (G)));
%! % a zero matrix of nonzero cost stays (no Y meets it: the solve says
%! % so), and all of them void stay
%! [G, d, U, kept] = drop_redundant (F(2), 1, []);
%! assert (isempty (kept) && isequal (G, F(2)));
%! [G, d, U, kept] = drop_redundant (F([2 4]), [0; 0], []);
%! assert (isempty (kept) && numel (G) == 2);
%!test
%! % repeats: a duplicate, a negated half, a double and a triple of the
%! % first (3*A rounds: A/3's entries are not thirds of A's), each with its
%! % cost so; not a copy whose cost differs, one whose values are a
%! % multiple to 1e-12 only, one of another pattern, nor one of the same
%! % pattern but other values
%! A = sparse ([1 1 2 3], [1 2 1 3], [0.7 -0.1 -0.1 0.3], 3, 3);
%! B = sparse ([1 2], [1 2], [1 1], 3, 3);
%! near = A / 3;
%! near(3, 3) = near(3, 3) * (1 + 1e-12);
%! F = {A, B, A, -A / 2, 2 * A, A, near, B + speye(3), sparse([1 2 3], [1 2 3], [1 1 1], 3, 3), 3 * A};
%! c = [0.5; 1; 0.5; -0.25; 1; 6; 0.5 / 3; 1; 1; 3 * 0.5];
%! assert (~isequal (3 * A / 3, A));
%! T = entries_of (F);
%! [G, d, U, kept, mult] = drop_redundant (F, c, T);
%! assert (kept, logical ([1; 1; 0; 0; 0; 1; 1; 1; 1; 0]));
%! assert (isequal (G, F(kept)) && isequal (d, c(kept)));
%! assert (mult, sqrt ([1 + 1 + 1/4 + 4 + 9; 1; 1; 1; 1; 1]), 4 * eps);
%! assert (isequal (U, entries_of (G)));
%! % the dual residual of all ten, from those kept times mult
%! Y = [2 1 0; 1 3 1; 0 1 4];
%! r = cellfun (@(f) full (sum (sum (f .* Y))), F(:)) - c;
%! assert (norm (r(kept) .* mult), norm (r), 1e-14 * norm (r));
