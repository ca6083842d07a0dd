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
