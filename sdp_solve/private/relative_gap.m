function g = relative_gap (pobj, dobj, ZY)
% The gap of an iterate: the larger of |pobj - dobj| and Z.Y over
% 1 + |pobj| + |dobj|, as the DIMACS measures of the gap and of the
% complementarity divide them. Where Y's equalities are short and x is
% large, pobj - dobj differs from Z.Y by x'*(c - F{i}.Y), and neither
% alone bounds the distance to the optimum
  g = max (abs (pobj - dobj), ZY) / (1 + abs (pobj) + abs (dobj));
end
