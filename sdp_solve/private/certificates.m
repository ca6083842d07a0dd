function [status, message, cert] = certificates (P, K, x, FY, pobj, dobj, R, inftol, Y, normF, C, data)
% The tests for certificates of infeasibility, and their measures cert
% (Inf where none applies), with R = F0 + nu*P0 = x(1)*F{1} + ... +
% x(n)*F{n} - Z:
% - 'primal infeasible' when Y, scaled to F0.Y = 1, has
%   ||(F{i}.Y)||_2 <= inftol*min(1, max(normF)/data.f0), data.f0 =
%   ||F0||_F; cert(1) is that norm; for constraints solved weighed, the
%   F{i}.Y and normF are w(i) times the user's (data.w), and this test
%   is the user's, on (F{i}.Y)/w(i) and normF./w; where repeats were left
%   out, the norm is over all the user's constraints, each (F{i}.Y)/w(i)
%   counted with its repeats' through data.rw (w over drop_redundant's
%   mult);
% - 'dual infeasible' when x, scaled to c'*x = -1, has
%   x(1)*F{1} + ... + x(n)*F{n} + e*I positive definite (as Z >= 0,
%   cert(2) = ||R||_F / -c'*x bounds how far that sum is from >= 0), with
%   the margin e = inftol*min(1, max(normF./w)/data.c), data.c the
%   largest of the user's |c(i)| (repeats left out included; normF is
%   over the constraints kept, which can only make both tests stricter);
%   the sum is the same in both units.
% Each also holds relative to the size of each F{i}, so that a constraint
% whose F{i} is tiny (F{i} and c(i) of a user's units) does not pass for
% one that Y or x meets: |F{i}.Y| <= inftol*||F{i}||_F*||Y||_F for every
% i, and e at most inftol*sum(|x(i)|*||F{i}||_F) (theta1 with F{1} and
% c(1) times 1e-10 had ended "primal infeasible" at its start, as Y's
% F{1}.Y was small because F{1} was, at 0.47 of that bound's scale).
% Both bounds are inftol in the data's own units: where F0 is large
% against the F{i}, Y scaled to F0.Y = 1 is small, and so are its
% F{i}.Y, feasible or not; where c is large against them, x scaled to
% c'*x = -1 is small, and so is its sum whatever its sign, which
% inftol*I would lift.
% status is '' when neither holds. Y is the iterate, positive definite,
% and normF(i) = ||F{i}||_F: a positive definite sum has a positive inner
% product with Y, so where x'*(F{i}.Y) makes that inner product negative
% beyond the rounding of the F{i}.Y (C.trace_rounding*||F{i}||_F*trace(Y)
% each), the sum is not factored.
  status = '';
  message = '';
  cert = [Inf, Inf];
  w = ones (size (FY));
  if (isfield (data, 'w'))
    w = data.w;
  end
  rw = w;
  if (isfield (data, 'rw'))
    rw = data.rw;
  end
  bound_p = inftol * min (1, max (normF ./ w(:).') / data.f0);
  margin = inftol * min (1, max (normF ./ w(:).') / data.c);
  if (dobj > 0)
    cert(1) = norm (FY ./ rw) / dobj;
    relative = max (abs (FY(:)) ./ normF(:)) / block_norm (Y);
    if (cert(1) <= bound_p && ~(relative > inftol))
      status = 'primal infeasible';
      message = sprintf (['Y >= 0 with F0.Y = 1 and ||(F{i}.Y)|| = %.1e: ' ...
                          'no x gives Z >= 0'], cert(1));
      return;
    end
  end
  if (pobj < 0)
    cert(2) = block_norm (R) / -pobj;
    margin = min (margin, inftol * (abs (x.') * normF(:)) / -pobj);
    trY = sum (cellfun (@(y) full (trace (y)), Y.b)) + sum (Y.d);
    SY = (x.' * FY) / -pobj + margin * trY;
    if (SY + C.trace_rounding * (abs (x.') * normF(:)) * trY / -pobj < 0)
      return;
    end
    S = form_sum (P, K, x / -pobj);
    S = block_map (@(s) s + margin * speye (size (s, 1)), @(s) s + margin, S);
    [~, ok] = block_chol (S);
    if (ok)
      status = 'dual infeasible';
      message = ['x with c''*x = -1 and x(1)*F{1} + ... + x(n)*F{n} >= 0: ' ...
                 'no Y >= 0 meets F{i}.Y = c(i)'];
    end
  end
end

%!test
%! % x = (2, 0) with c'*x = -2 and F{1} >= 0 certifies dual infeasibility,
%! % whatever the inner product of Y with F{2}; x = (0, 1), whose sum F{2}
%! % is indefinite with a negative inner product with Y, certifies nothing,
%! % and its sum is not even formed
%! F = {sparse([2 1 0; 1 1 0; 0 0 1]), sparse([-1 0 0; 0 -1 2; 0 2 0])};
%! c = [-1; -1];
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! unit = struct ('f0', 1, 'c', 1);
%! R = struct ('b', {{sparse(3, 3)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{diag([1 1 4])}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! x = [2; 0];
%! [status, ~, cert] = certificates (P, K, x, FY, c.' * x, 0, R, 1e-8, Y, normF, C, unit);
%! assert (status, 'dual infeasible');
%! assert (cert, [Inf, 0]);
%! x = [0; 1];
%! assert (x.' * FY < 0);
%! K{1}.sum = @(varargin) error ('certificates: the sum was formed');
%! [status, ~, cert] = certificates (P, K, x, FY, c.' * x, 0, R, 1e-8, Y, normF, C, unit);
%! assert (status, '');
%! assert (cert, [Inf, 0]);
%!test
%! % a true certificate at the edge: x(1)*F{1} is singular, and Y lies
%! % nearly in its null space, so that the sum's inner product with Y is
%! % about inftol*trace(Y), far below the rounding bound of the traces
%! F = {sparse(diag ([1000 0 0])), sparse([0 1 0; 1 0 1; 0 1 0])};
%! c = [-1; -1];
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! unit = struct ('f0', 1, 'c', 1);
%! R = struct ('b', {{sparse(3, 3)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{diag([1e-12 1 1])}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! x = [1; 0];
%! assert (C.trace_rounding * normF(1) * 2 > 10 * (x.' * FY + 1e-8 * 2));
%! [status, ~, cert] = certificates (P, K, x, FY, c.' * x, 0, R, 1e-8, Y, normF, C, unit);
%! assert (status, 'dual infeasible');
%!test
%! % a bounded problem whose c is large: F{1} = [1 2; 2 1], indefinite,
%! % and c = -1e9, met by Y = 5e8*[1 -1; -1 1]. Scaled to c'*x = -1, x
%! % = 1 gives the sum 1e-9*F{1}, whose smallest eigenvalue, -1e-9,
%! % inftol*I would lift; the margin in the sum's own units does not
%! F = {sparse([1 2; 2 1])};
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! R = struct ('b', {{sparse(2, 2)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{eye(2)}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! [status, ~, cert] = certificates (P, K, 1, FY, -1e9, 0, R, 1e-8, Y, normF, C, ...
%!                                 struct ('f0', 1, 'c', 1e9));
%! assert (status, '');
%! assert (cert, [Inf, 0]);
%! % with c of order one the margin is inftol, and a sum whose smallest
%! % eigenvalue is -3e-10 certifies
%! F = {sparse([1 2e-5; 2e-5 1e-10])};
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! FY = block_traces (P, K, [], Y);
%! [status, ~, cert] = certificates (P, K, 1, FY, -1, 0, R, 1e-8, Y, normF, C, ...
%!                                 struct ('f0', 1, 'c', 1));
%! assert (status, 'dual infeasible');
%!test
%! % a feasible problem whose F0 is large: F{1} = [1 e; e -1] and F0 =
%! % 1e9*[1 2; 2 1]. Y = diag(1 + 1e-9, 1), scaled to F0.Y = 1 has F{1}.Y
%! % = 1e-9, which inftol would take for a certificate; the bound in the
%! % data's units, inftol*||F{1}||_F/||F0||_F, does not. Where F0 is of
%! % the F{i}'s size, a Y whose F{i}.Y are within inftol certifies
%! F = {sparse([1 1e-3; 1e-3 -1])};
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! R = struct ('b', {{sparse(2, 2)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{diag([1 + 1e-9, 1])}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! F0 = 1e9 * [1 2; 2 1];
%! data = struct ('f0', norm (F0, 'fro'), 'c', 1);
%! [status, ~, cert] = certificates (P, K, 0, FY, 0, 1, R, 1e-8, Y, normF, C, data);
%! assert (status, '');
%! assert (cert(1), 1e-9, 1e-15);
%! data.f0 = 1;
%! [status, ~, cert] = certificates (P, K, 0, FY, 0, 1, R, 1e-8, Y, normF, C, data);
%! assert (status, 'primal infeasible');
%!test
%! % a tiny F{i}, whose F{i}.Y is small whatever Y: within inftol of F0.Y,
%! % but not beside ||F{i}||_F*||Y||_F, and so no certificate
%! A = sparse ([1 1e-3; 1e-3 1]);
%! F = {sparse([1 1e-3; 1e-3 -1]), 1e-10 * A};
%! [P, K, C] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! R = struct ('b', {{sparse(2, 2)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{eye(2)}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! [status, ~, cert] = certificates (P, K, [0; 0], FY, 0, 1, R, 1e-8, Y, normF, C, struct ('f0', 1, 'c', 1));
%! assert (cert(1), 2e-10, 1e-20);
%! assert (status, '');
