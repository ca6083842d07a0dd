// blas_threads in a process that holds no BLAS it knows: every call
// answers 0 and sets nothing, and n is checked all the same.
#include "support.h"

namespace {

standin::Call run(std::vector<const mxArray *> in)
{
    return standin::call(module_at(BLAS_THREADS_MODULE), 1, std::move(in));
}

}  // namespace

using BlasThreadsWithoutBlas = ModuleTest;

TEST_F(BlasThreadsWithoutBlas, AnswersZeroToEveryCall)
{
    for (std::vector<const mxArray *> in :
         {std::vector<const mxArray *>{}, {standin::scalar(3)}, {standin::scalar(1)}}) {
        standin::Call c = run(in);
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::values(c.out[0]), std::vector<double>{0.0});
    }
}

TEST_F(BlasThreadsWithoutBlas, StillChecksN)
{
    EXPECT_TRUE(Failed(run({standin::scalar(0)}),
                       "Error: Input 1 is expected to be a whole number from 1 to 4096\n"));
}
