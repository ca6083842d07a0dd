%HESSIAN_ENTRIES Hessian entries of SDPLIB problems, against Octave's own
% arithmetic: zandrel(W, F{i}, W, F{j}) = 2*trace(W*F{i}*W*F{j}).

%!test
%! for k = 1:sdplib_problem ()
%!   [F, W, name] = sdplib_problem (k);
%!   n = numel (F);
%!   rand ('seed', 7);
%!   pairs = unique ([1 1; n n; 1 n; ceil(n * rand (5, 2))], 'rows');
%!   for p = pairs.'
%!     Fi = F{p(1)}; Fj = F{p(2)};
%!     want = 2 * trace (W*Fi*W*Fj);
%!     scale = 2 * norm (W, 'fro')^2 * norm (Fi, 'fro') * norm (Fj, 'fro');
%!     got = zandrel (W, Fi, W, Fj);
%!     assert (abs (got - want) <= 1e-12 * scale + realmin, ...
%!             sprintf ('%s, F%d and F%d: %g, not %g', name, p(1), p(2), got, want));
%!   end
%! end
