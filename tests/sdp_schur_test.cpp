// sdp_schur(F, W, Y[, [first last]]): M(i,j) = M(j,i) = trace(F{i}*W*F{j}*Y)
// for i <= j, or the panel M(first:k, first:last), through the stand-in host.
#include "support.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using standin::Call;
using standin::Class;
using standin::Columns;
using standin::Faults;

namespace {

const standin::Module &sdp_schur() { return module_at(SDP_SCHUR_MODULE); }

using In = std::vector<const mxArray *>;

Call run(In in, int nlhs = 1, Faults f = Faults())
{
    return standin::call(sdp_schur(), nlhs, std::move(in), f);
}

mxArray *panel(double first, double last) { return standin::dense(1, 2, {first, last}); }

// A sparse m-by-m matrix storing (row, column, value) in the order given.
mxArray *sp(size_t m, std::vector<std::tuple<mwIndex, size_t, double>> entries)
{
    Columns cols(m);
    for (auto &[r, c, v] : entries)
        cols[c].push_back({r, v});
    return standin::sparse(m, m, cols);
}

std::string dense_message(unsigned input, unsigned m, unsigned r, unsigned c,
                          bool sparse = false)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "Error: Input %u is expected to be a dense double "
                  "matrix %ux%u (%ux%u%s)\n", input, m, m, r, c, sparse ? ", sparse" : "");
    return buf;
}

std::string element_message(unsigned element, unsigned m)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "Error: Element %u of input 1 is expected to be a "
                  "sparse double matrix %ux%u\n", element, m, m);
    return buf;
}

std::string panel_message(unsigned k)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "Error: Input 4 is expected to be [first last], whole "
                  "numbers with 1 <= first <= last <= %u\n", k);
    return buf;
}

mxArray *threads() { return standin::text("threads"); }

std::string threads_message()
{
    return "Error: Input 2 is expected to be a whole number of threads from 1 to 64\n";
}

// Three constraint matrices of order 3, W and Y.
In sound3()
{
    return {cells({eye_sparse(3), sp(3, {{0, 1, 2.0}, {1, 0, 2.0}}), eye_sparse(3)}),
            eye(3), eye(3)};
}

In with_panel(mxArray *p)
{
    In v = sound3();
    v.push_back(p);
    return v;
}

// trace(Fi*W*Fj*Y) from dense column-major copies, as integers.
long long trace4(size_t m, const std::vector<double> &Fi, const std::vector<double> &W,
                 const std::vector<double> &Fj, const std::vector<double> &Y)
{
    long long t = 0;
    for (size_t a = 0; a < m; a++)
        for (size_t b = 0; b < m; b++)
            for (size_t c = 0; c < m; c++)
                for (size_t d = 0; d < m; d++)
                    t += (long long)Fi[a + b * m] * (long long)W[b + c * m] *
                         (long long)Fj[c + d * m] * (long long)Y[d + a * m];
    return t;
}

}  // namespace

// ------------------------------------------------------------ validation

using SdpSchurRejects = RejectsTable;

