// kovalin(x, A[, nnz]): the weighted sum, through the stand-in host.
#include "support.h"

#include <cmath>
#include <random>

using standin::Call;
using standin::Class;
using standin::Columns;
using standin::Event;
using standin::Faults;

namespace {

const standin::Module &kovalin() { return module_at(KOVALIN_MODULE); }

Call run(std::vector<const mxArray *> in, Faults f = Faults(), int nlhs = 1)
{
    return standin::call(kovalin(), nlhs, std::move(in), f);
}

mxArray *row(std::vector<double> v) { return standin::dense(1, v.size(), v); }

// A sparse m-by-m matrix with one stored value per (row, column, value).
mxArray *sp(size_t m, std::vector<std::tuple<mwIndex, size_t, double>> entries,
            size_t capacity = 0)
{
    Columns cols(m);
    for (auto &[r, c, v] : entries)
        cols[c].push_back({r, v});
    return standin::sparse(m, m, cols, capacity);
}

bool is_sparse_result(const Call &c) { return standin::capacity(c.out[0]) > 0; }

std::vector<size_t> realloc_sizes(const Call &c)
{
    std::vector<size_t> sizes;
    for (const Event &e : c.events)
        if (e.kind == Event::Realloc)
            sizes.push_back(e.bytes);
    return sizes;
}

size_t created_size(const Call &c)
{
    for (const Event &e : c.events)
        if (e.kind == Event::Create)
            return e.bytes;
    return SIZE_MAX;
}

// Three sound all-sparse arguments of order 2.
std::vector<const mxArray *> sound2()
{
    return {row({1, 2}), cells({sp(2, {{0, 0, 1.0}}), sp(2, {{1, 1, 1.0}})})};
}

}  // namespace

// ------------------------------------------------------------ validation

using KovalinRejects = RejectsTable;

