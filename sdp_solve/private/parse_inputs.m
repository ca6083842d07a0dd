function [F, F0, c, opts, sizes, T] = parse_inputs (varargin)
% The problem and the options of a call of sdp_solve, checked; sizes is
% the block list of a problem read from a file, and empty otherwise, and
% T the stored entries of the F{i} (entries_of), which the checks list
  usage = 'sdp_solve: expected sdp_solve (F, F0, c), sdp_solve (F, F0, c, opts), sdp_solve (file) or sdp_solve (file, opts)';
  if (nargin >= 1 && (ischar (varargin{1}) || isa (varargin{1}, 'string')))
    if (nargin > 2)
      error (usage);
    end
    file = char (varargin{1});
    try
      [F, F0, c, sizes] = read_sdpa (file);
    catch err
      error ('sdp_solve: %s', regexprep (err.message, '^read_sdpa: ', ''));
    end
    if (isempty (F))
      error ('sdp_solve: %s holds no constraint matrix', file);
    end
    given = varargin(2:end);
  elseif (nargin == 3 || nargin == 4)
    [F, F0, c] = deal (varargin{1:3});
    sizes = [];
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
  [exact, T] = all_exact (F, m);
  if (~exact)
    for i = 1:n
      F{i} = check_matrix (F{i}, sprintf ('F{%d}', i), m);
    end
    T = entries_of (F);
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
                 'kernels', 'cheapest');
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
    if (~isnumeric (v) || ~isscalar (v) || ~isreal (v) || ~(v > 0) || ~(v < 1))
      error ('sdp_solve: opts.%s must be a number between 0 and 1', name{1});
    end
  end
  if (~isnumeric (opts.maxiter) || ~isscalar (opts.maxiter) || ~isreal (opts.maxiter) || ...
      ~(opts.maxiter >= 0) || opts.maxiter ~= fix (opts.maxiter))
    error ('sdp_solve: opts.maxiter must be a whole number >= 0');
  end
  if (~isscalar (opts.verbose) || ~(islogical (opts.verbose) || isnumeric (opts.verbose)) || ...
      ~isreal (opts.verbose) || isnan (opts.verbose))
    error ('sdp_solve: opts.verbose must be true or false');
  end
  opts.verbose = logical (opts.verbose);
  if (~ischar (opts.kernels) && ~isa (opts.kernels, 'string'))
    error ('sdp_solve: opts.kernels must be ''cheapest'', ''modules'' or ''octave''');
  end
  opts.kernels = char (opts.kernels);
  if (~any (strcmp (opts.kernels, {'cheapest', 'modules', 'octave'})))
    error ('sdp_solve: opts.kernels must be ''cheapest'', ''modules'' or ''octave''');
  end
  if (~strcmp (opts.kernels, 'octave') && (exist ('kovalin') ~= 3 || exist ('brisset') ~= 3))
    error (['sdp_solve: the modules kovalin and brisset are not on the path: build them ' ...
            'with build_modules, or set opts.kernels to ''octave''']);
  end
end

function [ok, T] = all_exact (F, m)
  % whether every F{i} is already what check_matrix returns: a sparse real
  % double m-by-m matrix, of finite entries and exactly symmetric, so that
  % the matrices need no check one by one (read_sdpa's always are)
  k = numel (F);
  ok = all (cellfun ('issparse', F)) && all (cellfun ('isclass', F, 'double')) && ...
       all (cellfun ('isreal', F)) && all (cellfun ('ndims', F) == 2) && ...
       all (cellfun ('size', F, 1) == m) && all (cellfun ('size', F, 2) == m) && ...
       k * m * m < flintmax;
  T = [];
  if (~ok)
    return;
  end
  T = entries_of (F);
  % the entries in find's order are in the order of (matrix, column, row);
  % the matrices are symmetric when, ordered by (matrix, row, column), they
  % are the same positions with the same values
  [by_row, order] = sort ((T.owner - 1) * m * m + (T.r - 1) * m + T.c);
  ok = all (isfinite (T.v)) && isequal (by_row, (T.owner - 1) * m * m + (T.c - 1) * m + T.r) && ...
       isequal (T.v(order), T.v);
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