TEST_P(SdpSchurRejects, WithTheFirstFailingChecksMessageBeforeAnyAllocation)
{
    const Rejected &r = GetParam();
    Call c = run(r.inputs(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_TRUE(c.events.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, SdpSchurRejects, ::testing::Values(
    Rejected{"TwoOutputs", sound3, "Error: Expecting one output argument.\n", 2},
    Rejected{"TwoInputs", [] { In v = sound3(); v.pop_back(); return v; },
             "Error: Expecting 3 or 4 input arguments.\n"},
    Rejected{"FiveInputs", [] { In v = with_panel(panel(1, 1)); v.push_back(v[1]);
             return v; }, "Error: Expecting 3 or 4 input arguments.\n"},
    Rejected{"SparseMatrixForF", [] { In v = sound3(); v[0] = eye_sparse(3); return v; },
             "Error: Input 1 is expected to be a cell vector of sparse matrices\n"},
    Rejected{"CellMatrix", [] { In v = sound3();
             v[0] = standin::cell(2, 2, std::vector<mxArray *>(4, eye_sparse(3)));
             return v; }, "Error: Input 1 is expected to be a cell vector of sparse matrices\n"},
    Rejected{"NoCellAndSparseW", [] { In v = sound3(); v[0] = eye(3);
             v[1] = eye_sparse(3); return v; },
             "Error: Input 1 is expected to be a cell vector of sparse matrices\n"},
    Rejected{"SparseW", [] { In v = sound3(); v[1] = eye_sparse(3); return v; },
             dense_message(2, 3, 3, 3, true)},
    Rejected{"ComplexW", [] { In v = sound3(); v[1] = standin::complex_dense(3, 3);
             return v; }, dense_message(2, 3, 3, 3)},
    Rejected{"SingleY", [] { In v = sound3();
             v[2] = standin::numeric(Class::Single, 3, 3); return v; },
             dense_message(3, 3, 3, 3)},
    Rejected{"LogicalY", [] { In v = sound3();
             v[2] = standin::numeric(Class::Logical, 3, 3, 1); return v; },
             dense_message(3, 3, 3, 3)},
    Rejected{"SparseComplexY", [] { In v = sound3();
             v[2] = standin::sparse_complex(3, 3, Columns(3)); return v; },
             dense_message(3, 3, 3, 3, true)},
    Rejected{"WideW", [] { In v = sound3(); v[1] = standin::dense(3, 4); return v; },
             dense_message(2, 3, 3, 4)},
    Rejected{"SmallerY", [] { In v = sound3(); v[2] = eye(2); return v; },
             dense_message(3, 3, 2, 2)},
    // W gives the order: F's elements are measured against it.
    Rejected{"SmallerWAndY", [] { In v = sound3(); v[1] = eye(2); v[2] = eye(2);
             return v; }, element_message(1, 2)},
    Rejected{"BadElementAndSparseY", [] { In v = sound3(); v[0] = cells({eye(3)});
             v[2] = eye_sparse(3); return v; }, dense_message(3, 3, 3, 3, true)},
    Rejected{"DenseElement", [] { In v = sound3();
             v[0] = cells({eye_sparse(3), eye(3)}); return v; }, element_message(2, 3)},
    Rejected{"ComplexElement", [] { In v = sound3();
             v[0] = cells({standin::sparse_complex(3, 3, Columns(3))}); return v; },
             element_message(1, 3)},
    Rejected{"LogicalElement", [] { In v = sound3();
             v[0] = cells({eye_sparse(3), eye_sparse(3),
                           standin::sparse_logical(3, 3, Columns(3))}); return v; },
             element_message(3, 3)},
    Rejected{"ElementAColumnShort", [] { In v = sound3();
             v[0] = cells({standin::sparse(3, 2, Columns(2))}); return v; },
             element_message(1, 3)},
    Rejected{"UnassignedElement", [] { In v = sound3();
             v[0] = standin::cell(3, 1, {eye_sparse(3), nullptr, eye_sparse(3)});
             return v; }, element_message(2, 3)},
    Rejected{"BadElementAndBadPanel", [] { In v = with_panel(panel(0, 0));
             v[0] = cells({eye_sparse(2)}); return v; }, element_message(1, 3)},
    Rejected{"PanelFromZero", [] { return with_panel(panel(0, 2)); }, panel_message(3)},
    Rejected{"PanelPastK", [] { return with_panel(panel(2, 4)); }, panel_message(3)},
    Rejected{"PanelFarPastK", [] { return with_panel(panel(1e300, 1e300)); },
             panel_message(3)},
    Rejected{"PanelReversed", [] { return with_panel(panel(3, 2)); }, panel_message(3)},
    Rejected{"PanelNaNFirst", [] { return with_panel(panel(NAN, 2)); }, panel_message(3)},
    Rejected{"PanelNaNLast", [] { return with_panel(panel(1, NAN)); }, panel_message(3)},
    Rejected{"PanelInf", [] { return with_panel(panel(1, INFINITY)); }, panel_message(3)},
    Rejected{"PanelFractionFirst", [] { return with_panel(panel(1.5, 2)); },
             panel_message(3)},
    Rejected{"PanelFractionLast", [] { return with_panel(panel(1, 2.5)); },
             panel_message(3)},
    Rejected{"PanelOfOne", [] { return with_panel(standin::scalar(1)); }, panel_message(3)},
    Rejected{"PanelOfThree", [] { return with_panel(standin::dense(1, 3, {1, 2, 3})); },
             panel_message(3)},
    Rejected{"PanelSparse", [] { return with_panel(sparse_of(1, 2, {1, 2})); },
             panel_message(3)},
    Rejected{"PanelInt32", [] { return with_panel(standin::numeric(Class::Int32, 1, 2, 1)); },
             panel_message(3)},
    Rejected{"PanelComplex", [] { return with_panel(standin::complex_dense(1, 2)); },
             panel_message(3)},
    Rejected{"PanelOfNoElements", [] { return In{standin::cell(0, 0, {}), eye(3), eye(3),
             panel(1, 1)}; }, panel_message(0)},
    Rejected{"ThreadsZero", [] { return In{threads(), standin::scalar(0)}; },
             threads_message()},
    Rejected{"ThreadsPastTheMost", [] { return In{threads(), standin::scalar(65)}; },
             threads_message()},
    Rejected{"ThreadsFraction", [] { return In{threads(), standin::scalar(2.5)}; },
             threads_message()},
    Rejected{"ThreadsNaN", [] { return In{threads(), standin::scalar(NAN)}; },
             threads_message()},
    Rejected{"ThreadsFarPastTheMost", [] { return In{threads(), standin::scalar(1e300)}; },
             threads_message()},
    Rejected{"ThreadsSparse", [] { return In{threads(), sparse_of(1, 1, {2})}; },
             threads_message()},
    Rejected{"ThreadsTwoValues", [] { return In{threads(), standin::dense(1, 2, {2, 2})}; },
             threads_message()},
    Rejected{"ThreadsInt32", [] { return In{threads(),
             standin::numeric(Class::Int32, 1, 1, 2)}; }, threads_message()},
    Rejected{"ThreadsThreeInputs", [] { return In{threads(), standin::scalar(2),
             standin::scalar(2)}; }, "Error: Expecting 1 or 2 input arguments with 'threads'\n"},
    Rejected{"ThreadsTwoOutputs", [] { return In{threads()}; },
             "Error: Expecting one output argument.\n", 2},
    Rejected{"ShorterWord", [] { return In{standin::text("thread"), standin::scalar(2)}; },
             "Error: Input 1 is expected to be a cell vector of sparse matrices, or "
             "'threads'\n"}),
    [](const ::testing::TestParamInfo<Rejected> &i) { return i.param.name; });

// ----------------------------------------------------------- computation

using SdpSchur = ModuleTest;

TEST_F(SdpSchur, IsExactOnSmallIntegersTakingEachEntryFromTheRowOfItsSmallerIndex)
{
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> u(-3, 3);
    for (auto [m, k] : {std::pair<size_t, size_t>{1, 3}, {2, 5}, {5, 7}, {8, 6}}) {
        std::vector<double> W(m * m), Y(m * m);
        for (double &v : W) v = u(rng);
        for (double &v : Y) v = u(rng);
        // unsymmetric, stored zeros, rows out of order, an element without
        // entries and one that comes twice
        std::vector<std::vector<double>> D(k, std::vector<double>(m * m, 0.0));
        std::vector<mxArray *> F;
        for (size_t l = 0; l < k; l++) {
            if (l == 2) {
                D[l] = D[0];
                F.push_back(F[0]);
                continue;
            }
            const int density = l == 1 ? 0 : l % 2 ? 1 : 3;
            Columns cols(m);
            for (size_t j = 0; j < m; j++) {
                for (size_t i = 0; i < m; i++)
                    if (u(rng) + 3 < density) {
                        D[l][i + j * m] = u(rng);
                        cols[j].push_back({(mwIndex)i, D[l][i + j * m]});
                    }
                std::shuffle(cols[j].begin(), cols[j].end(), rng);
            }
            F.push_back(standin::sparse(m, m, cols));
        }
        Call c = run({cells(F), standin::dense(m, m, W), standin::dense(m, m, Y)});
        ASSERT_TRUE(Returned(c));
        ASSERT_EQ(mxGetM(c.out[0]), k);
        ASSERT_EQ(mxGetN(c.out[0]), k);
        const std::vector<double> M = standin::values(c.out[0]);
        for (size_t i = 0; i < k; i++)
            for (size_t j = i; j < k; j++) {
                const double want = (double)trace4(m, D[i], W, D[j], Y);
                EXPECT_EQ(M[i + j * k], want) << "m " << m << ", M(" << i << "," << j << ")";
                EXPECT_EQ(M[j + i * k], want) << "m " << m << ", M(" << j << "," << i << ")";
            }
    }
}

TEST_F(SdpSchur, FormsBlockDiagonalProblemsExactlyAndCarriesNaNAcrossTheBlocks)
{
    // blocks {0,1}, {2}, {3,4}: W and Y block diagonal, each element within
    // them, so each row is formed within the blocks its element uses
    const size_t m = 5;
    std::vector<double> W(m * m, 0.0), Y(m * m, 0.0);
    const std::vector<std::pair<size_t, size_t>> blocks{{0, 2}, {2, 3}, {3, 5}};
    int v = 1;
    for (auto [lo, hi] : blocks)
        for (size_t j = lo; j < hi; j++)
            for (size_t i = lo; i < hi; i++) {
                W[i + j * m] = (v++ % 5) - 2;
                Y[i + j * m] = (v++ % 7) - 3;
            }
    std::vector<std::vector<std::tuple<mwIndex, size_t, double>>> E{
        {{0, 0, 2.0}, {1, 0, -1.0}, {0, 1, 3.0}},
        {{2, 2, 1.0}},
        {{4, 3, 2.0}, {3, 4, 2.0}, {0, 1, 1.0}},
        {}};
    std::vector<mxArray *> F;
    std::vector<std::vector<double>> D;
    for (auto &e : E) {
        F.push_back(sp(m, e));
        D.emplace_back(m * m, 0.0);
        for (auto &[r, c, x] : e)
            D.back()[r + c * m] = x;
    }
    Call c = run({cells(F), standin::dense(m, m, W), standin::dense(m, m, Y)});
    ASSERT_TRUE(Returned(c));
    const std::vector<double> M = standin::values(c.out[0]);
    const size_t k = F.size();
    for (size_t i = 0; i < k; i++)
        for (size_t j = 0; j < k; j++)
            EXPECT_EQ(M[i + j * k], (double)trace4(m, D[std::min(i, j)], W, D[std::max(i, j)], Y))
                << "M(" << i << "," << j << ")";
    // an infinite entry of F{1}: its products with the zeros of Y outside
    // its block are NaN, and so is its row against every later element
    // that stores entries
    F[0] = sp(m, {{0, 0, INFINITY}});
    c = run({cells(F), standin::dense(m, m, W), standin::dense(m, m, Y)});
    ASSERT_TRUE(Returned(c));
    const std::vector<double> N = standin::values(c.out[0]);
    EXPECT_TRUE(std::isnan(N[1 * k]) && std::isnan(N[2 * k]));
    EXPECT_EQ(N[3 * k], 0.0);
}

TEST_F(SdpSchur, GivesEachPanelTheBitsOfTheWholeMatrix)
{
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> u(-1, 1);
    const size_t m = 9, k = 11;
    std::vector<double> W(m * m), Y(m * m);
    for (double &v : W) v = std::ldexp(u(rng), (int)(rng() % 40) - 20);
    for (double &v : Y) v = std::ldexp(u(rng), (int)(rng() % 40) - 20);
    std::vector<mxArray *> F;
    for (size_t l = 0; l < k; l++) {
        std::vector<double> d(m * m, 0.0);
        for (double &v : d)
            if (u(rng) > (l % 3 == 0 ? 0.8 : 0.2))
                v = std::ldexp(u(rng), (int)(rng() % 20) - 10);
        F.push_back(sparse_of(m, m, d));
    }
    const mxArray *Fc = cells(F), *Wd = standin::dense(m, m, W), *Yd = standin::dense(m, m, Y);
    Call whole = run({Fc, Wd, Yd});
    ASSERT_TRUE(Returned(whole));
    const std::vector<double> M = standin::values(whole.out[0]);
    for (size_t first = 1; first <= k; first++)
        for (size_t last = first; last <= k; last++) {
            // no output asked for: the result is stored all the same
            Call c = run({Fc, Wd, Yd, panel((double)first, (double)last)}, (int)(first % 2));
            ASSERT_TRUE(Returned(c));
            const size_t rows = k - first + 1, cols = last - first + 1;
            ASSERT_EQ(mxGetM(c.out[0]), rows);
            ASSERT_EQ(mxGetN(c.out[0]), cols);
            const std::vector<double> P = standin::values(c.out[0]);
            for (size_t j = 0; j < cols; j++)
                for (size_t i = 0; i < rows; i++)
                    EXPECT_EQ(bits(P[i + j * rows]),
                              bits(M[(first - 1 + i) + (first - 1 + j) * k]))
                        << "panel [" << first << " " << last << "], (" << i << "," << j << ")";
        }
}

TEST_F(SdpSchur, FormsAPanelFromTheElementsFromFirstOnAlone)
{
    // F{1} without storage: a panel from 2 on never reads it, and takes
    // storage for the two elements it uses.
    mxArray *bad = eye_sparse(3);
    standin::null_storage(bad, standin::Pr | standin::Ir | standin::Jc);
    mxArray *F2 = sp(3, {{0, 1, 2.0}, {1, 0, 3.0}}), *F3 = eye_sparse(3);
    const mxArray *W = standin::dense(3, 3, {2, 1, 0, 1, 3, 1, 0, 1, 4});
    Call all = run({cells({eye_sparse(3), F2, F3}), W, W});
    Call part = run({cells({bad, F2, F3}), W, W, panel(2, 3)});
    ASSERT_TRUE(Returned(all));
    ASSERT_TRUE(Returned(part));
    const std::vector<double> M = standin::values(all.out[0]), P = standin::values(part.out[0]);
    EXPECT_EQ(P, (std::vector<double>{M[4], M[5], M[7], M[8]}));
    EXPECT_EQ(malloc_sizes(part).at(0), 2 * sizeof(void *));
}

TEST_F(SdpSchur, OfNoElementsIsEmptyWithoutAllocating)
{
    for (mxArray *F : {standin::cell(0, 0, {}), standin::cell(1, 0, {}),
                       standin::cell(0, 1, {})}) {
        Call c = run({F, eye(3), eye(3)});
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(mxGetM(c.out[0]), 0u);
        EXPECT_EQ(mxGetN(c.out[0]), 0u);
        EXPECT_EQ(c.allocations(), 0);
    }
}

TEST_F(SdpSchur, OfOrderZeroIsZerosWithoutReadingStorage)
{
    mxArray *W = standin::dense(0, 0), *Y = standin::dense(0, 0);
    mxArray *E = standin::sparse(0, 0, {});
    for (mxArray *a : {W, Y, E})
        standin::null_storage(a, standin::Pr | standin::Ir | standin::Jc);
    Faults poison;
    poison.poison_creations = true;   // the zeros are written, not the host's
    for (const In &in : {In{cells({E, E}), W, Y}, In{cells({E, E}), W, Y, panel(2, 2)}}) {
        Call c = run(in, 1, poison);
        ASSERT_TRUE(Returned(c));
        const std::vector<double> M = standin::values(c.out[0]);
        EXPECT_EQ(M.size(), in.size() == 3 ? 4u : 1u);
        for (double v : M)
            EXPECT_EQ(bits(v), bits(0.0));
        EXPECT_EQ(c.allocations(), 0);
    }
}

TEST_F(SdpSchur, IsPlusZeroWhereAnElementHasNoEntriesWhateverWAndYHold)
{
    const mxArray *nan = standin::dense(2, 2, {NAN, NAN, NAN, INFINITY});
    mxArray *none = standin::sparse(2, 2, Columns(2));
    Faults poison;
    poison.poison_creations = true;
    Call c = run({cells({none, none}), nan, nan}, 1, poison);
    ASSERT_TRUE(Returned(c));
    for (double v : standin::values(c.out[0]))
        EXPECT_EQ(bits(v), bits(0.0));
}

TEST_F(SdpSchur, CarriesInfinityAgainstAnElementWithoutEntries)
{
    // Row 1's G is +0.0 at F{2}'s position, and Inf*0 is NaN; M(2,1) is
    // the sum over F{1}'s entries, none, in the row of index 1.
    mxArray *none = standin::sparse(2, 2, Columns(2));
    mxArray *inf = sp(2, {{1, 0, INFINITY}});
    Call c = run({cells({none, inf}), eye(2), eye(2)});
    ASSERT_TRUE(Returned(c));
    std::vector<double> M = standin::values(c.out[0]);
    EXPECT_EQ(bits(M[0]), bits(0.0));
    EXPECT_TRUE(std::isnan(M[2]));
    EXPECT_TRUE(std::isnan(M[1]));
    // in the other order, F{1} holds Inf and M(1,2) sums over F{2}: +0.0
    c = run({cells({inf, none}), eye(2), eye(2)});
    ASSERT_TRUE(Returned(c));
    M = standin::values(c.out[0]);
    EXPECT_EQ(bits(M[2]), bits(0.0));
    EXPECT_EQ(bits(M[3]), bits(0.0));
    // and a stored zero against NaN in W is NaN
    c = run({cells({sp(2, {{0, 0, 0.0}})}), standin::dense(2, 2, {NAN, 0, 0, 1}), eye(2)});
    ASSERT_TRUE(Returned(c));
    EXPECT_TRUE(std::isnan(standin::values(c.out[0])[0]));
}

TEST_F(SdpSchur, TakesOnlyTheEntriesOfWAndYThatStoredEntriesReach)
{
    // F{1} stores (0,1), F{2} (2,0): M(1,1) takes W(1,0), Y(1,0); M(1,2)
    // W(1,2), Y(0,0); M(2,2) W(0,2), Y(0,2). NaN everywhere else.
    std::vector<double> W(9, NAN), Y(9, NAN);
    W[1 + 0 * 3] = 2; W[1 + 2 * 3] = 3; W[0 + 2 * 3] = 5;
    Y[1 + 0 * 3] = 7; Y[0 + 0 * 3] = 11; Y[0 + 2 * 3] = 13;
    Call c = run({cells({sp(3, {{0, 1, 1.0}}), sp(3, {{2, 0, -1.0}})}),
                  standin::dense(3, 3, W), standin::dense(3, 3, Y)});
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0]), (std::vector<double>{14, -33, -33, 65}));
}

