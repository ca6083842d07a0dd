function threads = thread_plan (P, K, C)
% The BLAS threads of a solve: caller, the count the caller's BLAS uses
% (0 where blas_threads is not at hand or cannot set it); blocks, the
% count for the blocks' algebra, one when all the blocks are of lower
% order than thread_order (the diagonal part's arithmetic is
% elementwise); schur, the count for the Schur complement's
% formation and factor, all of the caller's from that order on. Where
% the blocks take one thread and no block forms its part of M by dense
% products (K{k}.method 'dense'), M is formed without the BLAS, and its
% factor takes the caller's threads only from factor_order: below it,
% the threads an optimised BLAS leaves spinning after the factor take
% the cores from sdp_schur's threads and from the iteration's other work
% for longer than the second thread saves
  threads = struct ('caller', 0, 'blocks', 0, 'schur', 0);
  if (~C.blas_threads)
    return;
  end
  threads.caller = blas_threads ();
  if (threads.caller == 0)
    return;
  end
  threads.blocks = threads.caller;
  if (max ([0, cellfun(@numel, {P.blk.idx})]) < C.thread_order)
    threads.blocks = 1;
  end
  dense = any (cellfun (@(k) strcmp (k.method, 'dense'), K));
  from = C.thread_order;
  if (threads.blocks == 1 && ~dense)
    from = max (from, C.factor_order);
  end
  threads.schur = threads.blocks;
  if (P.n >= from)
    threads.schur = threads.caller;
  end
end

%!test
%! % one thread for blocks of low order; M's formation and factor on the
%! % caller's from thread_order on where a block forms its part by dense
%! % products or a block takes the caller's threads, and otherwise from
%! % factor_order on; nothing where blas_threads is not at hand
%! C = struct ('blas_threads', exist ('blas_threads') == 3, 'thread_order', 400, ...
%!             'factor_order', 600);
%! P = struct ('n', 500, 'blk', struct ('idx', {1:19, 1:30}), 'diag', struct ('idx', 1:900));
%! K = {struct('method', 'joint'), struct('method', 'sdp_schur')};
%! Kd = {struct('method', 'joint'), struct('method', 'dense')};
%! if (C.blas_threads && blas_threads () > 0)
%!   b = blas_threads ();
%!   t = thread_plan (P, K, C);
%!   assert ([t.caller, t.blocks, t.schur], [b, 1, 1]);
%!   t = thread_plan (P, Kd, C);
%!   assert ([t.caller, t.blocks, t.schur], [b, 1, b]);
%!   P.n = 600;
%!   t = thread_plan (P, K, C);
%!   assert (t.schur, b);
%!   P.n = 399;
%!   t = thread_plan (P, Kd, C);
%!   assert (t.schur, 1);
%!   [P.n, P.blk(2).idx] = deal (500, 1:400);
%!   t = thread_plan (P, K, C);
%!   assert ([t.blocks, t.schur], b * [1 1]);
%! end
%! C.blas_threads = false;
%! t = thread_plan (P, K, C);
%! assert ([t.caller, t.blocks, t.schur], [0 0 0]);
