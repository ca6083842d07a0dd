function [P, K, C] = test_problem (F, C)
% For the tests: the blocks of the problem whose constraint matrices are
% the F{i} and F0 = 0 (split_problem, without groups), each block's
% kernels of the cheapest kind, and the solver's constants (C, when not
% given).
  m = size (F{1}, 1);
  F0 = sparse (m, m);
  P = split_problem (F, F0, find_blocks (F, F0));
  if (nargin < 2)
    C = solver_constants ();
  end
  K = kernels_of (P, 'cheapest', C);
end