TEST_F(SdpSchur, SumsInStorageOrder)
{
    // W and Y all ones. With F{1} = e(1,1), G is 1 everywhere, and M(1,2)
    // is the sum of column 1 of F{2} in storage order; M(2,2) sums the
    // same column into H first.
    const mxArray *ones = standin::dense(3, 3, std::vector<double>(9, 1.0));
    auto entries = [&](Columns col) {
        Call c = run({cells({sp(3, {{0, 0, 1.0}}), standin::sparse(3, 3, col)}), ones, ones});
        EXPECT_TRUE(Returned(c));
        return c.ok ? standin::values(c.out[0]) : std::vector<double>(4, -1);
    };
    const std::vector<double> kept = entries({{{0, 1e16}, {1, 1.0}, {2, -1e16}}, {}, {}});
    const std::vector<double> last = entries({{{0, 1e16}, {2, -1e16}, {1, 1.0}}, {}, {}});
    EXPECT_EQ(kept[2], 0.0);
    EXPECT_EQ(last[2], 1.0);
    EXPECT_EQ(kept[3], 0.0);   // H = 0 at each position: 0 * entries
    EXPECT_EQ(last[3], 1.0);
}

// --------------------------------------------------------------- threads

TEST_F(SdpSchur, KeepsTheThreadsItIsGivenBetweenCallsAndReadsAWordOfSevenLettersLast)
{
    Call c = run({threads()});
    ASSERT_TRUE(c.ok) << c.message;
    const double before = standin::values(c.out[0])[0];
    EXPECT_GE(before, 1.0);   // the processors online, at most 64
    EXPECT_LE(before, 64.0);
    c = run({threads(), standin::scalar(3)});
    ASSERT_TRUE(c.ok) << c.message;
    EXPECT_EQ(standin::values(c.out[0])[0], before);
    EXPECT_EQ(standin::values(run({threads()}).out[0])[0], 3.0);
    // a refused count, or a result that cannot be made, leaves it as it was
    EXPECT_FALSE(run({threads(), standin::scalar(0)}).ok);
    Faults none;
    none.fail_creation = 1;
    EXPECT_TRUE(Failed(run({threads(), standin::scalar(5)}, 1, none),
                       "Error: Insufficient memory\n"));
    EXPECT_EQ(standin::values(run({threads()}).out[0])[0], 3.0);
    // another word of seven letters: its text, read last, is let go
    c = run({standin::text("Threads"), standin::scalar(2)});
    EXPECT_TRUE(Failed(c, "Error: Input 1 is expected to be a cell vector of sparse "
                          "matrices, or 'threads'\n"));
    EXPECT_EQ(c.allocations(), 1);
    EXPECT_TRUE(c.leaked.empty());
    EXPECT_EQ(standin::values(run({threads()}).out[0])[0], 3.0);
    EXPECT_TRUE(run({threads(), standin::scalar(64)}).ok);
    EXPECT_EQ(standin::values(run({threads(), standin::scalar(before)}).out[0])[0], 64.0);
}

