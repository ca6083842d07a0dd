function [value, text, unit, note] = published_value (name)
%PUBLISHED_VALUE SDPLIB's optimal value of a problem, but for its misprints.
%   [value, text, unit, note] = published_value(name) is sdplib_value(name),
%   but for the two values that SDPLIB misprints: qap10's optimum is
%   -1.093e+03, not -1.093e+01, and qpG51's 1.1818e+04, not 1.181000e+03.
%   note marks a corrected value (' ¹' and ' ²'), and is '' otherwise.
  note = '';
  switch (name)
    case 'qap10'
      [value, text, unit, note] = deal (-1093, '-1.093e+03', 1, ' ¹');
    case 'qpG51'
      [value, text, unit, note] = deal (11818, '1.181800e+04', 0.01, ' ²');
    otherwise
      [value, text, unit] = sdplib_value (name);
  end
end
