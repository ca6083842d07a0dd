%HELP_TEXTS every function's help text, as `help` shows it, and its
% example, run as written.

%!test
%! for name = {'kovalin', 'brisset', 'zandrel', 'sdp_schur', 'blas_threads', 'sdp_chol', 'build_modules', 'read_sdpa', 'sdplib_file', 'sdplib_value', 'sdp_solve', 'sdp_example', 'kernels_example'}
%!   text = evalc (sprintf ('help %s', name{1}));
%!   assert (! isempty (regexp (text, ['\n\s*' upper(name{1}) ' \S'], 'once')), [name{1} ': H1 line']);
%!   assert (! isempty (strfind (text, 'Example:')), [name{1} ': Example']);
%!   assert (! isempty (strfind (text, 'See also')), [name{1} ': See also']);
%! end
%!test
%! % the modules are called, not their help files
%! for name = {'kovalin', 'brisset', 'zandrel', 'sdp_schur', 'blas_threads', 'sdp_chol'}
%!   assert (! isempty (regexp (which (name{1}), '\.mex$', 'once')), name{1});
%! end
%!test
%! for name = {'kovalin', 'brisset', 'zandrel', 'sdp_schur', 'blas_threads', 'sdp_chol', 'read_sdpa', 'sdplib_file', 'sdplib_value'}
%!   text = get_help_text (name{1});
%!   block = regexp (text, 'Example:\n(.*?)\n\s*\n', 'tokens', 'once'){1};
%!   code = regexprep (block, '(^|\n)\s*', '$1');
%!   evalc (code);   % runs, or the test fails with its error
%! end
