function K = block_kernels (blk, kind, C)
% The inner work of one block blk of split_problem, whose constraint
% matrices are the parts F{1}, ..., F{k} of the F{i} that touch it, with
% the modules or with plain expressions:
%   K.sum(x)       x(1)*F{1} + ... + x(k)*F{k}, sparse unless nearly full
%   K.traces(A, G) the vector of F{i}.(A*G), A symmetric ([] for I)
%   K.schur(Y, W)  M(i,j) = trace(F{i}*W*F{j}*Y)
% A block of order kron_order or less does all three with either kind as
% products with Fstack = [F{1}(:) ... F{k}(:)], its Schur complement as
% Fstack'*kron(Y, W)*Fstack: there a call of a module costs the host more
% to hand over the F{i} than the call's arithmetic, and the blocks of a
% problem with many small blocks share most of their F{i}, so that each
% F{i} is handed over once for each block it touches. A group of small
% blocks does the same, with its sums by kovalin among the modules, and
% its Schur complement over all its members at once.
  k = numel (blk.cons);
  if (k == 0)
    K.sum = @(x) [];
    K.traces = @(A, G) zeros (0, 1);
    K.schur = @(Y, W) zeros (0);
    return;
  end
  m = numel (blk.idx);
  F = blk.F;
  if (isempty (F) && (m > C.kron_order || ~isempty (blk.members) && strcmp (kind, 'modules')))
    F = cell_of (blk.Fstack, m);
  end
  if (~isempty (blk.members))
    Fstack = stack (blk);
    if (strcmp (kind, 'modules'))
      nz = sum_entries (F);
      K.sum = @(x) kovalin (x, F, nz);
    else
      K.sum = @(x) reshape (Fstack * x, m, m);
    end
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    % each order's members: the rows of Fstack at their entries, and the
    % positions in kron(Y, W) of the products W(q,s)*Y(p,r)
    pages = blk.pages;
    for c = 1:numel (pages)
      [k, lin] = deal (pages(c).k, pages(c).lin);
      pages(c).F = Fstack(lin(:), :);
      at = reshape (1:numel (lin), size (lin));
      I = reshape (at, k, k, 1, 1, []) + zeros (1, 1, k, k);
      J = reshape (at, 1, 1, k, k, []) + zeros (k, k);
      pages(c).I = I(:);
      pages(c).J = J(:);
    end
    K.schur = @(Y, W) schur_group (pages, Y, W);
  elseif (m <= C.kron_order)
    Fstack = stack (blk);
    K.sum = @(x) reshape (Fstack * x, m, m);
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    K.schur = @(Y, W) schur_kron (Fstack, Y, W);
  elseif (strcmp (kind, 'modules'))
    I = full (eye (m));
    E = speye (m);
    % kovalin is told how many entries the sum stores, so that its work
    % lists hold the sum from the start and never grow; a sum that is
    % nearly full (gpp's) comes back as a full matrix at once
    nz = sum_entries (F);
    if (nz > C.nearly_full * m * m)
      nz = -1;
    end
    K.sum = @(x) kovalin (x, F, nz);
    % a nearly full F{i} of a large block (gpp's all-ones matrix) makes
    % brisset form a sum of m terms for each of its m*m entries, in its
    % traces and in its row of the Schur complement: those are dense
    % products instead
    dense = false (1, k);
    if (m >= C.dense_order)
      dense = cellfun (@nnz, F) > C.nearly_full * m * m;
    end
    if (any (dense))
      Fstack = stack (blk);
      K.traces = @(A, G) traces_mixed (brisset (pick (A, I), E, G, F(~dense)) / 2, ...
                                       Fstack(:, dense), times_ (A, G), dense);
    else
      Fstack = [];
      K.traces = @(A, G) brisset (pick (A, I), E, G, F) / 2;
    end
    K.schur = @(Y, W) schur_modules (F, Y, W, dense, Fstack);
  else
    Fstack = stack (blk);
    rows_of = cell (1, k);
    for i = 1:k
      rows_of{i} = find (any (F{i}, 2));
    end
    K.sum = @(x) reshape (Fstack * x, m, m);
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    K.schur = @(Y, W) schur_octave (F, Fstack, rows_of, Y, W);
  end
end

function M = schur_kron (Fstack, Y, W)
  % vec(W*F{j}*Y) = kron(Y, W)*vec(F{j}) for a symmetric Y, so that
  % M(i,j) = vec(F{i})'*kron(Y, W)*vec(F{j})
  M = sym_part (full (Fstack.' * (kron (Y, W) * Fstack)));
end

function M = schur_group (pages, Y, W)
  % as schur_kron, over the members of a group: kron(Y, W) of a member
  % holds W(q,s)*Y(p,r) where F(q,p) and F(s,r) meet
  M = 0;
  for c = 1:numel (pages)
    k = pages(c).k;
    lin = pages(c).lin;
    count = size (lin, 3);
    Yp = reshape (full (Y(lin)), 1, k, 1, k, count);
    Wp = reshape (full (W(lin)), k, 1, k, 1, count);
    KYW = sparse (pages(c).I, pages(c).J, reshape (Wp .* Yp, [], 1), numel (lin), numel (lin));
    M = M + pages(c).F.' * (KYW * pages(c).F);
  end
  M = sym_part (full (M));
end

function nz = sum_entries (F)
  % the number of positions that F{1}, ..., F{k} store between them
  k = numel (F);
  [I, J] = deal (cell (k, 1));
  for i = 1:k
    [I{i}, J{i}] = find (F{i});
  end
  m = size (F{1}, 1);
  nz = nnz (sparse (vertcat (I{:}), vertcat (J{:}), 1, m, m));
end

function F = cell_of (Fstack, m)
  % the matrices whose columns Fstack holds
  F = cell (1, columns (Fstack));
  for i = 1:numel (F)
    F{i} = reshape (Fstack(:, i), m, m);
  end
end

function Fstack = stack (blk)
  % Fstack = [F{1}(:) ... F{k}(:)], sparse, as split_problem gave it
  Fstack = blk.Fstack;
  if (~isempty (Fstack))
    return;
  end
  F = blk.F;
  k = numel (F);
  [I, V, J] = deal (cell (k, 1));
  for i = 1:k
    [I{i}, ~, V{i}] = find (F{i}(:));
    J{i} = i + zeros (numel (I{i}), 1);
  end
  Fstack = sparse (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), numel (F{1}), k);
end

function A = pick (A, I)
  if (isempty (A))
    A = I;
  end
end

function G = times_ (A, G)
  if (~isempty (A))
    G = A * G;
  end
end

function r = traces_mixed (r_sparse, Fdense, G, dense)
  r = zeros (numel (dense), 1);
  r(~dense) = r_sparse;
  r(dense) = full (Fdense.' * G(:));
end

function M = schur_modules (F, Y, W, dense, Fstack)
  % the rows of brisset, but for a nearly full F{i}: G = W*F{i}*Y and
  % M(i,j) = G(:).'*F{j}(:)
  k = numel (F);
  M = zeros (k);
  for i = 1:k
    if (dense(i))
      G = W * (full (F{i}) * Y);
      M(i, i:k) = G(:).' * Fstack(:, i:k);
    else
      M(i, i:k) = brisset (Y, F{i}, W, F(i:k)).' / 2;
    end
  end
  M = mirror (M);
end

function M = schur_octave (F, Fstack, rows_of, Y, W)
  % with I the rows where F{i} holds entries, G = W(:,I)*(F{i}(I,:)*Y) and
  % M(i,j) = G(:).'*F{j}(:)
  k = numel (F);
  M = zeros (k);
  for i = 1:k
    I = rows_of{i};
    G = W(:, I) * (F{i}(I, :) * Y);
    M(i, i:k) = G(:).' * Fstack(:, i:k);
  end
  M = mirror (M);
end

function M = mirror (M)
  % the upper triangle of M copied into its lower one (it holds zeros)
  d = diag (M);
  M = M + M.';
  M(1:size (M, 1) + 1:end) = d;
end

%!test
%! % a group of members of orders 2, 3 and 2, and a block of its own, with
%! % both kinds: the sums, traces and Schur complement of the definitions
%! S = @(A) A + A.';
%! F = {sparse(blkdiag (S([1 2; 0 3]), S(magic (3)), S([4 5; 0 6]), S(magic (4)))), ...
%!      sparse(blkdiag (zeros (5), [7 1; 1 8], zeros (4))), ...
%!      sparse(blkdiag (zeros (2), S(reshape (1:9, 3, 3)) .* [0 0 0; 0 0 0; 0 0 1], zeros (2), ...
%!                      [0 0 0 0; 0 0 0 0; 0 0 0 2; 0 0 2 0]))};
%! F = [{sparse(blkdiag (ones (2), zeros (9)))}, F];
%! F0 = sparse (11, 11);
%! P = split_problem (F, F0, find_blocks (F, F0), 3);
%! C = solver_constants ();
%! x = [0.5; -1; 2; 3];
%! for kind = {'modules', 'octave'}
%!   for k = 1:2
%!     blk = P.blk(k);
%!     K = block_kernels (blk, kind{1}, C);
%!     q = numel (blk.idx);
%!     Y = F{1}(blk.idx, blk.idx) * 0.25 + (q + 1) * speye (q);
%!     W = S(F{end}(blk.idx, blk.idx)) + 2 * q * speye (q);
%!     n = numel (blk.cons);
%!     G = cellfun (@(f) f(blk.idx, blk.idx), F(blk.cons), 'UniformOutput', false);
%!     [want_sum, want_traces, want_schur] = deal (0, zeros (n, 1), zeros (n));
%!     for i = 1:n
%!       want_sum = want_sum + x(blk.cons(i)) * G{i};
%!       want_traces(i) = trace (G{i} * W * Y);
%!       for j = 1:n
%!         want_schur(i, j) = trace (G{i} * W * G{j} * Y);
%!       end
%!     end
%!     assert (full (K.sum (x(blk.cons))), full (want_sum), 1e-13);
%!     assert (K.traces (W, Y), want_traces, 1e-12 * norm (want_traces));
%!     assert (K.schur (Y, W), want_schur, 1e-12 * norm (want_schur));
%!   end
%! end
%! assert ({P.blk.members}, {[2 3 2], []});
