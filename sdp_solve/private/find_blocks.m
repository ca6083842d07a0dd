function part = find_blocks (F, F0, sizes)
% The blocks of a problem: part.blocks is a cell of index vectors, one for
% each block of order above one, and part.diag the indices of the diagonal
% part (the 1-by-1 blocks and the diagonal blocks, gathered). With sizes,
% a block list as an SDPA file gives it (a negative size is a diagonal
% block), the blocks are laid along the diagonal in that order. Without,
% they are the connected components of the joint pattern of F0 and the
% F{i}, each in ascending order, ordered by their first index.
  m = size (F0, 1);
  if (nargin > 2 && ~isempty (sizes))
    first = cumsum ([1, abs(sizes(:).')]);
    blocks = cell (1, numel (sizes));
    keep = false (1, numel (sizes));
    diag_ = cell (1, numel (sizes));
    for k = 1:numel (sizes)
      idx = first(k):first(k+1)-1;
      if (sizes(k) > 1)
        blocks{k} = idx;
        keep(k) = true;
      else
        diag_{k} = idx;
      end
    end
    part.blocks = blocks(keep);
    part.diag = [diag_{:}];
    return;
  end
  % the joint pattern, with the diagonal, so that each component is a
  % diagonal block of dmperm's fine decomposition
  n = numel (F);
  [I, J] = deal (cell (n + 1, 1));
  [I{end}, J{end}] = find (F0);
  for i = 1:n
    [I{i}, J{i}] = find (F{i});
  end
  S = sparse ([vertcat(I{:}); (1:m).'], [vertcat(J{:}); (1:m).'], 1, m, m);
  [p, ~, r] = dmperm (S + S.');
  count = numel (r) - 1;
  comps = cell (1, count);
  for k = 1:count
    comps{k} = sort (p(r(k):r(k+1)-1));
  end
  orders = cellfun (@numel, comps);
  [~, by] = sort (cellfun (@(v) v(1), comps));
  comps = comps(by);
  orders = orders(by);
  part.blocks = comps(orders > 1);
  part.diag = sort ([comps{orders == 1}]);
end

%!test
%! % two blocks and two 1-by-1 entries, scattered by a permutation
%! A = sparse ([1 1 0 0 0 0; 1 1 0 0 0 0; 0 0 1 0 0 0; 0 0 0 1 1 1; 0 0 0 1 1 0; 0 0 0 1 0 0]);
%! p = [4 1 6 3 2 5];
%! part = find_blocks ({A(p,p), speye(6)}, sparse (6, 6));
%! assert (part.blocks, {[1 3 6], [2 5]});
%! assert (part.diag, 4);
%!test
%! % F0 joins what the F{i} leave apart
%! F0 = sparse ([0 0 1; 0 0 0; 1 0 0]);
%! part = find_blocks ({speye(3)}, F0);
%! assert (part.blocks, {[1 3]});
%! assert (part.diag, 2);
%!test
%! % a block list: the 1-by-1 and diagonal blocks make the diagonal part
%! part = find_blocks ({speye(8)}, sparse (8, 8), [2 -3 1 2]);
%! assert (part.blocks, {[1 2], [7 8]});
%! assert (part.diag, [3 4 5 6]);
