// brisset(A, B, C, D): r(i) = 2*sum D{i}(p,q)*(A'*B'*C)(p,q), through the
// stand-in host.
#include "support.h"

#include <cmath>
#include <random>

using standin::Call;
using standin::Class;
using standin::Columns;
using standin::Faults;

namespace {

const standin::Module &brisset() { return module_at(BRISSET_MODULE); }

Call run(std::vector<const mxArray *> in, Faults f = Faults(), int nlhs = 1)
{
    return standin::call(brisset(), nlhs, std::move(in), f);
}

std::string element_message(unsigned m, unsigned i)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "Error: All element of the cell array "
                  "should be sparse matrices %ux%u (%u not).\n", m, m, i);
    return buf;
}

// A sparse m-by-m matrix with the single entry v at (i, j).
mxArray *one(size_t m, mwIndex i, size_t j, double v)
{
    Columns cols(m);
    cols[j] = {{i, v}};
    return standin::sparse(m, m, cols);
}

// 2*sum of D(p,q)*(A'*B'*C)(p,q) from dense copies, in long double.
long double reference(size_t m, const std::vector<double> &A,
                      const std::vector<double> &B, const std::vector<double> &C,
                      const std::vector<double> &D)
{
    long double r = 0;
    for (size_t p = 0; p < m; p++)
        for (size_t q = 0; q < m; q++) {
            if (D[p + q * m] == 0)
                continue;
            long double v = 0;   // sum_b,s A(b,p) B(s,b) C(s,q)
            for (size_t b = 0; b < m; b++)
                for (size_t s = 0; s < m; s++)
                    v += (long double)A[b + p * m] * B[s + b * m] * C[s + q * m];
            r += v * D[p + q * m];
        }
    return 2 * r;
}

std::vector<const mxArray *> sound3()
{
    return {eye(3), eye_sparse(3), eye(3), cells({eye_sparse(3), eye_sparse(3)})};
}

}  // namespace

// ------------------------------------------------------------ validation

using BrissetRejects = RejectsTable;

