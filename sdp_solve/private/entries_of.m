function T = entries_of (F)
% The stored entries of the matrices of the cell F in one list, matrix by
% matrix, each in the order find gives: row r, column c and value v, and
% owner, the index of the entry's matrix; counts(i) is the number of
% entries of F{i} and starts(i) the place of its first.
  k = numel (F);
  I = cell (k, 1);
  J = I;
  V = I;
  for i = 1:k
    [r, c, v] = find (F{i});
    I{i} = r(:);
    J{i} = c(:);
    V{i} = v(:);
  end
  T.counts = cellfun ('length', V);
  T.r = vertcat (zeros (0, 1), I{:});
  T.c = vertcat (zeros (0, 1), J{:});
  T.v = vertcat (zeros (0, 1), V{:});
  T.owner = zeros (0, 1);
  if (k > 0)
    owner = repelem ((1:k).', T.counts);
    T.owner = owner(:);
  end
  T.starts = cumsum ([1; T.counts(1:end-1)]);
end

%!test
%! % matrices without entries among others, and one of order 1: the
%! % entries in find's order, each with its matrix, and where each
%! % matrix's begin
%! F = {sparse(3, 3), sparse([1 3], [3 1], [2 2], 3, 3), sparse(3, 3), speye(3)};
%! T = entries_of (F);
%! assert ([T.r, T.c, T.v, T.owner], [3 1 2 2; 1 3 2 2; 1 1 1 4; 2 2 1 4; 3 3 1 4]);
%! assert ([T.counts, T.starts], [0 1; 2 1; 0 3; 3 3]);
%! T = entries_of ({sparse(1, 1)});
%! assert (size (T.r), [0 1]);
%! assert (size (T.owner), [0 1]);
%! assert (T.counts, 0);
