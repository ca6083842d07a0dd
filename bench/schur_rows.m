function results = schur_rows (files, saved)
%SCHUR_ROWS time Schur complement rows: brisset beside its floor and Octave.
%   results = schur_rows(files) reads each SDPA file of the cell array
%   files and, with Y and W dense symmetric positive definite matrices,
%   times rows i of the Schur complement M(i,i:n) = trace(F{i}*W*F{j}*Y),
%   row 1 and up to 15 rows spread over 2..n:
%
%     module    brisset(Y, F{i}, W, F(i:n)) / 2
%     plain     the same with brisset's plain loops (brisset_plain)
%     floor     touchfloor(F(i:n)), which fetches each element's storage
%               and reads its entries once, but of its column starts only
%               the last: what any trace vector over F(i:n) must do
%     call floor touchfloor(F(i:n), Y, F{i}, W): the same, handed the
%               call's other arguments too (unread)
%     design floor brisset_floor(Y, F{i}, W, F(i:n)) / 2: brisset's own
%               gateway and result with a kernel that only does what any
%               kernel behind it must (the eight work arrays, each element's
%               storage, its entries read once): the floor of any brisset
%               of this design
%     floor with mxGetN  touchfloor_columns(F(i:n)): the floor, but asking
%               each element for its columns, for which Octave allocates
%               the element's dimensions (touchfloor learns them from its
%               count of entries, as brisset does)
%     Octave    with I the rows where F{i} holds entries,
%               G = W(:,I)*(F{i}(I,:)*Y); G(:).'*Fstack(:,i:n), with
%               Fstack = [F{1}(:) ... F{n}(:)] formed beforehand
%
%   The seven are timed side by side (measure.m), a row at a time. It
%   prints the mean time a row of each over all n rows, as a solver forms
%   them, in ms: row 1 counts once and each of the rows spread over 2..n
%   for the rows of 2..n that it stands for. It prints their ratios and a
%   summary line for each goal, and returns the times. The ratio to the
%   floor is also given over the rows of an F{i} of at most 16 entries
%   only, and for row 1 alone: a row of a large F{i}, such as theta's
%   identity F{1}, forms a sum of m terms for each entry of F(i:n), far
%   above what the floor reads.
%
%   schur_rows(files, saved) measures and saves the results in the file
%   saved, printing nothing; schur_rows(folder) prints together the
%   results saved in folder as 1.mat, 2.mat, ... bench/octave.sh measures
%   each problem so, in an Octave of its own: the host's heap after a
%   problem of thousands of elements makes every later call dearer.
  if (ischar (files))
    % the results saved in the folder files, printed together
    results = struct ('name', {}, 'm', {}, 'n', {}, 'times', {}, 'small', {}, 'first', {});
    for k = 1:numel (dir (fullfile (files, '*.mat')))
      results(end+1) = load (fullfile (files, sprintf ('%d.mat', k))).results;
    end
    print_rows (results);
    return;
  end
  results = struct ('name', {}, 'm', {}, 'n', {}, 'times', {}, 'small', {}, 'first', {});
  for f = 1:numel (files)
    F = read_sdpa (files{f});
    n = numel (F);
    m = size (F{1}, 1);
    [~, name] = fileparts (files{f});
    name = regexprep (name, '\.dat$', '');
    rand ('seed', 1);
    Y = rand (m);
    Y = Y * Y.' / m + eye (m);
    W = rand (m);
    W = W * W.' / m + eye (m);
    Fstack = sparse (m * m, n);
    for i = 1:n
      Fstack(:, i) = F{i}(:);
    end
    % row 1, and rows spread over 2..n, each standing for as many rows
    rest = unique (round (linspace (2, n, min (n - 1, 15))));
    rows_ = [1, rest];
    weight = [1, repmat((n - 1) / max (numel (rest), 1), 1, numel (rest))];
    t = struct ('module', 0, 'plain', 0, 'floor', 0, 'columns', 0, 'octave', 0, 'design', 0);
    small = struct ('module', 0, 'floor', 0, 'call', 0, 'rows', 0);
    for r = 1:numel (rows_)
      i = rows_(r);
      w = weight(r);
      D = F(i:n);
      Fi = F{i};
      I = find (any (Fi, 2));
      % side by side, so that the machine's drift falls on all alike
      times = measure ({@() brisset(Y, Fi, W, D) / 2, @() touchfloor(D), ...
                        @() touchfloor(D, Y, Fi, W), @() touchfloor_columns(D), ...
                        @() brisset_plain(Y, Fi, W, D) / 2, ...
                        @() octave_row(W, I, Fi, Y, Fstack, i, n), ...
                        @() brisset_floor(Y, Fi, W, D) / 2});
      [module, floor_, call] = deal (times(1), times(2), times(3));
      if (i == 1)
        first = struct ('module', module, 'floor', floor_);
      end
      t.module += w * module;
      t.plain += w * times(5);
      t.floor += w * floor_;
      t.columns += w * times(4);
      t.octave += w * times(6);
      t.design += w * times(7);
      if (nnz (Fi) <= 16)
        small.module += w * module;
        small.floor += w * floor_;
        small.call += w * call;
        small.rows += 1;
      end
    end
    for k = fieldnames (t).'
      t.(k{1}) = t.(k{1}) / n;
    end
    results(end+1) = struct ('name', name, 'm', m, 'n', n, 'times', t, 'small', small, ...
                             'first', first);
  end
  if (nargin > 1)
    save ('-binary', saved, 'results');
  else
    print_rows (results);
  end
