%HESSIAN_ROWS Hessian rows of SDPLIB problems, against Octave's own
% arithmetic: brisset(W, F{i}, W, F) = 2*trace(W*F{i}*W*F{j}) for every j.

%!test
%! for k = 1:sdplib_problem ()
%!   [F, W, name] = sdplib_problem (k);
%!   n = numel (F);
%!   Fs = cellfun (@(f) f(:), F, 'UniformOutput', false);
%!   Fstack = [Fs{:}];
%!   for i = unique ([1, ceil(n / 2), n])
%!     got = brisset (W, F{i}, W, F);
%!     want = 2 * (Fstack.' * reshape (W*F{i}*W, [], 1));
%!     scale = 2 * norm (W, 'fro')^2 * norm (F{i}, 'fro') * ...
%!             full (sqrt (sum (Fstack .^ 2, 1))).';
%!     assert (size (got), [n 1]);
%!     assert (all (abs (got - want) <= 1e-12 * scale + realmin), ...
%!             sprintf ('%s, row %d', name, i));
%!   end
%! end
