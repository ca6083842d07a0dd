// sdp_chol('factor' | 'solve' | 'release' | 'lapack', ...): a Cholesky
// factor kept between calls, through the stand-in host, beside the
// stand-in LAPACK that this program exports (standin/lapack.cpp: 64-bit
// integers in sdp_chol_test, 32-bit ones in sdp_chol_lapack32_test, names
// without the underscore in sdp_chol_bare_test). Each test loads the
// module afresh and unloads it after, as clearing it does: whatever it
// keeps must be gone then.
#include "lapack.h"
#include "support.h"

#include <cmath>
#include <limits>

using standin::Call;
using standin::Class;
using standin::Event;
using standin::Faults;
using standin::lapack::Routine;

namespace {

using In = std::vector<const mxArray *>;
using Doubles = std::vector<double>;

const char *kMemory = "Error: Insufficient memory\n";
const char *kNoFactor = "Error: No factor is kept: factor a matrix first\n";
const char *kCommand =
    "Error: Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'\n";
const char *kMatrix = "Error: Input 2 is expected to be a real, dense double matrix\n";
const char *kShift =
    "Error: Input 3 is expected to be a finite, nonnegative double scalar\n";
const char *kFactorMatrix = "Error: Input 3 is expected to be a real, dense double matrix\n";
const char *kFactorShape =
    "Error: Input 3 is expected to be square, of as many rows as input 2\n";
const char *kFactorDiagonal =
    "Error: Input 3 is expected to have a positive, finite diagonal\n";
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

mxArray *word(const char *s) { return standin::text(s); }

// A symmetric positive definite matrix of order n, A*A' + n*I for an A of
// sines, with its lower triangle then spoiled: NaN under the diagonal's
// first column, other values elsewhere. What is read of it is the upper
// triangle alone.
Doubles spd(size_t n)
{
    Doubles a(n * (n + 2)), m(n * n);
    for (size_t k = 0; k < a.size(); k++)
        a[k] = std::sin(static_cast<double>(k + 1));
    for (size_t j = 0; j < n; j++)
        for (size_t i = 0; i <= j; i++) {
            double s = i == j ? static_cast<double>(n) : 0.0;
            for (size_t k = 0; k < n + 2; k++)
                s += a[i + k * n] * a[j + k * n];
            m[i + j * n] = s;
            m[j + i * n] = i == j ? s : i == 0 ? kNaN : -7.0 * s;
        }
    return m;
}

// What sdp_chol must give: the transcription's factor of M's upper
// triangle plus shift*I, zeros below; and its solve with that factor.
Doubles factor_of(size_t n, const Doubles &m, double shift = 0.0)
{
    Doubles r(n * n, 0.0);
    for (size_t j = 0; j < n; j++) {
        for (size_t i = 0; i <= j; i++)
            r[i + j * n] = m[i + j * n];
        r[j + j * n] = r[j + j * n] + shift;
    }
    const int64_t n64 = static_cast<int64_t>(n);
    EXPECT_EQ(standin::lapack::factor(n64, r.data(), n64), 0);
    return r;
}

Doubles solved(size_t n, const Doubles &r, Doubles b)
{
    const int64_t n64 = static_cast<int64_t>(n);
    standin::lapack::solve(n64, static_cast<int64_t>(n ? b.size() / n : 0),
                           r.data(), n64, b.data(), n64);
    return b;
}

std::vector<uint64_t> bits_of(const Doubles &v)
{
    std::vector<uint64_t> b;
    for (double x : v)
        b.push_back(bits(x));
    return b;
}

std::vector<uint64_t> bits_of(const mxArray *a) { return bits_of(standin::values(a)); }

bool is_double_matrix(const mxArray *a, size_t m, size_t n)
{
    return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a) && mxGetM(a) == m &&
           mxGetN(a) == n;
}

int count(const Call &c, Event::Kind kind)
{
    int k = 0;
    for (const Event &e : c.events)
        k += e.kind == kind;
    return k;
}

