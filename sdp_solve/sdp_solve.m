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
%   (m-by-m) and a struct info with the fields
%
%      status      'solved', 'primal infeasible', 'dual infeasible' or
%                  'not solved'
%      pobj, dobj  c'*x and F0.Y
%      gap         |pobj - dobj| / max(1, (|pobj| + |dobj|) / 2)
%      pinf        ||x(1)*F{1} + ... + x(n)*F{n} - F0 - Z||_F / (1 + ||F0||_F)
%      dinf        ||(c(i) - F{i}.Y)||_2 / (1 + ||c||_2)
%      iterations, time, schur_time (seconds spent forming the Schur
%                  complement), message (why it stopped)
%
%   The status is 'solved' when gap, pinf and dinf are all at most tol.
%   It is 'primal infeasible' when Y, scaled to F0.Y = 1, has
%   ||(F{i}.Y)||_2 <= inftol: no Z >= 0 exists, and the Y returned is that
%   certificate. It is 'dual infeasible' when x, scaled to c'*x = -1, has
%   x(1)*F{1} + ... + x(n)*F{n} + inftol*I >= 0 (tested by a Cholesky
%   factorization): no Y >= 0 exists, and the x returned is that
%   certificate. Otherwise, when the iteration limit is reached or the
%   iteration cannot go on (the Schur complement, Z or Y no longer
%   positive definite to working precision, steps too short, or no
%   progress in the last 8 iterations), x and Y
%   are the best iterate met and the status is 'not solved'; when the best
%   iterate's gap, pinf and dinf are then all at most sqrt(tol)/10 (1e-5
%   by default), the status is 'solved' and the message says how far it
%   got.
%
%   [x, Y, info] = sdp_solve(F, F0, c, opts) takes options from the fields
%   of the struct opts:
%
%      tol       1e-8     the bound on gap, pinf and dinf
%      inftol    1e-8     the bound of the infeasibility certificates
%      maxiter   100      the largest number of iterations
%      verbose   true     print the iterations and a summary
%      kernels   'modules' to form the sums of the F{i} with kovalin (a
%                full result when the sum has more than m*m/8 entries) and
%                the Schur complement and the traces F{i}.G with brisset,
%                or 'octave' to do the same steps with Octave (or MATLAB)
%                expressions; with the modules, a nearly dense F{i} (more
%                than m*m/8 entries) of order 100 or more has its traces
%                and its row of the Schur complement formed by dense
%                products, which an optimised BLAS makes faster than
%                brisset's fixed order of sums
%
%   [x, Y, info] = sdp_solve(file) and sdp_solve(file, opts) read the
%   problem from a file in SDPA sparse format (see read_sdpa).
%
%   The method is the infeasible primal-dual path-following method with the
%   HKM search direction and Mehrotra's predictor-corrector steps, from
%   x = 0, Z and Y multiples of the identity. Each iteration forms the
%   Schur complement M(i,j) = trace(F{i}*inv(Z)*F{j}*Y), row by row,
%   factors it by Cholesky, and takes the longest steps (times 0.9 to
%   0.99) that keep Z and Y positive definite, found from the eigenvalues
%   of the search directions in the Cholesky factors' coordinates.
%
%   Example:
%      [x, Y, info] = sdp_solve(sdplib_file('truss1'), struct('verbose', false));
%      info.pobj        % -8.999996, the optimal value SDPLIB publishes
%
%   See also read_sdpa, sdplib_file, sdplib_value, kovalin, brisset.

  t_start = tic;
  [F, F0, c, opts] = parse_inputs (varargin{:});
  n = numel (F);
  m = size (F0, 1);
  K = kernels (F, opts.kernels);
  say = opts.verbose;

  normF = zeros (1, n);
  for i = 1:n
    normF(i) = norm (F{i}, 'fro');
  end
  normF0 = norm (F0, 'fro');
  normc = norm (c);

  % the starting point: x = 0, Y = xi*I, Z = eta*I; the primal residual
  % x(1)*F{1} + ... + x(n)*F{n} - F0 - Z is nu*P0, and every step of length
  % alpha multiplies nu by 1 - alpha, so Z is formed from x and nu alone
  xi = max ([10, sqrt(m), m * max((1 + abs (c(:).')) ./ (1 + normF))]);
  eta = max ([10, sqrt(m), normF0, max(normF)]);
  x = zeros (n, 1);
  Y = xi * full (eye (m));   % a full matrix, not Octave's diagonal type
  nu = 1;
  P0 = -F0 - eta * speye (m);
  normP0 = norm (P0, 'fro');
  Z = form_z (K, x, F0, nu, P0);

  info = struct ('status', 'not solved', 'pobj', 0, 'dobj', 0, 'gap', Inf, ...
                 'pinf', Inf, 'dinf', Inf, 'iterations', 0, 'time', 0, ...
                 'schur_time', 0, 'message', '');
  best = struct ('x', x, 'Y', Y, 'worst', Inf, 'iter', 0, 'info', info);
  alpha = [0 0];
  progress = 0;
  best_cert = [Inf, Inf];
  if (say)
    fprintf ('sdp_solve: %d constraint matrices of order %d, %s kernels\n', n, m, opts.kernels);
    fprintf ('%4s %16s %16s %9s %9s %9s %6s %6s %9s\n', 'it', 'pobj', 'dobj', ...
             'gap', 'pinf', 'dinf', 'stepP', 'stepD', 'mu');
  end
  iter = 0;
  while (true)
    FY = K.traces ([], Y);
    pobj = full (c.' * x);
    dobj = full (sum (sum (F0 .* Y)));
    mu = full (sum (sum (Z .* Y))) / m;
    gap = abs (pobj - dobj) / max (1, (abs (pobj) + abs (dobj)) / 2);
    pinf = nu * normP0 / (1 + normF0);
    dinf = norm (c - FY) / (1 + normc);
    info.pobj = pobj; info.dobj = dobj; info.gap = gap;
    info.pinf = pinf; info.dinf = dinf; info.iterations = iter;
    if (say)
      if (iter == 0)
        fprintf ('%4d %16.8e %16.8e %9.2e %9.2e %9.2e %6s %6s %9.2e\n', iter, pobj, ...
                 dobj, gap, pinf, dinf, '', '', mu);
      else
        fprintf ('%4d %16.8e %16.8e %9.2e %9.2e %9.2e %6.3f %6.3f %9.2e\n', iter, pobj, ...
                 dobj, gap, pinf, dinf, alpha(1), alpha(2), mu);
      end
    end
    worst = max ([gap, pinf, dinf]);
    if (worst < best.worst)
      best = struct ('x', x, 'Y', Y, 'worst', worst, 'iter', iter, 'info', info);
    end
    if (worst <= opts.tol)
      info.status = 'solved';
      info.message = sprintf ('gap and infeasibilities at most %.1e', opts.tol);
      break;
    end

    % certificates of infeasibility
    if (dobj > 0 && norm (FY) <= opts.inftol * dobj)
      info.status = 'primal infeasible';
      info.message = sprintf (['Y >= 0 with F0.Y = 1 and ||(F{i}.Y)|| = %.1e: ' ...
                               'no x gives Z >= 0'], norm (FY) / dobj);
      Y = Y / dobj;
      break;
    end
    if (pobj < 0)
      [~, p] = chol (full (K.sum (x / -pobj)) + opts.inftol * eye (m));
      if (p == 0)
        info.status = 'dual infeasible';
        info.message = ['x with c''*x = -1 and x(1)*F{1} + ... + x(n)*F{n} >= 0: ' ...
                        'no Y >= 0 meets F{i}.Y = c(i)'];
        x = x / -pobj;
        break;
      end
    end
    if (iter >= opts.maxiter)
      info.message = sprintf ('%d iterations, the limit', iter);
      [x, Y, info] = fall_back (best, info, opts);
      break;
    end
    % progress: a better iterate, or a certificate of infeasibility at
    % least halving its measure (the dual one bounds, as Z >= 0, how far
    % x(1)*F{1} + ... + x(n)*F{n} is from >= 0 once scaled to c'*x = -1)
    cert = [Inf, Inf];
    if (dobj > 0)
      cert(1) = norm (FY) / dobj;
    end
    if (pobj < 0)
      cert(2) = norm (F0 + nu * P0, 'fro') / -pobj;
    end
    if (worst == best.worst || any (isfinite (cert) & cert <= best_cert / 2))
      progress = iter;
      best_cert = min (best_cert, cert);
    end
    if (iter >= progress + 8)
      info.message = 'no progress in the last 8 iterations';
      [x, Y, info] = fall_back (best, info, opts);
      break;
    end

    % the Schur complement and its factor
    [RZ, p] = chol (Z);
    if (p > 0)
      info.message = 'Z is no longer positive definite to working precision';
      [x, Y, info] = fall_back (best, info, opts);
      break;
    end
    RZi = RZ \ eye (m);
    Zinv = RZi * RZi.';
    Zinv = (Zinv + Zinv.') / 2;
    t_schur = tic;
    M = K.schur (Y, Zinv);
    info.schur_time = info.schur_time + toc (t_schur);
    RM = factor_schur (M);
    [RY, p] = chol (Y);
    if (isempty (RM) || p > 0)
      if (isempty (RM))
        info.message = 'the Schur complement is no longer positive definite';
      else
        info.message = 'Y is no longer positive definite to working precision';
      end
      [x, Y, info] = fall_back (best, info, opts);
      break;
    end
    PY = times_dense (nu * P0, Y);
    I = speye (m);

    % predictor: the affine-scaling direction
    [dx, dZ, dY] = direction (K, M, RM, Zinv, Y, c, c - FY, nu * P0, PY, zeros (m), false);
    ap = step_to_boundary (RZ, dZ);
    ad = step_to_boundary (RY, dY);
    mu_aff = full (sum (sum ((Z + min (1, ap) * dZ) .* (Y + min (1, ad) * dY)))) / m;
    sigma = min (1, (max (mu_aff, 0) / mu) ^ max (1, 3 * min ([ap, ad, 1]) ^ 2));

    % corrector: centring and the second-order term
    Rc = sigma * mu * I - times_dense (dZ, dY);
    [dx, dZ, dY] = direction (K, M, RM, Zinv, Y, c, c - FY, nu * P0, PY, Rc, true);
    gamma = 0.9 + 0.09 * min (alpha);
    ap = min (1, gamma * step_to_boundary (RZ, dZ));
    ad = min (1, gamma * step_to_boundary (RY, dY));

    % the new iterate; a step that rounding leaves just outside the cone
    % is shortened
    for tries = 1:10
      Znew = form_z (K, x + ap * dx, F0, nu * (1 - ap), P0);
      [~, p] = chol (Znew);
      if (p == 0)
        break;
      end
      ap = 0.8 * ap;
    end
    for tries = 1:10
      Ynew = Y + ad * dY;
      Ynew = (Ynew + Ynew.') / 2;
      [~, q] = chol (Ynew);
      if (q == 0)
        break;
      end
      ad = 0.8 * ad;
    end
    alpha = [ap, ad];
    if (p > 0 || q > 0 || max (alpha) < 1e-8)
      info.message = sprintf ('steps too short (%.1e, %.1e)', ap, ad);
      [x, Y, info] = fall_back (best, info, opts);
      break;
    end
    x = x + ap * dx;
    nu = nu * (1 - ap);
    Z = Znew;
    Y = Ynew;
    iter = iter + 1;
  end

  info.time = toc (t_start);
  if (say)
    fprintf ('sdp_solve: %s (%s)\n', info.status, info.message);
    fprintf ('  pobj %.10e   dobj %.10e\n', info.pobj, info.dobj);
    fprintf ('  gap %.1e, pinf %.1e, dinf %.1e after %d iterations\n', info.gap, ...
             info.pinf, info.dinf, info.iterations);
    fprintf ('  time %.2f s, of which the Schur complement %.2f s (%s kernels)\n', ...
             info.time, info.schur_time, opts.kernels);
  end
end

function [x, Y, info] = fall_back (best, info, opts)
  % the best iterate met, and what it reached
  x = best.x;
  Y = best.Y;
  keep = {'status', 'iterations', 'schur_time', 'message'};
  for k = 1:numel (keep)
    best.info.(keep{k}) = info.(keep{k});
  end
  info = best.info;
  if (best.worst <= sqrt (opts.tol) / 10)
    info.status = 'solved';
    info.message = sprintf ('%s; the best iterate, of iteration %d, has gap and infeasibilities at most %.1e', ...
                            info.message, best.iter, best.worst);
  else
    info.status = 'not solved';
    info.message = sprintf ('%s; the best iterate is of iteration %d', info.message, best.iter);
  end
end

function Z = form_z (K, x, F0, nu, P0)
  Z = full (K.sum (x) - F0 - nu * P0);
  Z = (Z + Z.') / 2;
end

function [dx, dZ, dY] = direction (K, M, RM, Zinv, Y, c, d, P, PY, Rc, mend)
  % the HKM direction for the complementarity right-hand side Rc:
  % dZ = dx(1)*F{1} + ... + dx(n)*F{n} + P, F{i}.dY = d(i) = c(i) - F{i}.Y
  % and Z*dY + dZ*Y = Rc - Z*Y, with dY symmetrized; then
  % M*dx = (F{i}.(inv(Z)*(Rc - P*Y))) - c
  Rc = full (Rc);
  dx = solve_schur (M, RM, K.traces (Zinv, Rc - PY) - c);
  dZ = K.sum (dx) + P;
  dY = Zinv * (Rc - times_dense (dZ, Y)) - Y;
  dY = (dY + dY.') / 2;
  if (~mend)
    return;
  end
  % near the end, rounding in inv(Z) leaves F{i}.dY short of d(i); a
  % change w of dx changes the F{i}.dY by -M*w, which mends it
  w = -solve_schur (M, RM, d - K.traces ([], dY));
  dx = dx + w;
  Sw = K.sum (w);
  dZ = dZ + Sw;
  dW = Zinv * times_dense (Sw, Y);
  dY = dY - (dW + dW.') / 2;
end

function x = solve_schur (M, RM, b)
  % M*x = b by the Cholesky factor, with two steps of iterative refinement
  x = RM \ (RM.' \ b);
  for k = 1:2
    x = x + RM \ (RM.' \ (b - M * x));
  end
end

function a = step_to_boundary (R, D)
  % the largest a with R'*R + a*D positive semidefinite
  T = R.' \ (full (D) / R);
  lmin = min (eig ((T + T.') / 2));
  if (lmin < 0)
    a = -1 / lmin;
  else
    a = Inf;
  end
end

function tf = nearly_full (nz, count)
  % nz stored entries of count are too many for sparse arithmetic to pay
  tf = nz > count / 8;
end

function C = times_dense (S, D)
  % S*D for a dense D: a sparse S that is nearly full is multiplied as a
  % full matrix, which is much faster
  if (issparse (S) && nearly_full (nnz (S), numel (S)))
    S = full (S);
  end
  C = S * D;
end

function R = factor_schur (M)
  % Cholesky's factor of M, or of M with a little added to its diagonal
  % when rounding has taken its positive definiteness away; empty when
  % neither works
  [R, p] = chol (M);
  if (p == 0)
    return;
  end
  d = max (abs (diag (M)));
  for shift = d * [1e-14 1e-12 1e-10]
    [R, p] = chol (M + shift * eye (size (M, 1)));
    if (p == 0)
      return;
    end
  end
  R = [];
end

function K = kernels (F, kind)
  % the inner work, with the modules or with plain expressions:
  %   K.sum(x)       x(1)*F{1} + ... + x(n)*F{n}, sparse unless nearly full
  %   K.traces(A, C) the vector of F{i}.(A*C), A symmetric ([] for I)
  %   K.schur(Y, W)  M(i,j) = trace(F{i}*W*F{j}*Y)
  n = numel (F);
  m = size (F{1}, 1);
  if (strcmp (kind, 'modules'))
    I = full (eye (m));
    E = speye (m);
    % kovalin is told how many entries the sum stores, so that its work
    % lists hold the sum from the start and never grow; a sum that is
    % nearly full (gpp's) comes back as a full matrix at once
    nz = sum_entries (F);
    if (nearly_full (nz, m * m))
      nz = -1;
    end
    K.sum = @(x) kovalin (x, F, nz);
    % a nearly dense F{i} of order 100 or more (gpp's all-ones matrix)
    % makes brisset form a sum of m terms for each of its m*m entries, in
    % its traces and in its row of the Schur complement: those are dense
    % products instead
    dense = false (1, n);
    for i = 1:n
      dense(i) = m >= 100 && nearly_full (nnz (F{i}), m * m);
    end
    if (any (dense))
      Fstack = stack (F);
      Fdense = Fstack(:, dense);
      Fsparse = F(~dense);
      K.traces = @(A, C) traces_mixed (brisset (pick (A, I), E, C, Fsparse) / 2, ...
                                       Fdense, times_ (A, C), dense);
    else
      Fstack = [];
      K.traces = @(A, C) brisset (pick (A, I), E, C, F) / 2;
    end
    K.schur = @(Y, W) schur_modules (F, Y, W, dense, Fstack);
  else
    Fstack = stack (F);
    rows_of = cell (1, n);
    for i = 1:n
      rows_of{i} = find (any (F{i}, 2));
    end
    K.sum = @(x) reshape (Fstack * x, m, m);
    K.traces = @(A, C) full (Fstack.' * reshape (times_ (A, C), [], 1));
    K.schur = @(Y, W) schur_octave (F, Fstack, rows_of, Y, W);
  end
end

function nz = sum_entries (F)
  % the number of positions that F{1}, ..., F{n} store between them
  n = numel (F);
  [I, J] = deal (cell (n, 1));
  for i = 1:n
    [I{i}, J{i}] = find (F{i});
  end
  m = size (F{1}, 1);
  nz = nnz (sparse (vertcat (I{:}), vertcat (J{:}), 1, m, m));
end

function Fstack = stack (F)
  % Fstack = [F{1}(:) ... F{n}(:)], sparse
  m = size (F{1}, 1);
  Fstack = sparse (m * m, numel (F));
  for i = 1:numel (F)
    Fstack(:, i) = F{i}(:);
  end
end

function A = pick (A, I)
  if (isempty (A))
    A = I;
  end
end

function G = times_ (A, C)
  if (isempty (A))
    G = C;
  else
    G = A * C;
  end
end

function r = traces_mixed (r_sparse, Fdense, G, dense)
  r = zeros (numel (dense), 1);
  r(~dense) = r_sparse;
  r(dense) = full (Fdense.' * G(:));
end

function M = schur_modules (F, Y, W, dense, Fstack)
  % the rows of brisset, but for a nearly dense F{i}: G = W*F{i}*Y and
  % M(i,j) = G(:).'*F{j}(:)
  n = numel (F);
  M = zeros (n);
  for i = 1:n
    if (dense(i))
      G = W * (full (F{i}) * Y);
      M(i, i:n) = G(:).' * Fstack(:, i:n);
    else
      M(i, i:n) = brisset (Y, F{i}, W, F(i:n)).' / 2;
    end
  end
  M = triu (M) + triu (M, 1).';
end

function M = schur_octave (F, Fstack, rows_of, Y, W)
  % with I the rows where F{i} holds entries, G = W(:,I)*(F{i}(I,:)*Y) and
  % M(i,j) = G(:).'*F{j}(:)
  n = numel (F);
  M = zeros (n);
  for i = 1:n
    I = rows_of{i};
    G = W(:, I) * (F{i}(I, :) * Y);
    M(i, i:n) = G(:).' * Fstack(:, i:n);
  end
  M = triu (M) + triu (M, 1).';
end

function [F, F0, c, opts] = parse_inputs (varargin)
  usage = 'sdp_solve: expected sdp_solve (F, F0, c), sdp_solve (F, F0, c, opts), sdp_solve (file) or sdp_solve (file, opts)';
  if (nargin >= 1 && (ischar (varargin{1}) || isa (varargin{1}, 'string')))
    if (nargin > 2)
      error (usage);
    end
    file = char (varargin{1});
    try
      [F, F0, c] = read_sdpa (file);
    catch err
      error ('sdp_solve: %s', regexprep (err.message, '^read_sdpa: ', ''));
    end
    given = varargin(2:end);
  elseif (nargin == 3 || nargin == 4)
    [F, F0, c] = deal (varargin{1:3});
    given = varargin(4:end);
  else
    error (usage);
  end

  if (~iscell (F) || isempty (F) || ~isvector (F))
    error ('sdp_solve: F must be a nonempty cell vector of matrices');
  end
  F = F(:).';
  n = numel (F);
  m = size (F{1}, 1);
  for i = 1:n
    F{i} = check_matrix (F{i}, sprintf ('F{%d}', i), m);
  end
  F0 = check_matrix (F0, 'F0', m);
  if (~isnumeric (c) || ~isreal (c) || ~isvector (c) || numel (c) ~= n)
    error ('sdp_solve: c must be a real vector of %d values, one for each F{i}', n);
  end
  c = double (full (c(:)));
  if (any (~isfinite (c)))
    error ('sdp_solve: c holds a value that is not finite');
  end
  if (m == 0)
    error ('sdp_solve: the matrices are of order 0');
  end

  opts = struct ('tol', 1e-8, 'inftol', 1e-8, 'maxiter', 100, 'verbose', true, ...
                 'kernels', 'modules');
  if (~isempty (given))
    o = given{1};
    if (~isstruct (o) || numel (o) ~= 1)
      error ('sdp_solve: opts must be a struct');
    end
    names = fieldnames (o);
    for k = 1:numel (names)
      if (~isfield (opts, names{k}))
        error ('sdp_solve: unknown option %s', names{k});
      end
      opts.(names{k}) = o.(names{k});
    end
  end
  for name = {'tol', 'inftol'}
    v = opts.(name{1});
    if (~isnumeric (v) || ~isscalar (v) || ~(v > 0) || ~(v < 1))
      error ('sdp_solve: opts.%s must be a number between 0 and 1', name{1});
    end
  end
  if (~isnumeric (opts.maxiter) || ~isscalar (opts.maxiter) || opts.maxiter < 0 || ...
      opts.maxiter ~= fix (opts.maxiter))
    error ('sdp_solve: opts.maxiter must be a whole number >= 0');
  end
  if (~isscalar (opts.verbose) || ~(islogical (opts.verbose) || isnumeric (opts.verbose)))
    error ('sdp_solve: opts.verbose must be true or false');
  end
  opts.verbose = logical (opts.verbose);
  opts.kernels = char (opts.kernels);
  if (~any (strcmp (opts.kernels, {'modules', 'octave'})))
    error ('sdp_solve: opts.kernels must be ''modules'' or ''octave''');
  end
  if (strcmp (opts.kernels, 'modules') && (exist ('kovalin') ~= 3 || exist ('brisset') ~= 3))
    error (['sdp_solve: the modules kovalin and brisset are not on the path: build them ' ...
            'with build_modules, or set opts.kernels to ''octave''']);
  end
end

function A = check_matrix (A, name, m)
  % a real symmetric m-by-m matrix, returned sparse and exactly symmetric
  if (~(isnumeric (A) || islogical (A)) || ~isreal (A) || ndims (A) ~= 2)
    error ('sdp_solve: %s must be a real matrix', name);
  end
  if (size (A, 1) ~= size (A, 2))
    error ('sdp_solve: %s must be square, not %dx%d', name, size (A, 1), size (A, 2));
  end
  if (size (A, 1) ~= m)
    error ('sdp_solve: %s must be of order %d, as F{1} is, not %d', name, m, size (A, 1));
  end
  A = sparse (double (A));
  if (any (~isfinite (nonzeros (A))))
    error ('sdp_solve: %s holds a value that is not finite', name);
  end
  asym = norm (A - A.', 1);
  if (asym > 1e-12 * norm (A, 1))
    error ('sdp_solve: %s must be symmetric', name);
  end
  if (asym > 0)
    A = (A + A.') / 2;
  end
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
%! % x and Y are feasible
%! Z = -full (F0);
%! FY = zeros (numel (F), 1);
%! for i = 1:numel (F)
%!   Z = Z + x(i) * F{i};
%!   FY(i) = sum (sum (F{i} .* Y));
%! end
%! assert (min (eig ((Z + Z.') / 2)) >= -1e-7 * norm (Z), name);
%! assert (min (eig ((Y + Y.') / 2)) >= -1e-7 * norm (Y), name);
%! assert (abs (FY - c) <= 1e-6 * max (1, abs (c)), name);
%! assert (info.dobj, sum (sum (F0 .* Y)), 1e-12 * abs (info.dobj));
%! assert (info.time >= info.schur_time && info.schur_time > 0);
%!endfunction

%!test
%! % one problem of each family, with the modules
%! for name = {'truss1', 'truss4', 'control1', 'theta1', 'mcp100', 'gpp100', 'qap5', 'hinf1', 'arch0'}
%!   check_solved (name{1}, 'modules');
%! end
%!test
%! % and with Octave expressions in their place
%! for name = {'truss4', 'control1', 'theta1'}
%!   check_solved (name{1}, 'octave');
%! end
%!test
%! % both kinds of kernels reach the same optimum
%! for name = {'control2', 'mcp124-1', 'truss2'}
%!   opts = struct ('verbose', false, 'kernels', 'modules');
%!   [~, ~, a] = sdp_solve (sdplib_file (name{1}), opts);
%!   opts.kernels = 'octave';
%!   [~, ~, b] = sdp_solve (sdplib_file (name{1}), opts);
%!   assert (a.status, b.status);
%!   assert (abs (a.pobj - b.pobj) <= 1e-6 * abs (a.pobj), name{1});
%!   assert (abs (a.dobj - b.dobj) <= 1e-6 * abs (a.dobj), name{1});
%! end
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
%! % no x gives Z >= 0: Y is the certificate
%! [F, F0, c] = read_sdpa (sdplib_file ('infp1'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false));
%! assert (info.status, 'primal infeasible');
%! assert (sum (sum (F0 .* Y)), 1, 1e-12);
%! assert (min (eig ((Y + Y.') / 2)) >= 0);
%! assert (norm (cellfun (@(f) sum (sum (f .* Y)), F)) <= 1e-8);
%!test
%! % no Y >= 0 meets F{i}.Y = c(i): x is the certificate
%! [F, F0, c] = read_sdpa (sdplib_file ('infd1'));
%! [x, Y, info] = sdp_solve (F, F0, c, struct ('verbose', false, 'kernels', 'octave'));
%! assert (info.status, 'dual infeasible');
%! assert (c.' * x, -1, 1e-12);
%! S = zeros (size (F0));
%! for i = 1:numel (F)
%!   S = S + x(i) * F{i};
%! end
%! assert (min (eig ((S + S.') / 2)) >= -1e-8);

%!test
%! % a small problem written out: minimize x subject to [x 1; 1 x] >= 0,
%! % whose optimum is x = 1, Y = [1 -1; -1 1]/2
%! [x, Y, info] = sdp_solve ({speye(2)}, -sparse ([0 1; 1 0]), 1, struct ('verbose', false));
%! assert (info.status, 'solved');
%! assert (x, 1, 1e-7);
%! assert (Y, [1 -1; -1 1] / 2, 1e-7);
%!test
%! % the iteration table and the summary
%! text = evalc ("sdp_solve ({speye(2)}, -sparse ([0 1; 1 0]), 1);");
%! assert (! isempty (regexp (text, 'it +pobj +dobj +gap +pinf +dinf', 'once')));
%! assert (! isempty (strfind (text, 'sdp_solve: solved')));
%! assert (! isempty (strfind (text, 'Schur complement')));
%!test
%! % the iteration limit: the best iterate, not solved
%! [x, Y, info] = sdp_solve (sdplib_file ('theta1'), struct ('verbose', false, 'maxiter', 3));
%! assert (info.status, 'not solved');
%! assert (info.iterations, 3);
%! assert (! isempty (strfind (info.message, 'limit')));

%!shared F, F0
%! F = {speye(2), sparse([0 1; 1 0])};
%! F0 = sparse (2, 2);
%!error <expected sdp_solve> sdp_solve (F, F0)
%!error <expected sdp_solve> sdp_solve ()
%!error <nonempty cell vector> sdp_solve ({}, F0, [])
%!error <nonempty cell vector> sdp_solve (speye (2), F0, 1)
%!error <F\{2\} must be square> sdp_solve ({speye(2), ones(2, 3)}, F0, [1 1])
%!error <F\{2\} must be of order 2> sdp_solve ({speye(2), speye(3)}, F0, [1 1])
%!error <F\{2\} must be symmetric> sdp_solve ({speye(2), sparse([0 1; 0 0])}, F0, [1 1])
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
