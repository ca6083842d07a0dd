function draw_speedups (names, schur, solve, file)
%DRAW_SPEEDUPS the speed-ups of sdp_solve's default kernels, drawn into a PNG file.
%   draw_speedups(names, schur, solve, file) draws, for each problem of the
%   cell array names, the speed-up of the default kernels over Octave expressions
%   in the Schur complement (schur) and in the whole solve (solve), as
%   horizontal bars on a logarithmic scale, with Octave's gnuplot toolkit.
  warning ('off', 'Octave:gnuplot-graphics');
  graphics_toolkit ('gnuplot');
  k = numel (names);
  h = figure ('visible', 'off', 'position', [0 0 900 40 + 22 * k]);
  barh (log10 ([schur(:) solve(:)]));
  hold on;
  plot ([0 0], [0, k + 1], 'k-');
  set (gca, 'ytick', 1:k, 'yticklabel', names, 'ylim', [0, k + 1], 'ydir', 'reverse', ...
       'fontsize', 9);
  t = -1:1;
  set (gca, 'xtick', t, 'xticklabel', arrayfun (@(v) sprintf ('%gx', 10^v), t, 'UniformOutput', false));
  xlim ([-1 1.6]);
  xlabel ('speed-up of the default kernels over Octave expressions (log scale; right of 1x they are faster)');
  legend ({'Schur complement', 'whole solve'}, 'location', 'northeast');
  title ('sdp_solve on the bundled SDPLIB problems', 'interpreter', 'none');
  print (h, file, '-dpngcairo');
  close (h);
end
