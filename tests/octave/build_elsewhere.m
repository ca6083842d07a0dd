%BUILD_ELSEWHERE build_modules compiles the modules from another
% current folder into a folder of one's choosing, with their help files.

%!function X = chol_solve (M, B)
%!  % B solved with M's factor kept by sdp_chol, which then lets it go
%!  sdp_chol ('factor', M);
%!  X = sdp_chol ('solve', B);
%!  sdp_chol ('release');
%!endfunction

%!test
%! here = pwd ();
%! out = tempname ();
%! unwind_protect
%!   cd (tempdir ());
%!   evalc ('d = build_modules (out);');
%!   assert (d, out);
%!   for f = {'kovalin.mex', 'brisset.mex', 'zandrel.mex', 'sdp_schur.mex', 'sdp_schur.m', 'blas_threads.mex', 'blas_threads.m', 'sdp_chol.mex', 'sdp_chol.m', 'Contents.m'}
%!     assert (isfile (fullfile (out, f{1})), f{1});
%!   end
%!   A = [1 2; 2 3]; B = sparse ([2 0; 0 1]); C = ones (2); D = sparse ([0 1; 1 0]);
%!   before = {kovalin([1 2], {B, D}), brisset(A, B, C, {D, B}), zandrel(A, B, C, D), sdp_schur({B, D}, A, C), blas_threads(), chol_solve(A + 2 * eye (2), C)};
%!   addpath (out);
%!   assert (strcmp (fileparts (which ('zandrel')), out));
%!   after = {kovalin([1 2], {B, D}), brisset(A, B, C, {D, B}), zandrel(A, B, C, D), sdp_schur({B, D}, A, C), blas_threads(), chol_solve(A + 2 * eye (2), C)};
%!   assert (isequal (before, after));
%! unwind_protect_cleanup
%!   rmpath (out);
%!   cd (here);
%!   confirm_recursive_rmdir (false, 'local');
%!   rmdir (out, 's');
%! end_unwind_protect
