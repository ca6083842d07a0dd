function l = page_min_eig (W, D)
% the smallest eigenvalue of each pencil D(:,:,j)*v = lambda*X(:,:,j)*v,
% with W(:,:,j) = inv(X(:,:,j)) and X positive definite, for pages of
% order 2 or 3: the smallest root of the characteristic polynomial of
% A = W*D, whose roots are real, all pages at once
  k = size (W, 1);
  A = reshape (sum (reshape (W, k, k, 1, []) .* reshape (D, 1, k, k, []), 2), k, k, []);
  l = zeros (1, size (A, 3));
  t = reshape (A(1, 1, :) + A(2, 2, :), 1, []);
  d2 = reshape (A(1, 1, :) .* A(2, 2, :) - A(1, 2, :) .* A(2, 1, :), 1, []);
  if (k == 2)
    % l^2 - t*l + d2: the root of larger size without cancellation, the
    % other from the product of the roots
    s = sqrt (max (t .^ 2 / 4 - d2, 0));
    up = t >= 0;
    big = t(up) / 2 + s(up);
    l(up) = d2(up) ./ big;
    l(big == 0) = 0;
    l(~up) = t(~up) / 2 - s(~up);
  else
    % l^3 - c2*l^2 + c1*l - c0, its roots by the trigonometric formula
    a = @(i, j) reshape (A(i, j, :), 1, []);
    c2 = t + a(3, 3);
    c1 = d2 + a(1, 1) .* a(3, 3) - a(1, 3) .* a(3, 1) + a(2, 2) .* a(3, 3) - a(2, 3) .* a(3, 2);
    c0 = a(1, 1) .* (a(2, 2) .* a(3, 3) - a(2, 3) .* a(3, 2)) ...
         - a(1, 2) .* (a(2, 1) .* a(3, 3) - a(2, 3) .* a(3, 1)) ...
         + a(1, 3) .* (a(2, 1) .* a(3, 2) - a(2, 2) .* a(3, 1));
    q = max ((c2 .^ 2 - 3 * c1) / 9, 0);
    r = (9 * c2 .* c1 - 2 * c2 .^ 3 - 27 * c0) / 54;
    cosine = ones (size (q));
    some = q > 0;
    cosine(some) = max (-1, min (1, r(some) ./ sqrt (q(some)) .^ 3));
    l = c2 / 3 - 2 * sqrt (q) .* cos (acos (cosine) / 3);
  end
end

%!test
%! % pencils of orders 2 and 3 against eig, definite and not, with close
%! % and far eigenvalues
%! for k = 2:3
%!   count = 200;
%!   [W, D, X] = deal (zeros (k, k, count));
%!   want = zeros (1, count);
%!   for j = 1:count
%!     G = reshape (sin (j * (1:k*k)), k, k);
%!     X(:, :, j) = G * G.' + 0.1 * eye (k);
%!     E = diag (10 .^ (mod (j * (1:k), 7) - 3) .* (-1) .^ (j + (1:k)));
%!     if (mod (j, 5) == 0)
%!       E(2, 2) = E(1, 1);
%!     end
%!     [Q, ~] = qr (reshape (cos (j * (1:k*k)), k, k));
%!     S = Q * E * Q.';
%!     D(:, :, j) = (S + S.') / 2;
%!     W(:, :, j) = inv (X(:, :, j));
%!     want(j) = min (eig (D(:, :, j), X(:, :, j)));
%!   end
%!   l = page_min_eig (W, D);
%!   scale = arrayfun (@(j) norm (W(:, :, j) * D(:, :, j)), 1:count);
%!   % a double root costs the cubic formula digits, as a step length may
%!   assert (abs (l - want) <= 1e-10 * scale);
%! end
