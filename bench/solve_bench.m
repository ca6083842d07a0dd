function results = solve_bench (names, figure_file, saved)
%SOLVE_BENCH sdp_solve on SDPLIB problems, with the modules and with Octave.
%   results = solve_bench(names) solves each SDPLIB problem of the cell
%   array names (see sdplib_file) with opts.kernels = 'modules' and
%   'octave' in turn; a problem that both solve in under 5 s is solved
%   twice more with each, in the same alternation, and the fastest solve
%   of each kind is kept (the first solves also pay for loading code). It
%   prints a Markdown table: for each problem its order m,
%   its number n of constraint matrices, the value SDPLIB publishes, the
%   objectives obtained with the modules, the digits in which the farther
%   of them agrees with the published value, and for each kind of kernels
%   the status, the iterations, the whole time and the Schur complement's
%   time; then the speed-ups of the modules over the Octave expressions.
%
%   solve_bench(names, figure_file) also draws the speed-ups per problem
%   into the PNG file figure_file (none when figure_file is '').
%
%   solve_bench(names, '', saved) measures and saves the table's rows in
%   the file saved, printing nothing; solve_bench(folder, figure_file)
%   prints together, and draws, the rows saved in folder as 1.mat, 2.mat,
%   ... bench/solve.sh solves each problem so, in an Octave of its own:
%   the host's heap after the problems before makes every later call of
%   a module dearer, and the whole solves of order 100 to 250 by up to
%   half.
  if (nargin < 2)
    figure_file = '';
  end
  if (ischar (names))
    % the rows saved in the folder names, printed together
    rows_ = {};
    for k = 1:numel (dir (fullfile (names, '*.mat')))
      rows_ = [rows_; load(fullfile (names, sprintf ('%d.mat', k))).rows_];
    end
    print_table (rows_, figure_file);
    results = [];
    return;
  end
  rows_ = {};
  results = struct ('name', {}, 'm', {}, 'n', {}, 'value', {}, 'modules', {}, 'octave', {});
  opts = struct ('verbose', false);
  for k = 1:numel (names)
    name = names{k};
    [F, F0, c] = read_sdpa (sdplib_file (name));
    [value, text, unit] = sdplib_value (name);
    r = struct ('name', name, 'm', size (F0, 1), 'n', numel (F), 'value', value);
    for round = 1:3
      for kind = {'modules', 'octave'}
        opts.kernels = kind{1};
        [~, ~, info] = sdp_solve (F, F0, c, opts);
        if (round == 1 || info.time < r.(kind{1}).time)
          r.(kind{1}) = info;
        end
      end
      if (round == 1 && max (r.modules.time, r.octave.time) >= 5)
        break;
      end
    end
    results(end+1) = r;
    i = r.modules;
    o = r.octave;
    if (isnan (value))
      digits = '-';
      agrees = strcmp (i.status, text) && strcmp (o.status, text);
    else
      err = max (abs ([i.pobj i.dobj] - value));
      digits = sprintf ('%.1f', -log10 (max (err, eps) / abs (value)));
      agrees = all (abs ([i.pobj i.dobj o.pobj o.dobj] - value) <= unit);
    end
    mark = {'no', 'yes'};
    rows_(end+1, :) = {name, r.m, r.n, text, i.pobj, i.dobj, digits, mark{agrees + 1}, ...
                       status_word(i.status), i.iterations, o.iterations, i.time, o.time, ...
                       i.schur_time, o.schur_time, o.schur_time / i.schur_time, o.time / i.time};
    fprintf (stderr, '%s done: %.1f s and %.1f s\n', name, i.time, o.time);
  end
  if (nargin > 2)
    save ('-binary', saved, 'rows_');
  else
    print_table (rows_, figure_file);
  end
end

function print_table (rows_, figure_file)
  fprintf ('| problem | m | n | SDPLIB | pobj | dobj | digits | agrees | status | it (mod/oct) | solve mod (s) | solve oct (s) | Schur mod (s) | Schur oct (s) | Schur speed-up | solve speed-up |\n');
  fprintf ('|---|---:|---:|---|---:|---:|---:|---|---|---:|---:|---:|---:|---:|---:|---:|\n');
  for k = 1:size (rows_, 1)
    fprintf ('| %s | %d | %d | %s | %.8e | %.8e | %s | %s | %s | %d / %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n', rows_{k, :});
  end

  if (! isempty (figure_file))
    draw_speedups (rows_(:, 1), cell2mat (rows_(:, 16)), cell2mat (rows_(:, 17)), figure_file);
  end
end

function w = status_word (status)
  w = strrep (status, ' ', '&nbsp;');
end
