function results = solve_bench (names, figure_file, saved)
%SOLVE_BENCH sdp_solve on SDPLIB problems: where an iteration's time goes.
%   results = solve_bench(names) solves each SDPLIB problem of the cell
%   array names (see sdplib_file) as a user does, sdp_solve(file), with
%   opts.kernels = 'cheapest' (the default), 'modules' and 'octave' in
%   turn; a problem that all three solve in under 5 s is solved twice more
%   with each, in the same alternation, and the fastest solve of each kind
%   is kept (the first solves also pay for loading code). It prints three
%   Markdown tables.
%
%   The first, the solves with the default kernels: for each problem its
%   order m, its number n of constraint matrices, its blocks, the status,
%   the iterations, the digits in which the farther objective agrees with
%   the published value, the whole time of the first solve in the fresh
%   Octave (a user's first call, which also pays for loading code and for
%   the memory the process takes on) and of the fastest, the time of an
%   established interior-point solver written in C on this machine kind
%   with OpenBLAS (where known), and the ratio of the first to it.
%
%   The second, the Schur complement: the method each block's takes with
%   the default kernels (info.schur_methods), and its time, and the whole
%   solve's, with each kind of kernels.
%
%   The third, an iteration with the default kernels: the Schur
%   complement, its factor and the rest of the iteration (everything else
%   but the set-up before the first iteration), each a mean over the
%   iterations, beside the dense floor: for each block one Cholesky factor
%   of Z and one of Y, inv(Z) and two products of the block's order, plus
%   the Cholesky factor of M, each timed alone on matrices of those
%   orders. The rest counts the factor of M, as the floor does.
%
%   solve_bench(names, figure_file) also draws the speed-ups of the
%   default kernels over Octave expressions per problem into the PNG file
%   figure_file (none when figure_file is '').
%
%   With the environment variable SDPK_KINDS set to cheapest, only the
%   default kernels are timed, and the other columns hold '-'.
%
%   solve_bench(names, '', saved) measures and saves the tables' rows in
%   the file saved, printing nothing; solve_bench(folder, figure_file)
%   prints together, and draws, the rows saved in folder as 1.mat, 2.mat,
%   ... bench/solve.sh solves each problem so, in an Octave of its own.
  if (nargin < 2)
    figure_file = '';
  end
  if (ischar (names))
    rows_ = {};
    for k = 1:numel (dir (fullfile (names, '*.mat')))
      rows_ = [rows_; load(fullfile (names, sprintf ('%d.mat', k))).rows_];
    end
    print_tables (rows_, figure_file);
    results = [];
    return;
  end
  rows_ = {};
  kinds = {'cheapest', 'modules', 'octave'};
  if (strcmp (getenv ('SDPK_KINDS'), 'cheapest'))
    % the default kernels alone, where the others would take minutes
    kinds = {'cheapest'};
  end
  results = struct ('name', {}, 'cheapest', {}, 'modules', {}, 'octave', {});
  opts = struct ('verbose', false);
  for k = 1:numel (names)
    name = names{k};
    file = sdplib_file (name);
    [F, F0] = read_sdpa (file);
    [value, text, unit] = published_value (name);
    r = struct ('name', name);
    for round = 1:3
      for kind = kinds
        opts.kernels = kind{1};
        [~, ~, info] = sdp_solve (file, opts);
        if (round == 1 && strcmp (kind{1}, 'cheapest'))
          % the first solve of a fresh Octave, as a user's first call
          first = info.time;
        end
        if (round == 1 || info.time < r.(kind{1}).time)
          r.(kind{1}) = info;
        end
      end
      if (round == 1 && max (cellfun (@(f) r.(f).time, kinds)) >= 5)
        break;
      end
    end
    for kind = {'modules', 'octave'}
      if (~isfield (r, kind{1}))
        r.(kind{1}) = struct ('time', NaN, 'schur_time', NaN);
      end
    end
    results(end+1) = r;
    i = r.cheapest;
    if (isnan (value))
      digits = '-';
    else
      err = max (abs ([i.pobj i.dobj] - value));
      digits = sprintf ('%.1f', -log10 (max (err, eps) / abs (value)));
    end
    it = max (i.iterations, 1);
    rest = (i.time - i.setup_time - i.schur_time) / it;
    floor_ = dense_floor (i.blocks, numel (F));
    ref = reference_time (name);
    m = size (F0, 1);
    status = strrep (i.status, ' ', '&nbsp;');
    rows_(end+1, :) = {name, m, numel(F), describe(i.blocks), status, i.iterations, digits, ...
                       i.time, ref, i.time / ref, describe_methods(i.schur_methods), ...
                       i.schur_time, r.modules.schur_time, r.octave.schur_time, ...
                       r.modules.time, r.octave.time, ...
                       i.setup_time, 1e3 * i.schur_time / it, 1e3 * i.factor_time / it, ...
                       1e3 * rest, 1e3 * floor_, rest / floor_, first};
    fprintf (stderr, '%s done: %.2f s, %.2f s and %.2f s\n', name, i.time, r.modules.time, ...
             r.octave.time);
  end
  if (nargin > 2)
    save ('-binary', saved, 'rows_');
  else
    print_tables (rows_, figure_file);
  end
end

