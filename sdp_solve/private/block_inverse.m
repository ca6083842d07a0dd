function Xi = block_inverse (P, X, R, C, which)
% the inverses of a block-diagonal matrix's blocks, from their Cholesky
% factors R, and of a group of small blocks member by member; with which
% 'step', only those that step_length asks for (groups, and blocks of
% order lanczos_order or more where sdp_chol cannot solve with their
% factors), the others left empty
  % which blocks take which, found for all at once: a test made for each
  % block costs more than a small block's inverse
  nb = numel (X.b);
  Xi.b = cell (1, nb);
  grouped = ~cellfun ('isempty', reshape ({P.blk.members}, 1, []));
  wanted = ~grouped;
  if (nargin >= 5)
    wanted = wanted & cellfun ('size', reshape (X.b, 1, []), 1) >= C.lanczos_order & ...
             ~C.sdp_chol;
  end
  for k = find (wanted)
    Xi.b{k} = chol2inv (R{k});
  end
  for k = find (grouped)
    Xi.b{k} = group_inverse (X.b{k}, P.blk(k).pages);
  end
  Xi.d = 1 ./ X.d;
end

function Xi = group_inverse (X, pages)
  m = size (X, 1);
  [I, J, V] = deal (cell (numel (pages), 1));
  for c = 1:numel (pages)
    lin = pages(c).lin;
    [I{c}, J{c}] = ind2sub ([m m], lin(:));
    V{c} = reshape (page_inverse (reshape (full (X(lin)), size (lin))), [], 1);
  end
  Xi = sym_part (sparse (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), m, m));
end

%!test
%! % a group of members of orders 2, 3 and 2, and a block of order 4
%! B = {[4 1; 1 3], [5 1 0; 1 4 1; 0 1 3], [2 -1; -1 2], [4 1 1 1; 1 4 1 1; 1 1 4 1; 1 1 1 4]};
%! A = sparse (blkdiag (B{:}));
%! P = split_problem ({A}, A, find_blocks ({A}, A), 3);
%! assert ({P.blk.members}, {[2 3 2], []});
%! X.b = {A(1:7, 1:7), full(B{4})};
%! X.d = zeros (0, 1);
%! R = {[], chol(X.b{2})};
%! C = solver_constants ();
%! Xi = block_inverse (P, X, R, C);
%! assert (issparse (Xi.b{1}));
%! assert (full (Xi.b{1}), inv (blkdiag (B{1:3})), 1e-14);
%! assert (Xi.b{2}, inv (B{4}), 1e-14);
%! Xi = block_inverse (P, X, R, C, 'step');
%! assert (isempty (Xi.b{2}) && issparse (Xi.b{1}));
