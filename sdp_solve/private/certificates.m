function [status, message, cert] = certificates (P, K, x, FY, pobj, dobj, R, inftol)
% The tests for certificates of infeasibility, and their measures cert
% (Inf where none applies), with R = F0 + nu*P0 = x(1)*F{1} + ... +
% x(n)*F{n} - Z:
% - 'primal infeasible' when Y, scaled to F0.Y = 1, has
%   ||(F{i}.Y)||_2 <= inftol; cert(1) is that norm;
% - 'dual infeasible' when x, scaled to c'*x = -1, has
%   x(1)*F{1} + ... + x(n)*F{n} + inftol*I positive definite (as Z >= 0,
%   cert(2) = ||R||_F / -c'*x bounds how far that sum is from >= 0).
% status is '' when neither holds.
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
