%WEIGHTED_SUMS S = y(1)*F{1} + ... + y(n)*F{n} over the constraint matrices
% of SDPLIB problems, against Octave's own sum: the same value in every
% entry, since both add the same rounded products in the same order.

%!test
%! for k = 1:sdplib_problem ()
%!   [F, ~, name] = sdplib_problem (k);
%!   n = numel (F);
%!   rand ('seed', k);
%!   y = rand (n, 1) - 0.5;
%!   y(1:7:end) = 0;
%!   S = sparse (rows (F{1}), columns (F{1}));
%!   for i = 1:n
%!     S = S + y(i) * F{i};
%!   end
%!   R = kovalin (y, F);
%!   assert (issparse (R), name);
%!   assert (isequal (full (R), full (S).'), name);
%!   assert (nnz (R) >= nnz (S), name);
%!   assert (isequal (kovalin (y, F, nnz (S)), R), name);
%!   assert (isequal (kovalin (y, F, -1), full (S)), name);
%! end
