function message = stalled (stall, ZY, pobj, dobj, C)
% Why the iteration stops after stall iterations without progress, or ''
% when it goes on: after no_progress of them, or after no_progress_apart
% where the iterate's gap is at least apart times its relative
% complementarity Z.Y/(1 + |pobj| + |dobj|), the objectives held apart by
% what Z.Y's decrease does not narrow. The gap is the larger of
% |pobj - dobj| and Z.Y over the same scale, so that is |pobj - dobj| at
% least apart times Z.Y.
  message = '';
  apart = abs (pobj - dobj) >= C.apart * ZY;
  if (stall >= C.no_progress || apart && stall >= C.no_progress_apart)
    message = sprintf ('no progress in the last %d iterations', stall);
    if (stall < C.no_progress)
      message = [message, ', the objectives apart beyond Z.Y'];
    end
  end
end

%!test
%! % qap8's stall (gap 5.3e-6, Z.Y 3.5e-6 at objectives near -757) ends
%! % after two iterations; one whose gap is all Z.Y (0.22, Z.Y 33 at
%! % objectives near 76, as hinf9's, which the iterations narrow) only
%! % after five
%! C = solver_constants ();
%! assert (stalled (1, 3.5e-6, -756.947, -756.939, C), '');
%! assert (stalled (2, 3.5e-6, -756.947, -756.939, C), ...
%!         'no progress in the last 2 iterations, the objectives apart beyond Z.Y');
%! assert (stalled (4, 33, 77, 75, C), '');
%! assert (stalled (5, 33, 77, 75, C), 'no progress in the last 5 iterations');
%! % at the ratio's edge: apart times Z.Y stops, a little less does not
%! assert (~isempty (stalled (2, 1e-3, C.apart * 1e-3, 0, C)));
%! assert (isempty (stalled (2, 1e-3, 0.99 * C.apart * 1e-3, 0, C)));
