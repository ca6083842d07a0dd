// sdp_chol in a process that holds no LAPACK it takes: none at all
// (sdp_chol_none_test), dpotrf alone (sdp_chol_potrf_test), or dpotrf and
// dtrtrs in two libraries (sdp_chol_split_test, SPLIT_LAPACK). 'lapack'
// answers 0, 'factor' is refused once its shift is read, nothing is kept,
// and the other commands work as ever.
#include "support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(SPLIT_LAPACK)
// the stand-in dtrtrs of a library of its own (32-bit integers, read from
// the first half of each)
extern "C" void dtrtrs_(const char *uplo, const char *trans, const char *diag,
                        const int64_t *n, const int64_t *nrhs, const double *a,
                        const int64_t *lda, double *b, const int64_t *ldb,
                        int64_t *info, size_t, size_t, size_t);
#endif

namespace {

using In = std::vector<const mxArray *>;

// The address of a routine as the module would look it up, or null.
void *routine(const char *name)
{
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA(nullptr), name));
#else
    return dlsym(RTLD_DEFAULT, name);
#endif
}

class SdpCholWithoutLapack : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = standin::load(SDP_CHOL_MODULE);
        ASSERT_TRUE(module_.entry) << module_.error;
    }
    void TearDown() override
    {
        EXPECT_TRUE(standin::unload(module_).leaked.empty());
        EXPECT_TRUE(standin::persistent().empty());
        standin::release_all();
    }
    standin::Call run(In in, int nlhs = 1)
    {
        return standin::call(module_, nlhs, std::move(in));
    }
    standin::Module module_;
};

}  // namespace

// What the module must not take is there to be found.
TEST_F(SdpCholWithoutLapack, TheProcessHoldsWhatItShould)
{
#if defined(SPLIT_LAPACK)
    const int64_t one = 1;
    int64_t info = 0;   // the high half stays as it is
    double a = 2, b = 6;
    dtrtrs_("U", "N", "N", &one, &one, &a, &one, &b, &one, &info, 1, 1, 1);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(b, 3);
    EXPECT_TRUE(routine("dpotrf_"));
#if defined(_WIN32)
    EXPECT_FALSE(routine("dtrtrs_"));   // not this program's own
#else
    Dl_info in_potrf, in_trtrs;
    ASSERT_TRUE(dladdr(routine("dpotrf_"), &in_potrf));
    ASSERT_TRUE(dladdr(routine("dtrtrs_"), &in_trtrs));
    EXPECT_NE(in_potrf.dli_fbase, in_trtrs.dli_fbase);
#endif
#elif defined(POTRF_ONLY)
    EXPECT_TRUE(routine("dpotrf_"));
    EXPECT_FALSE(routine("dtrtrs_"));
#else
    EXPECT_FALSE(routine("dpotrf_"));
#endif
    EXPECT_FALSE(routine("dpotrf"));
    EXPECT_FALSE(routine("dtrtrs"));
}

TEST_F(SdpCholWithoutLapack, AnswersZeroAndRefusesToFactor)
{
    for (int nlhs : {0, 1}) {
        standin::Call c = run({standin::text("lapack")}, nlhs);
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::values(c.out[0]), std::vector<double>{0.0});
    }
    const char *none = "Error: The process holds no LAPACK with dpotrf and dtrtrs\n";
    for (int nlhs : {1, 2}) {
        standin::Call c = run({standin::text("factor"), eye(2)}, nlhs);
        EXPECT_TRUE(Failed(c, none));
        EXPECT_EQ(c.creations(), 0);
    }
    EXPECT_TRUE(Failed(run({standin::text("factor"), standin::dense(2, 3),
                            standin::scalar(1)}),
                       none));
    EXPECT_TRUE(Failed(run({standin::text("factor"), eye(2), standin::scalar(-1)}),
                       "Error: Input 3 is expected to be a finite, nonnegative double "
                       "scalar\n"));
    EXPECT_TRUE(Failed(run({standin::text("factor")}),
                       "Error: Expecting 2 or 3 input arguments.\n"));
    EXPECT_TRUE(standin::persistent().empty());
}

TEST_F(SdpCholWithoutLapack, KeepsNothingToSolveWith)
{
    EXPECT_TRUE(Failed(run({standin::text("solve"), standin::dense(2, 1)}),
                       "Error: No factor is kept: factor a matrix first\n"));
    // nor solves with a factor given, before its arguments are read
    standin::Call given = run({standin::text("solve"), standin::dense(2, 1, {4, 9}),
                               standin::dense(2, 2, {2, 0, 0, 3})});
    EXPECT_TRUE(Failed(given, "Error: The process holds no LAPACK with dpotrf and dtrtrs\n"));
    EXPECT_EQ(given.creations(), 0);
    EXPECT_TRUE(Failed(run({standin::text("solve"), eye(2), standin::dense(1, 2)}),
                       "Error: The process holds no LAPACK with dpotrf and dtrtrs\n"));
    standin::Call c = run({standin::text("release")}, 0);
    EXPECT_TRUE(c.ok && c.out.empty() && c.leaked.empty());
}
