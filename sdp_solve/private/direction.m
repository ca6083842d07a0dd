function [dx, dZ, dY, short] = direction (S, Rc, mend)
% The HKM direction for the complementarity right-hand side Rc (empty for
% zero): dZ = dx(1)*F{1} + ... + dx(n)*F{n} + P, F{i}.dY = d(i) =
% c(i) - F{i}.Y and Z*dY + dZ*Y = Rc - Z*Y with dY symmetrized, so that
%   M*dx = (F{i}.(inv(Z)*(Rc - P*Y))) - c,
%   dY = inv(Z)*(Rc - dZ*Y) - Y.
% S holds the iteration's state: the problem P, its kernels K, the Schur
% complement M and its factor RM, W = inv(Z), Y, c, d, P = nu*P0 (Pnu),
% P*Y (PY; Pnu and PY empty for nu = 0) and the constants C. S.share,
% where S has it, is the share of d that the step removes: F{i}.dY =
% share*d(i), so that M*dx gains (1 - share)*d. With mend, rounding in
% inv(Z) that leaves F{i}.dY short of share*d(i) by more than mend_tol is
% mended: a change w of dx changes the F{i}.dY by -M*w. short is the norm
% of what is left short (computed when asked for).
  C = S.C;
  % G = Rc - P*Y, either term empty for zero; with both, the traces are
  % zeros, and 0 - c(i) is -c(i)
  G = Rc;
  if (~isempty (S.PY) && isempty (Rc))
    G = block_map (@(p) -p, @(p) -p, S.PY);
  elseif (~isempty (S.PY))
    G = block_map (@(r, p) r - p, @(r, p) r - p, Rc, S.PY);
  end
  if (isempty (G))
    rhs = -S.c;
  else
    rhs = block_traces (S.P, S.K, S.W, G) - S.c;
  end
  if (isfield (S, 'share') && S.share ~= 1)
    rhs = rhs + (1 - S.share) * S.d;
    S.d = S.share * S.d;
  end
  dx = solve_schur (S.M, S.RM, rhs, C);
  dZ = form_sum (S.P, S.K, dx);
  if (~isempty (S.Pnu))
    dZ = plus_p (dZ, S.Pnu);
    dY = dual_step (S, Rc, dZ, []);
  else
    dY = dual_step (S, Rc, dZ, dx);
  end
  short = 0;
  if (~mend)
    return;
  end
  r = S.d - block_traces (S.P, S.K, [], dY);
  short = norm (r);
  % through M's factor, one mend; through its square root's, which holds
  % M to working precision, as many as help
  steps = 1;
  if (isempty (S.M))
    steps = C.mend_steps;
  end
  for step = 1:steps
    if (short <= S.mend_tol)
      break;
    end
    w = -solve_schur (S.M, S.RM, r, C);
    Sw = form_sum (S.P, S.K, w);
    SwY = sum_times (S.P, S.K, w, Sw, S.Y, C);
    [dZ2, dY2] = deal (dZ, dY);
    dZ2.b = cellfun (@plus, dZ.b, Sw.b, 'UniformOutput', false);
    dY2.b = cellfun (@(d, w_, s) d - sym_part (w_ * s), dY.b, S.W.b, SwY.b, 'UniformOutput', false);
    dZ2.d = dZ.d + Sw.d;
    dY2.d = dY.d - S.W.d .* Sw.d .* S.Y.d;
    if (steps == 1 && nargout < 4)
      [dx, dZ, dY] = deal (dx + w, dZ2, dY2);
      break;
    end
    r2 = S.d - block_traces (S.P, S.K, [], dY2);
    % a further mend that leaves the direction shorter still is dropped:
    % the rounding of inv(Z)*dZ*Y has then outgrown what M's factor can
    % mend
    if (step > 1 && norm (r2) >= short)
      break;
    end
    [dx, dZ, dY, r, short] = deal (dx + w, dZ2, dY2, r2, norm (r2));
  end
end

function dZ = plus_p (dZ, Pnu)
  for k = 1:numel (dZ.b)
    dZ.b{k} = dZ.b{k} + Pnu.b{k};
  end
  dZ.d = dZ.d + Pnu.d;
end

