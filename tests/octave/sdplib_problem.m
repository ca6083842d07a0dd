function [F, W, name] = sdplib_problem (k)
%SDPLIB_PROBLEM the k-th bundled SDPLIB problem, for tests.
%   [F, W, name] = sdplib_problem(k) returns the constraint matrices F of
%   the k-th problem (in name order), and W, the inverse of the positive
%   definite matrix S = I*s + y(1)*F{1} + ... + y(n)*F{n}, for a fixed
%   random y and the least shift s >= 0 that makes S's smallest eigenvalue
%   at least 1. With no k, F is the number of problems.
%   The problems are those of the data folder, or of $SDPLIB_DIR when it
%   is set (see sdplib_file).
  dir_ = sdplib_file ();
  files = dir (fullfile (dir_, '*.dat-s'));
  if (isempty (files))
    error ('sdplib_problem: no SDPLIB problems in %s', dir_);
  end
  if (nargin == 0)
    F = numel (files);
    return;
  end
  name = files(k).name;
  F = read_sdpa (fullfile (dir_, name));
  m = rows (F{1});
  rand ('seed', k);
  y = rand (numel (F), 1) - 0.5;
  S = sparse (m, m);
  for i = 1:numel (F)
    S = S + y(i) * F{i};
  end
  S = full (S + S') / 2;
  shift = max (0, 1 - min (eig (S)));
  W = inv (S + shift * eye (m));
  W = (W + W') / 2;
end
