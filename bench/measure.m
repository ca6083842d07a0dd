function t = measure (f)
%MEASURE the time of a call of f, in seconds: the median of seven samples,
%   each sample as many calls as take 20 ms or more.
  count = 1;
  while (true)
    start = tic;
    for c = 1:count
      f ();
    end
    elapsed = toc (start);
    if (elapsed >= 0.02)
      break;
    end
    count = count * max (2, min (100, ceil (0.025 / max (elapsed, 1e-6))));
  end
  samples = zeros (1, 7);
  for s = 1:7
    start = tic;
    for c = 1:count
      f ();
    end
    samples(s) = toc (start) / count;
  end
  t = median (samples);
end
