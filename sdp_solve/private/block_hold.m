function X = block_hold (P, X)
% each block of X held as the solver holds it: a group of small blocks as
% a sparse matrix, any other block full
  grouped = ~cellfun ('isempty', reshape ({P.blk.members}, size (X.b)));
  X.b(~grouped) = cellfun (@full, X.b(~grouped), 'UniformOutput', false);
  X.b(grouped) = cellfun (@sparse, X.b(grouped), 'UniformOutput', false);
end
