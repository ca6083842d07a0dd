function [F, F0, c, blocks] = read_sdpa (file)
%READ_SDPA read a semidefinite program in SDPA sparse format (.dat-s).
%   [F, F0, c, blocks] = read_sdpa(file) reads the problem
%
%      minimize c'*y  subject to  y(1)*F{1} + ... + y(n)*F{n} - F0 >= 0
%
%   and returns its constraint matrices F{1} .. F{n} as a 1-by-n cell array
%   of sparse symmetric matrices, F0 as a sparse matrix, the n-by-1 cost
%   vector c, and the block sizes (a negative size is a diagonal block).
%   Every matrix is of order sum(abs(blocks)), its blocks laid along the
%   diagonal.
%
%   The file lists, after any comment lines that start with " or *, the
%   number n of matrices, the number of blocks, the block sizes, c, and one
%   line "matno blkno i j value" per entry of the upper triangle. An entry
%   of the lower triangle stands for its mirror image, and an entry given
%   twice (or both (i,j) and (j,i)) is the sum of its values.
%
%   Example:
%      [F, F0, c] = read_sdpa(sdplib_file('truss1'));
%      numel(F)          % 6 constraint matrices
%      full(F{1})        % each of order 13
%
%   See also sdp_solve, sdplib_file, kovalin, brisset, zandrel.

  if (~ischar (file) || size (file, 1) > 1)
    error ('read_sdpa: expected the name of a file');
  end
  if (exist (file, 'dir') == 7)
    error ('read_sdpa: %s is a directory, not a file', file);
  end
  fid = fopen (file, 'r');
  if (fid < 0)
    error ('read_sdpa: no file %s', file);
  end
  body = fread (fid, Inf, 'uint8=>char').';
  fclose (fid);
  % bytes beyond ASCII (an accented name in a comment, a file of another
  % encoding) become spaces: no number holds one, and the text functions
  % below take only valid UTF-8
  body(double (body) > 127) = ' ';
  % the comment lines at the head: everything before the first line
  % whose first character that is not blank is not " or *. (One match of
  % a repeated group over all of them, as before, took Octave's stack
  % with it from about 4500 lines.)
  first = regexp (body, '^[ \t\r\f\v]*[^"* \t\r\n\f\v]', 'once', 'lineanchors');
  if (isempty (first))
    body = '';
  else
    body = body(first:end);
  end
  body = regexprep (body, '=[^\n]*', ' ');   % "=mdim" and the like
  body(ismember (body, ',(){}')) = ' ';
  [nums, count, msg] = sscanf (body, '%f');
  if (~isempty (msg) || count < 2)
    error ('read_sdpa: %s is not in SDPA sparse format', file);
  end

  n = nums(1);
  nblocks = nums(2);
  if (n < 0 || n ~= fix (n) || nblocks < 1 || nblocks ~= fix (nblocks) || count < 2 + nblocks + n)
    error ('read_sdpa: %s is not in SDPA sparse format', file);
  end
  blocks = nums(3:2+nblocks).';
  c = nums(3+nblocks:2+nblocks+n);
  entries = nums(3+nblocks+n:end);
  bad = find (~isfinite (blocks) | blocks == 0 | blocks ~= fix (blocks), 1);
  if (~isempty (bad))
    error ('read_sdpa: %s gives block %d the size %g, not a nonzero whole number', ...
           file, bad, blocks(bad));
  end
  % an order Octave's indices do not reach (each matrix of order m takes
  % m + 1 column starts, and the n + 1 of them 8*(n + 1)*(m + 1) bytes)
  if (sum (abs (blocks)) > intmax ('int32') - 1)
    error ('read_sdpa: %s gives matrices of order %g, beyond what can be indexed', ...
           file, sum (abs (blocks)));
  end
  if (mod (numel (entries), 5))
    error ('read_sdpa: %s is truncated', file);
  end
  entries = reshape (entries, 5, []).';
  if (any (entries(:,1) < 0 | entries(:,1) > n | entries(:,1) ~= fix (entries(:,1))) || ...
      any (entries(:,2) < 1 | entries(:,2) > nblocks | entries(:,2) ~= fix (entries(:,2))))
    error ('read_sdpa: %s names a matrix or block that it does not have', file);
  end

  offset = cumsum ([0, abs(blocks)]);
  order = offset(end);
  mat = entries(:,1);
  kind = reshape (blocks(entries(:,2)), [], 1);   % each entry's block size
  size_ = abs (kind);
  if (any (entries(:,3) < 1 | entries(:,3) > size_ | entries(:,4) < 1 | entries(:,4) > size_ | ...
           entries(:,3) ~= fix (entries(:,3)) | entries(:,4) ~= fix (entries(:,4))) || ...
      any (kind < 0 & entries(:,3) ~= entries(:,4)))
    error ('read_sdpa: %s has an entry outside its block', file);
  end
  base = reshape (offset(entries(:,2)), [], 1);
  row = base + entries(:,3);
  col = base + entries(:,4);
  val = entries(:,5);
  % both triangles: the entries off the diagonal are mirrored
  off = row ~= col;
  mat = [mat; mat(off)];
  [row, col] = deal ([row; col(off)], [col; row(off)]);
  val = [val; val(off)];

  [mat, by] = sort (mat);
  row = row(by); col = col(by); val = val(by);
  % the runs of one matrix (none in a file of no entries)
  last = [find(diff (mat)); numel(mat)];
  last = last(last > 0);
  start = [1; last(1:end-1) + 1];
  start = start(1:numel (last));
  F = repmat ({sparse(order, order)}, 1, n);
  F0 = sparse (order, order);
  for b = 1:numel (start)
    k = start(b):last(b);
    S = sparse (row(k), col(k), val(k), order, order);
    if (mat(start(b)) == 0)
      F0 = S;
    else
      F{mat(start(b))} = S;
    end
  end
