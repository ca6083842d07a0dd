function P = split_problem (F, F0, part, group_order, T)
% The problem cut into its blocks. For each block k of order above one,
% P.blk(k) holds its indices idx, the constraints cons whose F{i} touch
% it, their parts F{i}(idx,idx), either as the columns F{i}(idx,idx)(:)
% of the sparse matrix Fstack or, when the problem is one block, as the
% cell F, and F0(idx,idx) (F0). The diagonal
% part is P.diag: its indices idx, the n-by-d sparse matrix A whose row i
% holds F{i}'s diagonal there, and F0's diagonal there (f0).
% With group_order, two or more blocks of that order or less are gathered
% into one group, a block held as a sparse block-diagonal matrix, whose
% members field lists their orders in turn (it is empty for a block of
% its own), and whose pages field gives, for each order k among them,
% the positions of its members' entries: lin(:, :, j) the linear indices,
% in the group's matrix, of the j-th member of order k; and, in the
% block-diagonal matrix of the members' kron(A, B) (A, B k-by-k-by-count,
% its rows and columns those of lin(:)), the row I and column J of each
% product B(q,s,j)*A(p,r,j) of reshape(B, k, 1, k, 1, []) .*
% reshape(A, 1, k, 1, k, []), in that order. T, when given, is
% entries_of (F); a single block that every F{i} touches keeps it (T).
  if (nargin > 3)
    part = group_blocks (part, group_order);
  else
    part.members = cell (1, numel (part.blocks));
  end
  n = numel (F);
  m = size (F0, 1);
  nb = numel (part.blocks);
  if (nargin < 5)
    T = entries_of (F);
  end
  P.m = m;
  P.n = n;
  P.blk = struct ('idx', cell (1, nb), 'cons', [], 'F', [], 'Fstack', [], 'F0', [], ...
                  'members', part.members, 'pages', [], 'T', []);
  if (nb == 1 && isempty (part.diag) && isempty (part.members{1}))
    % one block: the matrices as they are
    P.blk(1).idx = 1:m;
    P.blk(1).cons = find (cellfun (@nnz, F));
    P.blk(1).F = F(P.blk(1).cons);
    P.blk(1).F0 = F0;
    if (numel (P.blk(1).cons) == n)
      P.blk(1).T = T;
    end
  else
    % every stored entry, with its matrix, its block and its place there
    where = zeros (m, 1);
    local = zeros (m, 1);
    for k = 1:nb
      where(part.blocks{k}) = k;
      local(part.blocks{k}) = 1:numel (part.blocks{k});
    end
    local(part.diag) = 1:numel (part.diag);
    [I, J, V, mat] = deal (T.r, T.c, T.v, T.owner);
    blk = where(I);
    [~, by] = sortrows ([blk, mat]);
    I = I(by); J = J(by); V = V(by); mat = mat(by); blk = blk(by);
    % the runs of one matrix in one block (none where the F{i} store no
    % entry)
    starts = [1; find(diff (blk) | diff (mat)) + 1];
    starts = starts(starts <= numel (blk));
    ends = [starts(2:end) - 1; numel(blk)];
    ends = ends(1:numel (starts));
    % the run of each entry, and its place in the block
    run = cumsum (accumarray (starts, 1, size (blk)));
    I = local(I);
    J = local(J);
    for k = 1:nb
      idx = part.blocks{k};
      q = numel (idx);
      runs = find (blk(starts) == k);
      P.blk(k).idx = idx;
      P.blk(k).cons = mat(starts(runs)).';
      if (~isempty (runs))
        e = starts(runs(1)):ends(runs(end));
        P.blk(k).Fstack = sparse ((J(e) - 1) * q + I(e), run(e) - run(e(1)) + 1, V(e), ...
                                  q * q, numel (runs));
      end
      P.blk(k).F0 = F0(idx, idx);
      P.blk(k).pages = pages_of (part.members{k});
    end
    d = blk == 0;
    P.diag.idx = part.diag;
    P.diag.A = sparse (mat(d), I(d), V(d), n, numel (part.diag));
    P.diag.f0 = reshape (full (diag (F0(part.diag, part.diag))), [], 1);
    return;
  end
  P.diag.idx = [];
  P.diag.A = sparse (n, 0);
  P.diag.f0 = zeros (0, 1);
