// blas_threads(), blas_threads(n): the thread count of the optimised BLAS
// in the process, through the stand-in host, beside the stand-in BLAS that
// this program exports (standin/blas.cpp, behind OpenBLAS's names or, in
// blas_threads_mkl_test, MKL's).
#include "blas.h"
#include "support.h"

#include <cmath>

using standin::Call;
using standin::Class;
using standin::Faults;

namespace {

using In = std::vector<const mxArray *>;

Call run(In in, int nlhs = 1, Faults f = Faults())
{
    return standin::call(module_at(BLAS_THREADS_MODULE), nlhs, std::move(in), f);
}

// The one result of a call that returned, which must be a real double 1x1.
double result(const Call &c)
{
    const mxArray *r = c.out.at(0);
    EXPECT_TRUE(mxIsDouble(r) && !mxIsComplex(r) && !mxIsSparse(r) &&
                mxGetM(r) == 1 && mxGetN(r) == 1);
    return standin::values(r).at(0);
}

const char *kBadCount =
    "Error: Input 1 is expected to be a whole number from 1 to 4096\n";

In one(mxArray *a) { return {a}; }

}  // namespace

// ------------------------------------------------------------ validation

using BlasThreadsRejects = RejectsTable;

TEST_P(BlasThreadsRejects, WithItsMessageBeforeAnyWorkLeavingTheCount)
{
    const Rejected &r = GetParam();
    standin::blas::reset(3);
    const int sets = standin::blas::sets();
    Call c = run(r.inputs(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_TRUE(c.events.empty());
    EXPECT_EQ(standin::blas::threads(), 3);
    EXPECT_EQ(standin::blas::sets(), sets);
}

INSTANTIATE_TEST_SUITE_P(Table, BlasThreadsRejects, ::testing::Values(
    Rejected{"TwoOutputs", [] { return In{}; },
             "Error: Expecting one output argument.\n", 2},
    Rejected{"TwoOutputsAndBadN", [] { return one(standin::scalar(0)); },
             "Error: Expecting one output argument.\n", 2},
    Rejected{"TwoInputs", [] { return In{standin::scalar(1), standin::scalar(1)}; },
             "Error: Expecting at most one input argument.\n"},
    Rejected{"Zero", [] { return one(standin::scalar(0)); }, kBadCount},
    Rejected{"Fraction", [] { return one(standin::scalar(1.5)); }, kBadCount},
    Rejected{"AboveTheBound", [] { return one(standin::scalar(4097)); }, kBadCount},
    Rejected{"Huge", [] { return one(standin::scalar(1e300)); }, kBadCount},
    Rejected{"NaN", [] { return one(standin::scalar(NAN)); }, kBadCount},
    Rejected{"Infinity", [] { return one(standin::scalar(INFINITY)); }, kBadCount},
    Rejected{"Complex", [] { return one(standin::complex_dense(1, 1)); }, kBadCount},
    Rejected{"Single", [] { return one(standin::numeric(Class::Single, 1, 1, 2)); },
             kBadCount},
    Rejected{"Int32", [] { return one(standin::numeric(Class::Int32, 1, 1, 2)); },
             kBadCount},
    Rejected{"Logical", [] { return one(standin::numeric(Class::Logical, 1, 1, 1)); },
             kBadCount},
    Rejected{"Char", [] { return one(standin::text("2")); }, kBadCount},
    Rejected{"Sparse", [] { return one(standin::sparse(1, 1, {{{0, 2.0}}})); },
             kBadCount},
    Rejected{"Empty", [] { return one(standin::dense(0, 0)); }, kBadCount},
    Rejected{"Pair", [] { return one(standin::dense(1, 2, {2, 2})); }, kBadCount},
    Rejected{"Cell", [] { return one(cells({standin::scalar(2)})); }, kBadCount}));

// ---------------------------------------------------------------- results

using BlasThreads = ModuleTest;

TEST_F(BlasThreads, ReportsTheCountTheBlasHolds)
{
    const int sets = standin::blas::sets();
    for (int count : {1, 7, 2}) {
        standin::blas::reset(count);
        Call c = run({});
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(result(c), count);
        Call statement = run({}, 0);   // the result becomes ans
        ASSERT_TRUE(Returned(statement));
        EXPECT_EQ(result(statement), count);
    }
    EXPECT_EQ(standin::blas::sets(), sets);
}

TEST_F(BlasThreads, SetsTheCountAndReturnsTheOneBefore)
{
    standin::blas::reset(2);
    const double steps[][2] = {{1, 2}, {4096, 1}, {3, 4096}, {2, 3}};   // n, old
    for (auto [n, old] : steps) {
        Call c = run(one(standin::scalar(n)));
        ASSERT_TRUE(Returned(c)) << n;
        EXPECT_EQ(result(c), old);
        EXPECT_EQ(standin::blas::threads(), n);
        Call now = run({});
        ASSERT_TRUE(Returned(now));
        EXPECT_EQ(result(now), n);
    }
}

TEST_F(BlasThreads, LeavesTheCountWhenTheResultCannotBeMade)
{
    standin::blas::reset(2);
    const int sets = standin::blas::sets();
    Faults f;
    f.fail_creation = 1;
    EXPECT_TRUE(Failed(run(one(standin::scalar(1)), 1, f),
                       "Error: Insufficient memory\n"));
    EXPECT_EQ(standin::blas::threads(), 2);
    EXPECT_EQ(standin::blas::sets(), sets);
}
