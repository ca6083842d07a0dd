function outdir = build_modules (outdir)
%BUILD_MODULES compile the modules and sdp_solve's routines for the running host.
%   build_modules compiles the three modules (kovalin, brisset, zandrel)
%   and sdp_schur, blas_threads and sdp_chol, the compiled routines of
%   sdp_solve, for the host that runs it, Octave through mkoctfile --mex
%   or MATLAB through mex, with contraction of products and sums into
%   fused multiply-adds turned off. It puts them in the folder build/octave or
%   build/matlab of the source tree, beside their help files and
%   Contents.m, and reports what it built and where. It can be run from
%   any current folder.
%
%   build_modules(outdir) puts them in outdir instead.
%   outdir = build_modules(...) also returns the folder.
%
%   Example:
%      d = build_modules;
%      addpath (d);
%      help kovalin
%
%   See also kovalin, brisset, zandrel, sdp_schur, blas_threads, sdp_chol.

  root = fileparts (mfilename ('fullpath'));
  in_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  if (in_octave)
    host = 'octave';
  else
    host = 'matlab';
  end
  if (nargin < 1 || isempty (outdir))
    outdir = fullfile (root, 'build', host);
  end
  if (~exist (outdir, 'dir'))
    mkdir (outdir);
  end
  include = ['-I' fullfile(root, 'host')];
  names = {'kovalin', 'brisset', 'zandrel', 'sdp_schur', 'blas_threads', 'sdp_chol'};
  for k = 1:numel (names)
    name = names{k};
    source = fullfile (root, name, [name '.cpp']);
    if (in_octave)
      target = fullfile (outdir, [name '.mex']);
      flags = getenv ('CXXFLAGS');
      setenv ('CXXFLAGS', [mkoctfile('-p', 'CXXFLAGS') ' -ffp-contract=off']);
      [output, status] = mkoctfile ('--mex', include, source, '-o', target);
      setenv ('CXXFLAGS', flags);
      if (status ~= 0)
        error ('build_modules: mkoctfile failed for %s:\n%s', name, output);
      end
    else
      target = fullfile (outdir, [name '.' mexext]);
      if (ispc && ~isempty (strfind (lower (mex.getCompilerConfigurations ('C++', 'Selected').ShortName), 'msvc')))
        flags = 'COMPFLAGS=$COMPFLAGS /fp:precise';
      else
        flags = 'CXXFLAGS=$CXXFLAGS -ffp-contract=off';
      end
      libs = {};
      if (any (strcmp (name, {'blas_threads', 'sdp_chol'})) && isunix && ~ismac)
        libs = {'-ldl'};   % dlsym, which mex's --no-undefined wants linked
      elseif (strcmp (name, 'sdp_schur') && isunix && ~ismac)
        libs = {'-lpthread'};   % its threads, before glibc 2.34 not in libc
      end
      mex ('-silent', include, flags, '-outdir', outdir, source, libs{:});
    end
    copyfile (fullfile (root, name, [name '.m']), outdir);
    fprintf ('built %s\n', target);
  end
  copyfile (fullfile (root, 'Contents.m'), outdir);
  fprintf ('with their help files in %s\n', outdir);
  fprintf ('to use them: addpath (''%s'')\n', outdir);
end