function dY = dual_step (S, Rc, dZ, dx)
  % dY = inv(Z)*(Rc - dZ*Y) - Y, symmetrized; dx, where dZ is its sum
  % alone, lets sum_times form dZ*Y
  dZY = sum_times (S.P, S.K, dx, dZ, S.Y, S.C);
  % the blocks by cellfun (truss8's 33 blocks: a loop's statements cost
  % more than the blocks' products)
  if (isempty (Rc))
    dY.b = cellfun (@(w, g, y) sym_part (w * -g - y), S.W.b, dZY.b, S.Y.b, 'UniformOutput', false);
  else
    dY.b = cellfun (@(w, g, r, y) sym_part (w * (-g + r) - y), S.W.b, dZY.b, Rc.b, S.Y.b, ...
                    'UniformOutput', false);
  end
  if (isempty (Rc))
    dY.d = -S.W.d .* dZ.d .* S.Y.d - S.Y.d;
  else
    dY.d = S.W.d .* (Rc.d - dZ.d .* S.Y.d) - S.Y.d;
  end
end

%!test
%! % nu = 0: the direction without P's terms has the bits of the one with
%! % P = 0*P0 and its products, for the affine and the centred right-hand
%! % sides, on two blocks and a diagonal part
%! m = 9;
%! F = cell (1, 6);
%! for i = 1:6
%!   A = blkdiag (reshape (sin (i * (1:16)), 4, 4), reshape (cos (i * (1:9)), 3, 3), diag ([i, -1]));
%!   F{i} = sparse (A + A.');
%! end
%! [P, K, C] = test_problem (F);
%! G = reshape (cos (1:m*m), m, m);
%! Zf = G * G.' + eye (m);
%! Yf = inv (Zf) + eye (m);
%! Yf = (Yf + Yf.') / 2;
%! blocks = @(A) struct ('b', {cellfun(@(b) A(b.idx, b.idx), num2cell (P.blk), 'UniformOutput', false)}, ...
%!                       'd', diag (A(P.diag.idx, P.diag.idx)));
%! [Z, Y] = deal (blocks (Zf), blocks (Yf));
%! W = block_map (@inv, @(z) 1 ./ z, Z);
%! W = block_map (@(w) (w + w.') / 2, @(w) w, W);
%! c = (1:6).';
%! FY = block_traces (P, K, [], Y);
%! M = block_schur (P, K, Y, W, block_chol (Z), block_chol (Y));
%! S = struct ('P', P, 'K', {K}, 'M', M, 'RM', chol (M), 'W', W, 'Y', Y, 'c', c, ...
%!             'd', c - FY, 'Pnu', [], 'PY', [], 'C', C, 'mend_tol', 0);
%! S0 = S;
%! S0.Pnu = block_map (@(z) 0 * z, @(z) 0 * z, Z);
%! S0.PY = block_map (@(p, y) p * y, @(p, y) p .* y, S0.Pnu, Y);
%! Rc = block_map (@(z) 0.1 * eye (size (z)) - z, @(z) 0.1 - z, Z);
%! for r = {[], Rc}
%!   [dx, dZ, dY] = direction (S, r{1}, true);
%!   [dx0, dZ0, dY0] = direction (S0, r{1}, true);
%!   assert (isequal (dx, dx0) && isequal (dZ, dZ0) && isequal (dY, dY0));
%!   assert (norm (dx) > 0);
%! end
%!
%! % a share of the dual residual: F{i}.dY = share*d(i) to the rounding,
%! % from the right-hand side alone (no mend), through M's factor and
%! % through a factor alone (M from its square root), and share 1 with the
%! % bits of the whole residual; a residual moved, with c, so that Y's
%! % traces stay
%! v = (1:6).' / 10;
%! S.c = S.c + v;
%! S.d = S.d + v;
%! for M = {S.M, []}
%!   S.M = M{1};
%!   [dx1, dZ1, dY1] = direction (S, Rc, false);
%!   for share = [0, 0.25, 1]
%!     S.share = share;
%!     [dx, dZ, dY] = direction (S, Rc, false);
%!     FdY = block_traces (P, K, [], dY);
%!     assert (norm (FdY - share * S.d) <= 1e-10 * norm (S.d));
%!     % the mends aim at the same share
%!     [~, ~, dY] = direction (S, Rc, true);
%!     assert (norm (block_traces (P, K, [], dY) - share * S.d) <= 1e-10 * norm (S.d));
%!   end
%!   assert (isequal (dx, dx1) && isequal (dZ, dZ1));
%!   S = rmfield (S, 'share');
%! end
