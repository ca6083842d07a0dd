function results = octave_bench (files)
%OCTAVE_BENCH time the modules in Octave beside what a user would write.
%   results = octave_bench(files) reads each SDPA file of the cell array
%   files and times, on its constraint matrices F{1} .. F{n}, with y all
%   ones and W the inverse of F{1} + ... + F{n} + s*I (s the largest
%   absolute row sum of that sum, plus 1):
%
%     floor     readonce(F), which reads every element once
%     sum floor readonce(F, nz), which reads the same and hands back a
%               sparse result of the sum's nz stored entries, as any sparse
%               sum must
%     sum       kovalin(y, F): the module, its plain loops, and the loop
%               S = S + y(i)*F{i}
%     sum, nnz  kovalin(y, F, nz), told the number of entries as
%               sdp_solve tells it: its work lists never grow
%     dense     kovalin(y, F, -1): the module, its plain loops, and
%               reshape(Fstack*y, m, m) with Fstack = [F{1}(:) ...]
%               formed beforehand
%     row i     brisset(W, F{i}, W, F) for i = 1, 2: the module, its plain
%               loops, and 2*(Fstack' * reshape(W'*F{i}'*W, [], 1))
%     entry i,j zandrel(W, F{i}, W, F{j}) for (1,2) and (2,2): the module,
%               its plain loops, and 2*sum(sum((W*F{i}*W).*F{j}))
%
%   Every time is the median of seven samples, each sample as many calls as
%   take 20 ms or more, and the computations of a problem are timed side by
%   side (measure.m). It prints one table a problem and returns the
%   times (in seconds) in a struct array. The modules must be on the path,
%   their plain builds as kovalin_plain, brisset_plain and zandrel_plain.
  results = struct ('name', {}, 'm', {}, 'n', {}, 'times', {});
  for f = 1:numel (files)
    F = read_sdpa (files{f});
    n = numel (F);
    m = rows (F{1});
    [~, name] = fileparts (files{f});
    y = ones (n, 1);
    Fs = cellfun (@(a) a(:), F, 'UniformOutput', false);
    Fstack = [Fs{:}];
    S = full (kovalin (y, F, -1));
    W = inv (S + (max (sum (abs (S), 2)) + 1) * eye (m));
    F2 = F{min (2, n)};
    nz = nnz (kovalin (y, F));
    % every computation of a problem side by side (measure.m), so that
    % the machine's drift falls on all of them alike
    names = {'floor', 'sum_floor', 'sum', 'sum_plain', 'sum_builtin', ...
             'sum_nz', 'sum_nz_plain', 'dense', 'dense_plain', 'dense_builtin'};
    fs = {@() readonce(F), @() readonce(F, nz), @() kovalin(y, F), ...
          @() kovalin_plain(y, F), @() loop_sum(y, F), ...
          ... % told the number of entries, as sdp_solve tells it
          @() kovalin(y, F, nz), @() kovalin_plain(y, F, nz), ...
          @() kovalin(y, F, -1), @() kovalin_plain(y, F, -1), ...
          @() reshape(Fstack * y, m, m)};
    Fi = {F{1}, F2};
    for i = 1:2
      B = Fi{i};
      names(end+1:end+3) = {sprintf('row%d', i), sprintf('row%d_plain', i), ...
                            sprintf('row%d_builtin', i)};
      fs(end+1:end+3) = {@() brisset(W, B, W, F), @() brisset_plain(W, B, W, F), ...
                         @() 2 * (Fstack' * reshape (W' * B' * W, [], 1))};
    end
    pairs = {{F{1}, F2, '12'}, {F2, F2, '22'}};
    for p = 1:2
      [A, B, tag] = deal (pairs{p}{:});
      names(end+1:end+3) = {['entry' tag], ['entry' tag '_plain'], ['entry' tag '_builtin']};
      fs(end+1:end+3) = {@() zandrel(W, A, W, B), @() zandrel_plain(W, A, W, B), ...
                         @() 2 * sum (sum ((W * A * W) .* B))};
    end
    times = measure (fs);
    t = cell2struct (num2cell (times), names, 2);
    results(end+1) = struct ('name', name, 'm', m, 'n', n, 'times', t);
    report (results(end));
  end
  summary (results);
end

function summary (results)
  % the ratios the goals are stated in, one line a problem
  printf ('\n%-17s %5s %5s %14s %10s %22s %22s\n', 'problem', 'n', 'm', 'sum / sum floor', ...
          'with nnz', 'row 1 / floor, builtin', 'row 2 / floor, builtin');
  for r = results
    t = r.times;
    printf ('%-17s %5d %5d %14.2f %10.2f %10.2f %10.4f  %10.2f %10.4f   entry / builtin %.4f %.4f\n', ...
            r.name, r.n, r.m, t.sum / t.sum_floor, t.sum_nz / t.sum_floor, ...
            t.row1 / t.floor, t.row1 / t.row1_builtin, ...
            t.row2 / t.floor, t.row2 / t.row2_builtin, ...
            t.entry12 / t.entry12_builtin, t.entry22 / t.entry22_builtin);
  end
end

function report (r)
  t = r.times;
  printf ('\n%s: n = %d, m = %d; read-once floor %.3g ms, with the sum''s result %.3g ms\n', ...
          r.name, r.n, r.m, 1e3 * t.floor, 1e3 * t.sum_floor);
  printf ('%-12s %11s %11s %11s %9s %9s %9s\n', 'computation', 'module ms', ...
          'plain ms', 'builtin ms', '/floor', '/builtin', 'speed-up');
  line ('sum', t.sum, t.sum_plain, t.sum_builtin, t.sum_floor);
  line ('sum, nnz', t.sum_nz, t.sum_nz_plain, t.sum_builtin, t.sum_floor);
  line ('dense sum', t.dense, t.dense_plain, t.dense_builtin, t.floor);
  line ('row 1', t.row1, t.row1_plain, t.row1_builtin, t.floor);
  line ('row 2', t.row2, t.row2_plain, t.row2_builtin, t.floor);
  line ('entry 1,2', t.entry12, t.entry12_plain, t.entry12_builtin, NaN);
  line ('entry 2,2', t.entry22, t.entry22_plain, t.entry22_builtin, NaN);
end

function line (what, module, plain, builtin, floor)
  printf ('%-12s %11.4f %11.4f %11.4f %9.2f %9.4f %9.2f\n', what, 1e3 * module, ...
          1e3 * plain, 1e3 * builtin, module / floor, module / builtin, plain / module);
end

function S = loop_sum (y, F)
  S = sparse (rows (F{1}), columns (F{1}));
  for i = 1:numel (F)
    S = S + y(i) * F{i};
  end
end
