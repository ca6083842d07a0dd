// Products are rounded before they are added. This program is also built
// against modules compiled with -O3 -march=native -ffp-contract=fast, where
// only the modules' own sources keep the compiler from fusing.
#include "support.h"

namespace {

// a*a = 1 + 2^-26 + 2^-54 rounds to 1 + 2^-26, so -(1 + 2^-26) + a*a is 0
// when the product is rounded first and 2^-54 when it is fused.
const double a = 1.0 + 0x1p-27;
const double b = -(1.0 + 0x1p-26);

}  // namespace

// The same sum, 1*b + a*a, through a loop compiled as the contracted
// modules are but without their guards (fusion_control.cpp).
double unguarded_dot(const double *x, const double *y, std::size_t n);

namespace {

bool fuses_here()
{
    const double x[] = {1.0, a}, y[] = {b, a};
    return unguarded_dot(x, y, 2) != 0.0;
}

}  // namespace

// Each test below checks for exact zeros that a fused multiply-add would
// turn into 2^-54; where the control does not fuse, they could not fail,
// and are skipped.
class Fusion : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        if (!fuses_here())
            GTEST_SKIP() << "this compiler and processor do not fuse a multiply and an "
                            "add, so no result here could show a fused one";
    }
};

// The control itself: 2^-54 exactly, the fused value, wherever it fuses.
TEST(FusionControl, AnUnguardedLoopFusesOrIsZero)
{
    const double x[] = {1.0, a}, y[] = {b, a};
    const double v = unguarded_dot(x, y, 2);
    EXPECT_TRUE(v == 0.0 || v == 0x1p-54) << v;
    if (v == 0.0)
        GTEST_SKIP() << "no fusion here";
}

// Each of zandrel's three sums meets -(1 + 2^-26) first and a*a last, with
// stored zeros between, over lengths that vectorised loops split
// differently. t is then 0, and 2^-54 wherever a product was fused.
TEST_F(Fusion, ZandrelRoundsEachProductBeforeAddingIt)
{
    for (size_t m = 2; m <= 6; m++) {
        const mwIndex last = static_cast<mwIndex>(m - 1);
        std::vector<double> half(m * m, 0.0);
        half[0] = 0.5;                                     // A(0,0) + A(0,0) = 1
        mxArray *A = standin::dense(m, m, half);
        std::vector<double> ones(m * m, 0.0);
        ones[0] = 1;
        standin::Columns e0(m), diag(m), first(m), column(m);
        e0[0] = {{0, 1.0}};
        for (mwIndex i = 0; i < static_cast<mwIndex>(m); i++) {
            diag[i] = {{i, 1.0}};
            column[0].push_back({i, i == 0 ? b : i == last ? a : 0.0});
            first[0].push_back({i, i == 0 ? 1.0 : i == last ? a : 0.0});
            if (i > 0)
                first[i] = {{0, 0.0}};                     // pattern symmetric
        }
        std::vector<double> c(m * m, 0.0);

        // B'*C: column 0 of B against column 0 of C.
        c[0] = 1;
        c[last] = a;
        mxArray *C1 = standin::dense(m, m, c);
        const standin::Call inB = standin::call(module_at(ZANDREL_MODULE), 1,
            {A, standin::sparse(m, m, column), C1, standin::sparse(m, m, e0)});

        // (B'*C)*D: row 0 of C against column 0 of D.
        std::fill(c.begin(), c.end(), 0.0);
        c[0] = b;
        c[last * m] = a;
        mxArray *C2 = standin::dense(m, m, c);
        const standin::Call inD = standin::call(module_at(ZANDREL_MODULE), 1,
            {A, standin::sparse(m, m, e0), C2, standin::sparse(m, m, first)});

        // t over the columns k of D: (A(0,k) + A(k,0)) * C(0,k).
        std::vector<double> h = half;
        h[last * m] = a;
        const standin::Call inT = standin::call(module_at(ZANDREL_MODULE), 1,
            {standin::dense(m, m, h), standin::sparse(m, m, e0), C2,
             standin::sparse(m, m, diag)});

        const standin::Call *sums[] = {&inB, &inD, &inT};
        for (int k = 0; k < 3; k++) {
            ASSERT_TRUE(Returned(*sums[k]));
            EXPECT_EQ(bits(standin::values(sums[k]->out[0])[0]), bits(0.0))
                << "m = " << m << ", sum " << k;
        }
    }
}

namespace {

// [first, 0, ..., 0, last], of length m.
std::vector<double> ends(size_t m, double first, double last)
{
    std::vector<double> v(m, 0.0);
    v[0] = first;
    v[m - 1] += last;
    return v;
}

// An m-by-m matrix whose column 0 is `col`, sparse (stored zeros kept)
// or dense, with the identity elsewhere when asked.
mxArray *column0(size_t m, const std::vector<double> &col, bool sparse,
                 bool identity = false)
{
    standin::Columns cols(m);
    std::vector<double> v(m * m, 0.0);
    for (size_t i = 0; i < m; i++) {
        cols[0].push_back({static_cast<mwIndex>(i), col[i]});
        v[i] = col[i];
        if (identity && i > 0) {
            cols[i].push_back({static_cast<mwIndex>(i), 1.0});
            v[i + i * m] = 1;
        }
    }
    return sparse ? standin::sparse(m, m, cols) : standin::dense(m, m, v);
}

double first_value(const standin::Call &c) { return standin::values(c.out[0])[0]; }

}  // namespace

