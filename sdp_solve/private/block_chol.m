function [R, ok] = block_chol (X)
% the Cholesky factors of a block-diagonal matrix's blocks; ok is false
% when a block, or the diagonal part, is not positive definite
  R = cell (1, numel (X.b));
  ok = all (X.d > 0);
  if (~ok || isempty (X.b))
    return;
  end
  % every block by one cellfun, which takes no statement of Octave's own
  % for each; a block that is not positive definite leaves ok false (the
  % others are factored all the same)
  [R, p] = cellfun (@chol, reshape (X.b, 1, []), 'UniformOutput', false);
  ok = all ([p{:}] == 0);
end
