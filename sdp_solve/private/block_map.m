function X = block_map (f, g, varargin)
% a block-diagonal matrix made block by block: X.b{k} = f(A.b{k}, ...) and
% X.d = g(A.d, ...) for the block-diagonal arguments A, ...
  nb = numel (varargin{1}.b);
  X.b = cell (1, nb);
  args = cell (1, numel (varargin));
  for k = 1:nb
    for a = 1:numel (varargin)
      args{a} = varargin{a}.b{k};
    end
    X.b{k} = f (args{:});
  end
  for a = 1:numel (varargin)
    args{a} = varargin{a}.d;
  end
  X.d = g (args{:});
end