TEST_P(BrissetRejects, WithTheFirstFailingTestsMessageBeforeAnyWork)
{
    const Rejected &r = GetParam();
    Call c = run(r.inputs(), Faults(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_TRUE(c.events.empty());
}

using In = std::vector<const mxArray *>;

INSTANTIATE_TEST_SUITE_P(Table, BrissetRejects, ::testing::Values(
    Rejected{"TwoOutputs", sound3, "Error: Expecting one output argument.\n", 2},
    Rejected{"ThreeInputs", [] { auto v = sound3(); v.pop_back(); return v; },
             "Error: Expecting 4 input arguments.\n"},
    Rejected{"FiveInputs", [] { auto v = sound3(); v.push_back(v[0]); return v; },
             "Error: Expecting 4 input arguments.\n"},
    Rejected{"ThreeByFourA", [] { auto v = sound3(); v[0] = standin::dense(3, 4);
             return v; }, shape_message(1, 3, 3, 4)},
    Rejected{"SmallerB", [] { auto v = sound3(); v[1] = eye_sparse(2); return v; },
             shape_message(2, 3, 2, 2)},
    Rejected{"ComplexC", [] { auto v = sound3(); v[2] = standin::complex_dense(3, 3);
             return v; }, shape_message(3, 3, 3, 3)},
    Rejected{"LogicalB", [] { auto v = sound3();
             v[1] = standin::sparse_logical(3, 3, Columns(3)); return v; },
             shape_message(2, 3, 3, 3)},
    Rejected{"CharA", [] { auto v = sound3(); v[0] = standin::text("abc");
             return v; }, shape_message(1, 1, 1, 3)},
    Rejected{"SingleA", [] { auto v = sound3();
             v[0] = standin::numeric(Class::Single, 3, 3); return v; },
             "Error: Input 1 is expected to be a double matrix\n"},
    Rejected{"Int16C", [] { auto v = sound3();
             v[2] = standin::numeric(Class::Int16, 3, 3); return v; },
             "Error: Input 3 is expected to be a double matrix\n"},
    // The cell tests come before the storage tests of A, B and C.
    Rejected{"SparseAAndNoCell", [] { auto v = sound3(); v[0] = eye_sparse(3);
             v[3] = eye_sparse(3); return v; },
             "Error: 4th input arguments should be a cell array.\n"},
    Rejected{"EmptyCell", [] { auto v = sound3(); v[3] = standin::cell(0, 0, {});
             return v; }, "Error: 4th input arguments should be a cell vector.\n"},
    Rejected{"OneByZeroCell", [] { auto v = sound3(); v[3] = standin::cell(1, 0, {});
             return v; }, "Error: 4th input arguments should be a cell vector.\n"},
    Rejected{"ZeroByOneCell", [] { auto v = sound3(); v[3] = standin::cell(0, 1, {});
             return v; }, "Error: 4th input arguments should be a cell vector.\n"},
    Rejected{"TwoByThreeCell", [] { auto v = sound3();
             v[3] = standin::cell(2, 3, std::vector<mxArray *>(6, eye_sparse(3)));
             return v; }, "Error: 4th input arguments should be a cell vector.\n"},
    Rejected{"SparseA", [] { auto v = sound3(); v[0] = eye_sparse(3); v[2] = eye_sparse(3);
             return v; }, "Error: 1st input argument is expected to be a dense matrix\n"},
    Rejected{"DenseB", [] { auto v = sound3(); v[1] = eye(3); v[2] = eye_sparse(3);
             return v; }, "Error: 2nd input argument is expected to be a sparse matrix\n"},
    Rejected{"SparseC", [] { auto v = sound3(); v[2] = eye_sparse(3); return v; },
             "Error: 3rd input argument is expected to be a dense matrix\n"},
    Rejected{"UnassignedSecondElement", [] { auto v = sound3();
             v[3] = cells({eye_sparse(3), nullptr}); return v; },
             "Error: 2 element of the cell array (4th arg.) is empty.\n"},
    Rejected{"EmptyDenseElement", [] { auto v = sound3();
             v[3] = cells({eye_sparse(3), eye_sparse(3), standin::dense(0, 0)});
             return v; }, element_message(3, 3)},
    Rejected{"DenseElement", [] { auto v = sound3();
             v[3] = cells({eye(3)}); return v; }, element_message(3, 1)},
    Rejected{"SmallerElement", [] { auto v = sound3();
             v[3] = cells({eye_sparse(3), eye_sparse(2)}); return v; },
             element_message(3, 2)},
    // An element of m rows is told by its count of entries to be m wide.
    Rejected{"ElementAColumnShort", [] { auto v = sound3();
             v[3] = cells({eye_sparse(3), standin::sparse(3, 2, Columns(2))});
             return v; }, element_message(3, 2)},
    Rejected{"ElementAColumnOver", [] { auto v = sound3();
             v[3] = cells({standin::sparse(3, 4, Columns(4))}); return v; },
             element_message(3, 1)},
    Rejected{"ElementOfNoRowsButTwoColumns", [] {
             return In{standin::dense(0, 0), standin::sparse(0, 0, {}),
                       standin::dense(0, 0),
                       cells({standin::sparse(0, 0, {}),
                              standin::sparse(0, 2, Columns(2))})}; },
             element_message(0, 2)},
    Rejected{"ComplexElement", [] { auto v = sound3();
             v[3] = cells({standin::sparse_complex(3, 3, Columns(3))}); return v; },
             element_message(3, 1)},
    Rejected{"LogicalElementAfterAnUnassignedOne", [] { auto v = sound3();
             v[3] = cells({standin::sparse_logical(3, 3, Columns(3)), nullptr});
             return v; }, element_message(3, 1)}));

using Brisset = ModuleTest;

TEST_F(Brisset, AcceptsRealSquareUnsymmetricInputsAndAColumnCell)
{
    mxArray *a = standin::dense(2, 2, {1, 3, 2, 4});
    mxArray *D = standin::cell(3, 1, {eye_sparse(2), eye_sparse(2), eye_sparse(2)});
    Call c = run({a, sparse_of(2, 2, {1, 3, 2, 4}), a, D}, Faults(), 0);
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0]).size(), 3u);
}

// ----------------------------------------------------------- computation

TEST_F(Brisset, OrientsEachFactorAsTheFormulaSays)
{
    mxArray *rows12 = standin::dense(2, 2, {1, 3, 2, 4});   // [1 2; 3 4]
    mxArray *d12 = one(2, 0, 1, 1.0), *d21 = one(2, 1, 0, 1.0);
    auto r = [&](mxArray *A, mxArray *C, mxArray *d) {
        Call c = run({A, eye_sparse(2), C, cells({d})});
        EXPECT_TRUE(Returned(c));
        return c.ok ? standin::values(c.out[0])[0] : -1;
    };
    EXPECT_EQ(r(eye(2), rows12, d12), 4.0);
    EXPECT_EQ(r(eye(2), rows12, d21), 6.0);
    EXPECT_EQ(r(rows12, eye(2), d12), 6.0);
    EXPECT_EQ(r(rows12, eye(2), d21), 4.0);
    EXPECT_EQ(r(eye(2), eye(2), eye_sparse(2)), 4.0);
}

