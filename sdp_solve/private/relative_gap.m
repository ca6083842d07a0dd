function g = relative_gap (pobj, dobj, ZY)
% The gap of an iterate: the larger of |pobj - dobj| and Z.Y over the
% mean of the objectives' sizes (at least 1). Where Y's equalities are
% short and x is large, pobj - dobj differs from Z.Y by x'*(c - F{i}.Y),
% and neither alone bounds the distance to the optimum
  g = max (abs (pobj - dobj), ZY) / max (1, (abs (pobj) + abs (dobj)) / 2);
end
