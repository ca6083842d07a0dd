% sdpkernels: exact, fast kernels for semidefinite programming solvers.
% Version 0.1.0
%
% Weighted sums and traces of products of sparse and dense matrices,
% computed without forming any product matrix, with the same bits on every
% platform.
%
%   kovalin       - weighted sum x(1)*A{1} + ... + x(n)*A{n} of square matrices
%   brisset       - doubled traces 2*trace(C'*B*A*D{i}), one per sparse D{i}
%   zandrel       - the trace trace((A + A')*B'*C*D)
%   sdp_schur     - Schur complement trace(F{i}*W*F{j}*Y) of a block, whole or a panel
%   blas_threads  - the number of threads of the optimised BLAS, read or set
%   sdp_chol      - a Cholesky factor by the host's LAPACK, kept between calls, and its solves
%   build_modules - compile the six for the running host (Octave or MATLAB)
%
% Semidefinite programs (in sdp_solve/ and examples/):
%   sdp_solve       - solve a semidefinite program by a primal-dual interior-point method
%   read_sdpa       - read a semidefinite program in SDPA sparse format
%   sdplib_file     - the file of an SDPLIB problem that comes with sdp_solve
%   sdplib_value    - the optimal value that SDPLIB publishes for a problem
%   sdp_example     - solve an SDPLIB problem with sdp_solve, on the modules and without
%   kernels_example - the three modules, one by one, on a semidefinite program
%
% Example: a Hessian row of a semidefinite program, H(i,j) = trace(W*F{i}*W*F{j}):
%   F = {sparse([2 1; 1 2]), speye(2), sparse([0 1; 1 0])};
%   W = inv(full(kovalin([1 1 0], F)));
%   H1 = brisset(W, F{1}, W, F) / 2
