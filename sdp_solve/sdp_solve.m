function [x, Y, info] = sdp_solve (varargin)
%SDP_SOLVE solve a semidefinite program by a primal-dual interior-point method.
%   [x, Y, info] = sdp_solve(F, F0, c) solves the pair of problems
%
%      minimize   c'*x   subject to  Z = x(1)*F{1} + ... + x(n)*F{n} - F0 >= 0
%      maximize   F0.Y   subject to  F{i}.Y = c(i) for all i,  Y >= 0
%
%   where A.B = trace(A*B) and >= 0 means positive semidefinite. F is a cell
%   vector of n symmetric m-by-m matrices (sparse, or made sparse), F0 a
%   symmetric m-by-m matrix and c a vector of n. It returns x (n-by-1), Y
%   (m-by-m, sparse and block-diagonal) and a struct info with the fields
%
%      status      'solved', 'inaccurate', 'not solved', 'primal
%                  infeasible' or 'dual infeasible'
%      pobj, dobj  c'*x and F0.Y
%      gap         max(|pobj - dobj|, Zx.Y) / (1 + |pobj| + |dobj|), the
%                  larger of the DIMACS measures 5 and 6 below, with
%                  Zx = x(1)*F{1} + ... + x(n)*F{n} - F0: where Y's
%                  equalities are short and x is large, pobj - dobj
%                  differs from Zx.Y, and neither alone bounds the
%                  distance to the optimum
%      pinf        max(||Zx - Z||_F, -lambda_min(Zx)) / b, where
%                  Zx = x(1)*F{1} + ... + x(n)*F{n} - F0 and Z is the
%                  iterate's own (Zx itself once a step has reached the
%                  equalities; a and b as for dimacs, below)
%      dinf        max(||(c(i) - F{i}.Y)||_2, -lambda_min(Y)) / a
%      accuracy    the largest of gap, pinf and dinf, which bound the six
%                  DIMACS measures below: 'solved' holds them within tol
%      dimacs      the six DIMACS error measures of x and Y (NaN for an
%                  infeasibility certificate), with a = 1 + max|c(i)|,
%                  b = 1 + the largest entry of |F0| and
%                  s = 1 + |pobj| + |dobj|:
%                  1: ||(F{i}.Y - c(i))||_2 / a, the dual equalities
%                  2: max(0, -lambda_min(Y)) / a, Y's cone
%                  3: ||Zx - Z||_F / b, where Z is the iterate's own
%                     positive definite Z: the primal residual of an
%                     iteration that starts infeasible
%                  4: max(0, -lambda_min(Zx)) / b, Zx's cone
%                  5: (pobj - dobj) / s, the gap
%                  6: Zx.Y / s, the complementarity
%      iterations, time, setup_time (seconds before the first
%                  iteration: reading, splitting into blocks, the start),
%                  schur_time (seconds spent forming the Schur
%                  complement), factor_time (seconds spent factoring it),
%                  message (why it stopped)
%      blocks      the orders of the blocks it solved by, and minus the
%                  order of the diagonal part, if any
%      root_from   the iteration from which the Schur complement came
%                  from its square root (see below), NaN if never
%      left_out    the constraints left out as void or repeating another
%                  (see below), whose x(i) are 0; empty if none
%
%   The solver works block by block. The blocks are those of the file's
%   block list, or for a problem given as matrices the connected
%   components of the joint pattern of F0 and the F{i}; the blocks of
%   order 1 and the diagonal blocks make one diagonal part, held as
%   vectors. Z, Y, their factors and inverses and the step lengths are
%   formed for each block, and each block's Schur complement from the
%   F{i} that touch it; the diagonal part adds A*diag(y./z)*A', with A(i,k)
%   F{i}'s k-th diagonal entry there. Two or more blocks of order 10 or
%   less make one group, held as a sparse block-diagonal matrix, so that
%   each step of the iteration takes the same few operations for all of
%   them: its Schur complement comes from the members' kron(Y, inv(Z)) at
%   once, its inverses member by member in arrays, and its step lengths
%   likewise or, for a group of order 200 or less with members above
%   order 3, from one eigen-decomposition of the whole group.
%
%   The iteration stops when the iterate's gap, primal residual
%   (||x(1)*F{1} + ... + x(n)*F{n} - F0 - Z||_F / b, the
%   pinf column of the table) and dual residual are all at most tol, or
%   when it finds a certificate of infeasibility, reaches the iteration
%   limit or cannot go on (the Schur complement, Z or Y no longer positive
%   definite to working precision, steps too short, or no progress in the
%   last 5 iterations, or in the last 2 where the gap is at least 300 times
%   Z.Y/(1 + |c'*x| + |F0.Y|), the objectives held apart by the dual
%   residual times a large x); in the last cases x and Y are the best
%   iterate met.
%   Where no shortening of one side's step (Z's or Y's) keeps it positive
%   definite, that side holds still for the iteration while the other
%   moves; steps too short on both sides end the iteration.
%   gap, pinf and dinf are then recomputed from the x and Y returned, as a
%   user would, and the status is 'solved' when all three are at most tol,
%   'inaccurate' when they are at most sqrt(tol) (1e-4 by default), and
%   'not solved' otherwise. It is 'primal infeasible' when Y, scaled to
%   F0.Y = 1, has ||(F{i}.Y)||_2 <= inftol*min(1, max||F{i}||_F /
%   ||F0||_F), and |F{i}.Y| <= inftol*||F{i}||_F*||Y||_F for each i: no
%   Z >= 0 exists, and the Y returned is that certificate.
%   It is 'dual infeasible' when x, scaled to c'*x = -1, has
%   x(1)*F{1} + ... + x(n)*F{n} + e*I >= 0 (tested by a Cholesky
%   factorization), e = inftol*min(1, max||F{i}||_F / max|c(i)|,
%   sum(|x(i)|*||F{i}||_F)): no Y >= 0 exists, and the x returned is
%   that certificate. The bounds beside each F{i}'s size keep a tiny
%   F{i} from passing for one that Y or x meets. The first bounds
%   are inftol in the data's own units: where F0 is large against the
%   F{i}, Y scaled to F0.Y = 1 is small, and so are its F{i}.Y, feasible
%   or not; where c is, x scaled to c'*x = -1 is small, and so is its sum
%   whatever its sign. A direction that overflows ends the iteration
%   with its best iterate.
%
%   Where the dual residual is what an iterate lacks, and constraints ask
%   Y(r,r) = c(i)/v (F{i} = v at (r,r) alone), the Y measured and returned
%   is D*Y*D, D diagonal, which meets those and stays positive
%   semidefinite, when its measures are the better (graph partitioning's
%   Y has no interior, and rounding leaves those equalities short).
%
%   A constraint whose F{i} is zero and c(i) zero holds for every Y and
%   leaves Z as it is: the solve goes without it, and its x(i) is 0. One
%   whose F{i} is zero and c(i) not is met by no Y: the status is 'dual
%   infeasible' at once, x = -e(i)/c(i) its certificate. Where every F{i}
%   is zero, Z = -F0 whatever x: x = 0 and Y = 0 solve the problem when
%   -F0 >= 0, and otherwise Y from F0's largest eigenvalue certifies
%   primal infeasibility. A repeat, F{j} = a*F{i} and c(j) = a*c(i) to
%   within 4 ulps (a duplicate for a = 1), holds wherever the other
%   does: of each such set the solve keeps the first, the others' x(j)
%   are 0, and the dual residual and the measures are still over all the
%   constraints.
%
%   Where the rows of the data differ in scale by orders (the largest
%   entries of the rows of the F{i} by more than a factor of 1000, as a
%   problem whose indices are in different units has them), the solver
%   balances them: it solves the same problem with D*F{i}*D and D*F0*D, D
%   diagonal of powers of two that bring the largest entry of each row
%   near 1, whose x is the same, and returns Y in the user's units
%   (D times the balanced Y times D), with the measures of info and the
%   status that follows taken on the user's data; a certificate of
%   infeasibility is tested on the balanced data (x(1)*F{1} + ... +
%   x(n)*F{n} + e*inv(D)^2 >= 0 for dual infeasibility). The products
%   with powers of two are exact, so the traces are the same numbers.
%   Likewise, where the F{i} differ in scale by orders (their largest
%   entries by more than a factor of 1000, as constraints written in
%   different units have them), the solver weighs the constraints: it
%   solves the same problem with w(i)*F{i} and w(i)*c(i), w of powers of
%   two that bring the largest entry of each w(i)*F{i} near 1, balancing
%   the rows of the weighed matrices if they need it, whose x(i) is the
%   user's x(i)/w(i), and returns x in the user's units, with the dual
%   residual of info in them too. It does so only where the weighed data
%   is even (the largest entries of its rows, of F0's rows and of its
%   constraints within a factor of 16) and the rows balanced alone leave
%   it uneven, or spread the entries within each F{i} further; otherwise
%   the F{i} differ as indices in other units make them, and the rows are
%   balanced alone.
%   The head of the iteration table says which; the table's pinf and
%   dinf are in the user's units.
%
%   [x, Y, info] = sdp_solve(F, F0, c, opts) takes options from the fields
%   of the struct opts:
%
%      tol       1e-8     the bound on gap, pinf and dinf
%      inftol    1e-8     the bound of the infeasibility certificates
%      maxiter   100      the largest number of iterations
%      verbose   true     print the iterations and a summary; the head
%                also notes an OpenBLAS running its generic kernels on
%                a processor it does not know
%      kernels   'cheapest' to form each block's sums of the F{i} and
%                the traces F{i}.G as products with the F{i}'s entries
%                stacked as the columns of one sparse matrix (the bits of
%                kovalin and brisset, without a call that hands every
%                F{i} over), the traces F{i}.(inv(Z)*G) with brisset,
%                and its Schur complement by the method that counts of
%                the work show cheapest (see below); 'modules' to form
%                the sums with kovalin (a full result when the sum has
%                more than an eighth of its entries), every trace with
%                brisset and the Schur complement with brisset's rows,
%                the three modules only; or 'octave' to do the same
%                steps with Octave (or MATLAB) expressions. With the
%                modules, a nearly full F{i} (more than an eighth of its
%                entries) in a block of order 100 or more has its traces
%                and its row of the Schur complement formed by dense
%                products, which an optimised BLAS makes faster than
%                brisset's fixed order of sums
%
%   [x, Y, info] = sdp_solve(file) and sdp_solve(file, opts) read the
%   problem from a file in SDPA sparse format (see read_sdpa).
%
%   The method is the infeasible primal-dual path-following method with the
%   HKM search direction and Mehrotra's predictor-corrector steps, from
%   x = 0, Z and Y multiples of the identity (where every ||F{i}||_F is
%   below 1, those of the problem times the power of two that brings the
%   largest to [1, 2), Y that many times as large and Z as small). Each
%   iteration forms the
%   Schur complement M(i,j) = trace(F{i}*inv(Z)*F{j}*Y), block by block,
%   factors it by Cholesky, and takes the longest steps (times
%   0.9 to 0.99) that keep Z and Y positive definite. The step to the
%   boundary is the smallest eigenvalue of inv(Z)*dZ (and inv(Y)*dY): by a
%   full eigen-decomposition in blocks of order under 150, by Lanczos'
%   method in larger ones, from the characteristic polynomial in a group's
%   members of order 2 or 3 (where the group is not taken whole), and
%   exactly on the diagonal part; a Cholesky
%   factorization of the new iterate confirms it (a step it refutes that
%   Lanczos' method or a polynomial gave is found again by eigenvalues),
%   and shortens the step when rounding has left it just outside.
%
%   Near the optimum of a problem whose x is not unique, M's smallest
%   eigenvalues fall below its largest times the rounding unit, and no M
%   formed in floating point holds them: rounding then leaves the direction
%   short of the dual equalities F{i}.dY = c(i) - F{i}.Y, by more than a
%   correction of dx through M's factor can mend, and the dual residual
%   stalls. From the first iteration where it does (by more than a tenth
%   of the dual residual and of tol, a tol of 1e-8 at most, so that a
%   looser tol stops the same iteration sooner), or where M's Cholesky
%   factorization fails, M is factored from its square root instead:
%   M = B'*B, where
%   with Z = RZ'*RZ and RZ*Y*RZ' = U*diag(lambda)*U', column i of B holds
%   each block's X = U'*inv(RZ')*F{i}*inv(RZ)*U, X(a,b) for a <= b times
%   sqrt(lambda(a) + lambda(b)) (sqrt(lambda(a)) for a = b), and R of B's
%   QR factorization has R'*R = M to working precision. That takes
%   2*rows(B)*n^2 operations an iteration, against n^3/3 for the Cholesky
%   factor, and is done where B has at most 10 rows a constraint and costs
%   at most 4 times forming M by the counts of the cost rule below
%   (control, hinf and truss problems; not qap, whose sparse F{i} make M
%   cheap and B dense). A group's members take the rows of
%   inv(RZ')*F{i}*RY', their order squared each. From then on the
%   corrector removes the share 1 - sigma of the dual residual, sigma
%   being the centring's, rather than all of it: x then grows along the
%   directions that make it not unique more slowly as mu falls, and with
%   it the rounding of Z.
%
%   With the cheapest kernels, a block of order above 30 that is not in a
%   group has its Schur complement formed by one of five exact methods,
%   the one whose counted work is least (never a timing, so that the
%   iterates do not depend on the machine's load; info.schur_methods names
%   each block's):
%      'sdp_schur'  the compiled routine sdp_schur: the whole block in one
%                 call, from the F{i}'s stored entries (theta, max-cut,
%                 qpG, qap, arch, and control's smaller block);
%      'rows'     brisset's rows, F{i} against F{i:n};
%      'entries'  for the F{i} that hold a single diagonal entry or one
%                 symmetric pair, M(i,j) from gathered entries of inv(Z)
%                 and Y, and the others' rows by brisset, gathered or by
%                 dense products (gpp, whose all-ones F{i} is full);
%      'rank'     the same for the F{i} of rank one;
%      'dense'    M = B'*B for the columns of the block's square root
%                 (see above), by dense products (nearly full F{i}, as
%                 control's larger block).
%   The blocks of order 30 or less, and groups, take kron (see above);
%   with the cheapest kernels, the blocks of order 30 or less that are not
%   in a group form theirs together instead ('joint'): one call of
%   sdp_schur on those blocks side by side, W and Y block diagonal, which
%   forms each sum within the blocks that F{i} uses (truss8: 33 blocks of
%   order 19; control2 and control3: two; qap5, infp1: one). A group takes
%   the same call on its W and Y made full ('joint') where its members'
%   kron products would hold at least a tenth of its order squared in
%   entries (truss1-4, hinf, control1; truss6's 150 members of order 3
%   keep kron).
%   When one block forms the whole Schur complement by sdp_schur, M is kept
%   from one iteration to the next and filled in place a panel at a time:
%   at order 3000 an array of M's size made anew costs more in page faults
%   than all of M's arithmetic on a theta problem. Without sdp_schur built,
%   the other four take its place. Where sdp_chol is built and finds the
%   host's LAPACK, M's Cholesky factor too is made in storage kept from
%   one iteration to the next (with the bits chol gives), and solved with
%   by LAPACK's triangular solves without Octave's estimates of their
%   condition: theta5 (M of order 3028) took 4.3 s against 6.9 s with a
%   factor made anew each iteration. The storage is let go
%   of when sdp_solve returns or fails.
%
%   Threads: where blas_threads is built and can set the threads of the
%   host's optimised BLAS, the dense work of a problem whose blocks are all
%   below order 400 runs on one thread, which takes eig, chol and the
%   triangular solves of small orders 1.1 to 3.5 times as fast as two
%   threads did, and the Schur complement's formation and factor run on
%   all the caller's threads from order 400; from order 600 where no block
%   forms its part of it by dense products, as M is then formed without
%   the BLAS (the BLAS's threads, left spinning after a factor, slowed
%   sdp_schur's rows of truss8, of order 496, by a quarter). The caller's
%   count is set again when sdp_solve returns or fails. sdp_schur shares
%   its rows among threads of its own, as many as sdp_schur('threads')
%   gives (the processors online unless set), with the same bits on any
%   number.
%
%   Example:
%      [x, Y, info] = sdp_solve(sdplib_file('truss1'), struct('verbose', false));
%      info.pobj        % -8.999996, the optimal value SDPLIB publishes
%
%   See also read_sdpa, sdplib_file, sdplib_value, kovalin, brisset, sdp_schur,
%   blas_threads, sdp_chol.

  t_start = tic;
  [F, F0, c, opts, sizes, T] = parse_inputs (varargin{:});
  % the largest |c(i)| of all the user's constraints, repeats left out
  % included, for the scale of the dual residual
  cmax = norm (c, Inf);
  [F, c, T, kept, mult] = drop_redundant (F, c, T);
  C = solver_constants ();
  n = numel (F);
  m = size (F0, 1);
  % the scales of the DIMACS measures, which the residuals take too, in the
  % user's units
  scale = struct ('c', 1 + cmax, 'f0', 1 + full (max (abs (F0(:)))));
  % rows of the data whose scales differ by orders are balanced, and
  % constraints whose matrices do weighed: the iteration runs on
  % w(i)*D*F{i}*D, w(i)*c(i) and D*F0*D, D diagonal, all of powers of
  % two, whose x(i) is the user's x(i)/w(i), whose Y is inv(D)*Y*inv(D),
  % whose Z is D*Z*D and whose dual residual is w(i) times the user's; x,
  % Y and the measures are given back in the user's units
  [bal, w] = data_scales (T, c, entries_of ({F0}), m, C);
  % the dual residual's weights: in the user's units, and each constraint
  % with its repeats left out, whose residuals are theirs times a
  rw = w ./ mult;
  weighed = any (w ~= 1);
  balanced = any (bal ~= 1);
  if (balanced || weighed)
    Dbal = spdiags (bal, 0, m, m);
    for i = 1:n
      F{i} = w(i) * (Dbal * F{i} * Dbal);
    end
    F0 = Dbal * F0 * Dbal;
    c = w .* c;
    T.v = T.v .* bal(T.r) .* bal(T.c) .* w(T.owner);
  end
  P = split_problem (F, F0, find_blocks (F, F0, sizes, T), C.group_order, T);
  nb = numel (P.blk);
  warm_allocator (max ([n, cellfun(@numel, {P.blk.idx})]), C);
  K = kernels_of (P, opts.kernels, C);
  threads = thread_plan (P, K, C);
  if (threads.caller > 0)
    restore_threads = onCleanup (@() blas_threads (threads.caller));
    blas_threads (threads.blocks);
  end
  if (C.sdp_chol)
    release_factor = onCleanup (@() sdp_chol ('release'));
  end
  % a Schur complement near singularity is solved as well as its factor
  % allows, and the status says what the iterate reached: the host's
  % warning at each solve would only repeat that (control2 with half its
  % constraints times 1e-8 printed 24)
  % (each state saved as it is turned off: a state at its default is not
  % in the list that warning () gives, which would leave it off)
  ids = {'Octave:singular-matrix', 'Octave:nearly-singular-matrix', ...
         'MATLAB:singularMatrix', 'MATLAB:nearlySingularMatrix'};
  warnings = warning ('off', ids{1});
  for k = 2:numel (ids)
    warnings(k) = warning ('off', ids{k});
  end
  restore_warnings = onCleanup (@() warning (warnings));
  F0b.b = reshape ({P.blk.F0}, 1, nb);
  F0b.d = P.diag.f0;
  say = opts.verbose;

  normF = zeros (1, n);
  for i = 1:n
    normF(i) = norm (F{i}, 'fro');
  end
  normF0 = norm (F0, 'fro');

  % the starting point: x = 0, Y = xi*I, Z = eta*I; the primal residual
  % x(1)*F{1} + ... + x(n)*F{n} - F0 - Z is nu*P0, and every step of length
  % alpha multiplies nu by 1 - alpha, so Z is formed from x and nu alone
  % (xi and eta take norms against 1: where every F{i} is small, they
  % are those of the problem times the power of two s that brings the
  % largest ||F{i}||_F to [1, 2), Y's s times as large and Z's s times as
  % small, which the iterates follow; with F{i} and F0 times 1e-8, truss1
  % had stopped at its start, Y too small by 1e7 to meet F{i}.Y = c(i))
  s = 1;
  if (max (normF) > 0 && max (normF) < 1)
    s = pow2 (-floor (log2 (max (normF))));
  end
  xi = s * max ([10, sqrt(m), m * max((1 + abs (c(:).')) ./ (1 + s * normF))]);
  eta = max ([10, sqrt(m), s * normF0, s * max(normF)]) / s;
  x = zeros (n, 1);
  nu = 1;
  P0 = block_map (@(f0) -f0 - eta * speye (size (f0, 1)), @(f0) -f0 - eta, F0b);
  normP0 = block_norm (P0);
  if (balanced)
    % the primal residual's norm in the user's units, nu*inv(D)*P0*inv(D),
    % exactly as the products are by powers of two
    Dinv = spdiags (1 ./ bal, 0, m, m);
    normP0 = norm (Dinv * (F0 + eta * speye (m)) * Dinv, 'fro');
  end
  Y = block_eye (P, xi);
  Z = form_z (P, K, x, nu, P0);
  % Y's factor is sqrt(xi)*I, the bits chol gives
  RY = block_eye (P, sqrt (xi));
  RY = RY.b;
  RZ = block_chol (Z);
  % the identity, block by block, which the centring scales
  eyes = block_eye (P, 1);

  % the equalities of single diagonal entries, which D*Y*D can meet
  targets = diagonal_targets (P, F, c);

  info = struct ('status', 'not solved', 'pobj', 0, 'dobj', 0, 'gap', Inf, ...
                 'pinf', Inf, 'dinf', Inf, 'iterations', 0, 'time', 0, ...
                 'setup_time', 0, 'schur_time', 0, 'factor_time', 0, 'message', '', ...
                 'blocks', block_orders (P), 'schur_methods', {{}}, ...
                 'dimacs', NaN (1, 6), 'accuracy', Inf, 'root_from', NaN, ...
                 'left_out', reshape (find (~kept), 1, []));
  info.schur_methods = cellfun (@(k) k.method, K, 'UniformOutput', false);
  info.setup_time = toc (t_start);
  best = struct ('x', x, 'Y', Y, 'nu', nu, 'worst', Inf, 'iter', 0, 'info', info);
  alpha = [0 0];
  progress = 0;
  best_cert = [Inf, Inf];
  if (say)
    print_progress ('head', n + numel (info.left_out), m, opts.kernels, info.blocks, bal, w, ...
                    numel (info.left_out));
  end
  % one block, its Schur complement by sdp_schur: M is then kept from one
  % iteration to the next and filled in panels, and the diagonal part's
  % term, of a pattern that stays, at its positions (in_block where the
  % block's panels have just written)
  in_panels = nb == 1 && isfield (K{1}, 'panel');
  M = [];
  if (in_panels && ~isempty (P.diag.idx))
    [i, j] = find (spones (P.diag.A) * spones (P.diag.A).');
    diag_at = i + (j - 1) * n;
    in_block = ismember (i, P.blk(1).cons) & ismember (j, P.blk(1).cons);
  end
  % once rounding leaves a direction short of the dual equalities after
  % its mending by more than root_share of the dual residual, or takes M's
  % definiteness away, M comes from its square root for the rest of the
  % solve, where that is affordable
  can_root = root_affordable (P, K, C);
  rooted = false;
  redo = false;
  iter = 0;
  numbers = 1:n;
  if (~isempty (kept))
    numbers = find (kept);
  end
  [done, x, Y, nu, info] = trivial_problem (F, c, P, F0b, x, Y, nu, info, numbers, ...
                                            opts.tol * scale.f0);
  while (~done)
    FY = block_traces (P, K, [], Y);
    pobj = full (c.' * x);
    dobj = block_inner (F0b, Y);
    ZY = block_inner (Z, Y);
    mu = ZY / m;
    gap = relative_gap (pobj, dobj, ZY);
    pinf = nu * normP0 / scale.f0;
    dinf = norm ((c - FY) ./ rw) / scale.c;
    % where the dual residual is what is left and some equalities are of
    % single diagonal entries (graph partitioning's, whose Y has no
    % interior), the iterate reported and returned is D*Y*D, which meets
    % those, when that leaves its measures better; the iteration goes on
    % from Y
    [Yout, dobj_out] = deal (Y, dobj);
    if (~isempty (targets) && dinf > max (gap, pinf) && max (gap, pinf) <= sqrt (opts.tol))
      Ys = rescale_y (targets, Y);
      FYs = block_traces (P, K, [], Ys);
      dobj_s = block_inner (F0b, Ys);
      gap_s = relative_gap (pobj, dobj_s, block_inner (Z, Ys));
      dinf_s = norm ((c - FYs) ./ rw) / scale.c;
      if (max (gap_s, dinf_s) < max (gap, dinf))
        [Yout, dobj_out, gap, dinf] = deal (Ys, dobj_s, gap_s, dinf_s);
      end
    end
    info.pobj = pobj; info.dobj = dobj_out; info.gap = gap;
    info.pinf = pinf; info.dinf = dinf; info.iterations = iter;
    if (say && ~redo)
      print_progress ('row', iter, pobj, dobj_out, gap, pinf, dinf, alpha, mu);
    end
    redo = false;
    worst = max ([gap, pinf, dinf]);
    if (worst < best.worst)
      best = struct ('x', x, 'Y', Yout, 'nu', nu, 'worst', worst, 'iter', iter, 'info', info);
    end
    if (worst <= opts.tol)
      info.message = sprintf ('gap and infeasibilities at most %.1e', opts.tol);
      Y = Yout;
      break;
    end
    % once a step has met the primal equalities, nu = 0 and the terms in
    % nu*P0 are left out, block by block, with the same bits
    if (nu == 0)
      R = F0b;
    else
      R = block_map (@(f0, p) f0 + nu * p, @(f0, p) f0 + nu * p, F0b, P0);
    end
    [status, message, cert] = certificates (P, K, x, FY, pobj, dobj, R, opts.inftol, Y, normF, C, ...
                                            struct ('f0', normF0, 'c', cmax, 'w', w, 'rw', rw));
    if (~isempty (status))
      info.status = status;
      info.message = message;
      if (strcmp (status, 'primal infeasible'))
        Y = block_map (@(y) y / dobj, @(y) y / dobj, Y);
      else
        x = x / -pobj;
      end
      break;
    end
    if (iter >= opts.maxiter)
      info.message = sprintf ('%d iterations, the limit', iter);
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end
    % progress: a better iterate, or a certificate of infeasibility at
    % least halving its measure
    if (worst == best.worst || any (isfinite (cert) & cert <= best_cert / 2))
      progress = iter;
      best_cert = min (best_cert, cert);
    end
    % the iterate's own Zx.Y and F0.Y, not D*Y*D's
    message = stalled (iter - progress, ZY, pobj, dobj, C);
    if (~isempty (message))
      info.message = message;
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end

    % the Schur complement and its factor; the last iteration's factor,
    % and its M but where M is filled in place, are let go of first, so
    % that they are not held beside the new M while it is formed and
    % factored (on a virtual machine, memory's first use can cost about
    % 3 ns a byte)
    W = block_inverse (P, Z, RZ, C);
    use_threads (threads.schur);
    t = tic;
    [S, RM] = deal ([]);
    if (rooted)
      M = [];
      B = schur_root (P, RZ, RY, Y, W, C);
    elseif (in_panels)
      % filled in place, a panel at a time
      if (isempty (M))
        M = zeros (n);
      end
      % the panels of the elements in the order sdp_schur takes them
      cons = P.blk(1).cons(K{1}.order);
      nc = numel (cons);
      b = K{1}.panel_width;
      for s = 1:b:nc
        e = min (nc, s + b - 1);
        M(cons(s:nc), cons(s:e)) = K{1}.panel (Y.b{1}, W.b{1}, s, e);
        M(cons(1:s-1), cons(s:e)) = M(cons(s:e), cons(1:s-1)).';
      end
      if (~isempty (P.diag.idx))
        d = numel (Y.d);
        A = P.diag.A;
        D = A * spdiags (Y.d .* W.d, 0, d, d) * A.';
        M(diag_at) = M(diag_at) .* in_block + full (D(diag_at));
      end
    else
      M = [];
      M = block_schur (P, K, Y, W, RZ, RY);
    end
    info.schur_time = info.schur_time + toc (t);
    t = tic;
    if (rooted)
      % qr's one output is R, or in older hosts R in its upper triangle
      RM = qr (B, 0);
      RM = triu (RM(1:n, :));
      B = [];
      if (any (diag (RM) == 0))
        RM = [];
      end
    else
      RM = factor_schur (M, C);
    end
    info.factor_time = info.factor_time + toc (t);
    use_threads (threads.blocks);
    if (isempty (RM) && can_root && ~rooted)
      [rooted, redo, info] = turn_to_root (info, iter, say);
      continue;
    end
    if (isempty (RM))
      info.message = 'the Schur complement is no longer positive definite';
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end
    S = struct ('P', P, 'K', {K}, 'M', M, 'RM', RM, 'W', W, 'Y', Y, 'c', c, ...
                'd', c - FY, 'Pnu', [], 'PY', [], 'C', C, ...
                'mend_tol', C.mend * min (opts.tol, C.path_tol) * (1 + norm (c)));
    if (nu ~= 0)
      S.Pnu = block_map (@(p) nu * p, @(p) nu * p, P0);
      S.PY = block_map (@(p, y) times_dense (p, y, C), @(p, y) p .* y, S.Pnu, Y);
    end
    % the inverses of the blocks of Y that their step lengths need
    Yi = block_inverse (P, Y, RY, C, 'step');

    % predictor: the affine-scaling direction
    [dxa, dZ, dY] = direction (S, [], false);
    % its inner products, which the centring takes, are finite only where
    % every entry of dZ and dY is: a direction that has overflowed has no
    % step length (eig fails on it)
    zdy = block_inner (Z, dY);
    dzy = block_inner (dZ, Y);
    dzdy = block_inner (dZ, dY);
    if (~all (isfinite ([dxa; zdy; dzy; dzdy])))
      info.message = 'the direction is no longer finite';
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end
    ap = min (1, step_length (P, Z, RZ, W, dZ, C));
    ad = min (1, step_length (P, Y, RY, Yi, dY, C));
    mu_aff = (ZY + ad * zdy + ap * dzy + ap * ad * dzdy) / m;
    sigma = min (1, (max (mu_aff, 0) / mu) ^ max (1, 3 * min ([ap, ad]) ^ 2));

    % corrector: centring and the second-order term
    smu = sigma * mu;
    if (~isempty (S.Pnu))
      % dZ holds nu*P0 as well
      dxa = [];
    end
    Rc = block_map (@(e, g) smu * e - g, @(e, g) smu * e - g, eyes, ...
                    sum_times (P, K, dxa, dZ, dY, C));
    % once M comes from its square root, x is not unique and grows along
    % a direction v where F(v) >= 0 and c'*v = 0, F(v) = v(1)*F{1} + ...;
    % the dual residual along v, v'*(c - F.Y) = -F(v).Y, is Y's part in
    % F(v)'s range, about mu over x's size. The corrector then removes the
    % share 1 - sigma of the dual residual, as the centring takes that
    % share of mu, rather than all of it, which drove x up faster than mu
    % fell, and with x the rounding of Z = x(1)*F{1} + ... - F0
    if (rooted)
      S.share = 1 - sigma;
    end
    if (can_root && ~rooted)
      [dx, dZ, dY, short] = direction (S, Rc, true);
      if (short > max (S.mend_tol, C.root_share * norm (S.d)))
        [rooted, redo, info] = turn_to_root (info, iter, say);
        continue;
      end
    else
      [dx, dZ, dY] = direction (S, Rc, true);
    end
    if (~all (isfinite (dx)))
      info.message = 'the direction is no longer finite';
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end
    gamma = C.gamma_base + C.gamma_span * min (alpha);
    ap = min (1, gamma * step_length (P, Z, RZ, W, dZ, C));
    ad = min (1, gamma * step_length (P, Y, RY, Yi, dY, C));

    % the new iterate; a step from Lanczos' method that its Cholesky
    % factor refutes is found again from the eigenvalues, a step that
    % rounding leaves just outside the cone is shortened, and the factors
    % that confirm it serve the next iteration
    [ap, Znew, RZnew, okz] = confirm_step (@(a) form_z (P, K, x + a * dx, nu * (1 - a), P0), ...
                                           ap, P, Z, RZ, W, dZ, gamma, C);
    [ad, Ynew, RYnew, oky] = confirm_step (@(a) block_map (@(y, dy) y + a * dy, ...
                                                           @(y, dy) y + a * dy, Y, dY), ...
                                           ad, P, Y, RY, Yi, dY, gamma, C);
    % a side whose step no shortening makes positive definite (Y of a
    % problem whose Y has no interior, pressed against its face) holds
    % still for this iteration while the other moves, which recentres it;
    % only both at once end the iteration
    if (~oky && okz && ap >= C.shortest_step)
      [ad, Ynew, RYnew, oky] = deal (0, Y, RY, true);
    elseif (~okz && oky && ad >= C.shortest_step)
      [ap, Znew, RZnew, okz] = deal (0, Z, RZ, true);
    end
    alpha = [ap, ad];
    if (~okz || ~oky || max (alpha) < C.shortest_step)
      info.message = sprintf ('steps too short (%.1e, %.1e)', ap, ad);
      [x, Y, nu, info] = fall_back (best, info);
      break;
    end
    x = x + ap * dx;
    nu = nu * (1 - ap);
    Z = Znew;
    Y = Ynew;
    RZ = RZnew;
    RY = RYnew;
    iter = iter + 1;
  end

  if (any (strcmp (info.status, {'primal infeasible', 'dual infeasible'})))
    info.dimacs = NaN (1, 6);
    info.accuracy = NaN;
    % the objectives of the x and Y returned, the certificate scaled to
    % F0.Y = 1 or c'*x = -1 (the iterate's had been left)
    info.pobj = full (c.' * x);
    info.dobj = block_inner (F0b, Y);
  else
    info = point_measures (P, K, F0b, c, x, Y, nu * normP0, scale, opts.tol, info, bal, rw);
  end
  Y = block_matrix (P, Y);
  if (balanced)
    Y = Dbal * Y * Dbal;
  end
  x = w .* x;
  if (~isempty (kept))
    % the constraints left out take x(i) = 0
    xs = zeros (numel (kept), 1);
    xs(kept) = x;
    x = xs;
  end
  info.time = toc (t_start);
  if (say)
    print_progress ('summary', info, opts.kernels);
  end
end

function [a, Xnew, Rnew, ok] = confirm_step (make, a, P, X, R, Xinv, D, gamma, C)
  % the new iterate Xnew = make(a) and its factors, when positive definite;
  % a step from Lanczos' method or a characteristic polynomial that the
  % factors refute is found again from the eigenvalues, and any other is
  % shortened
  approximate = any (cellfun ('size', X.b, 1) >= C.lanczos_order) || ...
                ~all (cellfun (@isempty, {P.blk.members}));
  for tries = 1:C.backoff_tries
    Xnew = make (a);
    [Rnew, ok] = block_chol (Xnew);
    if (ok)
      return;
    elseif (tries == 1 && approximate)
      a = min (1, gamma * step_length (P, X, R, Xinv, D, C, true));
    else
      a = C.backoff * a;
    end
  end
end

function use_threads (count)
  % the BLAS threads of the work that follows, where blas_threads can set
  % them
  if (count > 0)
    blas_threads (count);
  end
end

function [rooted, redo, info] = turn_to_root (info, iter, say)
  % from this iteration, which is done again, M comes from its square root
  [rooted, redo] = deal (true);
  info.root_from = iter;
  if (say)
    print_progress ('root');
  end
end

function ok = root_affordable (P, K, C)
  % whether M may come from its square root B: B has n rows at least and
  % root_rows a constraint at most, and its columns and QR factorization
  % count at most root_cost times the work of forming M, by the counts of
  % the cost rule (blocks without a count, small ones, as the root's own)
  n = P.n;
  rows = [root_rows(P), numel(P.diag.idx)];
  columns = zeros (1, numel (P.blk));
  for k = 1:numel (P.blk)
    columns(k) = 4 * numel (P.blk(k).cons) * numel (P.blk(k).idx) ^ 3 / C.dense_speedup;
  end
  share = [columns, 0] + 2 * rows * n ^ 2 / C.dense_speedup;
  schur = share;
  for k = 1:numel (P.blk)
    if (isfield (K{k}, 'work'))
      schur(k) = K{k}.work;
    end
  end
  ok = sum (rows) >= n && sum (rows) <= C.root_rows * n && ...
       sum (share) <= C.root_cost * sum (schur);
end

function orders = block_orders (P)
  % the orders of the blocks, a group's members each, and minus the order
  % of the diagonal part
  orders = cell (1, numel (P.blk));
  for k = 1:numel (P.blk)
    orders{k} = P.blk(k).members;
    if (isempty (orders{k}))
      orders{k} = numel (P.blk(k).idx);
    end
  end
  orders = [orders{:}, -numel(P.diag.idx)];
  orders(orders == 0) = [];
end

%!function check_solved (name, kernels)
%! [F, F0, c] = read_sdpa (sdplib_file (name));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'kernels', kernels));
%! [value, text, unit] = sdplib_value (name);
%! assert (info.status, 'solved', name);
%! assert (info.iterations <= 60, name);
%! % the objectives agree with the published value to its printed digits
%! assert (abs ([info.pobj info.dobj] - value) <= unit, sprintf ('%s: %s', name, text));
%! assert (info.pobj, c.' * x, 1e-12 * abs (info.pobj));
%! assert (info.dobj, full (sum (sum (F0 .* Y))), 1e-12 * abs (info.dobj));
%! % the measures as a user recomputes them from x and Y, within tol
%! check_measures (F, F0, c, x, Y, info, 1e-8);
%! assert (info.time >= info.schur_time && info.schur_time > 0);
%!endfunction

%!function check_measures (F, F0, c, x, Y, info, tol)
%! % Y exactly symmetric, as eig and chol take it
%! assert (isequal (Y, Y.'));
%! Zx = -full (F0);
%! FY = zeros (numel (F), 1);
%! for i = 1:numel (F)
%!   Zx = Zx + x(i) * F{i};
%!   FY(i) = full (sum (sum (F{i} .* Y)));
%! end
%! low_z = max (0, -min (eig ((Zx + Zx.') / 2)));
%! low_y = max (0, -min (eig (full (Y + Y.') / 2)));
%! pobj = c(:).' * x;
%! dobj = full (sum (sum (F0 .* Y)));
%! a = 1 + norm (c, Inf);
%! b = 1 + full (max (abs (F0(:))));
%! s = 1 + abs (pobj) + abs (dobj);
%! want = [norm(FY - c(:)) / a, low_y / a, low_z / b, (pobj - dobj) / s, sum(sum (Zx .* Y)) / s];
%! % the cone violations within the rounding of an eigenvalue next to 0
%! % (the solver takes a matrix its Cholesky factor accepts as in the cone)
%! near_y = size (F0, 1) * eps * norm (full (Y), 1) / a;
%! near_z = size (F0, 1) * eps * norm (Zx, 1) / b;
%! near = [0, near_y, near_z, 0, 0];
%! assert (abs (info.dimacs([1 2 4 5 6]) - want) <= 1e-12 * max (1, abs (want)) + near);
%! gap = max (abs (pobj - dobj), sum (sum (Zx .* Y))) / (1 + abs (pobj) + abs (dobj));
%! pinf = max (low_z, info.dimacs(3) * b) / b;
%! dinf = max (norm (c(:) - FY), low_y) / a;
%! slack = [0, near_z, near_y];
%! assert (abs ([info.gap info.pinf info.dinf] - [gap pinf dinf]) <= 1e-12 * max (1, [gap pinf dinf]) + slack);
%! assert (info.accuracy, max ([info.gap info.pinf info.dinf]));
%! assert (info.dimacs(3) >= 0);
%! switch (info.status)
%!   case 'solved'
%!     assert (info.accuracy <= tol);
%!   case 'inaccurate'
%!     assert (info.accuracy > tol && info.accuracy <= sqrt (tol));
%!   otherwise
%!     assert (info.accuracy > sqrt (tol));
%! end
%!endfunction

%!test
%! % one problem of each family, with the cheapest methods and with the
%! % modules alone
%! for name = {'truss1', 'truss4', 'control1', 'theta1', 'mcp100', 'gpp100', 'qap5', 'arch0', 'mcp250-1'}
%!   check_solved (name{1}, 'cheapest');
%! end
%! for name = {'theta1', 'gpp100', 'arch0'}
%!   check_solved (name{1}, 'modules');
%! end
%!test
%! % and with Octave expressions in their place
%! for name = {'truss4', 'control1', 'theta1'}
%!   check_solved (name{1}, 'octave');
%! end
%!test
%! % the three kinds of kernels reach the same optimum, the cheapest by
%! % the methods its rule picks
%! names = {'control2', 'mcp124-1', 'truss2', 'theta1', 'gpp100'};
%! methods = {{'joint', 'joint'}, {'sdp_schur'}, {'joint'}, {'sdp_schur'}, {'entries'}};
%! for k = 1:numel (names)
%!   opts = struct ('verbose', false, 'kernels', 'modules');
%!   [~, ~, a] = sdp_solve (sdplib_file (names{k}), opts);
%!   for kind = {'octave', 'cheapest'}
%!     opts.kernels = kind{1};
%!     [~, ~, b] = sdp_solve (sdplib_file (names{k}), opts);
%!     assert (a.status, b.status);
%!     assert (abs (a.pobj - b.pobj) <= 1e-6 * abs (a.pobj), names{k});
%!     assert (abs (a.dobj - b.dobj) <= 1e-6 * abs (a.dobj), names{k});
%!   end
%!   assert (b.schur_methods, methods{k});
%! end
%!test
%! % theta3's Schur complement of order 1106, kept from one iteration to
%! % the next and filled by sdp_schur in two panels, the second of them
%! % completed from the first's rows
%! [x, Y, info] = sdp_solve (sdplib_file ('theta3'), struct ('verbose', false));
%! assert (info.schur_methods, {'sdp_schur'});
%! assert (info.status, 'solved');
%! assert (abs (info.pobj - sdplib_value ('theta3')) <= 1e-6 * abs (info.pobj));
%!test
%! % a dense F{i} of order 100 among sparse ones, not in first place: its
%! % traces and its Schur row are dense products, in their places
%! [F, F0, c] = read_sdpa (sdplib_file ('gpp100'));
%! order = [2:40, 1, 41:numel(F)];
%! opts = struct ('verbose', false, 'kernels', 'modules');
%! [x, Y, a] = sdp_solve (F(order), F0, c(order), opts);
%! assert (a.status, 'solved');
%! assert (abs (a.pobj - -44.943551) <= 1e-6 * 44.943551);
%! FY = cellfun (@(f) full (sum (sum (f .* Y))), F(order));
%! assert (abs (FY(:) - c(order)) <= 1e-6 * max (1, abs (c(order))));

%!test
%! % the blocks of the file's list, a block of order 161 and a diagonal
%! % part of 174; given as matrices after a symmetric permutation that
%! % scatters every block's rows, the same blocks are found and the same
%! % optimum reached
%! [F, F0, c] = read_sdpa (sdplib_file ('arch0'));
%! opts = struct ('verbose', false);
%! [x, Y, a] = sdp_solve (sdplib_file ('arch0'), opts);
%! assert (a.blocks, [161 -174]);
%! assert (issparse (Y) && all (size (Y) == 335));
%! assert (nnz (Y(1:161, 162:end)), 0);
%! assert (nnz (Y(162:end, 162:end) - diag (diag (Y(162:end, 162:end)))), 0);
%! p = mod ((1:335) * 7, 335) + 1;
%! [xp, Yp, b] = sdp_solve (cellfun (@(f) f(p, p), F, 'UniformOutput', false), F0(p, p), c, opts);
%! assert (b.status, 'solved');
%! assert (sort (b.blocks), sort (a.blocks));
%! assert (abs ([b.pobj b.dobj] - a.pobj) <= 1e-7 * abs (a.pobj));
%! assert (full (sum (sum (F0(p, p) .* Yp))), b.dobj, 1e-12);
%!test
%! % a problem of two blocks and a diagonal part, written out: minimize
%! % x1 + x2 subject to [x1 1; 1 x1] >= 0, [x2 1; 1 x2] >= 0 and x1 >= 0.5,
%! % whose optimum is x = [1; 1]
%! E = @(i, j) sparse (i, j, 1, 5, 5);
%! F = {E(1,1) + E(2,2) + E(5,5), E(3,3) + E(4,4)};
%! F0 = -(E(1,2) + E(2,1) + E(3,4) + E(4,3)) + 0.5 * E(5,5);
%! [x, Y, info] = sdp_solve (F, F0, [1 1], struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.blocks, [2 2 -1]);
%! assert (x, [1; 1], 1e-7);
%! assert (full (Y(1:4, 1:4)), blkdiag ([1 -1; -1 1], [1 -1; -1 1]) / 2, 1e-7);
%!test
%! % control3's Schur complement becomes singular to working precision
%! % near the optimum, as its x is not unique: its dual residual stalls near
%! % 1e-7 unless M comes from its square root, from the iteration where the
%! % mended direction still falls short
%! [F, F0, c] = read_sdpa (sdplib_file ('control3'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.root_from > 10 && info.root_from < info.iterations);
%! check_measures (F, F0, c, x, Y, info, 1e-8);
%! assert (abs (info.pobj - sdplib_value ('control3')) <= 1e-6 * info.pobj);
%! % qap5's sparse F{i} make M cheap to form, its square root not
%! [~, ~, info] = sdp_solve (sdplib_file ('qap5'), struct ('verbose', false));
%! assert (isnan (info.root_from));
%!test
%! % an iteration that stops short of tol: hinf2 stalls near 1e-6, and
%! % says so, with measures that a user recomputes alike
%! [F, F0, c] = read_sdpa (sdplib_file ('hinf2'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'inaccurate');
%! check_measures (F, F0, c, x, Y, info, 1e-8);
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'tol', 1e-4));
%! assert (info.status, 'solved');
%! check_measures (F, F0, c, x, Y, info, 1e-4);
%!test
%! % a graph bisection of a random graph on 40 vertices, Y(i,i) = 1 and
%! % sum(Y(:)) = 0, given as matrices: at iteration 27 no shortening of
%! % one side's step is positive definite, as Y presses against its face,
%! % while the other's is 0.1 or more; that side holds still and the
%! % solve goes on (it ended there, steps too short), to its best iterate
%! % of about 1e-8
%! m = 40;
%! s = 9;
%! A = zeros (m);
%! for i = 1:m
%!   for j = i+1:m
%!     s = mod (s * 1103515245 + 12345, 2^31);
%!     A(i, j) = s / 2^31 < 0.2;
%!   end
%! end
%! A = A + A.';
%! F0 = sparse (-(diag (sum (A, 2)) - A) / 4);
%! F = [arrayfun(@(i) sparse (i, i, 1, m, m), 1:m, 'UniformOutput', false), {sparse(ones (m))}];
%! c = [ones(m, 1); 0];
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (isempty (strfind (info.message, 'steps too short')));
%! assert (info.iterations > 26 && info.accuracy < 1e-7);
%! check_measures (F, F0, c, x, Y, info, 1e-8);
%!test
%! % no x gives Z >= 0: Y is the certificate
%! [F, F0, c] = read_sdpa (sdplib_file ('infp1'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'primal infeasible');
%! % the certificate, whatever its scale: Y >= 0 with F0.Y > 0 and the
%! % F{i}.Y small beside F0.Y
%! dobj = full (sum (sum (F0 .* Y)));
%! assert (dobj > 0);
%! assert (info.dobj, dobj, 1e-12 * dobj);
%! assert (info.pobj, c(:).' * x, 1e-12 * abs (c(:).' * x));
%! assert (min (eig (full (Y + Y.') / 2)) >= -1e-14 * norm (full (Y)));
%! assert (norm (cellfun (@(f) full (sum (sum (f .* Y))), F)) <= 1e-8 * dobj);
%!test
%! % no Y >= 0 meets F{i}.Y = c(i): x is the certificate
%! [F, F0, c] = read_sdpa (sdplib_file ('infd1'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'kernels', 'octave'));
%! assert (info.status, 'dual infeasible');
%! % the certificate, whatever its scale: c'*x < 0 with x(1)*F{1} + ... +
%! % x(n)*F{n} >= 0 but for a little beside |c'*x|
%! pobj = c(:).' * x;
%! assert (pobj < 0);
%! assert (info.pobj, pobj, 1e-12);
%! S = zeros (size (F0));
%! for i = 1:numel (F)
%!   S = S + x(i) * F{i};
%! end
%! assert (min (eig ((S + S.') / 2)) >= -1e-8 * abs (pobj));

%!test
%! % problems without a block above order one: a linear program given as
%! % diagonal matrices, minimize x1 + 2*x2 subject to x1 + x2 >= 1 and
%! % x >= 0, whose optimum is x = [1; 0], with each kind of kernels and
%! % the iteration table; and one of order one
%! F = {sparse(diag ([1 1 0])), sparse(diag ([1 0 1]))};
%! F0 = sparse (1, 1, 1, 3, 3);
%! for kind = {'cheapest', 'modules', 'octave'}
%!   [text, x, Y, info] = evalc ("sdp_solve (F, F0, [1; 2], struct ('kernels', kind{1}))");
%!   assert (info.status, 'solved');
%!   assert (info.blocks, -3);
%!   assert (x, [1; 0], 1e-7);
%!   assert (full (diag (Y)), [1; 0; 1], 1e-7);
%!   assert (! isempty (strfind (text, 'sdp_solve: solved')));
%! end
%! [x, Y, info] = sdp_solve ({sparse(2)}, sparse (3), 4, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert ([x, full(Y)], [1.5, 2], 1e-7);
%!test
%! % a constraint of a zero matrix and zero cost, which would leave M
%! % singular and its square root with a zero column, is left out: x(i) =
%! % 0 and the others' bits; of nonzero cost, no Y meets it
%! [F, F0, c] = read_sdpa (sdplib_file ('truss1'));
%! m = size (F0, 1);
%! opts = struct ('verbose', false);
%! [x0, Y0] = sdp_solve (F, F0, c, opts);
%! G = [F(1:3), {sparse(m, m)}, F(4:end)];
%! [x, Y, info] = sdp_solve (G, F0, [c(1:3); 0; c(4:end)], opts);
%! assert (info.status, 'solved');
%! assert (isequal (x, [x0(1:3); 0; x0(4:end)]) && isequal (Y, Y0));
%! assert (info.left_out, 4);
%! [x, Y, info] = sdp_solve (G, F0, [c(1:3); 1; c(4:end)], opts);
%! assert (info.status, 'dual infeasible');
%! assert (isempty (info.left_out));
%!test
%! % a constraint twice, and once more times -2 (its cost so): the repeats,
%! % which left M singular (control2 ended "inaccurate"), are left out,
%! % with x(j) = 0 and the bits of the problem without them, and the
%! % measures over all the constraints; a copy of another cost is met by no
%! % Y, and says so
%! [F, F0, c] = read_sdpa (sdplib_file ('control2'));
%! opts = struct ('verbose', false);
%! [x0, Y0] = sdp_solve (F, F0, c, opts);
%! G = [F(1:5), F(3), F(6:end), {-2 * F{3}}];
%! d = [c(1:5); c(3); c(6:end); -2 * c(3)];
%! text = evalc ('[x, Y, info] = sdp_solve (G, F0, d);');
%! assert (! isempty (strfind (text, 'left out: 2 void or repeated constraints')));
%! assert (info.left_out, [6, numel(G)]);
%! assert (info.status, 'solved');
%! assert (isequal (x, [x0(1:5); 0; x0(6:end); 0]) && isequal (Y, Y0));
%! check_measures (G, F0, d, x, Y, info, 1e-8);
%! d(6) = d(6) + 1;
%! [~, ~, info] = sdp_solve (G, F0, d, opts);
%! assert (info.status, 'dual infeasible');
%! % stopped early, with a large multiple of the constraint of the largest
%! % |c(i)|: the measures are still those of all the constraints
%! [~, k] = max (abs (c));
%! G = [F, F(k), {-8 * F{k}}];
%! d = [c; c(k); -8 * c(k)];
%! [x, Y, info] = sdp_solve (G, F0, d, struct ('verbose', false, 'maxiter', 4));
%! assert (info.dimacs(1) > 1e-3);
%! check_measures (G, F0, d, x, Y, info, 1e-8);
%!test
%! % a cost a hundred million times truss1's: the same x and optimum times
%! % 1e8, not an iterate's small x taken for a certificate of dual
%! % infeasibility (its indefinite sum lifted by inftol*I)
%! [F, F0, c] = read_sdpa (sdplib_file ('truss1'));
%! [x, Y, info] = sdp_solve (F, F0, 1e8 * c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.pobj / 1e8, -8.999996, 1e-6);
%!test
%! % rows of the data in other units: truss1 with its first seven indices
%! % times 1e-4 (F{i} and F0 by D*F{i}*D), the same problem, had ended
%! % "dual infeasible" at its first iteration; balanced, it is solved to
%! % truss1's optimum, and the Y returned is the user's: the measures
%! % recomputed on the user's data are within tol
%! [F, F0, c] = read_sdpa (sdplib_file ('truss1'));
%! S = spdiags ([1e-4 * ones(7, 1); ones(6, 1)], 0, 13, 13);
%! G = cellfun (@(f) S * f * S, F, 'UniformOutput', false);
%! [x, Y, info] = sdp_solve (G, S * F0 * S, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert ([info.pobj, info.dobj], -8.999996 * [1 1], 1e-6);
%! check_measures (G, S * F0 * S, c, x, Y, info, 1e-8);
%!test
%! % every F{i} small: truss1 with F{i} and F0 times 2^-27 starts as
%! % truss1 would, Y 2^27 times as large and Z as small, and is solved to
%! % its optimum (it had stopped at its start, steps too short)
%! [F, F0, c] = read_sdpa (sdplib_file ('truss1'));
%! t = pow2 (-27);
%! [x, Y, info] = sdp_solve (cellfun (@(f) t * f, F, 'UniformOutput', false), t * F0, c, ...
%!                           struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert ([info.pobj, info.dobj], -8.999996 * [1 1], 1e-6);
%!test
%! % a direction that overflows ends the solve with its best iterate, not
%! % with an error from the step lengths: qap5 with all its F{i} but the
%! % first times 1e-150, whose x runs away (times 1e-8, a problem whose
%! % costs are 1e8 times qap5's, its certificate of dual infeasibility is
%! % found)
%! [F, F0, c] = read_sdpa (sdplib_file ('qap5'));
%! G = F;
%! G(2:end) = cellfun (@(f) 1e-150 * f, F(2:end), 'UniformOutput', false);
%! [x, Y, info] = sdp_solve (G, F0, c, struct ('verbose', false));
%! assert (info.status, 'not solved');
%! assert (! isempty (strfind (info.message, 'the direction is no longer finite')));
%! G(2:end) = cellfun (@(f) 1e-8 * f, F(2:end), 'UniformOutput', false);
%! [x, Y, info] = sdp_solve (G, F0, c, struct ('verbose', false));
%! assert (info.status, 'dual infeasible');
%!test
%! % constraints in other units: truss1 with the F{i} and c(i) of its
%! % first three constraints times 1e-8, the same problem, had ended "not
%! % solved" far from its optimum; weighed, it takes truss1's own
%! % iterations to its optimum, and the measures recomputed from x and Y
%! % on the user's data are within tol (x is not unique)
%! [F, F0, c] = read_sdpa (sdplib_file ('truss1'));
%! [x1, Y1, info1] = sdp_solve (F, F0, c, struct ('verbose', false));
%! G = F;
%! G(1:3) = cellfun (@(f) 1e-8 * f, F(1:3), 'UniformOutput', false);
%! d = c;
%! d(1:3) = 1e-8 * c(1:3);
%! [x, Y, info] = sdp_solve (G, F0, d, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.iterations, info1.iterations);
%! assert ([info.pobj, info.dobj], -8.999996 * [1 1], 1e-6);
%! check_measures (G, F0, d, x, Y, info, 1e-8);
%! % after one iteration, far from the equalities: the dual residual of
%! % info is the user's
%! [x, Y, info] = sdp_solve (G, F0, d, struct ('verbose', false, 'maxiter', 1));
%! FY = cellfun (@(f) full (sum (sum (f .* Y))), G(:));
%! want = norm (FY - d) / (1 + norm (d, Inf));
%! assert (info.dimacs(1), want, 1e-6 * want);
%!test
%! % one constraint in other units, theta1's F{1} and c(1) times 1e-10:
%! % Y's F{1}.Y is small because F{1} is, which had passed for a
%! % certificate of primal infeasibility at the start; it is solved
%! [F, F0, c] = read_sdpa (sdplib_file ('theta1'));
%! F{1} = 1e-10 * F{1};
%! c(1) = 1e-10 * c(1);
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.pobj, 23, 1e-6);
%!test
%! % one index in other units, truss3's first times 1e6: the F{i} that
%! % touch it differ by orders from the others, and weighed they are even,
%! % but the index scaling stays in them (45 iterations so); the rows
%! % balanced alone undo it, and leave the entries within each F{i}
%! % closer
%! [F, F0, c] = read_sdpa (sdplib_file ('truss3'));
%! [~, ~, info1] = sdp_solve (F, F0, c, struct ('verbose', false));
%! S = speye (size (F0, 1));
%! S(1, 1) = 1e6;
%! G = cellfun (@(f) S * f * S, F, 'UniformOutput', false);
%! [x, Y, info] = sdp_solve (G, S * F0 * S, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.iterations <= info1.iterations + 2);
%! % its first constraint times 1e-6 instead: even balanced alone too, but
%! % the balance spreads the entries within the F{i} (it ended "not
%! % solved" so); weighed, it is solved
%! F{1} = 1e-6 * F{1};
%! c(1) = 1e-6 * c(1);
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (info.iterations <= info1.iterations + 2);
%!test
%! % no x gives Z >= 0, with half of infp1's constraints in other units:
%! % the certificate holds in the user's units
%! [F, F0, c] = read_sdpa (sdplib_file ('infp1'));
%! F(1:2:end) = cellfun (@(f) 1e4 * f, F(1:2:end), 'UniformOutput', false);
%! c(1:2:end) = 1e4 * c(1:2:end);
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'primal infeasible');
%! dobj = full (sum (sum (F0 .* Y)));
%! assert (norm (cellfun (@(f) full (sum (sum (f .* Y))), F)) <= 1e-8 * dobj);
%!test
%! % a Schur complement near singularity prints no warning of the host's
%! % at each solve (control2 with the F{i} and c(i) of half its
%! % constraints times 1e-8 printed 24), and the caller's warning states
%! % are as they were, at their defaults too
%! [F, F0, c] = read_sdpa (sdplib_file ('control2'));
%! F(1:33) = cellfun (@(f) 1e-8 * f, F(1:33), 'UniformOutput', false);
%! c(1:33) = 1e-8 * c(1:33);
%! ids = {'Octave:singular-matrix', 'Octave:nearly-singular-matrix'};
%! before = cellfun (@(id) warning ('query', id).state, ids, 'UniformOutput', false);
%! lastwarn ('');
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (lastwarn (), '');
%! after = cellfun (@(id) warning ('query', id).state, ids, 'UniformOutput', false);
%! assert (after, before);
%!test
%! % every F{i} of a block nearly full (no F{i} left for brisset's
%! % traces, whose call had failed): minimize x subject to
%! % x*(J + I) + I >= 0, J all ones, whose optimum is -1/(m + 1)
%! % (order 100, the least at which such F{i} are taken as dense)
%! m = 100;
%! for kind = {'cheapest', 'modules'}
%!   [x, Y, info] = sdp_solve ({sparse(ones (m) + eye (m))}, -speye (m), 1, ...
%!                             struct ('verbose', false, 'kernels', kind{1}));
%!   assert (info.status, 'solved');
%!   assert (x, -1 / (m + 1), 1e-8);
%! end
%!test
%! % every F{i} zero, which the blocks' set-up had failed on: Z = -F0
%! % whatever x, solved where -F0 >= 0 and primal infeasible otherwise,
%! % with Y its certificate; a zero F{i} of nonzero cost (the user's
%! % second, the first left out as void) certifies dual infeasibility
%! o = struct ('verbose', false);
%! [x, Y, info] = sdp_solve ({sparse(2, 2)}, -speye (2), 0, o);
%! assert (info.status, 'solved');
%! assert (x, 0);
%! F0 = sparse ([1 2 0; 2 1 0; 0 0 -1]);
%! [x, Y, info] = sdp_solve ({sparse(3, 3)}, F0, 0, o);
%! assert (info.status, 'primal infeasible');
%! assert (full (sum (sum (F0 .* Y))), 1, 1e-12);
%! assert (min (eig (full (Y))) >= -eps);
%! [x, Y, info] = sdp_solve ({sparse(2, 2), sparse(2, 2)}, -speye (2), [0; 4], o);
%! assert (info.status, 'dual infeasible');
%! assert (x, [0; -1/4]);
%! assert (! isempty (strfind (info.message, 'F{2} = 0')));
%!test
%! % a looser tol stops the default's iteration sooner: hinf1 at tol 1e-6
%! % had never turned to M's square root and stopped at 7.8e-6,
%! % "inaccurate", where the default tol passes 1e-6 on its way to 5.9e-7
%! [F, F0, c] = read_sdpa (sdplib_file ('hinf1'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'tol', 1e-6));
%! assert (info.status, 'solved');
%! % the iteration from which M came from its square root is reported
%! % where the solve falls back to an earlier iterate too
%! [F, F0, c] = read_sdpa (sdplib_file ('qap5'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'tol', 1e-14));
%! assert (isfinite (info.root_from));
%! assert (! isempty (strfind (info.message, 'the best iterate')));
%!test
%! % a small problem written out: minimize x subject to [x 1; 1 x] >= 0,
%! % whose optimum is x = 1, Y = [1 -1; -1 1]/2
%! [x, Y, info] = sdp_solve ({speye(2)}, -sparse ([0 1; 1 0]), 1, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (x, 1, 1e-7);
%! assert (Y, [1 -1; -1 1] / 2, 1e-7);
%!test
%! % the caller's BLAS threads, one while the small blocks are worked on,
%! % are the caller's again after the solve
%! if (exist ('blas_threads') == 3 && blas_threads () > 0)
%!   held = blas_threads (2);
%!   unwind_protect
%!     [x, Y, info] = sdp_solve ({speye(2)}, -sparse ([0 1; 1 0]), 1, struct ('verbose', false));
%!     assert (info.status, 'solved');
%!     assert (blas_threads (), 2);
%!   unwind_protect_cleanup
%!     blas_threads (held);
%!   end_unwind_protect
%! end
%!test
%! % M's factor kept by sdp_chol is let go of when the solve returns
%! if (exist ('sdp_chol') == 3 && sdp_chol ('lapack'))
%!   [x, Y, info] = sdp_solve (sdplib_file ('theta1'), struct ('verbose', false));
%!   assert (info.status, 'solved');
%!   fail ("sdp_chol ('solve', 1)", 'No factor is kept');
%! end
%!test
%! % the iteration table and the summary
%! text = evalc ("sdp_solve ({speye(2)}, -sparse ([0 1; 1 0]), 1);");
%! assert (! isempty (regexp (text, 'it +pobj +dobj +gap +pinf +dinf', 'once')));
%! assert (! isempty (strfind (text, 'sdp_solve: solved')));
%! assert (! isempty (strfind (text, 'Schur complement')));
%!test
%! % the iteration limit: the best iterate, far from tol
%! [x, Y, info] = sdp_solve (sdplib_file ('theta1'), struct ('verbose', false, 'maxiter', 3));
%! assert (info.status, 'not solved');
%! assert (info.iterations, 3);
%! assert (info.accuracy > 1e-4);
%! assert (! isempty (strfind (info.message, 'limit')));

%!shared F, F0
%! F = {speye(2), sparse([0 1; 1 0])};
%! F0 = sparse (2, 2);
%!error <expected sdp_solve> sdp_solve (F, F0)
%!error <expected sdp_solve> sdp_solve ()
%!error <nonempty cell vector> sdp_solve ({}, F0, [])
%!error <whole number> sdp_solve ({speye(2)}, -speye (2), 1, struct ('maxiter', complex (3, 1)))
%!error <true or false> sdp_solve ({speye(2)}, -speye (2), 1, struct ('verbose', NaN))
%!error <true or false> sdp_solve ({speye(2)}, -speye (2), 1, struct ('verbose', 1i))
%!error <between 0 and 1> sdp_solve ({speye(2)}, -speye (2), 1, struct ('tol', complex (1e-8, 1)))
%!error <opts.kernels must be> sdp_solve ({speye(2)}, -speye (2), 1, struct ('kernels', {{'octave'}}))
%!test
%! % a file of no constraint matrix: a message that names it
%! f = [tempname() '.dat-s'];
%! fid = fopen (f, 'w');
%! fprintf (fid, '0\n1\n2\n\n0 1 1 1 1\n');
%! fclose (fid);
%! err = '';
%! try
%!   sdp_solve (f);
%! catch e
%!   err = e.message;
%! end
%! delete (f);
%! assert (err, sprintf ('sdp_solve: %s holds no constraint matrix', f));
%!error <nonempty cell vector> sdp_solve (speye (2), F0, 1)
%!error <F\{2\} must be square> sdp_solve ({speye(2), ones(2, 3)}, F0, [1 1])
%!error <F\{2\} must be of order 2> sdp_solve ({speye(2), speye(3)}, F0, [1 1])
%!error <F\{2\} must be symmetric> sdp_solve ({speye(2), sparse([0 1; 0 0])}, F0, [1 1])
%!error <F\{2\} must be symmetric> sdp_solve ({speye(2), sparse([0 1; 2 0])}, F0, [1 1])
%!error <F\{1\} must be symmetric> sdp_solve ({sparse([0 1; 0 0]), sparse([0 0; 1 0])}, F0, [1 1])
%!error <F\{1\} must be a real matrix> sdp_solve ({1i * speye(2), speye(2)}, F0, [1 1])
%!error <F0 must be symmetric> sdp_solve (F, sparse ([0 1; 0 0]), [1 1])
%!error <F0 must be of order 2> sdp_solve (F, sparse (3, 3), [1 1])
%!error <c must be a real vector of 2> sdp_solve (F, F0, [1 1 1])
%!error <c must be a real vector of 2> sdp_solve (F, F0, 'ab')
%!error <not finite> sdp_solve (F, F0, [1 NaN])
%!error <not finite> sdp_solve ({speye(2), Inf * speye(2)}, F0, [1 1])
%!error <unknown option tolerance> sdp_solve (F, F0, [1 1], struct ('tolerance', 1))
%!error <opts.kernels must be> sdp_solve (F, F0, [1 1], struct ('kernels', 'blas'))
%!error <opts.tol must be> sdp_solve (F, F0, [1 1], struct ('tol', 0))
%!error <opts.maxiter must be> sdp_solve (F, F0, [1 1], struct ('maxiter', 2.5))
%!error <not in SDPA sparse format> sdp_solve (which ('sdp_solve'))
%!error <no file> sdp_solve ('/nonexistent/problem.dat-s')