// The module, loaded for the test and unloaded at its end, when the
// function it gave mexAtExit must let go of every block it kept.
template <typename Base>
class Fresh : public Base {
protected:
    void SetUp() override
    {
        module_ = standin::load(SDP_CHOL_MODULE);
        ASSERT_TRUE(module_.entry) << module_.error;
        standin::lapack::forget();
    }
    void TearDown() override
    {
        if (module_.handle) {
            Call gone = standin::unload(module_);
            EXPECT_TRUE(gone.leaked.empty()) << "a kept block outlived the module";
            EXPECT_FALSE(gone.overrun);
        }
        EXPECT_TRUE(standin::persistent().empty());
        standin::release_all();
    }
    Call run(In in, int nlhs = 1, const Faults &f = Faults())
    {
        return standin::call(module_, nlhs, std::move(in), f);
    }
    // p of a factor that returned, with R when asked for it.
    double factor(In in, Doubles *r = nullptr)
    {
        in.insert(in.begin(), word("factor"));
        Call c = run(in, r ? 2 : 1);
        EXPECT_TRUE(c.ok) << c.message;
        EXPECT_TRUE(c.leaked.empty() && !c.arrays_leaked && !c.overrun);
        if (!c.ok || c.out.size() != (r ? 2u : 1u))
            return kNaN;
        EXPECT_TRUE(is_double_matrix(c.out[0], 1, 1));
        if (r) {
            const size_t n = mxGetM(in[1]);
            EXPECT_TRUE(is_double_matrix(c.out[1], n, n));
            *r = standin::values(c.out[1]);
        }
        return standin::values(c.out[0]).at(0);
    }
    Call solve(const mxArray *b) { return run({word("solve"), b}); }
    standin::Module module_;
};

using SdpChol = Fresh<::testing::Test>;

}  // namespace

// ------------------------------------------------------------ validation

class SdpCholRejects : public Fresh<::testing::TestWithParam<Rejected>> {};

// Each refused call ends with its message before any array is made, only
// the command's text requested of the allocator, and the factor kept
// before it (of [4 0; 0 9]) is still kept after it.
TEST_P(SdpCholRejects, WithItsMessageKeepingTheFactor)
{
    const Rejected &r = GetParam();
    ASSERT_EQ(factor({standin::dense(2, 2, {4, 0, 0, 9})}), 0);
    standin::lapack::forget();
    Call c = run(r.inputs(), r.nlhs);
    EXPECT_TRUE(Failed(c, r.message));
    EXPECT_EQ(c.creations(), 0);
    EXPECT_LE(c.allocations(), 1);
    EXPECT_EQ(count(c, Event::Malloc), count(c, Event::Free));
    EXPECT_TRUE(standin::lapack::calls().empty());
    Call after = solve(standin::dense(2, 1, {8, 18}));
    ASSERT_TRUE(Returned(after));
    EXPECT_EQ(standin::values(after.out[0]), (Doubles{2, 2}));
}