// A thread beside the calling one takes four blocks of its own, so the
// requests to the allocator count the threads a call took: no more than
// one for each 2^17 of stored entries times rows, and the same bits.
TEST_F(SdpSchur, TakesAThreadForEachShareOfItsWork)
{
    const size_t m = 30, k = 200;   // 15 entries each: 3000 times 200 rows
    std::vector<mxArray *> e;
    std::mt19937 rng(7);
    for (size_t l = 0; l < k; l++) {
        Columns cols(m);
        for (size_t t = 0; t < 15; t++)
            cols[(l + t) % m].push_back({(mwIndex)((l * 7 + t * 3) % m),
                                         std::uniform_real_distribution<double>(-1, 1)(rng)});
        for (Columns::value_type &c : cols)
            std::sort(c.begin(), c.end(), [](auto &a, auto &b) { return a.row < b.row; });
        e.push_back(standin::sparse(m, m, cols));
    }
    std::vector<double> w(m * m), y(m * m);
    for (size_t i = 0; i < m * m; i++) {
        w[i] = std::sin((double)i);
        y[i] = std::cos((double)i);
    }
    const In in{cells(e), standin::dense(m, m, w), standin::dense(m, m, y)};
    const double held = standin::values(run({threads()}).out[0])[0];
    std::vector<int> requests;
    std::vector<std::vector<double>> results;
    for (double count : {1.0, 2.0, 64.0}) {
        ASSERT_TRUE(run({threads(), standin::scalar(count)}).ok);
        const Call c = run(in);
        ASSERT_TRUE(c.ok) << c.message;
        requests.push_back(c.allocations());
        results.push_back(standin::values(c.out[0]));
    }
    run({threads(), standin::scalar(held)});
    // each thread beside the calling one takes h, wg and g of its own
    EXPECT_EQ(requests[1], requests[0] + 3);
    // 3000 * 200 / 2^17 = 4.6: four threads, whatever more are set
    EXPECT_EQ(requests[2], requests[0] + 9);
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]);
}

