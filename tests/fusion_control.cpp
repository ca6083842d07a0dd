// The positive control of the fusion tests: a sum of products compiled
// with the flags of the contracted modules and none of their guards.
// Where it fuses, this compiler and processor fuse, and the fusion tests'
// exact zeros show the modules' guards at work.
#include <cstddef>

double unguarded_dot(const double *x, const double *y, std::size_t n)
{
    double s = 0;
    for (std::size_t i = 0; i < n; i++)
        s += x[i] * y[i];
    return s;
}