TEST_F(Brisset, GivesEachElementExactlyItsValueAloneWhenEntriesAreShared)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1, 1);
    const size_t m = 7;
    std::vector<double> A(m * m), B(m * m, 0.0), C(m * m);
    for (double &v : A) v = u(rng);
    for (double &v : C) v = u(rng);
    for (double &v : B) v = u(rng) > 0.3 ? u(rng) : 0;
    std::vector<mxArray *> D;
    for (int i = 0; i < 4; i++) {
        std::vector<double> d(m * m, 0.0);
        for (size_t t = 0; t < m * m; t++)
            if (t % 3 == 0 || u(rng) > 0.5)
                d[t] = u(rng);
        D.push_back(sparse_of(m, m, d));
    }
    mxArray *a = standin::dense(m, m, A), *b = sparse_of(m, m, B),
            *c = standin::dense(m, m, C);
    Call all = run({a, b, c, cells(D)});
    ASSERT_TRUE(Returned(all));
    for (size_t i = 0; i < D.size(); i++) {
        Call alone = run({a, b, c, cells({D[i]})});
        ASSERT_TRUE(Returned(alone));
        EXPECT_EQ(bits(standin::values(all.out[0])[i]),
                  bits(standin::values(alone.out[0])[0])) << i;
    }
}

TEST_F(Brisset, RecomputesARowValueFromThePreviousColumn)
{
    // A'*B'*C = C; row 0 is needed in columns 0 and 1: 2*(1 + 2).
    Columns d(2);
    d[0] = {{0, 1.0}};
    d[1] = {{0, 1.0}};
    Call c = run({eye(2), eye_sparse(2), standin::dense(2, 2, {1, 3, 2, 4}),
                  cells({standin::sparse(2, 2, d)})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0])[0], 6.0);
}

TEST_F(Brisset, SumsEachElementInStorageOrder)
{
    // Every row value is 1; column 0 of D{1} holds 1e16, 1 and -1e16.
    auto r = [&](Columns d) {
        Call c = run({eye(3), eye_sparse(3),
                      standin::dense(3, 3, std::vector<double>(9, 1.0)),
                      cells({standin::sparse(3, 3, d)})});
        EXPECT_TRUE(Returned(c));
        return c.ok ? standin::values(c.out[0])[0] : -1;
    };
    EXPECT_EQ(r({{{0, 1e16}, {1, 1.0}, {2, -1e16}}, {}, {}}), 0.0);
    EXPECT_EQ(r({{{0, 1e16}, {2, -1e16}, {1, 1.0}}, {}, {}}), 2.0);
}

TEST_F(Brisset, CountsStoredZerosAndLeavesElementsWithoutEntriesAtZero)
{
    // B stores (1,1) alone, so (A'*B'*C)(1,q) = C(1,q): Inf at q = 0.
    mxArray *C = standin::dense(2, 2, {1, INFINITY, 0, 2});
    Columns zero(2), plain(2);
    zero[0] = {{1, 0.0}};
    plain[1] = {{1, 3.0}};
    Call c = run({eye(2), one(2, 1, 1, 1.0), C,
                  cells({standin::sparse(2, 2, zero), standin::sparse(2, 2, Columns(2)),
                         standin::sparse(2, 2, plain)})});
    ASSERT_TRUE(Returned(c));
    std::vector<double> r = standin::values(c.out[0]);
    EXPECT_TRUE(std::isnan(r[0]));   // 0 * Inf
    EXPECT_EQ(bits(r[1]), bits(0.0));
    EXPECT_EQ(r[2], 12.0);
}

TEST_F(Brisset, GivesZeroWithoutEntriesInBButNaNForInfInD)
{
    Call c = run({eye(2), standin::sparse(2, 2, Columns(2)), eye(2),
                  cells({one(2, 0, 0, 5.0), one(2, 1, 0, INFINITY)})});
    ASSERT_TRUE(Returned(c));
    std::vector<double> r = standin::values(c.out[0]);
    EXPECT_EQ(bits(r[0]), bits(0.0));
    EXPECT_TRUE(std::isnan(r[1]));
}

TEST_F(Brisset, ReadsOnlyTheEntriesOfAAndCThatStoredEntriesReach)
{
    // B stores (1,0); D{1} stores (0,1): A(0,0) and C(1,1) are read.
    mxArray *A = standin::dense(2, 2, {3, NAN, NAN, NAN});
    mxArray *C = standin::dense(2, 2, {NAN, NAN, NAN, 5});
    Call c = run({A, one(2, 1, 0, 2.0), C, cells({one(2, 0, 1, 7.0)})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0])[0], 2 * (3.0 * (2.0 * 5.0)) * 7.0);
}

