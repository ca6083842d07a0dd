function file = sdplib_file (name)
%SDPLIB_FILE the file of an SDPLIB problem that comes with sdp_solve.
%   file = sdplib_file(name) is the full name of the SDPA file of the
%   SDPLIB problem name (for example 'truss1'), in the data folder that
%   comes with the source tree or the package. When the environment
%   variable SDPLIB_DIR names a folder, the file is taken from there
%   instead, so that a fuller copy of SDPLIB can be used.
%
%   folder = sdplib_file() is that folder.
%
%   Example:
%      [F, F0, c] = read_sdpa(sdplib_file('truss1'));
%      numel(F)          % 6 constraint matrices
%
%   See also read_sdpa, sdplib_value, sdp_solve.

  folder = getenv ('SDPLIB_DIR');
  if (isempty (folder))
    here = fileparts (mfilename ('fullpath'));
    folder = fullfile (here, 'data');              % installed package
    if (~exist (folder, 'dir'))
      folder = fullfile (fileparts (here), 'data');  % source tree
    end
  end
  if (nargin < 1)
    file = folder;
    return;
  end
  file = fullfile (folder, [name '.dat-s']);
  if (~exist (file, 'file'))
    error ('sdplib_file: no SDPLIB problem %s in %s', name, folder);
  end
end

%!test
%! assert (exist (sdplib_file ('truss1'), 'file'), 2);
%! assert (numel (dir (fullfile (sdplib_file (), '*.dat-s'))) >= 26);
%!error <no SDPLIB problem nosuch> sdplib_file ('nosuch')