function text = describe_methods (names)
  % the methods of the blocks, a method that several take counted once
  [u, ~, j] = unique (names);
  parts = cell (1, numel (u));
  for k = 1:numel (u)
    if (sum (j == k) > 1)
      parts{k} = sprintf ('%d×%s', sum (j == k), u{k});
    else
      parts{k} = u{k};
    end
  end
  text = strjoin (parts, ', ');
end

function t = reference_time (name)
  % an established interior-point solver written in C, the whole solve on
  % this machine kind (2 cores) with OpenBLAS, in seconds; NaN where not
  % measured
  known = struct ('arch0', 0.47, 'arch2', 0.60, 'arch8', 0.67, 'control6', 1.9, ...
                  'control7', 4.1, 'control8', 7.8, 'truss8', 0.33, 'truss6', 0.12, ...
                  'truss2', 0.04, 'gpp250_1', 1.1, 'gpp500_2', 2.4, 'qap8', 0.22, ...
                  'mcp250_1', 0.28, 'mcp500_2', 1.1, 'maxG11', 3.1, 'maxG32', 31, ...
                  'qpG51', 36, 'theta3', 0.48, 'theta5', 5.1, 'theta6', 11.9, ...
                  'thetaG11', 9.2, 'qap10', 0.73);
  key = strrep (name, '-', '_');
  if (isfield (known, key))
    t = known.(key);
  else
    t = NaN;
  end
end

function t = dense_floor (blocks, n)
  % the dense work an iteration cannot avoid: for each block one Cholesky
  % factor of Z and one of Y, inv(Z) and two products of its order, and
  % the Cholesky factor of M, each timed alone (blocks of one order once);
  % M's factor as the solver makes it, by sdp_chol in storage it keeps
  % where sdp_chol finds the host's LAPACK, else by chol
  orders = blocks(blocks > 1);
  t = 0;
  for b = unique (orders)
    [Z, Y] = spd_pair (b);
    R = chol (Z);
    t = t + sum (orders == b) * sum (measure ({@() chol (Z), @() chol (Y), ...
                                               @() chol2inv (R), @() Z * Y, @() Y * Z}));
  end
  M = spd_pair (n);
  if (exist ('sdp_chol') == 3 && sdp_chol ('lapack'))
    t = t + measure (@() sdp_chol ('factor', M));
    sdp_chol ('release');
  else
    t = t + measure (@() chol (M));
  end
end

function [Z, Y] = spd_pair (b)
  A = reshape (sin (1:b*b), b, b);
  Z = A * A.' + b * eye (b);
  Y = Z + eye (b);
end

function text = describe (blocks)
  orders = blocks(blocks > 0);
  parts = {};
  for o = unique (orders, 'stable')
    if (sum (orders == o) > 1)
      parts{end+1} = sprintf ('%d×%d', sum (orders == o), o);
    else
      parts{end+1} = sprintf ('%d', o);
    end
  end
  if (any (blocks < 0))
    parts{end+1} = sprintf ('diag %d', -blocks(blocks < 0));
  end
  text = strjoin (parts, ', ');
end

function print_tables (rows_, figure_file)
  fprintf ('| problem | m | n | blocks | status | it | digits | first solve (s) | best solve (s) | C solver (s) | first / C solver |\n');
  fprintf ('|---|---:|---:|---|---|---:|---:|---:|---:|---:|---:|\n');
  for k = 1:size (rows_, 1)
    r = rows_(k, :);
    fprintf ('| %s | %d | %d | %s | %s | %d | %s | %.2f | %.2f | %s | %s |\n', ...
             r{1:7}, r{23}, r{8}, num (r{9}, '%.2f'), num (r{23} / r{9}, '%.1f'));
  end
  fprintf ('\n| problem | Schur methods | Schur (s) | Schur, modules (s) | Schur, Octave (s) | solve, modules (s) | solve, Octave (s) |\n');
  fprintf ('|---|---|---:|---:|---:|---:|---:|\n');
  for k = 1:size (rows_, 1)
    r = rows_(k, :);
    fprintf ('| %s | %s | %.2f | %s | %s | %s | %s |\n', r{1}, r{11:12}, num (r{13}, '%.2f'), ...
             num (r{14}, '%.2f'), num (r{15}, '%.2f'), num (r{16}, '%.2f'));
  end
  fprintf ('\n| problem | set-up (s) | Schur / it (ms) | factor / it (ms) | rest / it (ms) | dense floor / it (ms) | rest / floor |\n');
  fprintf ('|---|---:|---:|---:|---:|---:|---:|\n');
  for k = 1:size (rows_, 1)
    r = rows_(k, :);
    fprintf ('| %s | %.2f | %.1f | %.1f | %.1f | %.1f | %.2f |\n', r{1}, r{17:22});
  end
  schur = cell2mat (rows_(:, 14)) ./ cell2mat (rows_(:, 12));
  solve = cell2mat (rows_(:, 16)) ./ cell2mat (rows_(:, 8));
  if (! isempty (figure_file) && any (isfinite (solve)))
    draw_speedups (rows_(:, 1), schur, solve, figure_file);
  end
end

function s = num (v, f)
  if (isnan (v))
    s = '-';
  else
    s = sprintf (f, v);
  end
end
