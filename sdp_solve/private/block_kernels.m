function K = block_kernels (blk, kind, C)
% The inner work of one block blk of split_problem, whose constraint
% matrices are the parts F{1}, ..., F{k} of the F{i} that touch it, with
% the modules or with plain expressions:
%   K.sum(x)       x(1)*F{1} + ... + x(k)*F{k}, sparse unless nearly full
%   K.traces(A, G) the vector of F{i}.(A*G), A symmetric ([] for I)
%   K.schur(Y, W, RZ, RY)  M(i,j) = trace(F{i}*W*F{j}*Y), with W = inv(Z),
%                  Z = RZ'*RZ and Y = RY'*RY
%   K.symmetric    false where K.schur's M is symmetric only up to its
%                  rounding ('kron', 'group'): block_schur symmetrises the
%                  sum of the blocks once instead
%   K.method       how K.schur forms M: 'kron', 'group', 'rows', 'entries',
%                  'rank', 'dense', 'sdp_schur' or 'octave' ('kron' may
%                  become 'joint' in kernels_of)
%   K.work         for a block of order above kron_order, not in a group,
%                  the count of K.schur's work by schur_method's rule
%   K.panel(Y, W, first, last)  with 'sdp_schur', the panel
%                  Mo(first:k, first:last) of Mo = M(K.order, K.order),
%                  the same bits as K.schur's, for panels of
%                  K.panel_width columns; K.order puts the F{i} of most
%                  entries first
% kind is 'modules' (the three modules only), 'octave' (plain
% expressions) or 'cheapest' (the sums and the traces with the identity
% as products with the F{i}'s entries stacked, with the modules' bits,
% the other traces by brisset, and the Schur complement by the method
% that schur_method finds cheapest).
% A block of order kron_order or less does all three with either kind as
% products with Fstack = [F{1}(:) ... F{k}(:)], its Schur complement as
% Fstack'*kron(Y, W)*Fstack: there a call of a module costs the host more
% to hand over the F{i} than the call's arithmetic, and the blocks of a
% problem with many small blocks share most of their F{i}, so that each
% F{i} is handed over once for each block it touches. A group of small
% blocks does the same, with its sums by kovalin among the modules, and
% its Schur complement over all its members at once.
  K.symmetric = true;
  k = numel (blk.cons);
  if (k == 0)
    K.sum = @(x) [];
    K.traces = @(A, G) zeros (0, 1);
    K.schur = @(varargin) zeros (0);
    K.method = 'none';
    return;
  end
  m = numel (blk.idx);
  F = blk.F;
  modules = any (strcmp (kind, {'modules', 'cheapest'}));
  if (isempty (F) && (m > C.kron_order || ~isempty (blk.members) && modules))
    F = cell_of (blk.Fstack, m);
  end
  if (~isempty (blk.members))
    Fstack = block_stack (blk);
    if (strcmp (kind, 'cheapest'))
      K.sum = stacked_sum (stacked (stack_entries (Fstack, m), m, k), false);
    elseif (modules)
      nz = sum_entries (entries_of (F), m);
      K.sum = @(x) kovalin (x, F, nz);
    else
      K.sum = @(x) reshape (Fstack * x, m, m);
    end
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    % each order's members: the rows of Fstack at their entries
    pages = blk.pages;
    for c = 1:numel (pages)
      pages(c).F = Fstack(pages(c).lin(:), :);
    end
    K.schur = @(Y, W, varargin) schur_group (pages, Y, W);
    K.method = 'group';
    K.symmetric = false;
    % where the members' kron products hold many entries against the
    % group's order squared, one call of sdp_schur on the group's W and Y,
    % made full, forms it within the members (truss2's 33 of order 4:
    % 0.21 ms against 0.46; truss6's 150 of order 3 keep theirs, 1.2 ms
    % against 2.9)
    if (strcmp (kind, 'cheapest') && exist ('sdp_schur') == 3 && ...
        sum (blk.members .^ 4) >= C.group_joint * m ^ 2)
      K.schur = @(Y, W, varargin) sdp_schur (F, full (W), full (Y));
      K.method = 'joint';
      K.symmetric = true;
    end
  elseif (m <= C.kron_order)
    Fstack = block_stack (blk);
    K.sum = @(x) reshape (Fstack * x, m, m);
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    K.schur = @(Y, W, varargin) schur_kron (Fstack, Y, W);
    K.method = 'kron';
    K.symmetric = false;
  elseif (modules)
    I = full (eye (m));
    E = speye (m);
    if (isfield (blk, 'T') && ~isempty (blk.T))
      T = blk.T;
    elseif (~isempty (blk.Fstack))
      T = stack_entries (blk.Fstack, m);
    else
      T = entries_of (F);
    end
    % kovalin is told how many entries the sum stores, so that its work
    % lists hold the sum from the start and never grow; a sum that is
    % nearly full (gpp's) comes back as a full matrix at once
    nz = sum_entries (T, m);
    if (nz > C.nearly_full * m * m)
      nz = -1;
    end
    if (strcmp (kind, 'cheapest'))
      % the sum, and the traces with the identity, as products with the
      % F{i}'s entries stacked at the positions they store: each a sum
      % over the same entries in the same order from +0.0, so the bits of
      % kovalin's and brisset's, but with no call that takes every F{i}
      % from the host (at theta3's 1106 elements, 0.04 ms against 1.1)
      S = stacked (T, m, k);
      K.sum = stacked_sum (S, nz < 0);
    else
      K.sum = @(x) kovalin (x, F, nz);
    end
    % a nearly full F{i} of a large block (gpp's all-ones matrix) makes
    % brisset form a sum of m terms for each of its m*m entries, in its
    % traces and in its row of the Schur complement: those are dense
    % products instead
    dense = false (1, k);
    if (m >= C.dense_order)
      dense = T.counts.' > C.nearly_full * m * m;
    end
    % with the cheapest kind, where every one of them is of rank one,
    % u*u'/d (gpp's all-ones matrix), their traces come from products with
    % u, of order m^2 instead of m^3, and so does a sum of the F{i} times
    % a dense matrix (K.times); with any other among them, A*G is formed
    % for that one anyway, and all keep it (qap10). Their rows of M take
    % F{i}*Y as u*(u'*Y)/d, and W times that by a dense product still:
    % from u alone, M(i,i) = (u'*W*u)*(u'*Y*u)/d^2 comes out as small as
    % it is near gpp's optimum, where Y*u tends to 0 and x(i) grows
    % without bound, and the solve then takes dx(i) so large that the
    % rounding of dx(i)*(u'*Y) spoils the direction (two gpp problems of
    % eleven ended short of tol so; the rounding of the dense product
    % keeps M(i,i) from vanishing)
    one = struct ('is', false (1, k), 'U', zeros (m, 0), 'd', zeros (1, 0));
    if (strcmp (kind, 'cheapest') && any (dense))
      found = rank_one_dense (F, dense, one);
      if (all (found.is(dense)))
        one = found;
      end
    end
    if (any (dense))
      Fstack = block_stack (blk, T);
      K.traces = @(A, G) traces_mixed (sparse_traces (pick (A, I), E, G, F(~dense)), ...
                                       Fstack(:, dense & ~one.is), A, G, dense, one);
      if (any (one.is))
        rest = ~one.is;
        rest_sum = stacked_sum (stacked (entries_among (T, rest), m, sum (rest)), false);
        K.times = @(x, D) times_dense (rest_sum (x(rest)), D, C) + ...
                          (one.U .* (x(one.is).' ./ one.d)) * (one.U.' * D);
      end
    else
      Fstack = [];
      K.traces = @(A, G) brisset (pick (A, I), E, G, F) / 2;
    end
    if (strcmp (kind, 'cheapest'))
      K.traces = @(A, G) stacked_traces (S, K.traces, A, G);
    end
    K.method = 'rows';
    if (strcmp (kind, 'cheapest'))
      [K.method, Ent, cost] = schur_method (F, m, dense, C, T);
    else
      [~, ~, cost] = schur_method (F, m, dense, C, T);
    end
    K.work = cost.(K.method);
    switch (K.method)
      case 'rows'
        K.schur = @(Y, W, varargin) schur_modules (F, Y, W, dense, Fstack, one);
      case {'entries', 'rank'}
        others = true (1, k);
        others(Ent.idx) = false;
        others = find (others);
        if (any (Ent.way(others) ~= 'b') && isempty (Fstack))
          Fstack = block_stack (blk, T);
        end
        rows_ = struct ('F', {F}, 'others', others, 'way', Ent.way, 'rows_of', {Ent.rows_of}, ...
                        'Fstack', Fstack, 'one', one);
        if (strcmp (K.method, 'entries'))
          K.schur = @(Y, W, varargin) schur_entries (Ent, rows_, Y, W);
        else
          K.schur = @(Y, W, varargin) schur_rank (Ent, rows_, Y, W);
        end
      case 'sdp_schur'
        % the elements in the order of their entries, most first (ties in
        % their own order): row i forms G at the positions that F{i}, ...,
        % F{k} store, so that a nearly full element late in F costs every
        % row before it its positions (qap10's F{121}, 10001 entries, put
        % 120 rows to the work of all 10201 positions). K.order is the
        % order sdp_schur takes them in; each entry of M comes from the row
        % of the element first in it
        [~, order] = sort (-T.counts(:).');
        K.order = order;
        F = F(order);
        K.schur = @(Y, W, varargin) in_order (sdp_schur (F, W, Y), order);
        K.panel = @(Y, W, first, last) sdp_schur (F, W, Y, [first last]);
        K.panel_width = max (1, floor (C.panel_bytes / (8 * k)));
      case 'dense'
        Fwide = reshape (full (block_stack (blk, T)), m, []);
        K.schur = @(Y, W, RZ, RY) schur_dense (Fwide, RZ, Y);
    end
  else
    Fstack = block_stack (blk);
    rows_of = cell (1, k);
    for i = 1:k
      rows_of{i} = find (any (F{i}, 2));
    end
    K.sum = @(x) reshape (Fstack * x, m, m);
    K.traces = @(A, G) full (Fstack.' * reshape (times_ (A, G), [], 1));
    K.schur = @(Y, W, varargin) schur_octave (F, Fstack, rows_of, Y, W);
    K.method = 'octave';
    [~, ~, cost] = schur_method (F, m, false (1, k), C);
    K.work = cost.rows;
  end
end

function M = in_order (Mo, order)
  % M with M(order, order) = Mo, Mo itself where order is 1:k
  if (issorted (order))
    M = Mo;
  else
    M = zeros (size (Mo));
    M(order, order) = Mo;
  end
end

function M = schur_kron (Fstack, Y, W)
  % vec(W*F{j}*Y) = kron(Y, W)*vec(F{j}) for a symmetric Y, so that
  % M(i,j) = vec(F{i})'*kron(Y, W)*vec(F{j})
  M = full (Fstack.' * (kron (Y, W) * Fstack));
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
  M = full (M);
end

function nz = sum_entries (T, m)
  % the number of positions that F{1}, ..., F{k} store between them, from
  % their entries T (entries_of)
  nz = nnz (sparse (T.r, T.c, 1, m, m));
end

function T = stack_entries (Fstack, m)
  % entries_of for the F{i} whose columns Fstack holds: each element's
  % entries column by column, as find gives them
  [lin, owner, v] = find (Fstack);
  k = size (Fstack, 2);
  T.counts = accumarray (owner(:), 1, [k, 1]);
  T.c = floor ((lin(:) - 1) / m) + 1;
  T.r = lin(:) - (T.c - 1) * m;
  T.v = v(:);
  T.owner = owner(:);
  T.starts = cumsum ([1; T.counts(1:end-1)]);
end

function S = stacked (T, m, k)
  % the entries T (entries_of) of the k F{i} of a block of order m, as the
  % columns of S.F, whose rows are the distinct positions S.pos they store,
  % ascending, at rows S.r and columns S.c
  [S.pos, ~, at] = unique (T.r + (T.c - 1) * m);
  S.F = sparse (at, T.owner, T.v, numel (S.pos), k);
  [S.r, S.c] = ind2sub ([m, m], S.pos);
  S.m = m;
end

function f = stacked_sum (S, dense)
  % x(1)*F{1} + ... + x(k)*F{k}, dense or sparse as kovalin gives it (its
  % sparse result, the sum's transpose, is the sum: the F{i} are
  % symmetric); sparse drops the stored zeros of terms that cancel, which
  % kovalin keeps
  if (dense)
    f = @(x) dense_sum (S, x);
  else
    f = @(x) sparse (S.r, S.c, S.F * x(:), S.m, S.m);
  end
end

function X = dense_sum (S, x)
  X = zeros (S.m);
  X(S.pos) = S.F * x(:);
end

function t = stacked_traces (S, other, A, G)
  % the traces with the identity from the stacked entries; the others
  % (A*G, with A the inverse of a block of Z) as other gives them
  if (isempty (A))
    t = S.F.' * full (G(S.pos));
  else
    t = other (A, G);
  end
end

function F = cell_of (Fstack, m)
  % the matrices whose columns Fstack holds
  F = cell (1, size (Fstack, 2));
  for i = 1:numel (F)
    F{i} = reshape (Fstack(:, i), m, m);
  end
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

function r = sparse_traces (A, E, G, F)
  % brisset's traces of the F{i} that are not nearly full, none where all
  % are (brisset takes a cell of one matrix at least)
  r = zeros (0, 1);
  if (~isempty (F))
    r = brisset (A, E, G, F) / 2;
  end
end

function r = traces_mixed (r_sparse, Fdense, A, G, dense, one)
  % the traces F{i}.(A*G) of the sparse F{i} (r_sparse), of the nearly
  % full ones from A*G, and of those of rank one, u*u'/d, as
  % (A*u)'*(G*u)/d
  r = zeros (numel (dense), 1);
  r(~dense) = r_sparse;
  plain = dense & ~one.is;
  if (any (plain))
    AG = times_ (A, G);
    r(plain) = full (Fdense.' * AG(:));
  end
  if (any (one.is))
    r(one.is) = (sum (times_ (A, one.U) .* (G * one.U), 1) ./ one.d).';
  end
end

function one = rank_one_dense (F, dense, one)
  % the nearly full F{i} that are u*u'/d exactly (rank_one), added to one,
  % which holds none
  for i = find (dense)
    [u, d] = rank_one (full (F{i}));
    if (~isempty (u))
      one.is(i) = true;
      one.U(:, end+1) = u;
      one.d(end+1) = d;
    end
  end
end

function T = entries_among (T, keep)
  % the entries T (entries_of) of the F{i} with keep(i), numbered among
  % those
  at = keep(T.owner);
  place = cumsum (keep(:));
  T.r = T.r(at);
  T.c = T.c(at);
  T.v = T.v(at);
  T.owner = place(T.owner(at));
  T.counts = T.counts(keep);
end

function G = dense_g (W, Y, F, i, one)
  % W*F{i}*Y for a nearly full F{i}, with F{i}*Y = u*(u'*Y)/d where F{i}
  % is of rank one
  t = find (find (one.is) == i);
  if (isempty (t))
    G = W * (full (F{i}) * Y);
  else
    u = one.U(:, t);
    G = W * (u * ((Y * u).' / one.d(t)));
  end
end

function M = schur_modules (F, Y, W, dense, Fstack, one)
  % the rows of brisset, but for a nearly full F{i}: G = W*F{i}*Y and
  % M(i,j) = G(:).'*F{j}(:)
  k = numel (F);
  M = zeros (k);
  for i = 1:k
    if (dense(i))
      G = dense_g (W, Y, F, i, one);
      M(i, i:k) = G(:).' * Fstack(:, i:k);
    else
      M(i, i:k) = brisset (Y, F{i}, W, F(i:k)).' / 2;
    end
  end
  M = mirror (M);
end

function M = schur_entries (E, rows_, Y, W)
  % with F{i} = h(i)*(e_p*e_q' + e_q*e_p') for i in E, trace(F{i}*W*F{j}*Y)
  % is h(i)*h(j)*(W(q_i,p_j)*Y(p_i,q_j) + its transpose's +
  % W(q_i,q_j)*Y(p_i,p_j) + W(p_i,p_j)*Y(q_i,q_j)), and the other F{i}
  % take their rows over all of F (other_rows). The rows of W and Y are
  % gathered once, then M is filled in place 64 columns at a time, so that
  % each step's arrays stay in the cache (over whole columns the same sums
  % take several times as long), and passed to no function (at order 3000
  % a copy of M costs as much as the pairs). The sum of the first two
  % terms is the same either way round, so that M is exactly symmetric.
  [p, q, h, at] = deal (E.p, E.q, E.h, E.idx);
  Wq = W(q, :);
  Wp = W(p, :);
  Yq = Y(q, :);
  Yp = Y(p, :);
  n = numel (p);
  M = zeros (numel (rows_.F));
  for first = 1:64:n
    c = first:min (n, first + 63);
    pc = p(c);
    qc = q(c);
    M(at, at(c)) = (Wq(:, pc) .* Yp(:, qc) + Wp(:, qc) .* Yq(:, pc) + Wq(:, qc) .* Yp(:, pc) + ...
                    Wp(:, pc) .* Yq(:, qc)) .* (h * h(c).');
  end
  others = rows_.others;
  if (~isempty (others))
    R = other_rows (rows_, Y, W);
    M(others, :) = R;
    M(:, others) = R.';
    M(others, others) = sym_part (R(:, others));
  end
end

function M = schur_rank (R, rows_, Y, W)
  % with the terms of rank one of the F{i} in R.idx as the columns of U,
  % signed and scaled by S, trace(F{i}*W*F{j}*Y) is entry (i,j) of
  % S'*((U'*W*U) .* (U'*Y*U))*S. U'*W*U comes from gathers of W*U at the
  % few rows where each column of U holds entries, 64 columns at a time,
  % each such slice of M formed at once: Octave's products of a dense and
  % a sparse matrix, and arrays of M's size made anew for each step, take
  % several times as long
  [row, value] = deal (R.row, R.value);
  WU = gather_columns (W, row, value);
  YU = gather_columns (Y, row, value);
  [t1, t2, s1, s2] = deal (R.first, R.second, R.first_scale, R.second_scale);
  two = find (t2 > 0);
  n = numel (t1);
  MR = zeros (n);
  for first = 1:64:n
    c = first:min (n, first + 63);
    X = gather_rows (WU, row, value, t1(c)) .* gather_rows (YU, row, value, t1(c));
    B = (s1 * s1(c).') .* X(t1, :);
    if (~isempty (two))
      B(two, :) = B(two, :) + (s2(two) * s1(c).') .* X(t2(two), :);
      c2 = find (t2(c) > 0);
      if (~isempty (c2))
        X = gather_rows (WU, row, value, t2(c(c2))) .* gather_rows (YU, row, value, t2(c(c2)));
        B(:, c2) = B(:, c2) + (s1 * s2(c(c2)).') .* X(t1, :);
        B(two, c2) = B(two, c2) + (s2(two) * s2(c(c2)).') .* X(t2(two), :);
      end
    end
    MR(:, c) = B;
  end
  MR = sym_part (MR);
  if (numel (R.idx) == numel (rows_.F))
    M = MR;
  else
    M = zeros (numel (rows_.F));
    M(R.idx, R.idx) = MR;
  end
  others = rows_.others;
  if (~isempty (others))
    Q = other_rows (rows_, Y, W);
    M(others, :) = Q;
    M(:, others) = Q.';
    M(others, others) = sym_part (Q(:, others));
  end
end

function WU = gather_columns (W, row, value)
  % W*U, with U's column c holding value(:,c) at the rows row(:,c)
  WU = value(1, :) .* W(:, row(1, :));
  for a = 2:size (row, 1)
    WU = WU + value(a, :) .* W(:, row(a, :));
  end
end

function A = gather_rows (WU, row, value, c)
  % the columns c of U'*(W*U)
  A = value(1, :).' .* WU(row(1, :), c);
  for a = 2:size (row, 1)
    A = A + value(a, :).' .* WU(row(a, :), c);
  end
end

function R = other_rows (rows_, Y, W)
  % the rows of the F{i} that no structure covers, over all of F, each the
  % way schur_method found cheaper: by brisset ('b'), gathered ('g'), or
  % by dense products ('d')
  [F, others, way, Fstack] = deal (rows_.F, rows_.others, rows_.way, rows_.Fstack);
  R = zeros (numel (others), numel (F));
  for r = 1:numel (others)
    i = others(r);
    switch (way(i))
      case 'd'
        G = dense_g (W, Y, F, i, rows_.one);
        R(r, :) = G(:).' * Fstack;
      case 'g'
        I = rows_.rows_of{i};
        G = W(:, I) * (F{i}(I, :) * Y);
        R(r, :) = G(:).' * Fstack;
      otherwise
        R(r, :) = brisset (Y, F{i}, W, F).' / 2;
    end
  end
end

function M = schur_dense (Fwide, RZ, Y)
  % M = B'*B for the rows B of the block's square root (root_columns),
  % 32 constraints at a time: arrays of the whole cell's size, made anew
  % for each step, take longer than the products
  m = size (RZ, 1);
  k = size (Fwide, 2) / m;
  B = root_columns (@(s, e) Fwide(:, (s - 1) * m + 1:e * m), k, RZ, Y, 32);
  M = B.' * B;
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

%!function F = cases_of (m, kind)
%! S = @(A) A + A.';
%! pairs = arrayfun (@(i) sparse ([mod(i, m) + 1, mod(i * 7, m) + 1], [mod(i * 7, m) + 1, mod(i, m) + 1], ...
%!                                  1 + i / 10, m, m), 1:200, 'UniformOutput', false);
%! singles = arrayfun (@(i) sparse (i, i, 2, m, m), 1:m, 'UniformOutput', false);
%! few = arrayfun (@(i) sparse (S(sparse ([i i+1 i+2], [i+1 i+2 i+3], [1 2 3], m, m))), 1:30, ...
%!                 'UniformOutput', false);
%! switch (kind)
%!   case 'entries'
%!     F = [{speye(m)}, singles(1:3:end), pairs, {sparse(ones (m))}];
%!   case 'dense'
%!     F = arrayfun (@(i) sparse (S(reshape (sin (i * (1:m*m)), m, m))), 1:30, 'UniformOutput', false);
%!   case 'rows'
%!     F = few;
%!   case 'rank'
%!     v = @(i) sparse ([i; mod(i * 5, m - 1) + 1; m], 1, [1; -2; 1], m, 1);
%!     rank1 = arrayfun (@(i) 3 * v(i) * v(i).', 1:60, 'UniformOutput', false);
%!     rank1 = rank1(cellfun (@nnz, rank1) == 9);
%!     F = [singles, rank1, pairs(1:20), few(1:2)];
%! end
%!endfunction


%!test
%! % the cheapest kind's four methods on blocks that the rule sends to each,
%! % against the definition: single entries and pairs beside the identity
%! % and a nearly full matrix (entries), dense matrices (dense), sparse ones
%! % of a few entries (rows), matrices of rank one among single entries,
%! % pairs and a few others (rank)
%! C = solver_constants ();
%! C.sdp_schur = false;
%! for c = {'entries', 40; 'dense', 40; 'rows', 40; 'rank', 100}.'
%!   [kind, m] = deal (c{:});
%!   F = cases_of (m, kind);
%!   A = reshape (cos (1:m*m), m, m);
%!   Y = A * A.' + m * eye (m);
%!   B = reshape (sin (1:m*m), m, m);
%!   W = inv (B * B.' + eye (m));
%!   W = (W + W.') / 2;
%!   blk = struct ('idx', 1:m, 'cons', 1:numel (F), 'F', {F}, 'Fstack', [], 'members', [], 'pages', []);
%!   K = block_kernels (blk, 'cheapest', C);
%!   assert (K.method, kind);
%!   want = schur_definition (F, W, Y);
%!   M = K.schur (Y, W, chol (inv (W)), chol (Y));
%!   assert (M, want, 1e-11 * norm (want, 1));
%!   assert (isequal (M, M.'));
%! end
%!test
%! % nearly full F{i} of rank one (all ones, and integers over 8) among
%! % single entries and pairs, with and without a nearly full one that is
%! % not: the traces and the Schur complement of the definitions, and the
%! % sum of F{i} times a dense matrix by the vectors where every nearly
%! % full F{i} is of rank one
%! C = solver_constants ();
%! C.sdp_schur = false;
%! m = 110;
%! F = cases_of (m, 'entries');
%! u = mod ((1:m).', 5) - 2;
%! R = reshape (sin (1:m*m), m, m);
%! F = [F(1:end-1), {sparse(u * u.' / 8)}, F(end), F(2:5), {sparse(R + R.')}];
%! A = reshape (cos (1:m*m), m, m);
%! Y = A * A.' + m * eye (m);
%! W = inv (Y + diag (1:m));
%! W = (W + W.') / 2;
%! for n = numel (F) - [0 1]
%!   blk = struct ('idx', 1:m, 'cons', 1:n, 'F', {F(1:n)}, 'Fstack', [], 'members', [], 'pages', []);
%!   K = block_kernels (blk, 'cheapest', C);
%!   assert (K.method, 'entries');
%!   want = zeros (n, 2);
%!   for i = 1:n
%!     want(i, :) = [trace(F{i} * W * Y), trace(F{i} * Y)];
%!   end
%!   assert ([K.traces(W, Y), K.traces([], Y)], want, 1e-12 * norm (want, 1));
%!   want = schur_definition (F(1:n), W, Y);
%!   assert (K.schur (Y, W), want, 1e-11 * norm (want, 1));
%!   assert (isfield (K, 'times'), n < numel (F));
%! end
%! x = cos (1:n).';
%! X = 0;
%! for i = 1:n
%!   X = X + x(i) * F{i};
%! end
%! assert (K.times (x, Y), X * Y, 1e-12 * norm (X, 1) * norm (Y, 1));

%!test
%! % sdp_schur's block: M against the definition, and its panels the same
%! % bits as M's entries, in the order the solver fills them, the F{i} of
%! % most entries first (the identity, then the rest as they come, the
%! % empty one last)
%! C = solver_constants ();
%! m = 40;
%! F = cases_of (m, 'rows');
%! F = [F(1:10), {speye(m)}, F(11:end), {sparse(m, m)}];
%! A = reshape (cos (1:m*m), m, m);
%! Y = A * A.' + m * eye (m);
%! W = inv (Y + diag (1:m));
%! blk = struct ('idx', 1:m, 'cons', 1:numel (F), 'F', {F}, 'Fstack', [], 'members', [], 'pages', []);
%! K = block_kernels (blk, 'cheapest', C);
%! assert (K.method, 'sdp_schur');
%! n = numel (F);
%! want = schur_definition (F, W, Y);
%! M = K.schur (Y, W);
%! assert (M, want, 1e-11 * norm (want, 1));
%! o = K.order;
%! counts = cellfun (@nnz, F);
%! assert ([o(1), o(end)], [11, n]);
%! assert (issorted (-counts(o)));
%! same = find (counts(o) == counts(o(2)));
%! assert (issorted (o(same)));
%! P = zeros (n);
%! b = 7;
%! for s = 1:b:n
%!   e = min (n, s + b - 1);
%!   P(o(s:n), o(s:e)) = K.panel (Y, W, s, e);
%!   P(o(1:s-1), o(s:e)) = P(o(s:e), o(1:s-1)).';
%! end
%! assert (isequal (P, M));
%! assert (K.panel_width, floor (C.panel_bytes / (8 * n)));
%!test
%! % the cheapest kind's sums, and its traces with the identity, have the
%! % bits of kovalin's and brisset's where the order of the sums matters
%! % (terms of 1e16 and of 1/3 at shared positions, weights of every
%! % size, a zero weight), for a sparse sum and a nearly full one, and a
%! % group's sums
%! C = solver_constants ();
%! m = 40;
%! S = @(A) A + A.';
%! F = arrayfun (@(i) sparse (S(sparse ([1 1 i], [2 i+1 i+2], [(-1)^i * 1e16, i / 3, 1 / 7], m, m))), ...
%!               1:30, 'UniformOutput', false);
%! x = ((1:30) / 7).' .^ 3 .* (-1) .^ (1:30).';
%! x(4) = 0;
%! G = reshape (sin (1:m*m), m, m) * 1e3;
%! G = G + G.';
%! for full_ = [false true]
%!   if (full_)
%!     F{end+1} = sparse (S(reshape (cos (1:m*m), m, m)));
%!     x(end+1) = 0.1;
%!   end
%!   blk = struct ('idx', 1:m, 'cons', 1:numel (F), 'F', {F}, 'Fstack', [], 'members', [], 'pages', []);
%!   Kc = block_kernels (blk, 'cheapest', C);
%!   Km = block_kernels (blk, 'modules', C);
%!   [sc, sm] = deal (Kc.sum (x), Km.sum (x));
%!   assert (issparse (sc), ~full_);
%!   assert (issparse (sm), ~full_);
%!   assert (isequal (full (sc), full (sm)));
%!   assert (isequal (Kc.traces ([], G), Km.traces ([], G)));
%!   assert (isequal (Kc.traces (G, G), Km.traces (G, G)));
%! end
%! % a group of members of orders 2, 3 and 2
%! F = {sparse(blkdiag ([1e16 1; 1 2], [3 1 0; 1 4 1; 0 1 5], [6 1; 1 7])), ...
%!      sparse(blkdiag ([-1e16 1/3; 1/3 0], zeros (3), [1/3 0; 0 -1])), ...
%!      sparse(blkdiag (zeros (2), S([0 1/7 0; 0 0 1/3; 0 0 0]), [1 1; 1 1]))};
%! F = [F, {sparse(blkdiag (zeros (7), S(magic (4))))}];
%! P = split_problem (F, sparse (11, 11), find_blocks (F, sparse (11, 11)), 3);
%! g = find (~cellfun (@isempty, {P.blk.members}));
%! x = [1 / 3; 1; 7; 2];
%! x = x(P.blk(g).cons);
%! [sc, sm] = deal (block_kernels (P.blk(g), 'cheapest', C).sum (x), ...
%!                  block_kernels (P.blk(g), 'modules', C).sum (x));
%! assert (isequal (full (sc), full (sm)));
