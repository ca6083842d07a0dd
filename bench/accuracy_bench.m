function accuracy_bench (names, saved)
%ACCURACY_BENCH what sdp_solve reaches on SDPLIB problems, and whether its
%statuses hold.
%   accuracy_bench(names, saved) solves each SDPLIB problem of the cell
%   array names (see sdplib_file) as a user does, sdp_solve(file), and
%   saves a row for each in the file saved. accuracy_bench(folder) prints
%   the rows saved in folder as 1.mat, 2.mat, ... as one Markdown table:
%   the status, the iterations, the time, the value SDPLIB publishes, the
%   digits in which the farther objective agrees with it (and whether it
%   agrees to all the digits printed there), and the six DIMACS measures
%   of the returned x and Y. Two published values are misprints; those
%   rows compare with the value independent solves agree on, and say so.
%   bench/accuracy.sh solves each problem so, in an Octave of its own.
  if (ischar (names))
    rows_ = {};
    for k = 1:numel (dir (fullfile (names, '*.mat')))
      rows_ = [rows_; load(fullfile (names, sprintf ('%d.mat', k))).rows_];
    end
    print_table (rows_);
    return;
  end
  rows_ = {};
  for k = 1:numel (names)
    name = names{k};
    [~, ~, info] = sdp_solve (sdplib_file (name), struct ('verbose', false));
    [value, text, unit, note] = published_value (name);
    if (isnan (value))
      digits = '-';
      agrees = '-';
    else
      err = max (abs ([info.pobj info.dobj] - value));
      digits = sprintf ('%.1f', -log10 (max (err, eps) / abs (value)));
      agrees = ifelse (err <= unit, 'yes', 'no');
    end
    rows_(end+1, :) = {[name note], strrep(info.status, ' ', '&nbsp;'), info.iterations, ...
                       info.time, text, digits, agrees, info.dimacs};
    fprintf (stderr, '%s: %s in %.1f s\n', name, info.status, info.time);
  end
  save ('-binary', saved, 'rows_');
end

function s = ifelse (c, a, b)
  if (c)
    s = a;
  else
    s = b;
  end
end

function print_table (rows_)
  fprintf (['| problem | status | it | time (s) | published | digits | all digits ' ...
            '| D1 | D2 | D3 | D4 | D5 | D6 |\n']);
  fprintf ('|---|---|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|\n');
  for k = 1:size (rows_, 1)
    r = rows_(k, :);
    d = arrayfun (@(v) sprintf ('%.0e', v), r{8}, 'UniformOutput', false);
    d = regexprep (d, '^0e\+00$', '0');
    fprintf ('| %s | %s | %d | %.2f | %s | %s | %s | %s |\n', r{1:7}, strjoin (d, ' | '));
  end
end
