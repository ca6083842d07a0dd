function Fstack = block_stack (blk, T)
% Fstack = [F{1}(:) ... F{k}(:)] of a block of split_problem, sparse, as
% split_problem gave it, or from the entries T of its F{i} (the block's
% own, or entries_of's, when not given)
  Fstack = blk.Fstack;
  if (~isempty (Fstack))
    return;
  end
  if (nargin < 2 && isfield (blk, 'T') && ~isempty (blk.T))
    T = blk.T;
  elseif (nargin < 2)
    T = entries_of (blk.F);
  end
  m = numel (blk.idx);
  Fstack = sparse (T.r + (T.c - 1) * m, T.owner, T.v, m * m, numel (blk.F));
end
