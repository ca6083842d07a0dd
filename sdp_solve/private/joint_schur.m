function K = joint_schur (P, K, kind, C)
% Where kind is 'cheapest', sdp_schur is built and joint_count or more
% blocks form their Schur complements through kron(Y, W) ('kron'), those
% blocks form theirs together instead (a single block alone): one call
% of sdp_schur over the F{i} restricted to them, laid side by side as a
% block-diagonal matrix, with W and Y block diagonal alike. sdp_schur
% then forms each H and G within the blocks that F{i} uses, and the
% interpreter takes one call an iteration in place of a product, a sum
% into M and a symmetric part for each block (truss8: 33 blocks of
% order 19). Their method becomes
% 'joint', and their own K{k}.schur empty; the first of them holds the
% call (K{k}.joint: blocks, their places first:last in the joint order,
% the constraints cons that touch them and the matrices F).
  if (~strcmp (kind, 'cheapest') || exist ('sdp_schur') ~= 3)
    return;
  end
  blocks = find (cellfun (@(k) strcmp (k.method, 'kron'), K));
  if (numel (blocks) < C.joint_count)
    return;
  end
  orders = arrayfun (@(k) numel (P.blk(k).idx), blocks);
  last = cumsum (orders);
  first = last - orders + 1;
  cons = unique ([P.blk(blocks).cons]);
  % every entry of the blocks' F{i}: its row and column in the joint
  % order and the place of its constraint among cons
  [I, J, V, owner] = deal (cell (numel (blocks), 1));
  for t = 1:numel (blocks)
    blk = P.blk(blocks(t));
    q = orders(t);
    [lin, col, V{t}] = find (block_stack (blk));
    I{t} = mod (lin - 1, q) + first(t);
    J{t} = floor ((lin - 1) / q) + first(t);
    [~, where] = ismember (blk.cons(:), cons(:));
    owner{t} = where(col);
  end
  [I, J, V, owner] = deal (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), vertcat (owner{:}));
  % each matrix's entries together
  mt = last(end);
  [~, by] = sort (owner);
  F = cell (1, numel (cons));
  ends = [0; cumsum(accumarray (owner, 1, [numel(cons), 1]))];
  for i = 1:numel (cons)
    e = by(ends(i)+1:ends(i+1));
    F{i} = sparse (I(e), J(e), V(e), mt, mt);
  end
  K{blocks(1)}.joint = struct ('blocks', blocks, 'first', first, 'last', last, ...
                               'cons', cons, 'F', {F});
  for k = blocks
    K{k}.method = 'joint';
    K{k}.schur = [];
    K{k}.symmetric = true;
  end
end

%!test
%! % three blocks of kron's order among others: their Schur complements
%! % formed together, the definition's, each entry from the row of its
%! % smaller index and so exactly symmetric
%! F = test_blocks ([3 5 4 40], 10);
%! C = solver_constants ();
%! C.joint_count = 3;
%! [P, K] = test_problem (F, C);
%! if (exist ('sdp_schur') == 3)
%!   methods = cellfun (@(k) k.method, K, 'UniformOutput', false);
%!   assert (methods(1:3), {'joint', 'joint', 'joint'});
%!   assert (isfield (K{1}, 'joint') && ~isfield (K{2}, 'joint'));
%!   [Y, W, RZ, RY, Yf, Wf] = test_iterate (P);
%!   M = block_schur (P, K, Y, W, RZ, RY);
%!   want = schur_definition (F, Wf, Yf);
%!   assert (isequal (M, M.'));
%!   assert (M, want, 1e-12 * norm (want, 1));
%!   % with joint_count above their number, they keep their own
%!   C.joint_count = 4;
%!   [~, K] = test_problem (F, C);
%!   assert (cellfun (@(k) strcmp (k.method, 'kron'), K(1:3)));
%!   % a problem of one block, which keeps its F{i} as a cell, not stacked
%!   r = 1:3;
%!   G = cellfun (@(A) A(r, r), F, 'UniformOutput', false);
%!   C.joint_count = 1;
%!   [P, K] = test_problem (G, C);
%!   assert (numel (P.blk) == 1 && isempty (P.blk(1).Fstack));
%!   assert (K{1}.method, 'joint');
%!   [Yr, Wr] = deal (Yf(r, r), Wf(r, r));
%!   M = block_schur (P, K, struct ('b', {{Yr}}, 'd', []), struct ('b', {{Wr}}, 'd', []), {}, {});
%!   assert (M, schur_definition (G, Wr, Yr), 1e-12 * norm (M, 1));
%! end
