function kernels_example (file)
%KERNELS_EXAMPLE the three modules, one by one, on a semidefinite program.
%   kernels_example(file) reads a problem in SDPA sparse format (by default
%   SDPLIB's control1, see sdplib_file) and, for its constraint matrices F{1} .. F{n},
%   does what an interior-point solver does at every step:
%
%     - forms S = y(1)*F{1} + ... + y(n)*F{n} with kovalin, sparse and
%       dense, for a y that brings S close to the identity;
%     - with W the inverse of S (shifted by a multiple of I if S is not
%       positive definite), forms the Hessian row H(i,j) =
%       trace(W*F{i}*W*F{j}) for all j with brisset, and a few entries
%       with zandrel.
%
%   It prints, for each, the largest relative difference from Octave's own
%   arithmetic and the time of the module next to the time of the plain
%   Octave expression.
%
%   Example:
%      kernels_example          % SDPLIB's control1
%
%   See also sdp_example, read_sdpa, kovalin, brisset, zandrel.
  if (nargin < 1)
    file = sdplib_file ('control1');
  end
  F = read_sdpa (file);
  n = numel (F);
  m = rows (F{1});
  [~, name] = fileparts (file);
  printf ('%s: %d constraint matrices F{i} of order %d\n', name, n, m);

  % y: the least-squares fit of y(1)*F{1} + ... + y(n)*F{n} to I
  Fs = cellfun (@(f) f(:), F, 'UniformOutput', false);
  Fstack = [Fs{:}];
  G = full (Fstack' * Fstack);
  y = (G + 1e-12 * trace (G) / n * eye (n)) \ full (Fstack' * reshape (speye (m), [], 1));

  rows_ = {};
  [S, t] = timed (@() kovalin (y, F));
  [R, t_ref] = timed (@() loop_sum (y, F));
  d = reldiff (transpose (S), R);   % the sparse result holds the transpose
  rows_(end+1, :) = {'S = sum y(i)*F{i}, sparse (kovalin)', d, t, t_ref};
  [Sd, t] = timed (@() kovalin (y, F, -1));
  [Rd, t_ref] = timed (@() reshape (Fstack * y, m, m));
  rows_(end+1, :) = {'S, dense (kovalin(y, F, -1))', reldiff(Sd, full(R)), t, t_ref};

  S = full (S + S.') / 2;
  shift = max (0, 1e-3 - min (eig (S)));
  W = inv (S + shift * eye (m));
  W = (W + W.') / 2;

  i = 1;
  [h, t] = timed (@() brisset (W, F{i}, W, F) / 2);
  [h_ref, t_ref] = timed (@() Fstack' * reshape (W*F{i}*W, [], 1));
  rows_(end+1, :) = {sprintf('Hessian row %d (brisset / 2)', i), reldiff(h, h_ref), t, t_ref};
  for j = unique ([1, n])
    [e, t] = timed (@() zandrel (W, F{i}, W, F{j}) / 2);
    [e_ref, t_ref] = timed (@() trace (W*F{i}*W*F{j}));
    rows_(end+1, :) = {sprintf('H(%d,%d) (zandrel / 2)', i, j), reldiff(e, e_ref), t, t_ref};
  end

  if (shift > 0)
    printf ('S is not positive definite: W = inv(S + %.3g*I)\n', shift);
  end
  printf ('\n%-38s %10s %12s %12s\n', 'computation', 'rel. diff', 'module (s)', 'Octave (s)');
  for r = 1:rows (rows_)
    printf ('%-38s %10.1e %12.2e %12.2e\n', rows_{r, :});
  end
  printf ('\nOctave: the loop S = S + y(i)*F{i}, reshape(Fstack*y, m, m),\n');
  printf ('Fstack''*reshape(W*F{i}*W, [], 1) and trace(W*F{i}*W*F{j}).\n');
end

function S = loop_sum (y, F)
  S = sparse (rows (F{1}), columns (F{1}));
  for i = 1:numel (F)
    S = S + y(i) * F{i};
  end
end

function [r, t] = timed (f)
  % the best of a few runs
  t = Inf;
  for k = 1:5
    tic;
    r = f ();
    t = min (t, toc);
  end
end

function d = reldiff (a, b)
  d = full (max (abs (a(:) - b(:))) / max (max (abs (b(:))), realmin));
end
