function rows = root_rows (P)
% The rows of each block in the square root of the Schur complement
% (schur_root): the upper triangle of a block of its own, q*(q+1)/2, and
% its members' entries for a group
  rows = zeros (1, numel (P.blk));
  for k = 1:numel (P.blk)
    q = numel (P.blk(k).idx);
    if (isempty (P.blk(k).members))
      rows(k) = q * (q + 1) / 2;
    else
      rows(k) = sum (P.blk(k).members .^ 2);
    end
  end
end
