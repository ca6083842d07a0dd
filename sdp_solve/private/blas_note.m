function note = blas_note (blas)
% A line for the head of sdp_solve's table when the BLAS in the process,
% as version ('-blas') names it, runs slow kernels it could leave: a
% DYNAMIC_ARCH OpenBLAS that does not know the processor falls back on
% its oldest x86-64 kernels, Prescott's, whatever the processor can do
% (Debian 12's OpenBLAS 0.3.21 on Intel's Xeon of family 6, model 207:
% products of order 2000 five times as slow as by its SkylakeX kernels).
% The kernels are chosen when the library loads, so only the environment
% Octave starts in can change them. Empty otherwise; lines apart by \n.
  note = '';
  if (nargin < 1)
    try
      blas = version ('-blas');
    catch
      return;
    end
  end
  if (ischar (blas) && ~isempty (regexp (blas, 'OpenBLAS.*\<Prescott\>', 'once')))
    note = sprintf (['OpenBLAS runs its generic Prescott kernels on this processor; its dense\n' ...
                     'steps run several times as fast when Octave starts with the variable\n' ...
                     'OPENBLAS_CORETYPE=SkylakeX (AVX-512) or Haswell (AVX2) in its environment']);
  end
end

%!test
%! % the fall-back named, and the kernels OpenBLAS chose for the processor not
%! note = blas_note ('OpenBLAS (config: OpenBLAS 0.3.21 NO_LAPACKE DYNAMIC_ARCH NO_AFFINITY Prescott MAX_THREADS=64)');
%! assert (~isempty (strfind (note, 'OPENBLAS_CORETYPE=SkylakeX')));
%! assert (blas_note ('OpenBLAS (config: OpenBLAS 0.3.21 NO_LAPACKE DYNAMIC_ARCH NO_AFFINITY Haswell MAX_THREADS=64)'), '');
%! assert (blas_note ('Intel(R) Math Kernel Library Version 2023.0.1'), '');
%! assert (blas_note ('Prescott-tuned reference BLAS'), '');
%! assert (ischar (blas_note ()));
