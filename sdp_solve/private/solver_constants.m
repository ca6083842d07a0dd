function C = solver_constants ()
% The constants of the method, in one place.
  % the step: gamma*(the step to the boundary), gamma = 0.9 + 0.09*(the
  % shorter of the last two steps), so that the steps lengthen to 0.99
  % of the boundary as the iteration settles
  C.gamma_base = 0.9;
  C.gamma_span = 0.09;
  % a new iterate that rounding leaves just outside the cone: its step is
  % shortened by this factor, at most this many times
  C.backoff = 0.8;
  C.backoff_tries = 10;
  % the steps below which the iteration cannot go on
  C.shortest_step = 1e-8;
  % the iterations without progress after which it stops (with 8, no
  % problem of the 64 SDPLIB problems that stalled made progress after the
  % fifth: the qap and hinf problems took three iterations more each for
  % the same best iterate)
  C.no_progress = 5;
  % ... and after this many where the gap is at least apart times the
  % relative complementarity Z.Y/(1 + |c'x| + |F0.Y|): the objectives are
  % then apart by the dual residual weighed by a large x, which the next
  % iterations, making Z.Y smaller, do not narrow (on the 64 SDPLIB
  % problems, the qap problems stall so, at 500 to 2300 times when they
  % stop, three iterations sooner with the same best iterate; the stalls
  % that end in progress last at most 2 iterations, at most 3.5 times)
  C.no_progress_apart = 2;
  C.apart = 300;
  % how far, at most, rounding takes a trace F{i}.Y from its value, over
  % ||F{i}||_F*trace(Y) (which bounds sum |F{i}|.|Y| for Y >= 0): the
  % rounding of a sum of N products is at most N*eps of it, so this holds
  % for up to 4.5 million terms a trace
  C.trace_rounding = 1e-9;
  % a matrix that stores more than this share of its entries is nearly
  % full: sparse arithmetic does not pay for it
  C.nearly_full = 1 / 8;
  % the order from which a nearly full F{i} has its traces and its row of
  % the Schur complement formed by dense products
  C.dense_order = 100;
  % the order up to which a block's Schur complement is formed through
  % kron(Y, inv(Z)), a dense matrix of order kron_order^2
  C.kron_order = 30;
  % from this many blocks of kron_order or less, not in a group, their
  % Schur complements are formed together by sdp_schur (joint_schur)
  C.joint_count = 1;
  % a group whose members' kron products hold at least this share of its
  % order squared in entries forms its Schur complement by sdp_schur on
  % its W and Y made full (block_kernels)
  C.group_joint = 1 / 10;
  % the blocks of this order or less, when there are two or more, are
  % gathered into one group held as a sparse block-diagonal matrix: the
  % interpreter then takes a few steps an iteration for all of them, not
  % a few for each
  C.group_order = 10;
  % a group of this order or less, with members above order 3, takes its
  % step lengths from one eigen-decomposition of the whole group (33
  % members of order 4: 0.27 ms against 0.41 for one a member); larger
  % groups one a member, whose cost grows with their count, not its cube
  C.group_eig_order = 200;
  % the cost rule of a block's Schur complement (schur_method): the
  % operations that handing one matrix of a cell to a compiled routine
  % costs; how many times as fast products of dense matrices of the
  % block's order run their flops as brisset's rows run their
  % multiplications and additions (measured with the optimised BLAS that
  % the set-up installs: from 35 to 50 on two cores), and products of a
  % few columns, which write a result of the block's size; and how many
  % times as fast sdp_schur runs its own (2.5 to 4)
  C.schur_touch = 50;
  C.dense_speedup = 40;
  C.blas_speedup = 10;
  C.sdp_schur_speedup = 3;
  % whether sdp_schur, the compiled Schur complement, is at hand
  C.sdp_schur = exist ('sdp_schur') == 3;
  % a Schur complement that sdp_schur forms for the whole problem is
  % filled in place, in panels of about this many bytes: an array of its
  % size made anew costs its page faults, and panels this small are taken
  % from memory the process already holds
  C.panel_bytes = 2 ^ 23;
  % the largest array allocated and freed at the start, so that the
  % allocator keeps the memory of the matrices of the solve for reuse
  % (glibc raises its threshold for arrays taken from the system to 32
  % MiB at most)
  C.warm_bytes = 32e6;
  % whether blas_threads, which sets the threads of the optimised BLAS, is
  % at hand; the dense work of a solve whose blocks are all of lower order
  % than thread_order runs on one thread, and its Schur complement's
  % formation and factor on all the caller's threads from that order on.
  % On two cores, eig of order 19 took 22 us on one thread and 75 us on
  % two, eig, chol and triangular solves of order 100 to 250 ran 1.1 to
  % 2.7 times as fast on one, and products and triangular solves gained
  % from the second thread only from order 400
  C.blas_threads = exist ('blas_threads') == 3;
  % whether sdp_chol is at hand and finds the host's LAPACK: M's factor is
  % then made in storage kept from one iteration to the next, as M is,
  % rather than in a new array whose page faults cost more than the
  % factorization's arithmetic at theta's orders
  C.sdp_chol = exist ('sdp_chol') == 3 && sdp_chol ('lapack') == 1;
  C.thread_order = 400;
  % where M is formed without the BLAS and the blocks take one thread,
  % the order from which M's factor takes the caller's threads: truss8
  % (order 496, sdp_schur's rows on two threads) took about a tenth less
  % with its factor on one thread, sdp_schur's rows a quarter less, and
  % qap9's factor (order 748) took longer on one
  C.factor_order = 600;
  % the order from which a block's step lengths come from Lanczos' method
  % rather than a full eigen-decomposition
  C.lanczos_order = 150;
  % Lanczos stops, after lanczos_first steps at least, when the bound on
  % the smallest eigenvalue's error is at most this share of it, or when
  % the step is surely longer than lanczos_long (it is cut to 1 anyway),
  % and after lanczos_steps steps at most; a step it finds that the new
  % iterate's Cholesky factor refutes is found again by eigenvalues
  C.lanczos_tol = 1e-3;
  C.lanczos_long = 2;
  C.lanczos_steps = 60;
  C.lanczos_first = 10;
  % (with 20, a third of the solve of arch0 and mcp250-1 went to the steps
  % every search took; with 10, the statuses of the 64 SDPLIB problems
  % stayed and their iterations moved by one, but for gpp's, whose count
  % moves with any change of rounding)
  % the correction of dx that restores F{i}.dY = c(i) - F{i}.Y is made
  % when rounding has left it short by more than this share of tol
  C.mend = 0.1;
  % the tol that the mends and the turn to M's square root take at most:
  % a looser tol stops the iteration of the default tol sooner, not
  % another iteration (hinf1 at tol 1e-6 had never turned to the square
  % root, and stopped at 7.8e-6, "inaccurate", where the default tol
  % passes 1e-6 on its way to 5.9e-7)
  C.path_tol = 1e-8;
  % and mended once, or with M from its square root this many times at
  % most, while each mend helps
  C.mend_steps = 3;
  % the shifts of the Schur complement's diagonal, relative to its
  % largest entry, tried when rounding has taken its definiteness away
  C.schur_shifts = [1e-14 1e-12 1e-10];
  % the steps of iterative refinement of each solve with the Schur
  % complement
  C.refinement = 2;
  % M from its square root, when rounding has left the direction short,
  % where that root B has at most this many rows a constraint (its QR
  % factorization takes 2*rows(B)*n^2 operations an iteration, against
  % n^3/3 for M's Cholesky factor), and where forming and factoring it
  % counts at most root_cost times forming M
  C.root_rows = 10;
  C.root_cost = 4;
  % and where the direction is left short by more than this share of the
  % dual residual, and by more than mend_tol
  C.root_share = 0.1;
  % the solves with the factor of the Schur complement go by blocks of
  % solve_block rows, in a quarter of the time of whole triangular solves
  % at order 3000; up to order solve_whole, the factor is one block
  C.solve_block = 256;
  C.solve_whole = 512;
  % the data's rows are balanced by a diagonal congruence of powers of two
  % where their largest entries differ by more than balance_spread (the
  % control and arch problems of SDPLIB, about 1e4; not hinf's, at most
  % 101), in balance_sweeps sweeps at most, its exponents within
  % +-balance_exponent
  C.balance_spread = 1e3;
  % constraints whose F{i} differ by more than balance_spread are weighed
  % where the weighed data is then even, the largest entries of its rows
  % and constraints within even_spread (the scaled problems of the tests:
  % at most 14; control's, whose indices are in other units, 124 to 175)
  C.even_spread = 16;
  C.balance_sweeps = 20;
  C.balance_exponent = 400;
end