end

%!test
%! [F, F0, c, blocks] = read_sdpa (sdplib_file ('truss1'));
%! assert (numel (F), 6);
%! assert (blocks, [2 2 2 2 2 2 1]);
%! assert (c.', [-1 0 -2 0 0 0]);
%! assert (size (F0), [13 13]);
%! assert (full (F0(13,13)), -1);
%! assert (full (F{2}(3,4)), -1.000000999999999918);   % block 2 starts at row 3
%! assert (issymmetric (F{2}));
%! assert (full (F{6}(13,13)), 1);
%!test
%! f = [tempname() '.dat-s'];
%! fid = fopen (f, 'w');
%! fprintf (fid, '"a comment\n* another\n2 =mdim\n2\n{2, -1}\n(1.0, 2.0)\n1 1 1 2 3.5\n2 2 1 1 -4\n0 1 2 2 7\n');
%! fclose (fid);
%! [F, F0, c, blocks] = read_sdpa (f);
%! delete (f);
%! assert (blocks, [2 -1]);
%! assert (c, [1; 2]);
%! assert (full (F{1}), [0 3.5 0; 3.5 0 0; 0 0 0]);
%! assert (full (F{2}), [0 0 0; 0 0 0; 0 0 -4]);
%! assert (full (F0), [0 0 0; 0 7 0; 0 0 0]);
%!error <not in SDPA sparse format> read_sdpa (which ('read_sdpa.m'))
%!function f = write_file (text)
%! f = fullfile (tempdir (), 'read_sdpa_test.dat-s');
%! fid = fopen (f, 'w');
%! fputs (fid, sprintf (text));
%! fclose (fid);
%!endfunction
%!error <outside its block> read_sdpa (write_file ('1\n1\n2\n1\n1 1 1 3 1\n'))
%!error <outside its block> read_sdpa (write_file ('1\n1\n-2\n1\n1 1 1 2 1\n'))
%!error <does not have> read_sdpa (write_file ('1\n1\n2\n1\n2 1 1 1 1\n'))
%!error <truncated> read_sdpa (write_file ('1\n1\n2\n1\n1 1 1 1\n'))
%!error <no file> read_sdpa ('/nonexistent/problem.dat-s')
%!error <not a nonzero whole number> read_sdpa (write_file ('1\n2\n2 0\n1\n1 1 1 1 1\n'))
%!error <not a nonzero whole number> read_sdpa (write_file ('1\n1\n2.5\n1\n1 1 1 1 1\n'))
%!error <not a nonzero whole number> read_sdpa (write_file ('1\n1\nInf\n1\n1 1 1 1 1\n'))
%!error <beyond what can be indexed> read_sdpa (write_file ('1\n1\n-1e10\n1\n1 1 1 1 1\n'))
%!error <is a directory> read_sdpa (tempdir ())
%!error <expected the name of a file> read_sdpa ({'truss1.dat-s'})
%!test
%! % thousands of comment lines at the head (about 4500 had taken Octave
%! % down in one match of them all), a comment in another encoding than
%! % UTF-8, and a file of no entries: every matrix zero
%! head = repmat ('" a comment line\n', 1, 6000);
%! [F, F0, c] = read_sdpa (write_file ([head '"Probl\350me\n1\n1\n2\n3\n0 1 1 2 -1\n1 1 2 2 1\n']));
%! assert (full (F{1}), [0 0; 0 1]);
%! assert (full (F0), [0 -1; -1 0]);
%! assert (c, 3);
%! [F, F0, c] = read_sdpa (write_file ('2\n1\n2\n1 1\n'));
%! assert (numel (F), 2);
%! assert (nnz (F{1}) + nnz (F{2}) + nnz (F0), 0);
