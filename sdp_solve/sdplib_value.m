function [value, text, unit] = sdplib_value (name)
%SDPLIB_VALUE the optimal value that SDPLIB publishes for a problem.
%   value = sdplib_value(name) is the optimal value that SDPLIB 1.2 gives
%   for the problem name (for example 'theta1'), as listed in the README
%   of the data folder beside the problems (see sdplib_file). It is NaN for
%   a problem that SDPLIB lists as infeasible.
%
%   [value, text, unit] = sdplib_value(name) also returns the value as
%   printed there ('2.300000e+01', or 'primal infeasible' and 'dual
%   infeasible') and one unit of its last printed digit (1e-5 for
%   2.300000e+01), which bounds how far an obtained value may lie from it
%   and still agree to the digits printed (which SDPLIB may have rounded or
%   cut off). With SDPLIB_DIR set, the README of that folder is read
%   first, when it has such a table.
%
%   Example:
%      [v, text] = sdplib_value('control1')    % 17.78463, '1.778463e+01'
%
%   See also sdplib_file, sdp_solve.

  % the table of $SDPLIB_DIR, then the one that comes with the package or
  % the source tree
  here = fileparts (mfilename ('fullpath'));
  readmes = {fullfile(here, 'data', 'README.md'), fullfile(fileparts (here), 'data', 'README.md')};
  if (~isempty (getenv ('SDPLIB_DIR')))
    readmes = [{fullfile(getenv ('SDPLIB_DIR'), 'README.md')}, readmes];
  end
  pattern = ['^\|\s*' regexptranslate('escape', name) '\s*\|([^|]*\|){3}\s*([^|]*?)\s*\|'];
  for r = 1:numel (readmes)
    readme = readmes{r};
    if (~exist (readme, 'file'))
      continue;
    end
    lines = regexp (fileread (readme), '\r?\n', 'split');
    for k = 1:numel (lines)
      t = regexp (lines{k}, pattern, 'tokens', 'once');
      if (~isempty (t))
        text = t{end};
        value = str2double (text);
        unit = NaN;
        e = regexp (text, '^[-+]?\d\.?(\d*)e([-+]\d+)$', 'tokens', 'once');
        if (~isempty (e))
          unit = 10 ^ (str2double (e{2}) - numel (e{1}));
        end
        return;
      end
    end
  end
  error ('sdplib_value: no published value for %s in %s', name, strjoin (readmes, ' or '));
end

%!test
%! [v, text, unit] = sdplib_value ('theta1');
%! assert (v, 23);
%! assert (text, '2.300000e+01');
%! assert (unit, 1e-5, 1e-20);
%! [v, text, unit] = sdplib_value ('qap5');
%! assert ([v unit], [-436 0.1], 1e-12);   % -4.360e+02
%! [v, text] = sdplib_value ('infp1');
%! assert (isnan (v));
%! assert (text, 'primal infeasible');
%!error <no published value for nosuch> sdplib_value ('nosuch')
