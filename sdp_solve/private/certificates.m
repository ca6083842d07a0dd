function [status, message, cert] = certificates (P, K, x, FY, pobj, dobj, R, inftol, Y, normF)
% The tests for certificates of infeasibility, and their measures cert
% (Inf where none applies), with R = F0 + nu*P0 = x(1)*F{1} + ... +
% x(n)*F{n} - Z:
% - 'primal infeasible' when Y, scaled to F0.Y = 1, has
%   ||(F{i}.Y)||_2 <= inftol; cert(1) is that norm;
% - 'dual infeasible' when x, scaled to c'*x = -1, has
%   x(1)*F{1} + ... + x(n)*F{n} + inftol*I positive definite (as Z >= 0,
%   cert(2) = ||R||_F / -c'*x bounds how far that sum is from >= 0).
% status is '' when neither holds. Y is the iterate, positive definite,
% and normF(i) = ||F{i}||_F: a positive definite sum has a positive inner
% product with Y, so where x'*(F{i}.Y) makes that inner product negative
% beyond the rounding of the F{i}.Y, the sum is not factored.
  status = '';
  message = '';
  cert = [Inf, Inf];
  if (dobj > 0)
    cert(1) = norm (FY) / dobj;
    if (cert(1) <= inftol)
      status = 'primal infeasible';
      message = sprintf (['Y >= 0 with F0.Y = 1 and ||(F{i}.Y)|| = %.1e: ' ...
                          'no x gives Z >= 0'], cert(1));
      return;
    end
  end
  if (pobj < 0)
    cert(2) = block_norm (R) / -pobj;
    trY = sum (cellfun (@trace, Y.b)) + sum (Y.d);
    SY = (x.' * FY) / -pobj + inftol * trY;
    if (SY + 1e-9 * (abs (x.') * normF(:)) * trY / -pobj < 0)
      return;
    end
    S = form_sum (P, K, x / -pobj);
    S = block_map (@(s) s + inftol * speye (size (s, 1)), @(s) s + inftol, S);
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
%! % is indefinite with a negative inner product with Y, certifies nothing
%! F = {sparse([2 1 0; 1 1 0; 0 0 1]), sparse([-1 0 0; 0 -1 2; 0 2 0])};
%! c = [-1; -1];
%! [P, K] = test_problem (F);
%! normF = cellfun (@(f) norm (f, 'fro'), F);
%! R = struct ('b', {{sparse(3, 3)}}, 'd', zeros (0, 1));
%! Y = struct ('b', {{diag([1 1 4])}}, 'd', zeros (0, 1));
%! FY = block_traces (P, K, [], Y);
%! x = [2; 0];
%! [status, ~, cert] = certificates (P, K, x, FY, c.' * x, 0, R, 1e-8, Y, normF);
%! assert (status, 'dual infeasible');
%! assert (cert, [Inf, 0]);
%! x = [0; 1];
%! assert (x.' * FY < 0);
%! [status, ~, cert] = certificates (P, K, x, FY, c.' * x, 0, R, 1e-8, Y, normF);
%! assert (status, '');
%! assert (cert, [Inf, 0]);