namespace {

In two(mxArray *a, mxArray *b) { return {a, b}; }
In given(mxArray *b, mxArray *r) { return {word("solve"), b, r}; }
In with_shift(mxArray *shift) { return {word("factor"), standin::scalar(1), shift}; }
// 2^31 rows and no columns: no storage, and above every order LAPACK takes
mxArray *too_tall() { return standin::dense(size_t{1} << 31, 0); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Table, SdpCholRejects, ::testing::Values(
    Rejected{"NoCommand", [] { return In{}; },
             "Error: Expecting a command: 'factor', 'solve', 'release' or 'lapack'.\n"},
    Rejected{"CommandInCapitals", [] { return two(word("Factor"), standin::scalar(1)); },
             kCommand},
    Rejected{"CommandAbbreviated", [] { return two(word("fact"), standin::scalar(1)); },
             kCommand},
    Rejected{"CommandTooLong", [] { return two(word("factorize"), standin::scalar(1)); },
             kCommand},
    Rejected{"CommandSpaced", [] { return In{word("lapack ")}; }, kCommand},
    Rejected{"CommandEmpty", [] { return In{word("")}; }, kCommand},
    Rejected{"CommandNumber", [] { return two(standin::scalar(1), standin::scalar(1)); },
             kCommand},
    Rejected{"CommandColumn", [] {
                 mxArray *t = standin::numeric(Class::Char, 6, 1, 'f');
                 return two(t, standin::scalar(1)); },
             kCommand},
    Rejected{"CommandInACell", [] { return In{cells({word("lapack")})}; }, kCommand},
    Rejected{"FactorAlone", [] { return In{word("factor")}; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    Rejected{"FactorOfFour", [] { return In{word("factor"), standin::scalar(1),
                                            standin::scalar(0), standin::scalar(0)}; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    Rejected{"SolveAlone", [] { return In{word("solve")}; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    Rejected{"SolveOfFour", [] { return In{word("solve"), standin::scalar(1),
                                           standin::scalar(1), standin::scalar(1)}; },
             "Error: Expecting 2 or 3 input arguments.\n"},
    Rejected{"ReleaseOfTwo", [] { return two(word("release"), standin::scalar(1)); },
             "Error: Expecting 1 input argument.\n"},
    Rejected{"LapackOfTwo", [] { return two(word("lapack"), standin::scalar(1)); },
             "Error: Expecting 1 input argument.\n"},
    // the input count before the output count
    Rejected{"FactorAloneToThree", [] { return In{word("factor")}; },
             "Error: Expecting 2 or 3 input arguments.\n", 3},
    Rejected{"FactorToThree", [] { return two(word("factor"), standin::scalar(1)); },
             "Error: Expecting at most two output arguments.\n", 3},
    Rejected{"SolveToTwo", [] { return two(word("solve"), standin::dense(2, 1)); },
             "Error: Expecting at most one output argument.\n", 2},
    Rejected{"ReleaseToTwo", [] { return In{word("release")}; },
             "Error: Expecting at most one output argument.\n", 2},
    Rejected{"LapackToTwo", [] { return In{word("lapack")}; },
             "Error: Expecting at most one output argument.\n", 2},
    Rejected{"FactorSingle", [] {
                 return two(word("factor"), standin::numeric(Class::Single, 1, 1, 1)); },
             kMatrix},
    Rejected{"FactorInt32", [] {
                 return two(word("factor"), standin::numeric(Class::Int32, 1, 1, 1)); },
             kMatrix},
    Rejected{"FactorLogical", [] {
                 return two(word("factor"), standin::numeric(Class::Logical, 1, 1, 1)); },
             kMatrix},
    Rejected{"FactorText", [] { return two(word("factor"), word("a")); }, kMatrix},
    Rejected{"FactorSparse", [] { return two(word("factor"), eye_sparse(2)); }, kMatrix},
    Rejected{"FactorComplex", [] {
                 return two(word("factor"), standin::complex_dense(2, 2)); },
             kMatrix},
    Rejected{"FactorCell", [] { return two(word("factor"), cells({eye(2)})); }, kMatrix},
    Rejected{"FactorNotSquare", [] { return two(word("factor"), standin::dense(2, 3)); },
             "Error: Input 2 is expected to be square\n"},
    Rejected{"FactorTooLarge", [] { return two(word("factor"), too_tall()); },
             "Error: Input 2 is too large for LAPACK\n"},
    Rejected{"ShiftNegative", [] { return with_shift(standin::scalar(-1)); }, kShift},
    Rejected{"ShiftBelowZero", [] { return with_shift(standin::scalar(-5e-324)); }, kShift},
    Rejected{"ShiftInfinite", [] { return with_shift(standin::scalar(kInf)); }, kShift},
    Rejected{"ShiftNaN", [] { return with_shift(standin::scalar(kNaN)); }, kShift},
    Rejected{"ShiftPair", [] { return with_shift(standin::dense(1, 2, {1, 1})); }, kShift},
    Rejected{"ShiftEmpty", [] { return with_shift(standin::dense(0, 0)); }, kShift},
    Rejected{"ShiftInt8", [] { return with_shift(standin::numeric(Class::Int8, 1, 1, 1)); },
             kShift},
    Rejected{"ShiftSparse", [] { return with_shift(standin::sparse(1, 1, {{{0, 1.0}}})); },
             kShift},
    Rejected{"ShiftComplex", [] { return with_shift(standin::complex_dense(1, 1)); }, kShift},
    // the shift is read before the matrix
    Rejected{"ShiftBeforeMatrix", [] {
                 return In{word("factor"), eye_sparse(2), standin::scalar(-1)}; },
             kShift},
    Rejected{"SolveSparse", [] { return two(word("solve"), eye_sparse(2)); }, kMatrix},
    Rejected{"SolveSingle", [] {
                 return two(word("solve"), standin::numeric(Class::Single, 2, 1, 1)); },
             kMatrix},
    Rejected{"SolveTooLarge", [] { return two(word("solve"), too_tall()); },
             "Error: Input 2 is too large for LAPACK\n"},
    Rejected{"SolveOtherRows", [] { return two(word("solve"), standin::dense(3, 1)); },
             "Error: Input 2 is expected to have 2 rows, the order of the factor kept\n"},
    Rejected{"SolveNoRows", [] { return two(word("solve"), standin::dense(0, 1)); },
             "Error: Input 2 is expected to have 2 rows, the order of the factor kept\n"},
    // with a factor given: B first, then R, whose diagonal must be a
    // factor's; the order of the factor kept does not matter
    Rejected{"GivenBSparse", [] { return given(eye_sparse(2), eye(2)); }, kMatrix},
    Rejected{"GivenBSparseAndR", [] { return given(eye_sparse(2), eye_sparse(2)); }, kMatrix},
    Rejected{"GivenRSparse", [] { return given(standin::dense(2, 1), eye_sparse(2)); },
             kFactorMatrix},
    Rejected{"GivenRComplex", [] {
                 return given(standin::dense(2, 1), standin::complex_dense(2, 2)); },
             kFactorMatrix},
    Rejected{"GivenRSingle", [] {
                 return given(standin::dense(2, 1), standin::numeric(Class::Single, 2, 2, 1)); },
             kFactorMatrix},
    Rejected{"GivenRInACell", [] { return given(standin::dense(2, 1), cells({eye(2)})); },
             kFactorMatrix},
    Rejected{"GivenRNotSquare", [] { return given(standin::dense(2, 1), standin::dense(2, 3)); },
             kFactorShape},
    Rejected{"GivenROtherOrder", [] { return given(standin::dense(3, 1), eye(2)); },
             kFactorShape},
    Rejected{"GivenRForNoRows", [] { return given(standin::dense(0, 1), eye(1)); },
             kFactorShape},
    Rejected{"GivenBTooLarge", [] { return given(too_tall(), eye(1)); },
             "Error: Input 2 is too large for LAPACK\n"},
    Rejected{"GivenRZeroOnDiagonal", [] {
                 return given(standin::dense(2, 1), standin::dense(2, 2, {1, 0, 0, 0})); },
             kFactorDiagonal},
    Rejected{"GivenRNegativeOnDiagonal", [] {
                 return given(standin::dense(2, 1), standin::dense(2, 2, {-1, 0, 0, 1})); },
             kFactorDiagonal},
    Rejected{"GivenRMinusZeroOnDiagonal", [] {
                 return given(standin::dense(2, 1), standin::dense(2, 2, {1, 0, 0, -0.0})); },
             kFactorDiagonal},
    Rejected{"GivenRNaNOnDiagonal", [] {
                 return given(standin::dense(2, 1), standin::dense(2, 2, {1, 0, 0, kNaN})); },
             kFactorDiagonal},
    Rejected{"GivenRInfinityOnDiagonal", [] {
                 return given(standin::dense(2, 1), standin::dense(2, 2, {kInf, 0, 0, 1})); },
             kFactorDiagonal}));

// ---------------------------------------------------------------- factor

// The factor of the upper triangle plus shift*I has the transcription's
// bits, zeros below, whatever the lower triangle holds, and LAPACK is
// handed the order as n and as the leading dimension; the inputs are left
// as they were.
TEST_F(SdpChol, FactorsTheUpperTriangleWithTheLoopsBits)
{
    for (size_t n : {0, 1, 2, 7, 31})
        for (double shift : {-1.0, 0.0, 0.25, 3e5}) {   // -1: no shift given
            SCOPED_TRACE("order " + std::to_string(n) + ", shift " + std::to_string(shift));
            const Doubles m = spd(n);
            const mxArray *M = standin::dense(n, n, m);
            In in{M};
            if (shift >= 0)
                in.push_back(standin::scalar(shift));
            standin::lapack::forget();
            Doubles r;
            EXPECT_EQ(factor(in, &r), 0.0);
            EXPECT_EQ(bits_of(r), bits_of(factor_of(n, m, shift < 0 ? 0.0 : shift)));
            EXPECT_EQ(bits_of(M), bits_of(m));
            const std::vector<Routine> calls = standin::lapack::calls();
            if (n == 0) {
                EXPECT_TRUE(calls.empty());
                continue;
            }
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].name, "dpotrf");
            EXPECT_EQ(calls[0].chars, "U");
            EXPECT_EQ(calls[0].n, static_cast<int64_t>(n));
            EXPECT_EQ(calls[0].lda, static_cast<int64_t>(n));
        }
}

TEST_F(SdpChol, AnswersPAloneToOneOutputOrNone)
{
    for (int nlhs : {0, 1}) {
        Call c = run({word("factor"), standin::dense(2, 2, {4, 2, 2, 3})}, nlhs);
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::values(c.out[0]), Doubles{0.0});
    }
}

// The loops the tests hold the module to are Cholesky's: an integer R with
// M = R'*R is factored and solved with exactly, by the module too.
TEST_F(SdpChol, FactorsAndSolvesAsCholeskyDoes)
{
    const Doubles r0 = {2, 0, 0, -1, 3, 0, 4, 1, 5};   // column-major, upper
    const Doubles m = {4, -2, 8, -2, 10, -1, 8, -1, 42};   // R0'*R0
    const Doubles x = {1, -2, 3, 0, 5, -1};
    Doubles b(6, 0.0);   // M*x
    for (size_t j = 0; j < 2; j++)
        for (size_t i = 0; i < 3; i++)
            for (size_t k = 0; k < 3; k++)
                b[i + 3 * j] += m[i + 3 * k] * x[k + 3 * j];
    EXPECT_EQ(factor_of(3, m), r0);
    EXPECT_EQ(solved(3, r0, b), x);
    Doubles r;
    ASSERT_EQ(factor({standin::dense(3, 3, m)}, &r), 0);
    EXPECT_EQ(r, r0);
    Call c = solve(standin::dense(3, 2, b));
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0]), x);
}

// Where M is not positive definite p is the order of the first leading
// minor found not to be, by LAPACK, by a value that is not finite in the
// upper triangle, or by a diagonal entry of R that is not positive and
// finite; R is then zeros and no factor is kept, not even the one before.
TEST_F(SdpChol, NotPositiveDefiniteGivesPAndKeepsNoFactor)
{
    struct Case {
        const char *what;
        size_t n;
        Doubles m;
        double shift;
        double p;
    };
    const Case cases[] = {
        {"indefinite", 2, {1, 2, 2, 1}, 0, 2},
        {"zero", 1, {0}, 0, 1},
        {"negative, first of three", 3, {-1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 1},
        {"semidefinite, second", 3, {1, 1, 1, 1, 1, 1, 1, 1, 2}, 0, 2},
        {"NaN above the diagonal", 3, {1, 0, 0, 0, 1, kNaN, 0, kNaN, 1}, 0, 3},
        {"infinity on the diagonal", 2, {1, 0, 0, kInf}, 0, 2},
        {"-infinity first", 2, {-kInf, 0, 0, 1}, 0, 1},
        {"NaN after a negative minor", 2, {-1, 0, 0, kNaN}, 0, 1},
        {"NaN after a zero minor", 3, {1, 1, 0, 1, 1, 0, 0, 0, kNaN}, 0, 2},
        {"squares past the largest double", 2, {1, 1e200, 1e200, 1}, 0, 2},
        {"a shift too small", 2, {1, 0, 0, -1}, 0.5, 2},
        {"a shift to infinity", 1, {1.5e308}, 1e308, 1},
        {"a shift to infinity before a negative minor", 2,
         {1.5e308, 0, 0, -1.7e308}, 1e308, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_EQ(factor({standin::dense(1, 1, {4})}), 0);
        In in{standin::dense(k.n, k.n, k.m)};
        if (k.shift > 0)
            in.push_back(standin::scalar(k.shift));
        Doubles r;
        EXPECT_EQ(factor(in, &r), k.p);
        EXPECT_EQ(r, Doubles(k.n * k.n, 0.0));
        EXPECT_TRUE(Failed(solve(standin::dense(k.n, 1)), kNoFactor));
        EXPECT_TRUE(Failed(solve(standin::dense(1, 1)), kNoFactor));
    }
    // a shift that makes it definite
    EXPECT_EQ(factor({standin::dense(2, 2, {1, 0, 0, -1}), standin::scalar(2)}), 0);
}

// ----------------------------------------------------------------- solve

// R\(R'\B) with the factor kept, by dtrtrs with R' and then R, with the
// transcription's bits; the factor is only read, and B is left as it was.
TEST_F(SdpChol, SolvesWithTheFactorKept)
{
    const size_t n = 6;
    const Doubles m = spd(n);
    const Doubles r = factor_of(n, m);
    ASSERT_EQ(factor({standin::dense(n, n, m)}), 0);
    Doubles b(n * 3);
    for (size_t k = 0; k < b.size(); k++)
        b[k] = std::cos(static_cast<double>(k)) * 1e3;
    const mxArray *B = standin::dense(n, 3, b);
    for (int again = 0; again < 2; again++) {
        standin::lapack::forget();
        Call c = solve(B);
        ASSERT_TRUE(Returned(c));
        ASSERT_TRUE(is_double_matrix(c.out[0], n, 3));
        EXPECT_EQ(bits_of(c.out[0]), bits_of(solved(n, r, b)));
        EXPECT_EQ(bits_of(B), bits_of(b));
        const std::vector<Routine> calls = standin::lapack::calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].name, "dtrtrs");
        EXPECT_EQ(calls[0].chars, "UTN");
        EXPECT_EQ(calls[1].chars, "UNN");
        for (const Routine &call : calls) {
            EXPECT_EQ(call.n, 6);
            EXPECT_EQ(call.nrhs, 3);
            EXPECT_EQ(call.lda, 6);
            EXPECT_EQ(call.ldb, 6);
        }
    }
}

TEST_F(SdpChol, SolvesEmptyRightHandSidesAndOrderZero)
{
    ASSERT_EQ(factor({standin::dense(2, 2, {4, 0, 0, 9})}), 0);
    Call c = solve(standin::dense(2, 0));
    ASSERT_TRUE(Returned(c));
    EXPECT_TRUE(is_double_matrix(c.out[0], 2, 0));
    ASSERT_EQ(factor({standin::dense(0, 0)}), 0);
    c = solve(standin::dense(0, 3));
    ASSERT_TRUE(Returned(c));
    EXPECT_TRUE(is_double_matrix(c.out[0], 0, 3));
    EXPECT_TRUE(Failed(solve(standin::dense(1, 1)),
                       "Error: Input 2 is expected to have 0 rows, the order of the "
                       "factor kept\n"));
    EXPECT_TRUE(standin::lapack::calls().size() == 1);   // the first factor's
}

// R\(R'\B) with a factor given, by the same two calls with its order as
// the leading dimension, and its upper triangle alone read: the
// transcription's bits, with a factor kept of another order or none, which
// stays as it was; B and R are left as they were.
TEST_F(SdpChol, SolvesWithAFactorGiven)
{
    for (int kept : {0, 1})
        for (size_t n : {0, 1, 5}) {
            SCOPED_TRACE("order " + std::to_string(n) + (kept ? ", a factor kept" : ""));
            if (kept) {
                ASSERT_EQ(factor({standin::dense(2, 2, {4, 0, 0, 9})}), 0);
            }
            Doubles r = factor_of(n, spd(n));
            const Doubles upper = r;
            for (size_t j = 0; j < n; j++)
                for (size_t i = j + 1; i < n; i++)
                    r[i + j * n] = i == j + 1 ? kNaN : 1e300;
            Doubles b(n * 2);
            for (size_t k = 0; k < b.size(); k++)
                b[k] = std::sin(static_cast<double>(k) * 0.7) * 1e2;
            const mxArray *B = standin::dense(n, 2, b);
            const mxArray *R = standin::dense(n, n, r);
            standin::lapack::forget();
            Call c = run({word("solve"), B, R});
            ASSERT_TRUE(Returned(c));
            ASSERT_TRUE(is_double_matrix(c.out[0], n, 2));
            EXPECT_EQ(bits_of(c.out[0]), bits_of(solved(n, upper, b)));
            EXPECT_EQ(bits_of(B), bits_of(b));
            EXPECT_EQ(bits_of(R), bits_of(r));
            const std::vector<Routine> calls = standin::lapack::calls();
            ASSERT_EQ(calls.size(), n ? 2u : 0u);
            for (size_t k = 0; k < calls.size(); k++) {
                EXPECT_EQ(calls[k].name, "dtrtrs");
                EXPECT_EQ(calls[k].chars, k == 0 ? "UTN" : "UNN");
                EXPECT_EQ(calls[k].n, static_cast<int64_t>(n));
                EXPECT_EQ(calls[k].nrhs, 2);
                EXPECT_EQ(calls[k].lda, static_cast<int64_t>(n));
            }
            EXPECT_TRUE(standin::persistent().size() == static_cast<size_t>(kept));
            Call after = solve(standin::dense(2, 1, {8, 18}));
            if (kept) {
                ASSERT_TRUE(Returned(after));
                EXPECT_EQ(standin::values(after.out[0]), (Doubles{2, 2}));
            } else {
                EXPECT_TRUE(Failed(after, kNoFactor));
            }
            run({word("release")}, 0);
        }
}

TEST_F(SdpChol, SolveWithoutAFactorIsRefused)
{
    EXPECT_TRUE(Failed(solve(standin::dense(2, 1)), kNoFactor));
}

// -------------------------------------------------------- the kept block

// One block, requested only for a larger order than it holds, of n*n
// doubles; a smaller order is factored and solved in it with its own
// leading dimension.
TEST_F(SdpChol, KeepsOneBlockGrownOnlyForALargerOrder)
{
    struct Step {
        size_t n;
        int frees, mallocs;
        size_t kept;   // bytes
    };
    const Step steps[] = {{4, 0, 1, 128}, {3, 0, 0, 128}, {4, 0, 0, 128},
                          {5, 1, 1, 200}, {1, 0, 0, 200}, {0, 0, 0, 200}};
    for (const Step &s : steps) {
        SCOPED_TRACE("order " + std::to_string(s.n));
        const Doubles m = spd(s.n);
        Call c = run({word("factor"), standin::dense(s.n, s.n, m)});
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(count(c, Event::Malloc) - 1, s.mallocs);   // and the command's text
        EXPECT_EQ(count(c, Event::Free) - 1, s.frees);
        if (s.mallocs) {
            EXPECT_EQ(malloc_sizes(c).back(), s.n * s.n * sizeof(double));
        }
        EXPECT_EQ(standin::persistent(), std::vector<size_t>{s.kept});
        Doubles b(s.n, 1.0);
        standin::lapack::forget();
        c = solve(standin::dense(s.n, 1, b));
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(bits_of(c.out[0]), bits_of(solved(s.n, factor_of(s.n, m), b)));
        for (const Routine &call : standin::lapack::calls())
            EXPECT_EQ(call.lda, static_cast<int64_t>(s.n));
    }
}

// 'release' frees the block and keeps no factor; unloading the module
// frees it through the function given to mexAtExit, again after the
// module is loaded anew.
TEST_F(SdpChol, ReleaseAndUnloadingLetTheBlockGo)
{
    ASSERT_EQ(factor({standin::dense(3, 3, spd(3))}), 0);
    for (int nlhs : {0, 1}) {
        Call c = run({word("release")}, nlhs);
        ASSERT_TRUE(c.ok) << c.message;
        EXPECT_TRUE(c.out.empty());
        EXPECT_TRUE(c.leaked.empty());
        EXPECT_EQ(count(c, Event::Free), nlhs == 0 ? 2 : 1);   // the block once
        EXPECT_TRUE(standin::persistent().empty());
        EXPECT_TRUE(Failed(solve(standin::dense(3, 1)), kNoFactor));
    }
    for (int load = 0; load < 2; load++) {
        SCOPED_TRACE("load " + std::to_string(load));
        ASSERT_EQ(factor({standin::dense(3, 3, spd(3))}), 0);
        ASSERT_EQ(standin::persistent(), std::vector<size_t>{72});
        Call gone = standin::unload(module_);
        EXPECT_TRUE(gone.leaked.empty());
        ASSERT_EQ(gone.events.size(), 1u);
        EXPECT_EQ(gone.events[0].kind, Event::Free);
        EXPECT_EQ(gone.events[0].bytes, 72u);
        EXPECT_TRUE(standin::persistent().empty());
        module_ = standin::load(SDP_CHOL_MODULE);
        ASSERT_TRUE(module_.entry);
        EXPECT_TRUE(Failed(solve(standin::dense(3, 1)), kNoFactor));
    }
    // unloaded with nothing kept: nothing to free
    Call empty = standin::unload(module_);
    EXPECT_TRUE(empty.events.empty() && empty.leaked.empty());
    module_ = standin::load(SDP_CHOL_MODULE);
}

// A refused argument or array leaves the factor as it was; a block that
// cannot be grown leaves none, and no block.
TEST_F(SdpChol, AnErrorKeepsTheFactorBeforeOrNone)
{
    ASSERT_EQ(factor({standin::dense(2, 2, {4, 0, 0, 9})}), 0);
    const In b{word("solve"), standin::dense(2, 1, {4, 9})};
    EXPECT_TRUE(Failed(run({word("factor"), standin::dense(2, 2, {1, 0, 0, 1}),
                            standin::scalar(-1)}),
                       kShift));
    Faults refused;
    refused.fail_creation = 1;
    EXPECT_TRUE(Failed(run({word("factor"), standin::dense(2, 2, {1, 0, 0, 1})}, 1, refused),
                       kMemory));
    Call c = run(b);
    ASSERT_TRUE(Returned(c));
    EXPECT_EQ(standin::values(c.out[0]), (Doubles{1, 1}));

    Faults no_block;
    no_block.fail_allocation = 2;   // after the command's text
    EXPECT_TRUE(Failed(run({word("factor"), eye(3)}, 1, no_block), kMemory));
    EXPECT_TRUE(standin::persistent().empty());
    EXPECT_TRUE(Failed(run(b), kNoFactor));
    EXPECT_EQ(factor({eye(3)}), 0);
}

TEST_F(SdpChol, FindsTheLapackOfTheProcess)
{
    for (int nlhs : {0, 1}) {
        Call c = run({word("lapack")}, nlhs);
        ASSERT_TRUE(Returned(c));
        EXPECT_EQ(standin::values(c.out[0]), Doubles{1.0});
    }
    EXPECT_TRUE(standin::lapack::calls().empty());
}
