function [x, Y, info] = fall_back (best, info, tol)
% The best iterate met, and what it reached: 'solved' when its gap and
% infeasibilities are all at most sqrt(tol)/10, 'not solved' otherwise
  x = best.x;
  Y = best.Y;
  keep = {'status', 'iterations', 'schur_time', 'factor_time', 'message'};
  for k = 1:numel (keep)
    best.info.(keep{k}) = info.(keep{k});
  end
  info = best.info;
  if (best.worst <= sqrt (tol) / 10)
    info.status = 'solved';
    info.message = sprintf ('%s; the best iterate, of iteration %d, has gap and infeasibilities at most %.1e', ...
                            info.message, best.iter, best.worst);
  else
    info.status = 'not solved';
    info.message = sprintf ('%s; the best iterate is of iteration %d', info.message, best.iter);
  end
end
