function part = find_blocks (F, F0, sizes, T)
% The blocks of a problem: part.blocks is a cell of index vectors, one for
% each block of order above one, and part.diag the indices of the diagonal
% part (the 1-by-1 blocks and the diagonal blocks, gathered): the
% connected components of the joint pattern of F0 and the F{i}, each in
% ascending order, ordered by their first index. A block list as an SDPA
% file gives it (sizes, a negative size a diagonal block) holds each of
% these within one of its blocks, and may join several: a block of the
% file that the pattern splits (qpG's order 2000, half of it diagonal; a
% max-cut graph's isolated vertices) is taken in its parts, as Z and an
% optimal Y keep the finer structure. T, when given, is entries_of (F).
  m = size (F0, 1);
  % the joint pattern, with the diagonal, so that each component is a
  % diagonal block of dmperm's fine decomposition
  if (nargin < 4)
    T = entries_of (F);
  end
  [I, J] = find (F0);
  S = sparse ([T.r; I; (1:m).'], [T.c; J; (1:m).'], 1, m, m);
  [p, ~, r] = dmperm (S + S.');
  % the components of one index gathered at once (a linear program of
  % order 1e6 has a million of them, which a statement each took 20 s
  % over), the others each sorted, in the order of their first index
  sizes = diff (r);
  part.diag = sort (reshape (p(r([sizes == 1, false])), 1, []));
  big = find (sizes > 1);
  comps = cell (1, numel (big));
  firsts = zeros (1, numel (big));
  for t = 1:numel (big)
    comps{t} = sort (p(r(big(t)):r(big(t)+1)-1));
    firsts(t) = comps{t}(1);
  end
  [~, by] = sort (firsts);
  part.blocks = comps(by);
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
%! % a block list: its diagonal block and the parts of a block that the
%! % pattern splits make the diagonal part and blocks of their own
%! F = {sparse(blkdiag ([1 1 0; 1 1 0; 0 0 1], eye (2), [1 1; 1 1]))};
%! part = find_blocks (F, sparse (7, 7), [3 -2 2]);
%! assert (part.blocks, {[1 2], [6 7]});
%! assert (part.diag, [3 4 5]);