TEST_F(Brisset, OfOrderZeroIsZerosWithoutAllocatingOrTestingStorage)
{
    mxArray *A = standin::dense(0, 0), *B = standin::sparse(0, 0, {});
    standin::null_storage(A, standin::Pr);
    standin::null_storage(B, standin::Pr | standin::Ir | standin::Jc);
    Call c = run({A, B, standin::dense(0, 0),
                  cells({standin::sparse(0, 0, {}), standin::sparse(0, 0, {})})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0]), (std::vector<double>{0, 0}));
    EXPECT_EQ(c.allocations(), 0);
}

TEST_F(Brisset, MatchesTheFormulaOnRandomUnsymmetricData)
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-1, 1);
    for (size_t m : {1, 4, 13}) {
        std::vector<double> A(m * m), B(m * m, 0.0), C(m * m);
        for (double &v : A) v = u(rng);
        for (double &v : C) v = u(rng);
        for (double &v : B) v = u(rng) > 0.2 ? u(rng) : 0;
        std::vector<std::vector<double>> D(3, std::vector<double>(m * m, 0.0));
        std::vector<mxArray *> cell;
        for (auto &d : D) {
            for (double &v : d)
                v = u(rng) > 0.4 ? u(rng) : 0;
            cell.push_back(sparse_of(m, m, d));
        }
        Call c = run({standin::dense(m, m, A), sparse_of(m, m, B),
                      standin::dense(m, m, C), cells(cell)});
        ASSERT_TRUE(Returned(c));
        for (size_t i = 0; i < D.size(); i++) {
            double want = (double)reference(m, A, B, C, D[i]);
            EXPECT_NEAR(standin::values(c.out[0])[i], want, 1e-12 * (1 + std::fabs(want)));
        }
    }
}

TEST_F(Brisset, IsExactOnSmallIntegers)
{
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> u(-3, 3);
    const size_t m = 8;
    std::vector<double> A(m * m), B(m * m), C(m * m), D(m * m);
    for (double &v : A) v = u(rng);
    for (double &v : B) v = u(rng) > 0 ? u(rng) : 0;
    for (double &v : C) v = u(rng);
    for (double &v : D) v = u(rng) > 1 ? u(rng) : 0;
    Call c = run({standin::dense(m, m, A), sparse_of(m, m, B), standin::dense(m, m, C),
                  cells({sparse_of(m, m, D)})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0])[0], (double)reference(m, A, B, C, D));
}

// ---------------------------------------------------------------- memory

TEST_F(Brisset, TakesEightBlocksAndFreesThemInAllocationOrder)
{
    Call c = run(sound3());
    ASSERT_TRUE(Returned(c));
    const size_t I = sizeof(mwIndex), P = sizeof(void *);
    EXPECT_EQ(malloc_sizes(c), (std::vector<size_t>{3 * I, 3 * I, 3 * 8, 3 * I,
                                                    3 * 8, 2 * P, 2 * P, 2 * P}));
    EXPECT_EQ(c.free_order(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Brisset, ReportsAnyRefusedBlockAfterRequestingAllEight)
{
    for (int k = 1; k <= 8; k++) {
        Faults f;
        f.fail_allocation = k;
        Call c = run(sound3(), f);
        EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n")) << k;
        EXPECT_EQ(c.allocations(), 8) << k;
    }
}

TEST_F(Brisset, ReportsMissingStorageAndAMissingResult)
{
    const struct { int input; unsigned storage; } inputs[] = {
        {0, standin::Pr}, {2, standin::Pr},
        {1, standin::Pr}, {1, standin::Ir}, {1, standin::Jc}};
    for (const auto &k : inputs) {
        auto in = sound3();
        mxArray *copy = k.input == 1 ? eye_sparse(3) : eye(3);
        standin::null_storage(copy, k.storage);
        in[k.input] = copy;
        EXPECT_TRUE(Failed(run(in), "Error: Matrices are corrupted?\n"))
            << k.input << " " << k.storage;
    }
    for (unsigned which : {standin::Pr, standin::Ir, standin::Jc}) {
        mxArray *e = eye_sparse(3);
        standin::null_storage(e, which);
        auto in = sound3();
        in[3] = cells({eye_sparse(3), e});
        EXPECT_TRUE(Failed(run(in), "Error: Matrices from the cell array are "
                                    "corrupted?\n")) << which;
    }
    Faults none;
    none.fail_creation = 1;
    Call c = run(sound3(), none);
    EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n"));
    EXPECT_EQ(c.allocations(), 0);
    // a result without storage: nothing is written, the kernel not called
    Faults empty;
    empty.null_creation = 1;
    empty.null_which = standin::Pr;
    Call e = run(sound3(), empty);
    EXPECT_TRUE(Failed(e, "Error: Matrices are corrupted?\n"));
    EXPECT_EQ(e.allocations(), 0);
}
