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
%   line "matno blkno i j value" per entry of the upper triangle.
%
%   Example:
%      [F, F0, c] = read_sdpa(sdplib_file('truss1'));
%      numel(F)          % 6 constraint matrices
%      full(F{1})        % each of order 13
%
%   See also sdp_solve, sdplib_file, kovalin, brisset, zandrel.

  if (~ischar (file) || ~exist (file, 'file'))
    error ('read_sdpa: no file %s', num2str (file));
  end
  % the comment lines at the head, dropped by one match: splitting the
  % whole file into lines costs far more than reading it
  body = fileread (file);
  [~, head] = regexp (body, '^(\s*["*][^\n]*(\n|$))+', 'once');
  if (~isempty (head))
    body = body(head+1:end);
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
  if (mod (numel (entries), 5) || any (blocks == 0 | blocks ~= fix (blocks)))
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
  last = [find(diff (mat)); numel(mat)];
  start = [1; last(1:end-1) + 1];
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
