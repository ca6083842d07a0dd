// zandrel(A, B, C, D) = trace((A + A')*B'*C*D), through the stand-in host.
#include "support.h"

#include <cmath>
#include <limits>
#include <random>

using standin::Call;
using standin::Class;
using standin::Columns;
using standin::Faults;

namespace {

const standin::Module &zandrel() { return module_at(ZANDREL_MODULE); }

Call run(std::vector<const mxArray *> in, int nlhs = 1, Faults f = Faults())
{
    return standin::call(zandrel(), nlhs, std::move(in), f);
}

double result(const Call &c) { return standin::values(c.out.at(0)).at(0); }

// trace((A + A')*B'*C*D) from dense column-major copies, in long double.
long double reference(size_t m, const std::vector<double> &A,
                      const std::vector<double> &B, const std::vector<double> &C,
                      const std::vector<double> &D)
{
    // (B'*C*D)(j,k) = sum_r,h B(r,j) C(r,h) D(h,k)
    long double t = 0;
    for (size_t j = 0; j < m; j++)
        for (size_t k = 0; k < m; k++) {
            long double s = 0;
            for (size_t r = 0; r < m; r++)
                for (size_t h = 0; h < m; h++)
                    s += (long double)B[r + j * m] * C[r + h * m] * D[h + k * m];
            t += ((long double)A[j + k * m] + A[k + j * m]) * s;
        }
    return t;
}

}  // namespace

// ------------------------------------------------------------ validation

using ZandrelRejects = RejectsTable;

