function [u, d] = rank_one (B)
% u and d with B = u*u'/d exactly, for a full symmetric B, found by
% B(r,s)*B(t,t) = B(r,t)*B(t,s) for all r and s, with t the place of
% B's largest diagonal entry: u = B(:,t) and d = B(t,t); u empty where B
% is not so
  u = [];
  d = 0;
  [~, t] = max (abs (diag (B)));
  if (~isempty (t) && B(t, t) ~= 0 && isequal (B * B(t, t), B(:, t) * B(t, :)))
    u = B(:, t);
    d = B(t, t);
  end
end

%!test
%! % integers over 8, so that the test holds exactly; a rank-two matrix, a
%! % rank-one matrix with a zero diagonal's place first, and zeros are not
%! v = mod ((1:7).', 5) - 2;
%! [u, d] = rank_one (v * v.' / 8);
%! assert (u * u.' / d, v * v.' / 8);
%! assert (isempty (rank_one (v * v.' + diag (1:7))));
%! assert (isempty (rank_one (zeros (3))));
%! [u, d] = rank_one ([0 0; 0 4]);
%! assert ([u; d], [0; 4; 4]);
