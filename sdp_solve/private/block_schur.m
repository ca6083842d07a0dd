function M = block_schur (P, K, Y, W, RZ, RY)
% the Schur complement M(i,j) = trace(F{i}*W*F{j}*Y), W = inv(Z), summed
% over the blocks, RZ and RY the blocks' Cholesky factors of Z and Y; on
% the diagonal part it is A*diag(y./z)*A'. A block that all the F{i}
% touch gives M its first value, with no array of M's order to add into:
% at order 2000 and more, each such array costs as much as a product.
% The blocks whose M is symmetric only up to rounding are symmetrised
% once, in their sum, not one by one. The small blocks formed together
% ('joint', joint_schur) take one call of sdp_schur, with their blocks of
% W and Y laid side by side.
  M = [];
  symmetric = true;
  for k = 1:numel (P.blk)
    symmetric = symmetric && K{k}.symmetric;
    if (isfield (K{k}, 'joint'))
      % the small blocks formed together, by the first of them
      J = K{k}.joint;
      cons = J.cons;
      Mk = sdp_schur (J.F, joint_matrix (J, W), joint_matrix (J, Y));
    elseif (isempty (K{k}.schur))
      % the others of those blocks
      continue;
    else
      cons = P.blk(k).cons;
      Mk = K{k}.schur (Y.b{k}, W.b{k}, RZ{k}, RY{k});
    end
    if (numel (cons) == P.n && isempty (M))
      M = Mk;
      continue;
    elseif (isempty (M))
      M = zeros (P.n);
    end
    if (numel (cons) == P.n)
      M = M + Mk;
    else
      M(cons, cons) = M(cons, cons) + Mk;
    end
  end
  if (isempty (M))
    M = zeros (P.n);
  elseif (~symmetric)
    M = sym_part (M);
  end
  if (~isempty (P.diag.idx))
    A = P.diag.A;
    d = numel (Y.d);
    M = M + full (A * spdiags (Y.d .* W.d, 0, d, d) * A.');
  end
end

function A = joint_matrix (J, X)
  % the blocks J.blocks of X side by side, block diagonal and full
  A = zeros (J.last(end));
  for t = 1:numel (J.blocks)
    r = J.first(t):J.last(t);
    A(r, r) = X.b{J.blocks(t)};
  end
end

%!test
%! % blocks of orders 3, 5 and 4 (kron) and 32 (another method), each
%! % touched by some of the F{i}, F{3} by the block of order 32 alone: M of
%! % the definition, exactly symmetric, though each block's kron product
%! % rounds apart from its transpose
%! F = test_blocks ([3 5 4 32], 9);
%! n = 9;
%! % the three small blocks each by kron, not formed together
%! C = solver_constants ();
%! C.joint_count = Inf;
%! [P, K] = test_problem (F, C);
%! methods = cellfun (@(k) k.method, K, 'UniformOutput', false);
%! assert (methods(1:3), {'kron', 'kron', 'kron'});
%! assert (~strcmp (methods{4}, 'kron'));
%! assert (numel (P.blk(4).cons) < n && numel (unique ([P.blk(1:3).cons])) < n);
%! [Y, W, RZ, RY, Yf, Wf] = test_iterate (P);
%! M = block_schur (P, K, Y, W, RZ, RY);
%! want = schur_definition (F, Wf, Yf);
%! assert (isequal (M, M.'));
%! assert (M, want, 1e-12 * norm (want, 1));
%! % the blocks' own products are not symmetric to the bit
%! Mk = K{2}.schur (Y.b{2}, W.b{2});
%! assert (~isequal (Mk, Mk.'));

%!test
%! % a group of three small blocks, its Schur complement by sdp_schur on
%! % its W and Y made full ('joint') and by the members' kron products:
%! % both M of the definition, the first exactly symmetric
%! orders = [3 4 2];
%! F = test_blocks (orders, 6);
%! m = sum (orders);
%! for share = [0, Inf]
%!   C = solver_constants ();
%!   C.group_joint = share;
%!   P = split_problem (F, sparse (m, m), find_blocks (F, sparse (m, m)), C.group_order);
%!   K = kernels_of (P, 'cheapest', C);
%!   assert (numel (P.blk) == 1 && numel (P.blk(1).members) == 3);
%!   if (exist ('sdp_schur') == 3 && share == 0)
%!     assert (K{1}.method, 'joint');
%!   else
%!     assert (K{1}.method, 'group');
%!   end
%!   % Y and inv(Z) block diagonal by the members, in the group's order
%!   [Yg, Wg] = deal (zeros (m));
%!   first = 0;
%!   for q = P.blk(1).members
%!     r = first + (1:q);
%!     G = reshape (cos (1:q*q), q, q);
%!     Yg(r, r) = G * G.' + eye (q);
%!     Wg(r, r) = inv (G.' * G + 2 * eye (q));
%!     Wg(r, r) = (Wg(r, r) + Wg(r, r).') / 2;
%!     first = first + q;
%!   end
%!   idx = P.blk(1).idx;
%!   [Yf, Wf] = deal (zeros (m));
%!   Yf(idx, idx) = Yg;
%!   Wf(idx, idx) = Wg;
%!   Y = struct ('b', {{sparse(Yg)}}, 'd', zeros (0, 1));
%!   W = struct ('b', {{sparse(Wg)}}, 'd', zeros (0, 1));
%!   M = block_schur (P, K, Y, W, {[]}, {[]});
%!   want = schur_definition (F, Wf, Yf);
%!   assert (M, want, 1e-12 * norm (want, 1));
%!   assert (isequal (M, M.'));
%! end
