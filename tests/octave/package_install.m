%PACKAGE_INSTALL the package archive installs with pkg into a temporary
% prefix, loads, gives the same results as the built modules, documents
% and tests its functions, and uninstalls.

%!function X = chol_solve (M, B)
%!  % B solved with M's factor kept by sdp_chol, which then lets it go
%!  sdp_chol ('factor', M);
%!  X = sdp_chol ('solve', B);
%!  sdp_chol ('release');
%!endfunction

%!test
%! root = fileparts (fileparts (fileparts (which ('package_install'))));
%! work = tempname ();
%! mkdir (work);
%! [old_prefix, old_arch] = pkg ('prefix');
%! old_list = pkg ('local_list');
%! A = [1 2; 2 3]; B = sparse ([2 0; 0 1]); C = ones (2); D = sparse ([0 1; 1 0]);
%! F = {B, D, speye(2)};
%! before = {kovalin([1 2 3], F), kovalin([1 2 3], F, -1), brisset(A, B, C, F), zandrel(A, B, C, D), sdp_schur(F, A, C, [2 3]), blas_threads(), chol_solve(A + 2 * eye (2), C)};
%! unwind_protect
%!   [status, archive] = system (sprintf ('"%s" "%s"', fullfile (root, 'scripts', 'octave-package.sh'), work));
%!   assert (status, 0, archive);
%!   archive = strtrim (archive);
%!   pkg ('prefix', work, work);
%!   pkg ('local_list', fullfile (work, 'octave_packages'));
%!   pkg ('install', archive);
%!   pkg ('load', 'sdpkernels');
%!   assert (strncmp (which ('kovalin'), work, numel (work)));
%!   after = {kovalin([1 2 3], F), kovalin([1 2 3], F, -1), brisset(A, B, C, F), zandrel(A, B, C, D), sdp_schur(F, A, C, [2 3]), blas_threads(), chol_solve(A + 2 * eye (2), C)};
%!   assert (isequal (before, after));
%!   assert (! isempty (strfind (evalc ('help brisset'), 'BRISSET')));
%!   for name = {'zandrel', 'sdp_schur', 'blas_threads', 'sdp_chol'}
%!     assert (! isempty (strfind (evalc (['help ' name{1}]), upper (name{1}))));
%!     [n, nmax] = test (name{1}, 'quiet', stdout);
%!     assert (n, nmax);
%!     assert (nmax > 0);
%!   end
%!   % the solver and the problems that come with it
%!   assert (strncmp (which ('sdp_solve'), work, numel (work)));
%!   [~, ~, info] = sdp_solve (sdplib_file ('truss1'), struct ('verbose', false));
%!   assert (info.status, 'solved');
%!   assert (info.pobj, sdplib_value ('truss1'), 1e-6);
%!   pkg ('unload', 'sdpkernels');
%!   pkg ('uninstall', 'sdpkernels');
%!   assert (isempty (pkg ('list', 'sdpkernels')));
%! unwind_protect_cleanup
%!   pkg ('prefix', old_prefix, old_arch);
%!   if (exist (old_list, 'file'))
%!     pkg ('local_list', old_list);
%!   end
%!   confirm_recursive_rmdir (false, 'local');
%!   rmdir (work, 's');
%! end_unwind_protect
