function threads = thread_plan (P, C)
% The BLAS threads of a solve: caller, the count the caller's BLAS uses
% (0 where blas_threads is not at hand or cannot set it); blocks, the
% count for the blocks' algebra, one when all the blocks are of lower
% order than thread_order (the diagonal part's arithmetic is
% elementwise); schur, the count for the Schur complement's
% formation and factor, all of the caller's from that order on
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
  threads.schur = threads.blocks;
  if (P.n >= C.thread_order)
    threads.schur = threads.caller;
  end
end

%!test
%! % one thread for blocks of low order, the caller's for M from
%! % thread_order on, and nothing where blas_threads is not at hand
%! C = struct ('blas_threads', exist ('blas_threads') == 3, 'thread_order', 400);
%! P = struct ('n', 500, 'blk', struct ('idx', {1:19, 1:30}), 'diag', struct ('idx', 1:900));
%! t = thread_plan (P, C);
%! if (C.blas_threads && blas_threads () > 0)
%!   assert ([t.caller, t.blocks, t.schur], [blas_threads(), 1, blas_threads()]);
%!   P.n = 399;
%!   t = thread_plan (P, C);
%!   assert (t.schur, 1);
%!   P.blk(2).idx = 1:400;
%!   t = thread_plan (P, C);
%!   assert ([t.blocks, t.schur], blas_threads () * [1 1]);
%! end
%! C.blas_threads = false;
%! t = thread_plan (P, C);
%! assert ([t.caller, t.blocks, t.schur], [0 0 0]);
