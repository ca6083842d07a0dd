function print_progress (what, varargin)
% The iteration table and the summary of sdp_solve:
%   print_progress ('head', n, m, kernels, blocks, scales, weights, dropped)
%   print_progress ('row', iter, pobj, dobj, gap, pinf, dinf, alpha, mu)
%   print_progress ('root')
%   print_progress ('summary', info, kernels)
  switch (what)
    case 'head'
      [n, m, kernels, blocks, scales, weights, dropped] = varargin{:};
      fprintf ('sdp_solve: %d constraint matrices of order %d, %s kernels\n', n, m, kernels);
      if (dropped > 0)
        fprintf ('  left out: %d void or repeated constraints (their x(i) = 0)\n', dropped);
      end
      fprintf ('  blocks: %s\n', describe_blocks (blocks));
      if (any (scales ~= 1))
        fprintf ('  rows balanced: solved as D*F{i}*D, D diagonal from 2^%d to 2^%d\n', ...
                 min (log2 (scales)), max (log2 (scales)));
      end
      if (any (weights ~= 1))
        fprintf ('  constraints weighed: solved as w(i)*F{i}, w(i)*c(i), w from 2^%d to 2^%d\n', ...
                 min (log2 (weights)), max (log2 (weights)));
      end
      note = blas_note ();
      if (~isempty (note))
        fprintf ('  note: %s\n', strrep (note, sprintf ('\n'), sprintf ('\n        ')));
      end
      fprintf ('%4s %16s %16s %9s %9s %9s %6s %6s %9s\n', 'it', 'pobj', 'dobj', ...
               'gap', 'pinf', 'dinf', 'stepP', 'stepD', 'mu');
    case 'row'
      [iter, pobj, dobj, gap, pinf, dinf, alpha, mu] = varargin{:};
      if (iter == 0)
        steps = sprintf ('%6s %6s', '', '');
      else
        steps = sprintf ('%6.3f %6.3f', alpha(1), alpha(2));
      end
      fprintf ('%4d %16.8e %16.8e %9.2e %9.2e %9.2e %s %9.2e\n', iter, pobj, ...
               dobj, gap, pinf, dinf, steps, mu);
    case 'root'
      fprintf ('     (from here on, the Schur complement from its square root)\n');
    case 'summary'
      [info, kernels] = varargin{:};
      fprintf ('sdp_solve: %s (%s)\n', info.status, info.message);
      fprintf ('  pobj %.10e   dobj %.10e\n', info.pobj, info.dobj);
      fprintf ('  gap %.1e, pinf %.1e, dinf %.1e after %d iterations\n', info.gap, ...
               info.pinf, info.dinf, info.iterations);
      fprintf (['  time %.2f s, of which the Schur complement %.2f s and its factor ' ...
                '%.2f s (%s kernels)\n'], info.time, info.schur_time, info.factor_time, kernels);
  end
end

function text = describe_blocks (blocks)
  % "3 of order 19, 1 of order 5, a diagonal part of 4"
  orders = blocks(blocks > 0);
  parts = {};
  for o = unique (orders, 'stable')
    parts{end+1} = sprintf ('%d of order %d', sum (orders == o), o);
  end
  if (any (blocks < 0))
    parts{end+1} = sprintf ('a diagonal part of %d', -blocks(blocks < 0));
  end
  text = strjoin (parts, ', ');
end
