function t = measure (f)
%MEASURE the time of a call of f, in seconds: the median of seven samples,
%   each sample as many calls as take 20 ms or more.
%
%   t = measure({f1, f2, ...}) times several functions side by side: the
%   seven samples of each are taken in seven rounds, every function once a
%   round in a random order, so that the machine's drift over the rounds
%   falls on all of them alike. t holds their times in the same order.
  if (! iscell (f))
    f = {f};
  end
  count = ones (1, numel (f));
  for j = 1:numel (f)
    while (true)
      elapsed = sample (f{j}, count(j));
      if (elapsed >= 0.02)
        break;
      end
      count(j) *= max (2, min (100, ceil (0.025 / max (elapsed, 1e-6))));
    end
  end
  samples = zeros (7, numel (f));
  for s = 1:7
    for j = randperm (numel (f))
      samples(s, j) = sample (f{j}, count(j)) / count(j);
    end
  end
  t = median (samples, 1);
end

function elapsed = sample (f, count)
  start = tic;
  for c = 1:count
    f ();
  end
  elapsed = toc (start);
end
