function [F, c, T, kept] = drop_void (F, c, T)
% The constraints whose F{i} has no nonzero entry and whose c(i) is zero
% left out: they hold for every Y and leave Z as it is, so their x(i)
% may be 0, and kept they would give M a zero row and its square root a
% zero column, which no factor holds. kept marks the constraints that
% stay (empty when all do, or when all would go); T, the stored entries
% (entries_of), is renumbered to match
  kept = [];
  void = cellfun (@nnz, reshape (F, [], 1)) == 0 & c == 0;
  if (~any (void) || all (void))
    return;
  end
  kept = ~void;
  F = F(kept);
  c = c(kept);
  if (~isempty (T))
    number = cumsum (kept);
    T.owner = number(T.owner);
    T.counts = T.counts(kept);
    T.starts = cumsum ([1; T.counts(1:end-1)]);
  end
end

%!test
%! % the second and fourth constraints are void, the third's zero is a
%! % stored one; the first's cost is zero but not its matrix
%! F = {speye(2), sparse(2, 2), sparse([1 2], [1 2], [0 0], 2, 2), sparse(2, 2), sparse([0 1; 1 0])};
%! c = [0; 0; 0; 0; 3];
%! T = entries_of (F);
%! [G, d, U, kept] = drop_void (F, c, T);
%! assert (kept, logical ([1; 0; 0; 0; 1]));
%! assert (isequal (G, F([1 5])) && isequal (d, c([1 5])));
%! assert (isequal (U, entries_of (G)));
%! % a zero matrix of nonzero cost stays (no Y meets it: the solve says
%! % so), and all of them void stay
%! [G, d, U, kept] = drop_void (F(2), 1, []);
%! assert (isempty (kept) && isequal (G, F(2)));
%! [G, d, U, kept] = drop_void (F([2 4]), [0; 0], []);
%! assert (isempty (kept) && numel (G) == 2);
