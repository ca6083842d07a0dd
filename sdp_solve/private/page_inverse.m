function A = page_inverse (A)
% the inverse of each page A(:,:,j) of a k-by-k-by-count array, by
% Gauss-Jordan elimination in place without pivoting, all pages at once:
% for pages whose leading principal minors are not zero (positive
% definite ones, or triangular ones with no zero on the diagonal)
  k = size (A, 1);
  for j = 1:k
    p = A(j, j, :);
    A(j, j, :) = 1;
    A(j, :, :) = A(j, :, :) ./ p;
    o = [1:j-1, j+1:k];
    f = A(o, j, :);
    A(o, j, :) = 0;
    A(o, :, :) = A(o, :, :) - f .* A(j, :, :);
  end
end

%!test
%! A = cat (3, [4 1 0; 1 3 1; 0 1 2], [1 0.5 0.2; 0.5 2 0.1; 0.2 0.1 5], 7 * eye (3));
%! B = page_inverse (A);
%! for j = 1:3
%!   assert (B(:, :, j), inv (A(:, :, j)), 1e-14);
%! end
%! assert (page_inverse (reshape ([4 9], 1, 1, 2)), reshape ([1/4 1/9], 1, 1, 2));
