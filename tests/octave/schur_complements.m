%SCHUR_COMPLEMENTS Schur complements of SDPLIB problems, against Octave's own
% arithmetic: sdp_schur(F, W, Y, [i last]) = trace(F{i}*W*F{j}*Y) for every
% j >= i, and the whole matrix's entries have the same bits as the panels.

%!test
%! for k = 1:sdplib_problem ()
%!   [F, W, name] = sdplib_problem (k);
%!   n = numel (F);
%!   m = size (W, 1);
%!   rand ('seed', k);
%!   Y = rand (m) - 0.5;
%!   Y = Y + Y.' + m * eye (m);
%!   Fs = cellfun (@(f) f(:), F, 'UniformOutput', false);
%!   Fstack = [Fs{:}];
%!   norms = full (sqrt (sum (Fstack .^ 2, 1))).';
%!   if (n <= 300)
%!     M = sdp_schur (F, W, Y);
%!     assert (size (M), [n n]);
%!     assert (isequal (M, M.'), [name ': symmetric']);
%!   end
%!   for i = unique ([1, ceil(n / 2), n])
%!     last = min (n, i + 1);
%!     P = sdp_schur (F, W, Y, [i last]);
%!     assert (size (P), [n - i + 1, last - i + 1]);
%!     % trace(F{i}*W*F{j}*Y) = F{j}(:).' * reshape((Y*F{i}*W).', [], 1)
%!     want = Fstack(:, i:n).' * reshape ((Y * (F{i} * W)).', [], 1);
%!     scale = norm (W, 'fro') * norm (Y, 'fro') * norm (F{i}, 'fro') * norms(i:n);
%!     assert (all (abs (P(:, 1) - want) <= 1e-12 * scale + realmin), ...
%!             sprintf ('%s, column %d', name, i));
%!     if (n <= 300)
%!       assert (isequal (P, M(i:n, i:last)), sprintf ('%s, panel [%d %d]', name, i, last));
%!     end
%!   end
%! end
