function S = block_matrix (P, X)
% the m-by-m sparse matrix of a block-diagonal matrix held by blocks. One
% block beside the diagonal part is made sparse alone and put at its
% indices by a permutation, E*B*E' with E(idx(j), j) = 1: each entry of
% the product is one entry of B times ones, so it keeps its bits, and at
% order 2000 this takes a tenth of the time of gathering the indices of
% every entry for sparse(), whose sort of m*m triples costs more than an
% iteration. Many small blocks are gathered so, which is the cheaper way
% for them.
  nb = numel (X.b);
  d = numel (P.diag.idx);
  if (nb == 1)
    E = sparse ([P.blk(1).idx(:); P.diag.idx(:)], 1:P.m, 1, P.m, P.m);
    B = blkdiag (sparse (X.b{1}), sparse (1:d, 1:d, X.d(:), d, d));
    S = E * B * E.';
    return;
  end
  [I, J, V] = deal (cell (nb + 1, 1));
  for k = 1:nb
    idx = P.blk(k).idx(:);
    [i, j, V{k}] = find (X.b{k});
    I{k} = idx(i);
    J{k} = idx(j);
  end
  I{end} = P.diag.idx(:);
  J{end} = P.diag.idx(:);
  V{end} = X.d(:);
  S = sparse (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), P.m, P.m);
end

%!test
%! % blocks at interleaved indices, one of them sparse, with zeros among the
%! % entries of a dense block and of the diagonal part: S holds each entry
%! % at its place, and no zeros
%! P.m = 9;
%! P.blk = struct ('idx', {[2 5 6], [1 9], [3 7]});
%! P.diag.idx = [4; 8];
%! X.b = {[1 -2 0; -2 3 4; 0 4 5], sparse([6 0; 0 7]), [pi 1e-300; 1e-300 -1]};
%! X.d = [0; 8];
%! want = zeros (9);
%! for k = 1:3
%!   want(P.blk(k).idx, P.blk(k).idx) = X.b{k};
%! end
%! want(4, 4) = 0;
%! want(8, 8) = 8;
%! S = block_matrix (P, X);
%! assert (issparse (S));
%! assert (isequal (full (S), want));
%! assert (nnz (S), nnz (want));
%! % one block and the diagonal part, the other way
%! P.blk = P.blk(1);
%! P.diag.idx = [1; 3; 4; 7; 8; 9];
%! X.b = X.b(1);
%! X.d = [-1; 0; 2; 0; 3; 1e-300];
%! want = diag ([-1 0 0 0 0 0 0 0 0]);
%! want(P.blk.idx, P.blk.idx) = X.b{1};
%! want(sub2ind ([9 9], P.diag.idx, P.diag.idx)) = X.d;
%! S = block_matrix (P, X);
%! assert (issparse (S));
%! assert (isequal (full (S), want));
%! assert (nnz (S), nnz (want));
