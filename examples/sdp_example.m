function sdp_example (file)
%SDP_EXAMPLE solve an SDPLIB problem with sdp_solve, on the modules and without.
%   sdp_example solves SDPLIB's arch0 (order 335, 174 constraint matrices)
%   with sdp_solve on the modules kovalin and brisset, printing the
%   iterations; then prints the objectives obtained beside the optimal
%   value that SDPLIB publishes, and solves the problem once more with
%   Octave expressions in place of the modules, to set the time of the
%   Schur complement (and of the whole solve) with the modules beside the
%   time without them.
%
%   sdp_example(file) does the same for the problem in the SDPA file
%   file. The published value is shown when the file is one of SDPLIB's,
%   by its name.
%
%   Example:
%      sdp_example (sdplib_file ('control1'))   % a small one
%
%   See also sdp_solve, sdplib_file, sdplib_value, kernels_example.
  if (nargin < 1)
    file = sdplib_file ('arch0');
  end
  [F, F0, c] = read_sdpa (file);
  [~, name] = fileparts (file);
  name = regexprep (name, '\.dat$', '');
  fprintf ('%s: %d constraint matrices of order %d\n\n', name, numel (F), size (F0, 1));

  [~, ~, mod] = sdp_solve (F, F0, c, struct ('kernels', 'modules'));
  [~, ~, oct] = sdp_solve (F, F0, c, struct ('kernels', 'octave', 'verbose', false));

  fprintf ('\n%-26s %18s %18s\n', '', 'modules', 'Octave expressions');
  fprintf ('%-26s %18s %18s\n', 'status', mod.status, oct.status);
  fprintf ('%-26s %18.9e %18.9e\n', 'primal objective c''*x', mod.pobj, oct.pobj);
  fprintf ('%-26s %18.9e %18.9e\n', 'dual objective F0.Y', mod.dobj, oct.dobj);
  try
    [value, text] = sdplib_value (name);
    fprintf ('%-26s %18s\n', 'published by SDPLIB', text);
  catch
    value = NaN;   % not one of SDPLIB's problems
  end
  fprintf ('%-26s %18d %18d\n', 'iterations', mod.iterations, oct.iterations);
  fprintf ('%-26s %18.2f %18.2f\n', 'Schur complement (s)', mod.schur_time, oct.schur_time);
  fprintf ('%-26s %18.2f %18.2f\n', 'whole solve (s)', mod.time, oct.time);
  fprintf ('\nthe modules form the Schur complement %.1f times as fast, and the whole solve takes %.1f times as long without them\n', ...
           oct.schur_time / mod.schur_time, oct.time / mod.time);
  if (~isnan (value))
    fprintf ('digits in which c''*x agrees with the published value: %.1f\n', ...
             -log10 (max (abs (mod.pobj - value), eps) / abs (value)));
  end
end
