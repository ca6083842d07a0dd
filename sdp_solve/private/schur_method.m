function [method, E] = schur_method (F, m, dense, C)
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
%   'dense'    with Y = RY'*RY and inv(Z) = L*L', M = P'*P for the columns
%              P(:,j) = vec(L'*F{j}*RY'), by dense products whose flops
%              run dense_speedup times as fast as the sums of rows;
%   'sdp_schur'  the compiled routine's sums over stored entries, the
%              whole block in one call (its help gives their count).
% The rows that 'entries' and 'rank' leave are each formed the cheaper
% way, by brisset or gathered (G = W(:,I)*(F{i}(I,:)*Y) over the rows I
% where F{i} holds entries, and G(:)'*Fstack): E.way(i) is 'b' or 'g',
% or 'd' for dense products where F{i} is nearly full.
% E gives, for 'entries', the positions idx of those F{i} in F, their
% entries' row p and column q (p <= q) and the value h with F{i} =
% h*(e_p*e_q' + e_q*e_p'); for 'rank', the positions idx and the
% matrices U and S.
  k = numel (F);
  nz = cellfun (@nnz, F);
  % rows: F{i} against the positions of F{i:k}
  later = min (m * m, flipud (cumsum (flipud (nz(:)))));
  row_work = nz(:) .* later;
  row_work(dense) = 2 * m ^ 3 / C.dense_speedup;
  cost.rows = sum (row_work) + C.schur_touch * k * (k + 1) / 2;
  % dense: L'*F{j}*RY' for every j, and P'*P
  cost.dense = (2 * k * m ^ 3 + k ^ 2 * m ^ 2) / C.dense_speedup;
  % each row over all of F that a structure leaves: by brisset (its
  % entries against all the positions, and the hand-over of the cell), or
  % gathered, G = W(:,I)*(F{i}(I,:)*Y) over the rows I where F{i} holds
  % entries and G(:)'*Fstack, or dense products where F{i} is nearly full
  rows_of = cell (1, k);
  for i = 1:k
    rows_of{i} = find (any (F{i}, 2));
  end
  spread = cellfun (@numel, rows_of);
  by_brisset = nz .* min (m * m, sum (nz)) + C.schur_touch * k;
  gathered = 2 * spread * m * m / C.blas_speedup + sum (nz);
  way = repmat ('b', 1, k);
  way(gathered < by_brisset) = 'g';
  way(dense) = 'd';
  row_cost = min (by_brisset, gathered);
  row_cost(dense) = 2 * m ^ 3 / C.dense_speedup;
  % entries: the pairs among themselves, the others' rows over all of F
  E = single_pairs (F);
  others = true (1, k);
  others(E.idx) = false;
  cost.entries = 8 * numel (E.idx) ^ 2 + sum (row_cost(others));
  if (numel (E.idx) < 2)
    cost.entries = Inf;
  end
  % rank: the terms of rank one, by products of order R
  R = rank_one_terms (F, E);
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
    need = positions_from (F, m);
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

function need = positions_from (F, m)
  % need(i): how many positions F{i}, ..., F{k} store between them
  k = numel (F);
  [L, J] = deal (cell (k, 1));
  for i = 1:k
    [r, c] = find (F{i});
    L{i} = r + (c - 1) * m;
    J{i} = i + zeros (numel (r), 1);
  end
  last = accumarray (vertcat (L{:}), vertcat (J{:}), [m * m, 1], @max);
  need = flipud (cumsum (flipud (accumarray (last(last > 0), 1, [k, 1]))));
end

function R = rank_one_terms (F, E)
  % the single entries and pairs of E as terms of rank one, and the other
  % F{i} = a*u*u' found exactly, by F(r,s)*F(t,t) = F(r,t)*F(t,s) over
  % the rows and columns where F{i} holds entries, t one of them
  k = numel (F);
  m = size (F{1}, 1);
  [I, J, V] = deal (cell (k, 1));
  [owner, sign_] = deal (cell (k, 1));
  count = 0;
  in_e = false (1, k);
  in_e(E.idx) = true;
  h = zeros (1, k);
  h(E.idx) = E.h;
  p = zeros (1, k);
  q = zeros (1, k);
  p(E.idx) = E.p;
  q(E.idx) = E.q;
  ok = false (1, k);
  for i = 1:k
    if (in_e(i) && p(i) == q(i))
      % h*(e_p*e_p' + e_p*e_p') = 2h*e_p*e_p'
      [I{i}, J{i}, V{i}, owner{i}, sign_{i}] = deal (p(i), count + 1, 1, i, 2 * h(i));
      count = count + 1;
    elseif (in_e(i))
      % h*(e_p*e_q' + e_q*e_p') = h/2*((e_p + e_q)*(..)' - (e_p - e_q)*(..)')
      [I{i}, J{i}, V{i}] = deal ([p(i); q(i); p(i); q(i)], count + [1; 1; 2; 2], [1; 1; 1; -1]);
      [owner{i}, sign_{i}] = deal ([i; i], h(i) / 2 * [1; -1]);
      count = count + 2;
    else
      r = find (any (F{i}, 2));
      if (isempty (r) || numel (r) > 8)
        continue;
      end
      B = full (F{i}(r, r));
      [~, t] = max (abs (diag (B)));
      if (B(t, t) == 0 || ~isequal (B * B(t, t), B(:, t) * B(t, :)))
        continue;
      end
      [I{i}, J{i}, V{i}, owner{i}, sign_{i}] = deal (r, count + ones (numel (r), 1), B(:, t), ...
                                                     i, 1 / B(t, t));
      count = count + 1;
    end
    ok(i) = true;
  end
  R.idx = find (ok);
  R.U = sparse (vertcat (I{:}), vertcat (J{:}), vertcat (V{:}), m, count);
  % the same as rows and values padded to the longest column, and each
  % F{i}'s first and second term with their scales (none: 0)
  I = vertcat (I{:});
  J = vertcat (J{:});
  V = vertcat (V{:});
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
  owner = vertcat (owner{:});
  scale = vertcat (sign_{:});
  [~, col] = ismember (owner, R.idx);
  first = [true; diff(col) ~= 0];
  first = first(1:numel (col));
  R.first = find (first);
  R.first_scale = scale(first);
  R.second = zeros (numel (R.idx), 1);
  R.second_scale = zeros (numel (R.idx), 1);
  R.second(col(~first)) = find (~first);
  R.second_scale(col(~first)) = scale(~first);
end

function E = single_pairs (F)
  % the F{i} that hold one diagonal entry, or one symmetric pair off it
  k = numel (F);
  [p, q, h] = deal (zeros (k, 1));
  ok = false (1, k);
  for i = 1:k
    [r, c, v] = find (F{i});
    if (numel (v) == 1 && r == c)
      [p(i), q(i), h(i), ok(i)] = deal (r, r, v / 2, true);
    elseif (numel (v) == 2 && r(1) == c(2) && r(2) == c(1) && r(1) ~= c(1) && v(1) == v(2))
      [p(i), q(i), h(i), ok(i)] = deal (min (r), max (r), v(1), true);
    end
  end
  E = struct ('idx', find (ok), 'p', p(ok), 'q', q(ok), 'h', h(ok));
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