TEST_P(ZandrelRejects, WithTheFirstFailingTestsMessageBeforeAnyAllocation)
{
    const Rejected &r = GetParam();
    Call c = run(r.inputs(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_TRUE(c.events.empty());
}

static std::vector<const mxArray *> sound3()
{
    return {standin::dense(3, 3), eye_sparse(3), standin::dense(3, 3),
            eye_sparse(3)};
}

INSTANTIATE_TEST_SUITE_P(Table, ZandrelRejects, ::testing::Values(
    Rejected{"TwoOutputs", sound3, "Error: Expecting one output argument.\n", 2},
    Rejected{"NegativeOutputs", sound3,
             "Error: Expecting one output argument.\n", -1},
    Rejected{"ThreeInputs", [] {
        auto v = sound3(); v.pop_back(); return v; },
        "Error: Expecting 4 input arguments.\n"},
    Rejected{"FiveInputs", [] {
        auto v = sound3(); v.push_back(v[0]); return v; },
        "Error: Expecting 4 input arguments.\n"},
    Rejected{"TwoByThreeA", [] {
        return std::vector<const mxArray *>{standin::dense(2, 3), eye_sparse(2),
            standin::dense(2, 2), eye_sparse(2)}; }, shape_message(1, 2, 2, 3)},
    Rejected{"ThreeByFourC", [] {
        auto v = sound3(); v[2] = standin::dense(3, 4); return v; },
        shape_message(3, 3, 3, 4)},
    Rejected{"SmallerB", [] {
        auto v = sound3(); v[1] = eye_sparse(2); return v; },
        shape_message(2, 3, 2, 2)},
    Rejected{"ComplexA", [] {
        auto v = sound3(); v[0] = standin::complex_dense(3, 3); return v; },
        shape_message(1, 3, 3, 3)},
    Rejected{"ComplexD", [] {
        auto v = sound3(); v[3] = standin::sparse_complex(3, 3, Columns(3));
        return v; }, shape_message(4, 3, 3, 3)},
    Rejected{"LogicalB", [] {
        auto v = sound3(); v[1] = standin::sparse_logical(3, 3, Columns(3));
        return v; }, shape_message(2, 3, 3, 3)},
    Rejected{"CharC", [] {
        auto v = sound3(); v[2] = standin::text("abc"); return v; },
        shape_message(3, 3, 1, 3)},
    // A non-double dense input is refused right after the complex test,
    // before its shape is looked at.
    Rejected{"SingleA", [] {
        return std::vector<const mxArray *>{
            standin::numeric(Class::Single, 2, 2), eye_sparse(3),
            standin::dense(3, 3), eye_sparse(3)}; },
        "Error: Input 1 is expected to be a double matrix\n"},
    Rejected{"Int32C", [] {
        auto v = sound3(); v[2] = standin::numeric(Class::Int32, 3, 3);
        return v; }, "Error: Input 3 is expected to be a double matrix\n"},
    // Shapes of all four come before storage kinds; sparse tests before
    // dense ones.
    Rejected{"FourDense", [] {
        return std::vector<const mxArray *>{standin::dense(3, 3),
            standin::dense(3, 3), standin::dense(3, 3), standin::dense(3, 3)}; },
        "Error: Input 2 is expected to be a sparse matrix\n"},
    Rejected{"DenseD", [] {
        auto v = sound3(); v[3] = standin::dense(3, 3); return v; },
        "Error: Input 4 is expected to be a sparse matrix\n"},
    Rejected{"FourSparse", [] {
        return std::vector<const mxArray *>{eye_sparse(3), eye_sparse(3),
            eye_sparse(3), eye_sparse(3)}; },
        "Error: Input 1 is expected to be a dense matrix\n"},
    Rejected{"SparseC", [] {
        auto v = sound3(); v[2] = eye_sparse(3); return v; },
        "Error: Input 3 is expected to be a dense matrix\n"},
    Rejected{"AllWrongStorageButAlsoMisshapenD", [] {
        return std::vector<const mxArray *>{eye_sparse(3), standin::dense(3, 3),
            eye_sparse(3), standin::dense(3, 2)}; },
        shape_message(4, 3, 3, 2)}),
    [](const ::testing::TestParamInfo<Rejected> &i) { return i.param.name; });

using Zandrel = ModuleTest;

TEST_F(Zandrel, AcceptsARealSquareUnsymmetricMatrixAsSymmetric)
{
    Call c = run({standin::dense(2, 2, {1, 3, 2, 4}), eye_sparse(2),
                  standin::dense(2, 2, {1, 3, 2, 4}), eye_sparse(2)});
    EXPECT_TRUE(Returned(c));
}

// ----------------------------------------------------------- computation

TEST_F(Zandrel, UnsymmetricAEntersOnlyThroughItsSymmetricPart)
{
    // A = [1 2; 3 4], B(1,2) = 1, C = I, D = I: t = 3 + 2.
    Call c = run({standin::dense(2, 2, {1, 3, 2, 4}),
                  standin::sparse(2, 2, {{}, {{0, 1.0}}}), eye(2), eye_sparse(2)});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(result(c), 5.0);
}

TEST_F(Zandrel, GivesTwiceTheTraceOfTheProductForSymmetricAAndB)
{
    // A = [1 2; 2 3], B = diag(2, 1), C = ones, D = [0 1; 1 0].
    Call c = run({standin::dense(2, 2, {1, 2, 2, 3}),
                  standin::sparse(2, 2, {{{0, 2.0}}, {{1, 1.0}}}),
                  standin::dense(2, 2, {1, 1, 1, 1}),
                  standin::sparse(2, 2, {{{1, 1.0}}, {{0, 1.0}}})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(result(c), 22.0);
}

TEST_F(Zandrel, StoresItsResultAlsoWhenNoOutputIsRequested)
{
    Call c = run({eye(2), eye_sparse(2), eye(2), eye_sparse(2)}, 0);
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(result(c), 4.0);
}

TEST_F(Zandrel, OfOrderZeroIsZeroWithoutAllocatingOrTestingStorage)
{
    mxArray *B = standin::sparse(0, 0, {}), *D = standin::sparse(0, 0, {});
    mxArray *A = standin::dense(0, 0), *C = standin::dense(0, 0);
    for (mxArray *a : {A, B, C, D})
        standin::null_storage(a, standin::Pr | standin::Ir | standin::Jc);
    Call c = run({A, B, C, D});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(bits(result(c)), bits(0.0));
    EXPECT_EQ(c.allocations(), 0);
}

TEST_F(Zandrel, IsPlusZeroWhenBOrDStoresNothing)
{
    mxArray *inf = standin::dense(2, 2, {INFINITY, NAN, NAN, INFINITY});
    Call noB = run({inf, standin::sparse(2, 2, Columns(2)), inf, eye_sparse(2)});
    Call noD = run({inf, eye_sparse(2), inf, standin::sparse(2, 2, Columns(2))});
    ASSERT_TRUE(Returned(noB));
    ASSERT_TRUE(Returned(noD));
    EXPECT_EQ(bits(result(noB)), bits(0.0));
    EXPECT_EQ(bits(result(noD)), bits(0.0));
}

TEST_F(Zandrel, ReadsOnlyTheEntriesOfAAndCThatStoredEntriesReach)
{
    // B stores only row 0 of column 0, D only (1,1): A(0,1), A(1,0) and
    // C(0,1) are read; NaN everywhere else changes nothing.
    mxArray *B = standin::sparse(2, 2, {{{0, 2.0}}, {}});
    mxArray *D = standin::sparse(2, 2, {{}, {{1, 3.0}}});
    Call c = run({standin::dense(2, 2, {NAN, 5, 7, NAN}), B,
                  standin::dense(2, 2, {NAN, NAN, 11, NAN}), D});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(result(c), (5.0 + 7.0) * (2.0 * 11.0 * 3.0));
}

TEST_F(Zandrel, SumsInStorageOrderWithoutSortingRows)
{
    // Column 0 of B holds 1e16, 1 and -1e16; C is all ones, so row 0 of
    // B'*C is their sum in storage order.
    auto t = [&](Columns b) {
        Call c = run({eye(3), standin::sparse(3, 3, b),
                      standin::dense(3, 3, std::vector<double>(9, 1.0)),
                      standin::sparse(3, 3, {{{0, 1.0}}, {}, {}})});
        EXPECT_TRUE(Returned(c));
        return c.ok ? result(c) : -1;
    };
    EXPECT_EQ(t({{{0, 1e16}, {1, 1.0}, {2, -1e16}}, {}, {}}), 0.0);
    EXPECT_EQ(t({{{0, 1e16}, {2, -1e16}, {1, 1.0}}, {}, {}}), 2.0);
}

TEST_F(Zandrel, ReadsUnwrittenSlotsAsZeroWhenDsPatternIsUnsymmetric)
{
    // D stores only (1,0): row 1 is not a column of D that holds entries,
    // so its slot of btc_row is never computed. The stand-in's fresh blocks
    // hold NaN, so only a zero-filled btc_row gives a number.
    Call c = run({eye(2), eye_sparse(2), eye(2),
                  standin::sparse(2, 2, {{{1, 1.0}}, {}})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(bits(result(c)), bits(0.0));
}

TEST_F(Zandrel, MatchesTheTraceOnRandomUnsymmetricDataWithSymmetricDPattern)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (size_t m : {1, 3, 8, 17}) {
        std::vector<double> A(m * m), B(m * m, 0.0), C(m * m), D(m * m, 0.0);
        for (double &v : A) v = u(rng);
        for (double &v : C) v = u(rng);
        for (size_t j = 0; j < m; j++)
            for (size_t i = 0; i < m; i++) {
                if (u(rng) < -0.4) B[i + j * m] = u(rng);
                if (i <= j && u(rng) < -0.3) {
                    D[i + j * m] = u(rng);      // pattern symmetric,
                    D[j + i * m] = u(rng);      // values not
                }
            }
        Call c = run({standin::dense(m, m, A), sparse_of(m, m, B),
                      standin::dense(m, m, C), sparse_of(m, m, D)});
        ASSERT_TRUE(Returned(c));
        long double want = reference(m, A, B, C, D);
        EXPECT_NEAR(result(c), (double)want, 1e-12 * (1 + std::fabs((double)want)))
            << "m = " << m;
    }
}

TEST_F(Zandrel, IsExactOnSmallIntegers)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> u(-4, 4);
    const size_t m = 9;
    std::vector<double> A(m * m), B(m * m), C(m * m), D(m * m, 0.0);
    for (double &v : A) v = u(rng);
    for (double &v : B) v = u(rng) > 1 ? u(rng) : 0;
    for (double &v : C) v = u(rng);
    for (size_t j = 0; j < m; j++)
        for (size_t i = 0; i <= j; i++)
            if (u(rng) > 0)
                D[i + j * m] = D[j + i * m] = u(rng) | 1;
    Call c = run({standin::dense(m, m, A), sparse_of(m, m, B),
                  standin::dense(m, m, C), sparse_of(m, m, D)});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(result(c), (double)reference(m, A, B, C, D));
}

// ---------------------------------------------------------------- memory

TEST_F(Zandrel, TakesTwoWorkArraysOfOrderMAndFreesThemInOrder)
{
    Call c = run({eye(5), eye_sparse(5), eye(5), eye_sparse(5)});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(malloc_sizes(c), (std::vector<size_t>{5 * sizeof(double),
                                                     5 * sizeof(mwIndex)}));
    EXPECT_EQ(c.free_order(), (std::vector<int>{0, 1}));
    EXPECT_EQ(c.creations(), 1);
}

TEST_F(Zandrel, ReportsEitherWorkArrayRefusedAfterRequestingBoth)
{
    for (int k : {1, 2}) {
        Faults f;
        f.fail_allocation = k;
        Call c = run({eye(3), eye_sparse(3), eye(3), eye_sparse(3)}, 1, f);
        EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n")) << k;
        EXPECT_EQ(c.allocations(), 2) << k;
    }
}

TEST_F(Zandrel, ReportsEachMissingStorageAsCorruption)
{
    const struct { int input; unsigned storage; } cases[] = {
        {0, standin::Pr}, {1, standin::Pr}, {1, standin::Ir}, {1, standin::Jc},
        {2, standin::Pr}, {3, standin::Pr}, {3, standin::Ir}, {3, standin::Jc}};
    for (const auto &k : cases) {
        std::vector<mxArray *> in = {eye(3), eye_sparse(3), eye(3), eye_sparse(3)};
        standin::null_storage(in[k.input], k.storage);
        Call c = run({in[0], in[1], in[2], in[3]});
        EXPECT_TRUE(Failed(c, "Error: Matrices are corrupted?\n"))
            << "input " << k.input + 1 << ", storage " << k.storage;
    }
}

TEST_F(Zandrel, ReportsAResultThatIsNotCreated)
{
    Faults f;
    f.fail_creation = 1;
    Call c = run({eye(2), eye_sparse(2), eye(2), eye_sparse(2)}, 1, f);
    EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n"));
}
