function x = solve_schur (M, RM, b, C)
% M*x = b by the Cholesky factor RM of M, with iterative refinement
  x = RM \ (RM.' \ b);
  for k = 1:C.refinement
    x = x + RM \ (RM.' \ (b - M * x));
  end
end
