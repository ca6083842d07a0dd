function [method, E, cost] = schur_method (F, m, dense, C, T)
% The cheapest exact method for the Schur complement of a block of order
% m, whose constraint matrices are the cell F (dense(i) where F{i} is
% nearly full and has its row formed by dense products), chosen from
% counts of the work each would do, never from a timing, so that the
% iterates do not depend on the machine's load:
%   'rows'     brisset's rows, F{i} against F{i:k}: for each stored entry
%              of F{i}, the entries of Y*F{i}*W at the positions F{i:k}
%              store (at most m^2 of them), and the host's hand-over of
%              each matrix of F{i:k} (schur_touch operations each);
%   'entries'  for the F{i} that hold one diagonal entry or one symmetric
%              pair (max-cut, theta, qpG), M(i,j) from four gathers of W
%              and Y each at their positions; the others by rows over all
%              of F;
%   'rank'     for the F{i} of rank one (a*u*u') as well as single entries
%              and pairs (a pair is two terms of rank one), with U the
%              m-by-R sparse matrix of all their vectors and S the R-by-k
%              sparse matrix of their signs and scales, M = S'*((U'*W*U) .*
%              (U'*Y*U))*S by sparse-dense products (thetaG's matrices of
%              nine entries); the others' rows by brisset;
%   'dense'    M = B'*B for the columns of B, the weighted upper
%              triangles of Phi'*F{j}*Phi (root_columns), by dense
%              products whose flops run dense_speedup times as fast as
%              the sums of rows;
%   'sdp_schur'  the compiled routine's sums over stored entries, the
%              whole block in one call (its help gives their count).
% The rows that 'entries' and 'rank' leave are each formed the cheaper
% way, by brisset or gathered (G = W(:,I)*(F{i}(I,:)*Y) over the rows I
% where F{i} holds entries, and G(:)'*Fstack): E.way(i) is 'b' or 'g',
% or 'd' for dense products where F{i} is nearly full.
% E gives, for 'entries', the positions idx of those F{i} in F, their
% entries' row p and column q (p <= q) and the value h with F{i} =
% h*(e_p*e_q' + e_q*e_p'); for 'rank', the positions idx and the
% matrices U and S. T, when given, is entries_of (F). cost holds each
% method's count.
  if (nargin < 5)
    T = entries_of (F);
  end
  k = numel (F);
  nz = T.counts.';
  % rows: F{i} against the positions of F{i:k}
  later = min (m * m, flipud (cumsum (flipud (nz(:)))));
  row_work = nz(:) .* later;
  row_work(dense) = 2 * m ^ 3 / C.dense_speedup;
  cost.rows = sum (row_work) + C.schur_touch * k * (k + 1) / 2;
  % dense: Phi'*F{j}*Phi for every j, and B'*B over the triangles
  cost.dense = (2 * k * m ^ 3 + k ^ 2 * m * (m + 1) / 2) / C.dense_speedup;
  % each row over all of F that a structure leaves: by brisset (its
  % entries against all the positions, and the hand-over of the cell), or
  % gathered, G = W(:,I)*(F{i}(I,:)*Y) over the rows I where F{i} holds
  % entries and G(:)'*Fstack, or dense products where F{i} is nearly full
  [rows_of, spread] = rows_in_use (T, m);
  by_brisset = nz .* min (m * m, sum (nz)) + C.schur_touch * k;
  gathered = 2 * spread * m * m / C.blas_speedup + sum (nz);
  way = repmat ('b', 1, k);
  way(gathered < by_brisset) = 'g';
  way(dense) = 'd';
  row_cost = min (by_brisset, gathered);
  row_cost(dense) = 2 * m ^ 3 / C.dense_speedup;
  % entries: the pairs among themselves, the others' rows over all of F
  E = single_pairs (T);
  others = true (1, k);
  others(E.idx) = false;
  cost.entries = 8 * numel (E.idx) ^ 2 + sum (row_cost(others));
  if (numel (E.idx) < 2)
    cost.entries = Inf;
  end
  % rank: the terms of rank one, by products of order R
  R = rank_one_terms (F, E, T, rows_of);
  others = true (1, k);
  others(R.idx) = false;
  terms = size (R.U, 2);
  cost.rank = 2 * nnz (R.U) * (m + terms) + 6 * terms ^ 2 + sum (row_cost(others));
  if (numel (R.idx) < 2)
    cost.rank = Inf;
  end
  % sdp_schur, when built: the hand-over of F and three passes over its
  % column starts, and for row i, H and the gather of W over the columns
  % of F{i} in use (m values each), G at the positions that F{i:k} store
  % (a sum over those columns each), and one term for each entry of F{i:k}
  if (C.sdp_schur)
    need = positions_from (T, m);
    cost.sdp_schur = (sum ((nz(:) + spread(:)) * m + need .* spread(:) + ...
                           flipud (cumsum (flipud (nz(:))))) + 3 * k * m) / ...
                     C.sdp_schur_speedup + C.schur_touch * k;
  end
  names = fieldnames (cost);
  [~, best] = min (cellfun (@(f) cost.(f), names));
  method = names{best};
  if (strcmp (method, 'rank'))
    E = R;
  end
  E.way = way;
  E.rows_of = rows_of;
end

function need = positions_from (T, m)
  % need(i): how many positions F{i}, ..., F{k} store between them
  k = numel (T.counts);
  last = accumarray (T.r + (T.c - 1) * m, T.owner, [m * m, 1], @max);
  need = flipud (cumsum (flipud (accumarray (last(last > 0), 1, [k, 1]))));
end

function [rows_of, spread] = rows_in_use (T, m)
  % rows_of{i}: the rows where F{i} holds entries, ascending; spread(i)
  % their number
  k = numel (T.counts);
  key = unique ((T.owner - 1) * m + T.r);
  owner = floor ((key - 1) / m) + 1;
  spread = accumarray (owner, 1, [k, 1]).';
  rows_of = mat2cell (key - (owner - 1) * m, spread, 1).';
end

function R = rank_one_terms (F, E, T, rows_of)
  % the single entries and pairs of E as terms of rank one, and the other
  % F{i} = a*u*u' found exactly, by F(r,s)*F(t,t) = F(r,t)*F(t,s) over
  % the rows and columns where F{i} holds entries, t one of them. The
  % terms are numbered in the order of the F{i}: a single entry
  % h*(e_p*e_p' + e_p*e_p') = 2h*e_p*e_p' makes one, a pair
  % h*(e_p*e_q' + e_q*e_p') = h/2*((e_p + e_q)*(..)' - (e_p - e_q)*(..)')
  % two, and any other F{i} of rank one one.
  k = numel (F);
  m = size (F{1}, 1);
  in_e = false (k, 1);
  in_e(E.idx) = true;
  single = false (k, 1);
  single(E.idx) = E.p == E.q;
  [p, q, h] = deal (zeros (k, 1));
  p(E.idx) = E.p;
  q(E.idx) = E.q;
  h(E.idx) = E.h;
  % the others, each tried alone (rank_one): its rows, the column of its
  % largest diagonal entry and that entry's inverse
  [rows_, column, scale] = deal (cell (k, 1));
  ok = in_e;
  for i = find (~in_e & T.counts > 0 & cellfun (@numel, rows_of(:)) <= 8).'
    r = rows_of{i};
    [u, d] = rank_one (full (F{i}(r, r)));
    if (isempty (u))
      continue;
    end
    [rows_{i}, column{i}, scale{i}] = deal (r, u, 1 / d);
    ok(i) = true;
  end
  terms = ok + (in_e & ~single);
  first_term = cumsum (terms) - terms + 1;
  count = sum (terms);
  % the terms' entries, each term's together and in order: a single
  % entry's, a pair's first term (p, q) and second (p, -q), the others'
  s_ = find (single);
  pr = find (in_e & ~single);
  o_ = find (ok & ~in_e);
  Jo = zeros (0, 1);
  if (~isempty (o_))
    Jo = repelem (first_term(o_), cellfun (@numel, rows_(o_)));
  end
  I = [p(s_); reshape([p(pr), q(pr), p(pr), q(pr)].', [], 1); vertcat(zeros (0, 1), rows_{o_})];
  J = [first_term(s_); reshape([first_term(pr), first_term(pr), first_term(pr) + 1, ...
                                first_term(pr) + 1].', [], 1); Jo];
  V = [ones(numel (s_), 1); repmat([1; 1; 1; -1], numel (pr), 1); vertcat(zeros (0, 1), column{o_})];
  % each term's matrix and scale, in the order of the terms
  owner = zeros (count, 1);
  scale_ = zeros (count, 1);
  owner(first_term(s_)) = s_;
  scale_(first_term(s_)) = 2 * h(s_);
  owner([first_term(pr); first_term(pr) + 1]) = [pr; pr];
  scale_([first_term(pr); first_term(pr) + 1]) = [h(pr) / 2; -h(pr) / 2];
  owner(first_term(o_)) = o_;
  scale_(first_term(o_)) = vertcat (zeros (0, 1), scale{o_});
  R.idx = find (ok).';
  R.U = sparse (I, J, V, m, count);
  % the same as rows and values padded to the longest column, and each
  % F{i}'s first and second term with their scales (none: 0)
  [J, by] = sort (J);
  I = I(by);
  V = V(by);
  starts = [1; find(diff (J)) + 1];
  place = (1:numel (J)).' - starts(J) + 1;
  t = max ([1; place]);
  R.row = ones (t, count);
  R.value = zeros (t, count);
  R.row(sub2ind ([t, count], place, J)) = I;
  R.value(sub2ind ([t, count], place, J)) = V;
  [~, col] = ismember (owner, R.idx);
  first = [true; diff(col) ~= 0];
  first = first(1:numel (col));
  R.first = find (first);
  R.first_scale = scale_(first);
  R.second = zeros (numel (R.idx), 1);
  R.second_scale = zeros (numel (R.idx), 1);
  R.second(col(~first)) = find (~first);
  R.second_scale(col(~first)) = scale_(~first);
end

function E = single_pairs (T)
  % the F{i} that hold one diagonal entry, or one symmetric pair off it
  s = T.starts;
  one = T.counts == 1;
  one(one) = T.r(s(one)) == T.c(s(one));
  two = T.counts == 2;
  a = s(two);
  b = a + 1;
  two(two) = T.r(a) == T.c(b) & T.r(b) == T.c(a) & T.r(a) ~= T.c(a) & T.v(a) == T.v(b);
  [p, q, h] = deal (zeros (numel (s), 1));
  p(one) = T.r(s(one));
  q(one) = p(one);
  h(one) = T.v(s(one)) / 2;
  a = s(two);
  p(two) = min (T.r(a), T.r(a + 1));
  q(two) = max (T.r(a), T.r(a + 1));
  h(two) = T.v(a);
  ok = one | two;
  E = struct ('idx', find (ok).', 'p', p(ok), 'q', q(ok), 'h', h(ok));
end

%!test
%! % max-cut's single diagonal entries, a theta-like mix with the identity,
%! % a block of nearly full matrices and a block of sparse ones, among the
%! % methods of plain expressions and brisset's rows
%! C = solver_constants ();
%! C.sdp_schur = false;
%! m = 120;
%! F = arrayfun (@(i) sparse (i, i, 1, m, m), 1:m, 'UniformOutput', false);
%! [method, E] = schur_method (F, m, false (1, m), C);
%! assert (method, 'entries');
%! assert ([E.p(7), E.q(7), E.h(7)], [7 7 0.5]);
%! G = [{speye(m)}, arrayfun(@(i) sparse ([i i+1], [i+1 i], 3, m, m), 1:m-1, 'UniformOutput', false)];
%! [method, E] = schur_method (G, m, false (1, m), C);
%! assert (method, 'entries');
%! assert (E.idx(1), 2);
%! assert ([E.p(1), E.q(1), E.h(1)], [1 2 3]);
%! D = arrayfun (@(i) sparse (reshape (sin (i * (1:m*m)) .* (mod (1:m*m, 3) == 0), m, m)), ...
%!               1:200, 'UniformOutput', false);
%! D = cellfun (@(d) d + d.', D, 'UniformOutput', false);
%! assert (schur_method (D, m, false (1, 200), C), 'dense');
%! S = arrayfun (@(i) sparse ([i i+1 i+2], [i i+2 i], 1, m, m), 1:50, 'UniformOutput', false);
%! S = cellfun (@(d) d + d.', S, 'UniformOutput', false);
%! assert (schur_method (S, m, false (1, 50), C), 'rows');
%!test
%! % with sdp_schur at hand: the single entries and the few-entry
%! % matrices go to it, and a block whose F{i} fill it stays with dense
%! % products
%! C = solver_constants ();
%! C.sdp_schur = true;
%! m = 120;
%! F = arrayfun (@(i) sparse (i, i, 1, m, m), 1:m, 'UniformOutput', false);
%! assert (schur_method (F, m, false (1, m), C), 'sdp_schur');
%! S = arrayfun (@(i) sparse ([i i+1 i+2], [i i+2 i], 1, m, m), 1:50, 'UniformOutput', false);
%! S = cellfun (@(d) d + d.', S, 'UniformOutput', false);
%! assert (schur_method (S, m, false (1, 50), C), 'sdp_schur');
%! D = arrayfun (@(i) sparse (reshape (sin (i * (1:m*m)), m, m)), 1:200, 'UniformOutput', false);
%! D = cellfun (@(d) d + d.', D, 'UniformOutput', false);
%! assert (schur_method (D, m, false (1, 200), C), 'dense');