TEST_F(Fusion, KovalinRoundsEachWeightedTermBeforeAddingIt)
{
    // Every entry is 1*b + a*a, over 9 entries that vectorised loops
    // split into lanes and a tail.
    const size_t m = 3;
    const std::vector<double> bs(m * m, b), as(m * m, a);
    mxArray *x = standin::dense(1, 2, {1, a});
    const standin::Module &kovalin = module_at(KOVALIN_MODULE);
    const std::vector<std::vector<mxArray *>> cases = {
        {standin::dense(m, m, bs), standin::dense(m, m, as)},   // dense
        {standin::dense(m, m, bs), sparse_of(m, m, as)},        // dense, sparse term
        {sparse_of(m, m, bs), sparse_of(m, m, as)}};            // sparse
    for (const auto &elements : cases) {
        standin::Call c = standin::call(kovalin, 1,
            {x, standin::cell(1, 2, elements)});
        ASSERT_TRUE(Returned(c));
        for (double v : standin::full(c.out[0]))
            EXPECT_EQ(bits(v), bits(0.0));
    }
}

TEST_F(Fusion, BrissetRoundsEachProductBeforeAddingIt)
{
    const standin::Module &brisset = module_at(BRISSET_MODULE);
    for (size_t m = 2; m <= 6; m++) {
        const std::vector<double> pattern = ends(m, b, a), key = ends(m, 1, a);
        mxArray *e00 = sparse_of(m, m, ends(m * m, 1, 0));
        mxArray *eye = column0(m, ends(m, 1, 0), false, true);
        mxArray *speye = column0(m, ends(m, 1, 0), true, true);
        // btc_col: column 0 of B against column 0 of C
        standin::Call inB = standin::call(brisset, 1, {eye, column0(m, pattern, true),
            column0(m, key, false), standin::cell(1, 1, {e00})});
        // row_val: column 0 of A against btc_col = column 0 of C
        standin::Call inA = standin::call(brisset, 1, {column0(m, key, false, true),
            speye, column0(m, pattern, false, true), standin::cell(1, 1, {e00})});
        // r: the row values, column 0 of C, against column 0 of D{1}
        standin::Call inD = standin::call(brisset, 1, {eye, speye,
            column0(m, pattern, false, true),
            standin::cell(1, 1, {column0(m, key, true)})});
        const standin::Call *sums[] = {&inB, &inA, &inD};
        for (int k = 0; k < 3; k++) {
            ASSERT_TRUE(Returned(*sums[k]));
            EXPECT_EQ(bits(first_value(*sums[k])), bits(0.0))
                << "m = " << m << ", sum " << k;
        }
    }
}

// Each of sdp_schur's three sums, H over a column of F{i}, G over F{i}'s
// columns and M(i,j) over F{j}'s entries, meets -(1 + 2^-26) first and a*a
// last, stored zeros between; G's slot goes four side by side from m = 4,
// and M(i,j) pairs with its neighbour or is summed alone.
TEST_F(Fusion, SdpSchurRoundsEachProductBeforeAddingIt)
{
    const standin::Module &sdp_schur = module_at(SDP_SCHUR_MODULE);
    for (size_t m = 2; m <= 6; m++) {
        const size_t last = m - 1;
        // column 0 of [1, 0, ..., 0, a], stored zeros kept
        mxArray *col = column0(m, ends(m, 1, a), true);
        std::vector<double> y(m * m, 0.0), w(m * m, 0.0);
        // H(0,0) = 1*Y(0,0) + ... + a*Y(0,m-1)
        y[0] = b;
        y[last * m] = a;
        standin::Call inH = standin::call(sdp_schur, 1,
            {standin::cell(1, 1, {col}), eye(m), standin::dense(m, m, y)});
        // G(0,0) = W(0,0)*H(0,0) + ... + W(m-1,0)*H(m-1,0), H(x,0) = F(x,x)
        standin::Columns diag(m);
        for (size_t i = 0; i < m; i++)
            diag[i] = {{static_cast<mwIndex>(i), i == 0 ? 1.0 : i == last ? a : 0.0}};
        std::fill(y.begin(), y.end(), 0.0);
        for (size_t i = 0; i < m; i++)
            y[i * m] = 1;                                  // row 0 of Y
        w[0] = b;
        w[last] = a;
        standin::Call inG = standin::call(sdp_schur, 1,
            {standin::cell(1, 1, {standin::sparse(m, m, diag)}), standin::dense(m, m, w),
             standin::dense(m, m, y)});
        // M(i,j) = F{j}(0,0)*G(0,0) + ... + F{j}(m-1,0)*G(m-1,0), G(x,0) =
        // W(0,x) for F{1} = e(1,1); F{j} = col gives H(0,0) = 1 as well
        std::fill(w.begin(), w.end(), 0.0);
        w[0] = b;
        w[last * m] = a;
        standin::Call inM = standin::call(sdp_schur, 1,
            {standin::cell(1, 3, {column0(m, ends(m, 1, 0), true, false), col, col}),
             standin::dense(m, m, w), eye(m)});
        for (const standin::Call *c : {&inH, &inG, &inM})
            ASSERT_TRUE(Returned(*c)) << "m = " << m;
        EXPECT_EQ(bits(first_value(inH)), bits(0.0)) << "H, m = " << m;
        EXPECT_EQ(bits(first_value(inG)), bits(0.0)) << "G, m = " << m;
        const std::vector<double> M = standin::values(inM.out[0]);
        EXPECT_EQ(M[0], b) << "m = " << m;
        for (size_t e = 1; e < M.size(); e++)
            EXPECT_EQ(bits(M[e]), bits(0.0)) << "M, m = " << m << ", entry " << e;
    }
}
