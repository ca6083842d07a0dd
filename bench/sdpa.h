// Semidefinite programs in SDPA sparse format (.dat-s), read into the
// stand-in's column lists: the workloads of the tests and benchmarks.
#ifndef SDPA_H
#define SDPA_H

#include "standin.h"

#include <string>
#include <vector>

namespace sdpa {

// minimize c'*y subject to y(1)*F[0] + ... + y(n)*F[n-1] - F0 >= 0, every
// matrix symmetric of order `order`, its blocks laid along the diagonal.
// Each matrix lists both triangles, rows ascending within a column, with
// repeated entries summed.
struct Problem {
    std::string name;   // the file name without folder and extension
    size_t order = 0;
    std::vector<standin::Columns> F;
    standin::Columns F0;
    std::vector<double> c;
};

// Reads `path`; on failure returns false and says why in `error`.
bool read(const std::string &path, Problem &problem, std::string &error);

// The stored entries of one matrix.
size_t entries(const standin::Columns &columns);

}  // namespace sdpa

#endif