// ---------------------------------------------------------------- memory

TEST_F(SdpSchur, ReportsMissingStorageAndAMissingResult)
{
    for (int input : {1, 2}) {
        In in = sound3();
        mxArray *copy = eye(3);
        standin::null_storage(copy, standin::Pr);
        in[input] = copy;
        EXPECT_TRUE(Failed(run(in), "Error: Matrices are corrupted?\n")) << input;
    }
    for (unsigned which : {standin::Pr, standin::Ir, standin::Jc}) {
        mxArray *e = eye_sparse(3);
        standin::null_storage(e, which);
        In in = sound3();
        in[0] = cells({eye_sparse(3), e});
        Call c = run(in);
        EXPECT_TRUE(Failed(c, "Error: Matrices from the cell array are corrupted?\n"))
            << which;
    }
    Faults none;
    none.fail_creation = 1;
    Call c = run(sound3(), 1, none);
    EXPECT_TRUE(Failed(c, "Error: Insufficient memory\n"));
    EXPECT_EQ(c.allocations(), 0);
    Faults empty;
    empty.null_creation = 1;
    empty.null_which = standin::Pr;
    c = run(sound3(), 1, empty);
    EXPECT_TRUE(Failed(c, "Error: Matrices are corrupted?\n"));
    EXPECT_EQ(c.allocations(), 0);
}
