function ok = run_suite (varargin)
%RUN_SUITE run the Octave tests of the named functions and files.
%   ok = run_suite('zandrel', ...) runs `test` on each name, prints
%   "octave: N passed, N failed", and is true when all passed. A name
%   with a folder (a function of a private folder) is tested from inside
%   that folder, where its neighbours can be called.
  passed = 0;
  failed = 0;
  for k = 1:numel (varargin)
    [folder, name] = fileparts (varargin{k});
    if (isempty (folder))
      [n, nmax] = test (name, 'quiet', stdout);
    else
      back = cd (folder);
      [n, nmax] = test (name, 'quiet', stdout);
      cd (back);
    end
    printf ('%-20s %d of %d\n', varargin{k}, n, nmax);
    if (nmax == 0)
      printf ('  no tests found for %s\n', varargin{k});
      failed += 1;
    end
    passed += n;
    failed += nmax - n;
  end
  printf ('octave: %d passed, %d failed\n', passed, failed);
  ok = failed == 0;
end
