function X = block_map (f, g, varargin)
% a block-diagonal matrix made block by block: X.b{k} = f(A.b{k}, ...) and
% X.d = g(A.d, ...) for the block-diagonal arguments A, ...
  % the blocks by one cellfun, which calls f without a statement of
  % Octave's own for each block and argument (truss8's 33 blocks: a loop's
  % statements cost more than the blocks' arithmetic)
  nb = numel (varargin{1}.b);
  args = cell (1, numel (varargin));
  for a = 1:numel (varargin)
    args{a} = reshape (varargin{a}.b, 1, nb);
  end
  X.b = cellfun (f, args{:}, 'UniformOutput', false);
  for a = 1:numel (varargin)
    args{a} = varargin{a}.d;
  end
  X.d = g (args{:});
end