TEST_P(KovalinRejects, WithTheFirstFailingChecksMessageBeforeAnyWork)
{
    const Rejected &r = GetParam();
    Call c = run(r.inputs(), Faults(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_TRUE(c.events.empty());
}

using In = std::vector<const mxArray *>;

INSTANTIATE_TEST_SUITE_P(Table, KovalinRejects, ::testing::Values(
    Rejected{"TwoOutputs", sound2, "Error: Expecting one output argument.\n", 2},
    Rejected{"OneInput", [] { return In{row({1})}; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    Rejected{"FourInputs", [] { auto v = sound2(); v.push_back(v[0]);
             v.push_back(v[0]); return v; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    // The third argument is checked before the first two.
    Rejected{"LogicalThirdBeforeBadFirst", [] { return In{standin::text("x"),
             standin::scalar(1), standin::numeric(Class::Logical, 1, 1, 1)}; },
             "Third argument should be a (numeric) scalar.\n"},
    Rejected{"CharThird", [] { auto v = sound2(); v.push_back(standin::text("a"));
             return v; }, "Third argument should be a (numeric) scalar.\n"},
    Rejected{"ComplexThird", [] { auto v = sound2();
             v.push_back(standin::complex_dense(1, 1)); return v; },
             "Third argument should be a (numeric) scalar.\n"},
    Rejected{"RowThird", [] { auto v = sound2(); v.push_back(row({1, 2}));
             return v; }, "Third argument should be a (numeric) scalar.\n"},
    Rejected{"EmptyThird", [] { auto v = sound2();
             v.push_back(standin::dense(0, 0)); return v; },
             "Third argument should be a (numeric) scalar.\n"},
    Rejected{"SingleFirst", [] { return In{standin::numeric(Class::Single, 1, 2),
             cells({sp(2, {}), sp(2, {})})}; },
             "First argument should be a real vector.\n"},
    Rejected{"ComplexFirst", [] { return In{standin::complex_dense(1, 2),
             cells({sp(2, {}), sp(2, {})})}; },
             "First argument should be a real vector.\n"},
    Rejected{"SecondNotCell", [] { return In{row({1}), sp(2, {})}; },
             "Second arguments should be a cell array.\n"},
    Rejected{"EmptyCell", [] { return In{row({1}), standin::cell(0, 0, {})}; },
             "First and second arguments don't match, one is empty.\n"},
    Rejected{"EmptyWeights", [] { return In{standin::dense(0, 0),
             cells({sp(2, {})})}; },
             "First and second arguments don't match, one is empty.\n"},
    Rejected{"MatrixOfWeights", [] { return In{standin::dense(2, 2),
             cells({sp(2, {}), sp(2, {})})}; },
             "First argument should be a vector.\n"},
    Rejected{"TwoDimensionalCell", [] { return In{row({1, 2}),
             standin::cell(2, 2, {sp(2, {}), sp(2, {}), sp(2, {}), sp(2, {})})}; },
             "Second argument should be a 1D cell array.\n"},
    Rejected{"ThreeWeightsOneElement", [] { return In{row({1, 2, 3}),
             cells({sp(2, {})})}; },
             "First and second arguments don't match in size.\n"},
    Rejected{"WeightsWithoutStorage", [] { mxArray *x = row({1, 2});
             standin::null_storage(x, standin::Pr);
             return In{x, cells({sp(2, {}), sp(2, {})})}; },
             "First argument is corrupted?\n"},
    Rejected{"UnassignedThirdElement", [] { return In{row({1, 2, 3}),
             cells({sp(2, {}), sp(2, {}), nullptr})}; },
             "Error: 3 element of the cell array (2nd arg.) is empty.\n"},
    Rejected{"ThreeByFourFirstElement", [] { return In{row({1, 2}),
             cells({standin::dense(3, 4), sp(3, {})})}; },
             "Error: All element of the cell array should be matrices 3x3 (1 not).\n"},
    Rejected{"SingleSecondElement", [] { return In{row({1, 2}),
             cells({standin::dense(3, 3), standin::numeric(Class::Single, 3, 3)})}; },
             "Error: All element of the cell array should be matrices 3x3 (2 not).\n"},
    Rejected{"Int8SecondElement", [] { return In{row({1, 2}),
             cells({standin::dense(3, 3), standin::numeric(Class::Int8, 3, 3)})}; },
             "Error: All element of the cell array should be matrices 3x3 (2 not).\n"},
    Rejected{"LogicalSecondElement", [] { return In{row({1, 2}),
             cells({sp(3, {}), standin::sparse_logical(3, 3, Columns(3))})}; },
             "Error: All element of the cell array should be matrices 3x3 (2 not).\n"},
    Rejected{"ComplexSecondElement", [] { return In{row({1, 2}),
             cells({sp(3, {}), standin::sparse_complex(3, 3, Columns(3))})}; },
             "Error: All element of the cell array should be matrices 3x3 (2 not).\n"},
    // A fault in the last element is found before anything is made.
    Rejected{"FaultInTheLastOfFive", [] { return In{row({1, 2, 3, 4, 5}),
             cells({sp(2, {}), standin::dense(2, 2), sp(2, {}), sp(2, {}),
                    standin::dense(2, 3)})}; },
             "Error: All element of the cell array should be matrices 2x2 (5 not).\n"}));

using Kovalin = ModuleTest;

TEST_F(Kovalin, GivesZeroByZeroForTwoEmptyArgumentsWithoutFurtherChecks)
{
    for (Call c : {run({standin::dense(0, 0), standin::cell(0, 0, {})}),
                   run({standin::dense(0, 3), standin::cell(1, 0, {})}),
                   run({standin::dense(0, 3), standin::cell(1, 0, {}),
                        standin::scalar(-1)})}) {
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::capacity(c.out[0]), 0u);   // dense
        EXPECT_TRUE(standin::values(c.out[0]).empty());
    }
}

TEST_F(Kovalin, AcceptsAColumnOfWeightsWithARowOrColumnCell)
{
    mxArray *x = standin::dense(3, 1, {1, 2, 3});
    std::vector<mxArray *> e = {sp(2, {{0, 0, 1.0}}), sp(2, {{0, 0, 1.0}}),
                                sp(2, {{1, 1, 1.0}})};
    for (mxArray *A : {standin::cell(1, 3, e), standin::cell(3, 1, e)}) {
        Call c = run({x, A});
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::full(c.out[0]), (std::vector<double>{3, 0, 0, 3}));
    }
}

TEST_F(Kovalin, WithOneWeightUsesOnlyTheFirstElementOfALongerCell)
{
    Call c = run({standin::scalar(2),
                  cells({sp(2, {{0, 1, 3.0}}), nullptr, standin::dense(5, 5)})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::full(c.out[0]), (std::vector<double>{0, 6, 0, 0}));
}

TEST_F(Kovalin, StoresItsResultAlsoWhenNoOutputIsRequested)
{
    Call c = run(sound2(), Faults(), 0);
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::full(c.out[0]), (std::vector<double>{1, 0, 0, 2}));
}

// ------------------------------------------------- result kind, estimate

TEST_F(Kovalin, ChoosesTheResultKindFromTheThirdArgument)
{
    const bool narrow = sizeof(mwIndex) == 4;
    const struct { const char *what; mxArray *third; bool sparse; } cases[] = {
        {"absent", nullptr, true},
        {"0", standin::scalar(0), true},
        {"0.5", standin::scalar(0.5), true},
        {"-0.7", standin::scalar(-0.7), true},
        {"2.9", standin::scalar(2.9), true},
        {"single 5", standin::numeric(Class::Single, 1, 1, 5), true},
        {"int8 7", standin::numeric(Class::Int8, 1, 1, 7), true},
        {"1e18", standin::scalar(1e18), !narrow},
        {"3e9", standin::scalar(3e9), !narrow},
        {"-1", standin::scalar(-1), false},
        {"-1.5", standin::scalar(-1.5), false},
        {"int32 -3", standin::numeric(Class::Int32, 1, 1, -3), false},
        {"NaN", standin::scalar(NAN), false},
        {"-Inf", standin::scalar(-INFINITY), false},
        {"Inf", standin::scalar(INFINITY), false},
        {"2^63", standin::scalar(0x1p63), false},
        {"2^64", standin::scalar(0x1p64), false},
        {"-2^63", standin::scalar(-0x1p63), false},
        {"-1e300", standin::scalar(-1e300), false},
        {"1e300", standin::scalar(1e300), false},
    };
    mxArray *x = row({1, 2});
    mxArray *A = cells({sp(2, {{0, 1, 1.0}}), sp(2, {{1, 1, 1.0}})});
    for (const auto &k : cases) {
        Call c = k.third ? run({x, A, k.third}) : run({x, A});
        ASSERT_TRUE(Returned(c)) << k.what;
        EXPECT_EQ(is_sparse_result(c), k.sparse) << k.what;
        // Sparse results hold the transpose, dense ones the sum.
        const std::vector<double> sum = {0, 0, 1, 2}, transpose = {0, 1, 0, 2};
        EXPECT_EQ(standin::full(c.out[0]), k.sparse ? transpose : sum) << k.what;
    }
}

TEST_F(Kovalin, GivesADenseResultForAnyDenseElement)
{
    Call c = run({row({1, 2}), cells({sp(2, {{0, 1, 1.0}}), standin::dense(2, 2)}),
                  standin::scalar(5)});
    ASSERT_TRUE(Returned(c));
    EXPECT_FALSE(is_sparse_result(c));
    EXPECT_EQ(c.allocations(), 0);
    EXPECT_EQ(standin::full(c.out[0]), (std::vector<double>{0, 0, 1, 0}));
}

TEST_F(Kovalin, EstimatesFourTimesTheMeanCapacityTruncated)
{
    // capacities 10 .. 53, all stored; 4 * 153 / 5 = 122.4
    const size_t m = 20;
    std::vector<mxArray *> e;
    for (size_t cap : {10, 20, 30, 40, 53}) {
        std::vector<std::tuple<mwIndex, size_t, double>> entries;
        for (size_t p = 0; p < cap; p++)
            entries.emplace_back(static_cast<mwIndex>(p % m), p / m, 1.0);
        e.push_back(sp(m, entries));
    }
    Call c = run({row({1, 1, 1, 1, 1}), cells(e)});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(malloc_sizes(c)[1], (122 + m) * sizeof(mwIndex));
    // A given estimate is used as it is: 2.9 reads as 2.
    Call given = run({row({1, 1, 1, 1, 1}), cells(e), standin::scalar(2.9)});
    ASSERT_TRUE(Returned(given));
    EXPECT_EQ(malloc_sizes(given)[1], (2 + m) * sizeof(mwIndex));
}

TEST_F(Kovalin, BoundsTheComputedEstimateByTheStoredEntries)
{
    // capacity 40 with 3 entries stored: 4 * 40 / 1, bounded by the 3.
    mxArray *big = sp(4, {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}}, 40);
    Call one = run({row({1}), cells({big})});
    ASSERT_TRUE(Returned(one));
    EXPECT_EQ(malloc_sizes(one)[1], (3 + 4) * sizeof(mwIndex));
}

TEST_F(Kovalin, BoundsAHugeEstimateByWhatTheResultCanHold)
{
    mxArray *x = row({1, 2});
    // symmetric, since 1e18 selects a dense result in 32-bit builds
    mxArray *A = cells({sp(3, {{0, 1, 1.0}, {1, 0, 1.0}, {2, 2, 4.0}}),
                        sp(3, {{2, 2, 1.0}})});
    Call plain = run({x, A});
    Call huge = run({x, A, standin::scalar(1e18)});
    ASSERT_TRUE(Returned(plain));
    ASSERT_TRUE(Returned(huge));
    EXPECT_EQ(standin::full(huge.out[0]), standin::full(plain.out[0]));
    if (sizeof(mwIndex) == 8) {   // sparse: sized for the 4 stored entries
        EXPECT_EQ(malloc_sizes(huge)[1], (4 + 3) * sizeof(mwIndex));
    }
}

TEST_F(Kovalin, ConvertsTheThirdArgumentPerIndexWidth)
{
    // 2^31 is past the 32-bit range (dense), a plain estimate in 64 bits.
    // 2^63 + 2^11 reads as a negative 64-bit value (dense) in both.
    mxArray *x = row({1});
    mxArray *A = cells({sp(2, {{0, 0, 1.0}})});
    Call c31 = run({x, A, standin::scalar(0x1p31)});
    Call c63 = run({x, A, standin::scalar(0x1p63 + 0x1p11)});
    ASSERT_TRUE(Returned(c31));
    ASSERT_TRUE(Returned(c63));
    EXPECT_EQ(is_sparse_result(c31), sizeof(mwIndex) == 8);
    EXPECT_FALSE(is_sparse_result(c63));
}

// ------------------------------------------------------------ dense path

TEST_F(Kovalin, DenseSkipsZeroWeightsEntirelyAndUsesNaNWeights)
{
    mxArray *inf = standin::dense(2, 2, {INFINITY, NAN, INFINITY, NAN});
    mxArray *broken = standin::dense(2, 2);
    standin::null_storage(broken, standin::Pr);   // never fetched
    mxArray *s = sp(2, {{1, 0, 1.0}});
    Call zero = run({row({0.0, -0.0, 0.0, 3.0}), cells({inf, inf, broken, s}),
                     standin::scalar(-1)});
    ASSERT_TRUE(Returned(zero));
    EXPECT_EQ(standin::full(zero.out[0]), (std::vector<double>{0, 3, 0, 0}));

    Call nanSparse = run({row({NAN, 1.0}), cells({s, standin::dense(2, 2, {1, 1, 1, 1})})});
    ASSERT_TRUE(Returned(nanSparse));
    std::vector<double> v = standin::full(nanSparse.out[0]);
    EXPECT_EQ(v[0], 1.0);
    EXPECT_TRUE(std::isnan(v[1]));
    EXPECT_EQ(v[2], 1.0);
    EXPECT_EQ(v[3], 1.0);

    Call nanDense = run({row({1.0, NAN}), cells({s, standin::dense(2, 2)})});
    ASSERT_TRUE(Returned(nanDense));
    for (double d : standin::full(nanDense.out[0]))
        EXPECT_TRUE(std::isnan(d));
}

TEST_F(Kovalin, DenseAddsTermsInIndexOrderFromPlusZero)
{
    // (1e16 + 1) - 1e16 is 0 in double arithmetic, not 1.
    Call c = run({row({1, 1, -1}),
                  cells({standin::dense(1, 1, {1e16}), sp(1, {{0, 0, 1.0}}),
                         standin::dense(1, 1, {1e16})})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::full(c.out[0])[0], 0.0);

    // The same matrix dense and sparse, weights 1 and -1: +0 everywhere.
    std::vector<double> a = {2.5, -3, 0.125, 7};
    Faults poison;
    poison.poison_creations = true;   // no reliance on a zeroed result
    Call cancel = run({row({1, -1}), cells({standin::dense(2, 2, a),
                                            sparse_of(2, 2, a)})}, poison);
    ASSERT_TRUE(Returned(cancel));
    for (double d : standin::full(cancel.out[0]))
        EXPECT_EQ(bits(d), bits(0.0));
}

TEST_F(Kovalin, DenseAtOrderZeroStillChecksEachWeightedElement)
{
    mxArray *e = standin::dense(0, 0);
    standin::null_storage(e, standin::Pr);
    Call c = run({row({1}), cells({e})});
    EXPECT_TRUE(Failed(c, "Error: Dense matrix from the cell array is corrupted?\n"));
    Call skipped = run({row({0}), cells({e})});
    EXPECT_TRUE(Returned(skipped));
}

TEST_F(Kovalin, DenseReportsEachFault)
{
    std::vector<double> a = {1, 2, 3, 4};
    Faults create;
    create.fail_creation = 1;
    EXPECT_TRUE(Failed(run({row({1}), cells({standin::dense(2, 2, a)})}, create),
                       "Allocation error.\n"));
    Faults nullResult;
    nullResult.null_creation = 1;
    nullResult.null_which = standin::Pr;
    EXPECT_TRUE(Failed(run({row({1}), cells({standin::dense(2, 2, a)})}, nullResult),
                       "Matrix for the result corrupted?\n"));
    for (unsigned which : {standin::Pr, standin::Ir, standin::Jc}) {
        mxArray *s = sparse_of(2, 2, a);
        standin::null_storage(s, which);
        EXPECT_TRUE(Failed(run({row({1, 1}), cells({standin::dense(2, 2), s})}),
                           "Error: Sparse matrix from the cell array is corrupted?\n"));
    }
}

// ----------------------------------------------------------- sparse path

TEST_F(Kovalin, SparseHoldsTheTransposeOfAnUnsymmetricSum)
{
    Call c = run({row({1}), cells({sp(2, {{0, 1, 5.0}})})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::starts(c.out[0]), (std::vector<mwIndex>{0, 1, 1}));
    EXPECT_EQ(standin::rows(c.out[0]), (std::vector<mwIndex>{1}));
    EXPECT_EQ(standin::values(c.out[0]), (std::vector<double>{5}));
    // With a negative third argument, the sum itself, dense.
    Call d = run({row({1}), cells({sp(2, {{0, 1, 5.0}})}), standin::scalar(-1)});
    ASSERT_TRUE(Returned(d));
    EXPECT_EQ(standin::full(d.out[0]), (std::vector<double>{0, 0, 5, 0}));
}

TEST_F(Kovalin, SparseKeepsZerosThatCancellingTermsLeave)
{
    mxArray *a = sp(3, {{0, 0, 1.5}, {2, 0, -2.0}, {1, 2, 0.0}});
    Call c = run({row({1, -1}), cells({a, a})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::starts(c.out[0]), (std::vector<mwIndex>{0, 1, 2, 3}));
    EXPECT_EQ(standin::rows(c.out[0]), (std::vector<mwIndex>{0, 2, 0}));
    for (double d : standin::values(c.out[0]))
        EXPECT_EQ(bits(d), bits(0.0));
    EXPECT_EQ(created_size(c), 3u);
}

TEST_F(Kovalin, SparseLeavesRowIndicesAscendingWhateverTheOrderMet)
{
    // Column 0 meets row 3 (A{1}) before row 1 (A{2}); rows stored out of
    // order within a column are sorted too.
    Columns unsorted(4);
    unsorted[2] = {{3, 1.0}, {0, 2.0}};
    Call c = run({row({1, 1, 1}), cells({sp(4, {{3, 0, 1.0}}), sp(4, {{1, 0, 2.0}}),
                                         standin::sparse(4, 4, unsorted)})});
    ASSERT_TRUE(Returned(c));
    // the result is the transpose: column r holds row r of the sum
    EXPECT_EQ(standin::starts(c.out[0]), (std::vector<mwIndex>{0, 1, 2, 2, 4}));
    EXPECT_EQ(standin::rows(c.out[0]), (std::vector<mwIndex>{2, 0, 0, 2}));
    EXPECT_EQ(standin::values(c.out[0]), (std::vector<double>{2, 2, 1, 1}));
}

TEST_F(Kovalin, SparseSkipsZeroWeightsAndSpreadsNaNWeightsOverStoredEntries)
{
    mxArray *bad = sp(2, {{0, 0, NAN}, {1, 1, INFINITY}});
    mxArray *s = sp(2, {{1, 0, 2.0}});
    Call c = run({row({0.0, -0.0, NAN}), cells({bad, bad, s})});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::rows(c.out[0]), (std::vector<mwIndex>{0}));
    EXPECT_EQ(standin::starts(c.out[0]), (std::vector<mwIndex>{0, 0, 1}));
    EXPECT_TRUE(std::isnan(standin::values(c.out[0])[0]));

    Call none = run({row({0.0, 0.0}), cells({bad, s})});
    ASSERT_TRUE(Returned(none));
    EXPECT_EQ(standin::starts(none.out[0]), (std::vector<mwIndex>{0, 0, 0}));
    EXPECT_EQ(created_size(none), 0u);
}

TEST_F(Kovalin, SparseOfOrderZeroIsAnEmptySparseMatrix)
{
    Call c = run({row({1, 2}), cells({sp(0, {}), sp(0, {})})});
    ASSERT_TRUE(Returned(c));
    EXPECT_TRUE(is_sparse_result(c));
    EXPECT_EQ(standin::starts(c.out[0]), (std::vector<mwIndex>{0}));
}

TEST_F(Kovalin, SparseGrowsItsListsByTheRuleAndOnlyThen)
{
    // m = 100, estimate 1, 60 entries in column 0: before column 1,
    // 60 + 100 > 101, so the lists grow to 60 + 100 * (99/10 + 1) = 1060.
    std::vector<std::tuple<mwIndex, size_t, double>> entries;
    for (mwIndex r = 0; r < 60; r++)
        entries.emplace_back(r, 0, 1.0 + r);
    for (mwIndex r = 0; r < 100; r += 3)
        entries.emplace_back(r, 50, 1.0);
    mxArray *x = row({1});
    mxArray *A = cells({sp(100, entries)});
    Call grown = run({x, A, standin::scalar(1)});
    ASSERT_TRUE(Returned(grown));
    EXPECT_EQ(realloc_sizes(grown), (std::vector<size_t>{1060 * sizeof(mwIndex),
                                                         1060 * sizeof(double)}));
    // workIr first, then workPr
    std::vector<int> blocks;
    for (const Event &e : grown.events)
        if (e.kind == Event::Realloc)
            blocks.push_back(e.block);
    EXPECT_EQ(blocks, (std::vector<int>{1, 2}));

    // Without growth, or with a later one, the result is the same.
    Call roomy = run({x, A});
    Call tight = run({x, A, standin::scalar(60)});
    ASSERT_TRUE(Returned(roomy));
    ASSERT_TRUE(Returned(tight));
    EXPECT_TRUE(realloc_sizes(roomy).empty());
    for (const Call *c : {&roomy, &tight}) {
        EXPECT_EQ(standin::starts(c->out[0]), standin::starts(grown.out[0]));
        EXPECT_EQ(standin::rows(c->out[0]), standin::rows(grown.out[0]));
        EXPECT_EQ(standin::values(c->out[0]), standin::values(grown.out[0]));
    }
    EXPECT_EQ(created_size(grown), 60u + 34u);
}

TEST_F(Kovalin, SparseTakesEightBlocksAndFreesThemInTheStatedOrder)
{
    Call c = run(sound2());
    ASSERT_TRUE(Returned(c));
    const size_t I = sizeof(mwIndex), P = sizeof(void *);
    // workJc, workIr, workPr; rowStamp, rowSum, cellJc, cellIr, cellPr
    EXPECT_EQ(malloc_sizes(c), (std::vector<size_t>{3 * I, 4 * I, 4 * 8, 2 * I,
                                                    2 * 8, 2 * P, 2 * P, 2 * P}));
    EXPECT_EQ(c.free_order(), (std::vector<int>{1, 0, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Kovalin, SparseReportsEveryRefusedAllocationAfterItsGroup)
{
    for (int k = 1; k <= 8; k++) {
        Faults f;
        f.fail_allocation = k;
        Call c = run(sound2(), f);
        EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n")) << k;
        EXPECT_FALSE(c.slot_set_at_error) << k;
        EXPECT_EQ(c.allocations(), k <= 3 ? 3 : 8) << k;
    }
    // a refused growth of either list: requests 9 and 10
    std::vector<std::tuple<mwIndex, size_t, double>> full;
    for (mwIndex r = 0; r < 4; r++)
        full.emplace_back(r, 0, 1.0);
    for (int k : {9, 10}) {
        Faults f;
        f.fail_allocation = k;
        Call c = run({row({1}), cells({sp(4, full)}), standin::scalar(1)}, f);
        EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n")) << k;
        EXPECT_EQ(c.allocations(), 10) << k;
    }
}

TEST_F(Kovalin, SparseReportsMissingStorageAndAMissingResult)
{
    for (unsigned which : {standin::Pr, standin::Ir, standin::Jc}) {
        auto in = sound2();
        standin::null_storage(standin::cell_element(in[1], 1), which);
        EXPECT_TRUE(Failed(run(in), "Error: Matrices from the cell array are "
                                    "corrupted?\n")) << which;
        Faults f;
        f.null_creation = 1;
        f.null_which = which;
        EXPECT_TRUE(Failed(run(sound2(), f),
                           "Error: Sparse matrix for the result is corrupted?\n"));
    }
    Faults none;
    none.fail_creation = 1;
    EXPECT_TRUE(Failed(run(sound2(), none), "Error: Insufficient memory\n"));
}

TEST_F(Kovalin, ExpandsASparseWeightVectorWithZerosWhereNothingIsStored)
{
    mxArray *broken = sp(2, {{0, 0, 1.0}});
    standin::null_storage(broken, standin::Pr);    // weight 0: never read
    mxArray *A = cells({sp(2, {{0, 0, 1.0}}), broken, standin::dense(2, 2, {0, 1, 0, 0})});
    mxArray *x = standin::sparse(1, 3, {{{0, 2.0}}, {}, {{0, 4.0}}});
    Call c = run({x, A});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::full(c.out[0]), (std::vector<double>{2, 4, 0, 0}));
    mxArray *column = standin::sparse(3, 1, {{{2, 4.0}, {0, 2.0}}});
    Call d = run({column, A});
    ASSERT_TRUE(Returned(d));
    EXPECT_EQ(standin::full(d.out[0]), (std::vector<double>{2, 4, 0, 0}));
}

TEST_F(Kovalin, AgreesWithThePlainSumOnRandomSparseData)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1, 1);
    const size_t m = 23, n = 9;
    std::vector<mxArray *> e;
    std::vector<double> x(n), sum(m * m, 0.0);
    std::vector<bool> stored(m * m, false);
    for (size_t l = 0; l < n; l++) {
        x[l] = l == 4 ? 0.0 : u(rng);
        std::vector<double> a(m * m, 0.0);
        for (double &v : a)
            if (u(rng) > 0.7)
                v = u(rng);
        e.push_back(sparse_of(m, m, a));
        if (x[l] != 0)
            for (size_t t = 0; t < m * m; t++) {
                sum[t] = x[l] * a[t] + sum[t];
                stored[t] = stored[t] || a[t] != 0;
            }
    }
    Call c = run({standin::dense(n, 1, x), cells(e)});
    ASSERT_TRUE(Returned(c));
    // bit for bit, transposed, with every stored position kept
    std::vector<double> got = standin::full(c.out[0]);
    size_t count = 0;
    for (size_t i = 0; i < m; i++)
        for (size_t j = 0; j < m; j++) {
            EXPECT_EQ(bits(got[j + i * m]), bits(sum[i + j * m]));
            count += stored[i + j * m];
        }
    EXPECT_EQ(standin::rows(c.out[0]).size(), count);
}
