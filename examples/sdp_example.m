function sdp_example (file)
%SDP_EXAMPLE the modules at work on a semidefinite program.
%   sdp_example(file) reads a problem in SDPA sparse format (by default the
%   bundled control1.dat-s), forms a positive definite S from its
%   constraint matrices F{1} .. F{n}, takes W = inv(S), and computes
%   Hessian entries trace(W*F{i}*W*F{j}) with zandrel. It prints each
%   result's agreement with Octave's own arithmetic and the time taken,
%   next to the time of the plain Octave expression.
%
%   Example:
%      sdp_example              % the bundled control1 problem
%
%   See also read_sdpa, zandrel.
  if (nargin < 1)
    file = fullfile (fileparts (mfilename ('fullpath')), 'data', 'control1.dat-s');
  end
  F = read_sdpa (file);
  n = numel (F);
  m = rows (F{1});
  [~, name] = fileparts (file);
  printf ('%s: %d constraint matrices of order %d\n\n', name, n, m);

  % S = s*I + y(1)*F{1} + ... + y(n)*F{n}, positive definite
  y = ones (n, 1) / n;
  S = sparse (m, m);
  for i = 1:n
    S = S + y(i) * F{i};
  end
  S = full (S);
  S = S + max (0, 1 - min (eig (S))) * eye (m);
  W = inv (S);
  W = (W + W') / 2;

  printf ('%-34s %12s %12s %12s\n', 'computation', 'rel. diff', 'module (s)', 'Octave (s)');
  pairs = [1 1; 1 n; n n];
  for p = pairs.'
    [Fi, Fj] = deal (F{p(1)}, F{p(2)});
    [mine, t_mine] = timed (@() zandrel (W, Fi, W, Fj));
    [ref, t_ref] = timed (@() 2 * trace (W*Fi*W*Fj));
    label = sprintf ('2*trace(W*F%d*W*F%d) by zandrel', p(1), p(2));
    printf ('%-34s %12.1e %12.2e %12.2e\n', label, reldiff (mine, ref), t_mine, t_ref);
  end
end

function [r, t] = timed (f)
  % the best of a few runs, for times far above the clock's resolution
  t = Inf;
  for k = 1:5
    tic;
    r = f ();
    t = min (t, toc);
  end
end

function d = reldiff (a, b)
  d = max (abs (a(:) - b(:))) / max (max (abs (b(:))), realmin);
end
