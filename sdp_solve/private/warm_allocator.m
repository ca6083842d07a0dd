function warm_allocator (order, C)
% Allocates, and frees on return, one array of twice the size of a dense
% matrix of this order, at most C.warm_bytes. Below a threshold, glibc's
% malloc takes arrays from memory the process keeps, and above it maps
% each one afresh and pays a page fault for every 4 KiB of it: on a
% virtual machine, about 3 ns a byte, more than the arithmetic of most
% of the iteration's dense steps. The threshold starts at 128 KiB and
% rises to the size of the first mapped array freed, 32 MiB at most, and
% the memory kept at the top of the heap is returned to the system only
% above twice the threshold. Freeing this array first lets every matrix
% of the solve up to that size be taken from memory already held. Other
% allocators take the array and give it back, at the cost of filling it.
  bytes = min (C.warm_bytes, 16 * order ^ 2);
  a = zeros (ceil (bytes / 8), 1);
end
