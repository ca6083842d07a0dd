function B = schur_root (P, RZ, RY, Y, W, C)
% The square root B of the Schur complement M(i,j) =
% trace(F{i}*inv(Z)*F{j}*Y), M = B'*B: with Z = RZ'*RZ and Y = RY'*RY,
% column i of B holds, for each block, the upper triangle of
% Phi'*F{i}*Phi, weighted (root_columns), for a group the entries of
% RZ' \ (F{i}*RY'), and on the diagonal part sqrt(y./z) times F{i}'s
% diagonal. Near the optimum of a problem whose x is not
% unique, M's smallest eigenvalues fall below its largest times the
% rounding unit, so that no matrix M formed in floating point holds them;
% B holds them to working precision, its condition being the square root
% of M's, and so does the triangular factor of B's QR factorization, at
% rows(B) * n^2 operations. A block's columns are formed in panels of
% C.panel_bytes at most, so that no array of B's size is made but B.
  n = P.n;
  rows = root_rows (P);
  d = numel (Y.d);
  B = zeros (sum (rows) + d, n);
  top = 0;
  for k = 1:numel (P.blk)
    q = numel (P.blk(k).idx);
    cons = P.blk(k).cons;
    nc = numel (cons);
    at = top + (1:rows(k));
    top = top + rows(k);
    if (~isempty (P.blk(k).members))
      % a group: its members' entries of RZ' \ (F*RY') alone, the others
      % being zero, as vec(RZ' \ (F*RY')) = kron(RY, inv(RZ)')*vec(F) for
      % each member, all the members of one order at once through the
      % block-diagonal matrix of their kron(RY, inv(RZ)')
      V = zeros (rows(k), nc);
      last = 0;
      for c = 1:numel (P.blk(k).pages)
        lin = P.blk(k).pages(c).lin;
        q = size (lin, 1);
        many = size (lin, 3);
        e = numel (lin);
        Ry = reshape (full (RY{k}(lin)), size (lin));
        Rt = permute (page_inverse (reshape (full (RZ{k}(lin)), size (lin))), [2 1 3]);
        % kron(A, B)((p-1)*q+s, (r-1)*q+t) = A(p,r)*B(s,t)
        Kv = reshape (Rt, q, 1, q, 1, many) .* reshape (Ry, 1, q, 1, q, many);
        Kbig = sparse (P.blk(k).pages(c).I, P.blk(k).pages(c).J, Kv(:), e, e);
        V(last + (1:e), :) = Kbig * P.blk(k).Fstack(lin(:), :);
        last = last + e;
      end
      B(at, cons) = V;
      continue;
    end
    % a block of its own: the upper triangles of Phi'*F{i}*Phi, weighted
    w = max (1, floor (C.panel_bytes / (8 * q * q)));
    if (isempty (P.blk(k).Fstack))
      F = P.blk(k).F;
      fetch = @(s, e) full ([F{s:e}]);
    else
      Fs = P.blk(k).Fstack;
      fetch = @(s, e) reshape (full (Fs(:, s:e)), q, q * (e - s + 1));
    end
    B(at, cons) = root_columns (fetch, nc, RZ{k}, Y.b{k}, w);
  end
  B(top + 1:end, :) = spdiags (sqrt (Y.d .* W.d), 0, d, d) * P.diag.A.';
end

%!function M = schur_of (F, Z, Y)
%! % the definition, M(i,j) = trace(F{i}*inv(Z)*F{j}*Y)
%! n = numel (F);
%! M = zeros (n);
%! for i = 1:n
%!   for j = 1:n
%!     M(i,j) = trace (F{i} * inv (Z) * F{j} * Y);
%!   end
%! end
%!endfunction
%!test
%! % B'*B is the Schur complement of two blocks or a group, and a diagonal part
%! F = {sparse([2 1 0 0 0 0 0; 1 0 0 0 0 0 0; 0 0 1 0 0 0 0; 0 0 0 1 1 0 0; 0 0 0 1 0 0 0; 0 0 0 0 0 3 0; 0 0 0 0 0 0 0]), ...
%!      sparse([0 0 1 0 0 0 0; 0 1 0 0 0 0 0; 1 0 0 0 0 0 0; 0 0 0 0 0 0 0; 0 0 0 0 2 0 0; 0 0 0 0 0 0 0; 0 0 0 0 0 0 1]), ...
%!      sparse([1 0 0 0 0 0 0; 0 0 2 0 0 0 0; 0 2 0 0 0 0 0; 0 0 0 3 0 0 0; 0 0 0 0 0 0 0; 0 0 0 0 0 1 0; 0 0 0 0 0 0 2])};
%! F0 = sparse (7, 7);
%! part.blocks = {[1 2 3], [4 5]};
%! part.diag = [6 7];
%! for g = [0 10]
%!   if (g)
%!     P = split_problem (F, F0, part, g);
%!   else
%!     P = split_problem (F, F0, part);
%!   end
%!   Zf = [4 1 0 0 0 0 0; 1 5 1 0 0 0 0; 0 1 3 0 0 0 0; 0 0 0 2 1 0 0; 0 0 0 1 3 0 0; 0 0 0 0 0 2 0; 0 0 0 0 0 0 5];
%!   Yf = [3 0 1 0 0 0 0; 0 2 0 0 0 0 0; 1 0 4 0 0 0 0; 0 0 0 5 2 0 0; 0 0 0 2 1 0 0; 0 0 0 0 0 4 0; 0 0 0 0 0 0 3];
%!   [Z.b, Y.b, RZ, RY] = deal (cell (1, numel (P.blk)));
%!   for k = 1:numel (P.blk)
%!     Z.b{k} = sparse (Zf(P.blk(k).idx, P.blk(k).idx));
%!     Y.b{k} = sparse (Yf(P.blk(k).idx, P.blk(k).idx));
%!     RZ{k} = chol (Z.b{k});
%!     RY{k} = chol (Y.b{k});
%!   end
%!   dz = diag (Zf);
%!   dy = diag (Yf);
%!   Z.d = dz(P.diag.idx);
%!   Y.d = dy(P.diag.idx);
%!   W.d = 1 ./ Z.d;
%!   M = schur_of (F, Zf, Yf);
%!   B = schur_root (P, RZ, RY, Y, W, struct ('panel_bytes', 200));
%!   assert (B.' * B, M, 1e-12 * norm (M));
%! end
%!test
%! % one block, its F{i} held as a cell
%! F = {sparse([2 1 0; 1 0 1; 0 1 1]), sparse([0 0 1; 0 1 0; 1 0 0]), speye(3)};
%! P = split_problem (F, sparse (3, 3), find_blocks (F, sparse (3, 3)));
%! assert (isempty (P.blk(1).Fstack));
%! Zf = [4 1 0; 1 5 1; 0 1 3];
%! Yf = [3 0 1; 0 2 0; 1 0 4];
%! Y.b = {Yf};
%! Y.d = zeros (0, 1);
%! W.d = zeros (0, 1);
%! M = schur_of (F, Zf, Yf);
%! B = schur_root (P, {chol(Zf)}, {chol(Yf)}, Y, W, struct ('panel_bytes', 100));
%! assert (B.' * B, M, 1e-12 * norm (M));
%!test
%! % a group of members of orders 2, 3 and 2: those of one order taken
%! % together, each at its own rows
%! sizes = [2 3 2];
%! pieces = @(s) arrayfun (@(q) reshape (sin (s * (1:q*q)), q, q), sizes, 'UniformOutput', false);
%! F = cell (1, 4);
%! for i = 1:4
%!   part_i = pieces (i);
%!   G = blkdiag (part_i{:});
%!   F{i} = sparse (G + G.');
%! end
%! part_i = pieces (7);
%! G = blkdiag (part_i{:});
%! Zf = G * G.' + eye (7);
%! part_i = pieces (9);
%! G = blkdiag (part_i{:});
%! Yf = G * G.' + eye (7);
%! part.blocks = {[1 2], [3 4 5], [6 7]};
%! part.diag = [];
%! P = split_problem (F, sparse (7, 7), part, 3);
%! assert (P.blk(1).members, sizes);
%! Y.b = {sparse(Yf)};
%! Y.d = zeros (0, 1);
%! W.d = zeros (0, 1);
%! B = schur_root (P, {chol(sparse (Zf))}, {chol(sparse (Yf))}, Y, W, struct ('panel_bytes', 100));
%! M = schur_of (F, Zf, Yf);
%! assert (B.' * B, M, 1e-12 * norm (M));