end

function print_rows (results)
  printf ('\nSchur complement rows, mean ms a row over all n rows\n');
  printf ('| problem | m | n | brisset | plain | touch floor | floor with mxGetN | Octave | brisset / floor | brisset / floor with mxGetN | small F{i}: brisset / floor | small F{i}: brisset / call floor | row 1: brisset / floor | speed-up over Octave | floor / Octave | design floor | brisset / design floor | most speed-up of this design |\n');
  printf ('|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n');
  for r = results
    t = r.times;
    printf ('| %s | %d | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f | %s | %s | %.2f | %.2f | %.2f | %.3f | %.2f | %.2f |\n', r.name, r.m, r.n, ...
            1e3 * [t.module t.plain t.floor t.columns t.octave], t.module / t.floor, t.module / t.columns, ...
            small_ratio (r, r.small.floor), small_ratio (r, r.small.call), ...
            r.first.module / r.first.floor, t.octave / t.module, t.floor / t.octave, ...
            1e3 * t.design, t.module / t.design, t.octave / t.design);
  end

  % the goals
  touch = arrayfun (@(r) ~isempty (regexp (r.name, '^(theta|mcp|maxG|qpG)', 'once')), results);
  compute = arrayfun (@(r) ~isempty (regexp (r.name, '^(truss|arch|gpp|control)', 'once')), results);
  ratio = arrayfun (@(r) r.times.module / r.times.floor, results);
  has_small = arrayfun (@(r) r.small.rows > 0, results);
  ratio_columns = arrayfun (@(r) r.times.module / r.times.columns, results);
  ratio_design = arrayfun (@(r) r.times.module / r.times.design, results);
  room_columns = arrayfun (@(r) r.times.columns / r.times.octave <= 0.5, results);
  ratio_small = arrayfun (@(r) r.small.module / r.small.floor, results);
  speedup = arrayfun (@(r) r.times.octave / r.times.module, results);
  room = arrayfun (@(r) r.times.floor / r.times.octave <= 0.5, results);
  room_design = arrayfun (@(r) r.times.design / r.times.octave <= 0.5, results);
  plain = arrayfun (@(r) r.times.plain / r.times.module, results);
  printf ('\n');
  goal ('brisset / touch floor on theta, max-cut and qpG (goal <= 1.2)', results(touch), ratio(touch), 'max');
  goal ('  the same, rows of an F{i} of at most 16 entries', results(touch & has_small), ...
        ratio_small(touch & has_small), 'max');
  goal ('  the same against the floor with mxGetN', results(touch), ratio_columns(touch), 'max');
  goal ('  the same against the design floor', results(touch), ratio_design(touch), 'max');
  goal ('speed-up over Octave where the floor takes <= half its time (goal >= 2)', results(room), speedup(room), 'min');
  goal ('  the same where the floor with mxGetN takes <= half of it', results(room_columns), ...
        speedup(room_columns), 'min');
  goal ('  the same where the design floor takes <= half of it', results(room_design), ...
        speedup(room_design), 'min');
  goal ('speed-up over the plain loops on truss, arch, gpp and control', results(compute), plain(compute), 'min');
end

function goal (what, results, values, worst)
  if (isempty (values))
    printf ('%s: no problem\n', what);
    return;
  end
  if (strcmp (worst, 'max'))
    [v, k] = max (values);
  else
    [v, k] = min (values);
  end
  printf ('%s: worst %.2f (%s), over %d problems\n', what, v, results(k).name, numel (values));
end

function s = small_ratio (r, floor_)
  % brisset over a floor on the rows of an F{i} of at most 16 entries,
  % where the floor is what bounds a row
  if (r.small.rows == 0)
    s = '-';
  else
    s = sprintf ('%.2f', r.small.module / floor_);
  end
end

function r = octave_row (W, I, Fi, Y, Fstack, i, n)
  G = W(:, I) * (Fi(I, :) * Y);
  r = G(:).' * Fstack(:, i:n);
end