end

function part = group_blocks (part, group_order)
  % the blocks of order group_order or less, when there are two or more,
  % made one, in the place of the first of them
  orders = cellfun (@numel, part.blocks);
  small = orders <= group_order;
  part.members = cell (1, numel (orders));
  if (nnz (small) < 2)
    return;
  end
  first = find (small, 1);
  part.blocks{first} = [part.blocks{small}];
  part.members{first} = orders(small);
  small(first) = false;
  part.blocks(small) = [];
  part.members(small) = [];
end

function pages = pages_of (members)
  pages = struct ('k', {}, 'lin', {}, 'I', {}, 'J', {});
  if (isempty (members))
    return;
  end
  mg = sum (members);
  offsets = cumsum ([0, members(1:end-1)]);
  for k = unique (members)
    o = offsets(members == k);
    [r, c] = ndgrid (1:k, 1:k);
    lin = reshape (o, 1, 1, []) .* (mg + 1) + (c - 1) * mg + r;
    at = reshape (1:numel (lin), size (lin));
    I = reshape (at, k, k, 1, 1, []) + zeros (1, 1, k, k);
    J = reshape (at, 1, 1, k, k, []) + zeros (k, k);
    pages(end+1) = struct ('k', k, 'lin', lin, 'I', I(:), 'J', J(:));
  end
end

%!test
%! % a block of order 2 and a diagonal part of 2, scattered
%! F = {sparse([1 0 2 0; 0 3 0 0; 2 0 4 0; 0 0 0 5]), sparse([0 0 0 0; 0 6 0 0; 0 0 0 0; 0 0 0 0])};
%! F0 = sparse ([7 0 8 0; 0 0 0 0; 8 0 9 0; 0 0 0 1]);
%! P = split_problem (F, F0, find_blocks (F, F0));
%! assert (P.blk(1).idx, [1 3]);
%! assert (P.blk(1).cons, 1);
%! assert (full (P.blk(1).F0), [7 8; 8 9]);
%! assert (full (P.blk(1).Fstack), [1; 2; 2; 4]);
%! assert (P.diag.idx, [2 4]);
%! assert (full (P.diag.A), [3 5; 6 0]);
%! assert (P.diag.f0, [0; 1]);
%!test
%! % blocks of orders 2, 3 and 2 gathered into one group: the members'
%! % entries where the pages say, F{i} of the group block-diagonal
%! F = {sparse(blkdiag([1 2; 2 3], [1 1 0; 1 2 1; 0 1 3], [4 5; 5 6])), sparse(blkdiag(zeros(5), [7 0; 0 8]))};
%! F0 = sparse (7, 7);
%! P = split_problem (F, F0, find_blocks (F, F0), 2);
%! assert (numel (P.blk), 2);
%! assert (P.blk(1).members, [2 2]);
%! assert (P.blk(1).idx, [1 2 6 7]);
%! assert (P.blk(1).cons, [1 2]);
%! assert (isempty (P.blk(2).members) && isempty (P.blk(2).pages));
%! G = reshape (full (P.blk(1).Fstack(:, 1)), 4, 4);
%! assert (G, blkdiag ([1 2; 2 3], [4 5; 5 6]));
%! assert ([P.blk(1).pages.k], 2);
%! assert (G(P.blk(1).pages.lin), cat (3, [1 2; 2 3], [4 5; 5 6]));
%! assert (full (P.blk(1).Fstack(:, 2)), reshape (blkdiag (zeros (2), [7 0; 0 8]), [], 1));

%!test
%! % a single block keeps the entries of its F{i} only when they are all
%! % of it: with an F{i} that stores nothing, the owners would be off by one
%! A = sparse ([2 1; 1 0]);
%! F = {A, sparse(2, 2), speye(2)};
%! T = entries_of (F);
%! P = split_problem (F, sparse (2, 2), find_blocks (F, sparse (2, 2), [], T), 10, T);
%! assert (P.blk(1).cons, [1 3]);
%! assert (isempty (P.blk(1).T));
%! F(2) = [];
%! T = entries_of (F);
%! P = split_problem (F, sparse (2, 2), find_blocks (F, sparse (2, 2), [], T), 10, T);
%! assert (P.blk(1).T, entries_of (P.blk(1).F));
