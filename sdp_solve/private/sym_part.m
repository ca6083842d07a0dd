function B = sym_part (B)
% (B + B')/2, exactly symmetric; written in two steps, which Octave does
% several times faster than the one expression at order 800
  B = B + B.';
  B = B * 0.5;
end
