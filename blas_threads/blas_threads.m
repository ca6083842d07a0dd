%BLAS_THREADS the number of threads of the optimised BLAS, read or set.
%   n = blas_threads() returns the number of threads that the optimised
%   BLAS loaded in this process uses now for its products and factors, or
%   0 when the process holds no BLAS whose threads blas_threads knows how
%   to set.
%
%   old = blas_threads(n) sets that number to n and returns the number
%   before the call: 0, and nothing set, when there is no such BLAS. n is
%   a real double scalar, not sparse, holding a whole number from 1 to
%   4096; anything else is an error, which leaves the number as it was.
%   A BLAS may take fewer threads than asked (OpenBLAS at most the number
%   it was built for, MAX_THREADS in Octave's version('-blas')), and
%   blas_threads() then returns the number it took.
%
%   The BLAS it knows are OpenBLAS, by its functions
%   openblas_get_num_threads and openblas_set_num_threads, and Intel MKL,
%   by MKL_Get_Max_Threads and MKL_Set_Num_Threads, looked for in that
%   order among the libraries the process has loaded, both functions of
%   a pair in one library; it never loads a library itself. On Linux and
%   macOS it looks among the process's global symbols, on Windows in each
%   of its modules. It looks at its first call after it is loaded, and
%   keeps what it found until it is cleared (clear blas_threads).
%
%   Small dense operations can be slower on several threads than on one:
%   on 2 cores with OpenBLAS, eig of a symmetric matrix of order 19 took
%   68 us on 2 threads and 15 us on one, while large products and factors
%   gain from every thread. A caller such as sdp_solve runs its small
%   dense steps on one thread and its large ones on all, and leaves the
%   number as it found it, as the example does.
%
%   Example:
%      old = blas_threads(1);        % 0 where there is no such BLAS
%      A = magic(19); [V, D] = eig(A + A');   % on one thread
%      if old > 0, blas_threads(old); end
%
%   See also sdp_solve, sdp_schur, nproc.

function n = blas_threads (varargin)
  error ('blas_threads: the compiled module is missing: run build_modules');
end

%!test
%! % with Debian's OpenBLAS as Octave's BLAS (libopenblas0-pthread, which
%! % the set-up scripts install) there are threads to set; with another
%! % BLAS there may be none, and then every call answers 0
%! n = blas_threads ();
%! assert (isa (n, 'double') && isreal (n) && isscalar (n) && n == fix (n) && n >= 0);
%! if (strncmp (version ('-blas'), 'OpenBLAS', 8))
%!   assert (n >= 1);
%! end
%! on = double (n > 0);
%! unwind_protect
%!   assert (blas_threads (1), n);
%!   assert (blas_threads (), on);
%!   assert (blas_threads (2), on);
%!   assert (blas_threads (), 2 * on);
%!   blas_threads ();   % a statement: the number is ans
%!   assert (ans, 2 * on);
%! unwind_protect_cleanup
%!   if (n > 0)
%!     blas_threads (n);
%!   end
%! end_unwind_protect
%! assert (blas_threads (), n);
%!test
%! % every bad n is refused with the message, and leaves the number as it was
%! n = blas_threads ();
%! for bad = {0, -1, 1.5, 4097, 1e300, NaN, Inf, -Inf, 2i, complex(2, 0), ...
%!            single(2), int32(2), true, '2', sparse(2), [], [2 2], {2}}
%!   try
%!     blas_threads (bad{1});
%!     msg = 'accepted';
%!   catch err
%!     msg = err.message;
%!   end
%!   assert (msg, 'blas_threads: Error: Input 1 is expected to be a whole number from 1 to 4096');
%!   assert (blas_threads (), n);
%! end
%!error <Expecting at most one input argument> blas_threads (1, 2)
%!error <Expecting one output argument> [a, b] = blas_threads ()
