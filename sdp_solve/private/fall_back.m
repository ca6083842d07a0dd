function [x, Y, nu, info] = fall_back (best, info)
% The best iterate met, with its own measures, when the iteration stops
% short of tol; its status follows from what it reached, recomputed
  x = best.x;
  Y = best.Y;
  nu = best.nu;
  keep = {'iterations', 'schur_time', 'factor_time', 'message', 'root_from'};
  for k = 1:numel (keep)
    best.info.(keep{k}) = info.(keep{k});
  end
  info = best.info;
  info.message = sprintf ('%s; the best iterate is of iteration %d', info.message, best.iter);
end
