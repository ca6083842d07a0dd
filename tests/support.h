// Helpers shared by the module tests: loading the built modules, calling
// them, and checking how a call ended.
#ifndef SUPPORT_H
#define SUPPORT_H

#include "standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using standin::module_at;

// Frees the arrays of each test.
class ModuleTest : public ::testing::Test {
protected:
    void TearDown() override { standin::release_all(); }
};

// The call returned normally with one output, held no block and no array
// it made, and wrote nothing past the end of a block.
::testing::AssertionResult Returned(const standin::Call &c);

// The call ended through mexErrMsgTxt with exactly this text, kept no
// output, and wrote nothing past the end of a block.
::testing::AssertionResult Failed(const standin::Call &c,
                                  const std::string &message);

// The same, with any one of these texts.
::testing::AssertionResult FailedWithOneOf(const standin::Call &c,
                                           const std::set<std::string> &messages);

// The bits of a double, for comparisons that must be exact (NaN, -0).
inline uint64_t bits(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// A sparse matrix from a dense column-major one, storing its nonzeros.
mxArray *sparse_of(size_t m, size_t n, const std::vector<double> &v);

// One call that a module must refuse, for table-driven tests.
struct Rejected {
    const char *name;
    std::vector<const mxArray *> (*inputs)();
    std::string message;
    int nlhs = 1;
};
void PrintTo(const Rejected &r, std::ostream *os);

// Calls whose checks must fail, each with its message, before any work.
class RejectsTable : public ::testing::TestWithParam<Rejected> {
protected:
    void TearDown() override { standin::release_all(); }
};

// "Error: Input i is expected to be a symmetric matrix mxm (rxc).\n"
std::string shape_message(unsigned i, unsigned m, unsigned r, unsigned c);

// The m-by-m identity, dense and sparse; a 1-by-n cell array.
mxArray *eye(size_t m);
mxArray *eye_sparse(size_t m);
mxArray *cells(std::vector<mxArray *> elements);

// Sizes requested by the Malloc events of a call, in order.
std::vector<size_t> malloc_sizes(const standin::Call &c);

#endif
