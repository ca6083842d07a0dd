// Fuzzing sdp_chol through the stand-in host, beside the stand-in LAPACK
// of 32-bit integers that this program exports. Each input is a run of up
// to four calls, from no factor kept, beside a model of the factor that
// the module keeps. Beyond the shared property:
//  - a call returns when its arguments are sound and no fault reaches it,
//    and never when they are not; a fault ends it with a fault's message;
//  - p is the order of the first leading minor that is not positive
//    definite by the definition: the upper triangle of its column holds a
//    value that is not finite, or the reference loop, run on that minor
//    alone, stops at its last column or gives it a diagonal entry that is
//    not positive and finite;
//  - a factor and a solve that return have the loops' bits, R zeros below
//    its diagonal, and all zeros where p is not 0; a solve with a factor
//    given, the loops' bits with that factor's upper triangle;
//  - a call that ends with a message leaves the factor kept before it
//    (a factor: that one or none); at most one block is ever kept, none
//    after a 'release'.
#include "fuzz.h"
#include "lapack.h"

namespace {

const char *kMemory = "Error: Insufficient memory\n";
const char *kCorrupted = "Error: Matrices are corrupted?\n";
const char *kNoFactor = "Error: No factor is kept: factor a matrix first\n";

// Near the largest double: a diagonal entry and a shift that sum to
// infinity, and a minor that stays negative after the shift.
const double kHuge[] = {1.5e308, -1.7e308, 1e308};

const std::vector<const char *> kMessages = {
    "Error: Expecting a command: 'factor', 'solve', 'release' or 'lapack'.\n",
    "Error: Input 1 is expected to be 'factor', 'solve', 'release' or 'lapack'\n",
    "Error: Expecting 2 or 3 input arguments.\n",
    "Error: Expecting 1 input argument.\n",
    "Error: Expecting at most two output arguments.\n",
    "Error: Expecting at most one output argument.\n",
    "Error: Input 3 is expected to be a finite, nonnegative double scalar\n",
    "Error: Input 2 is expected to be a real, dense double matrix\n",
    "Error: Input 2 is expected to be square\n",
    "Error: Input 2 is expected to have %u rows, the order of the factor kept\n",
    "Error: Input 3 is expected to be a real, dense double matrix\n",
    "Error: Input 3 is expected to be square, of as many rows as input 2\n",
    "Error: Input 3 is expected to have a positive, finite diagonal\n",
    kNoFactor, kMemory, kCorrupted};

enum { FACTOR, SOLVE, RELEASE, LAPACK, NONE };
const char *const kNames[] = {"factor", "solve", "release", "lapack"};
const size_t kLeastIn[] = {2, 2, 1, 1}, kMostIn[] = {3, 3, 1, 1};
const int kMostOut[] = {2, 1, 1, 1};

using Doubles = std::vector<double>;

// The factor the module must keep: order -1 for none.
struct Kept {
    int64_t order = -1;
    Doubles r;
};
Kept model;

bool finite(double v) { return v - v == 0.0; }

bool real_dense(const mxArray *a)
{
    return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a);
}

// p of M + shift*I by the definition above, and the factor where it is 0.
double p_of(size_t n, const Doubles &m, double shift, Doubles *r)
{
    Doubles a;
    for (size_t j = 1; j <= n; j++) {
        for (size_t i = 0; i < j; i++)
            if (!finite(m[i + (j - 1) * n]))
                return static_cast<double>(j);
        a.assign(j * j, 0.0);
        for (size_t c = 0; c < j; c++) {
            for (size_t i = 0; i <= c; i++)
                a[i + c * j] = m[i + c * n];
            a[c + c * j] = a[c + c * j] + shift;
        }
        const int64_t j64 = static_cast<int64_t>(j);
        if (standin::lapack::factor(j64, a.data(), j64) != 0)
            return static_cast<double>(j);
        const double last = a[(j - 1) + (j - 1) * j];
        if (!(last > 0.0 && finite(last)))
            return static_cast<double>(j);
    }
    *r = a;
    return 0.0;
}

Doubles solved(const Kept &k, Doubles b, size_t cols)
{
    standin::lapack::solve(k.order, static_cast<int64_t>(cols), k.r.data(), k.order,
                           b.data(), k.order);
    return b;
}

bool same_bits(const Doubles &x, const Doubles &y)
{
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
}

// An input missing any of its storage, which the module may find.
bool damaged(const mxArray *a)
{
    return !mxIsCell(a) && (!mxGetPr(a) || (mxIsSparse(a) && (!mxGetIr(a) || !mxGetJc(a))));
}

const mxArray *command_text(fuzz::Bytes &in, int *command)
{
    switch (in.below(16)) {
    case 0:
        *command = NONE;
        return fuzz::array(in, 1);
    case 1: {   // a part of a name, or a name and more
        std::string s = kNames[in.below(4)];
        s = in.flag() ? s.substr(0, in.below(8)) : s + "s";
        *command = NONE;
        for (int c = 0; c < NONE; c++)
            if (s == kNames[c])
                *command = c;
        return standin::text(s);
    }
    default:   // a solve more often where there is a factor to solve with
        *command = model.order > 0 && in.flag() ? SOLVE : static_cast<int>(in.below(4));
        return standin::text(kNames[*command]);
    }
}

// M: mostly positive semidefinite or definite, A*A' + d*I of small
// integers; else any values, or any array.
const mxArray *matrix(fuzz::Bytes &in)
{
    const size_t n = in.below(7);
    const size_t kind = in.below(8);
    if (kind == 0)
        return fuzz::array(in, n);
    Doubles m(n * n);
    if (kind < 3) {
        for (double &x : m)
            x = in.value();
        return standin::dense(n, n, m);
    }
    Doubles a(n * (n + 1));
    for (double &x : a)
        x = static_cast<double>(in.below(7)) - 3.0;
    const double d = static_cast<double>(in.below(3));
    for (size_t j = 0; j < n; j++)
        for (size_t i = 0; i < n; i++) {
            double s = i == j ? d : 0.0;
            for (size_t k = 0; k <= n; k++)
                s = s + a[i + k * n] * a[j + k * n];
            m[i + j * n] = s;
        }
    // now and then a value or two of any kind, anywhere or on the diagonal
    for (size_t k = n > 0 && in.below(4) == 0 ? 1 + in.below(2) : 0; k > 0; k--) {
        const size_t at = in.flag() ? in.below(n) * (n + 1) : in.below(n * n);
        m[at] = in.flag() ? in.value() : kHuge[in.below(3)];
    }
    return standin::dense(n, n, m);
}

const mxArray *shift(fuzz::Bytes &in)
{
    switch (in.below(5)) {
    case 0: return standin::scalar(in.value());
    case 1: return fuzz::array(in, 1);
    case 2: return standin::scalar(kHuge[2]);
    default: return standin::scalar(0.25 * static_cast<double>(in.below(9)));
    }
}

// B: mostly of the factor's order.
const mxArray *rhs(fuzz::Bytes &in)
{
    const size_t rows = model.order >= 0 && in.below(8) != 0
                            ? static_cast<size_t>(model.order) : in.below(4);
    const size_t cols = in.below(4);
    if (in.below(8) == 0)
        return fuzz::array(in, rows);
    Doubles b(rows * cols);
    for (double &x : b)
        x = in.flag() ? in.value() : static_cast<double>(in.below(16));
    return standin::dense(rows, cols, b);
}

// A factor given to a solve: mostly upper triangular of B's rows with a
// positive diagonal of small integers, any values below it (not read),
// now and then a diagonal entry of any kind; else any values or array.
const mxArray *given_factor(fuzz::Bytes &in, const mxArray *B)
{
    const size_t n = in.below(8) == 0 ? in.below(4) : mxGetM(B);
    const size_t kind = in.below(8);
    if (kind == 0 || n > 8)
        return fuzz::array(in, n);
    Doubles r(n * n);
    for (size_t j = 0; j < n; j++)
        for (size_t i = 0; i < n; i++)
            r[i + j * n] = i == j   ? 1.0 + static_cast<double>(in.below(4))
                           : i < j  ? static_cast<double>(in.below(9)) - 4.0
                           : kind == 1 ? in.value() : 0.0;
    if (n > 0 && in.below(4) == 0)
        r[in.below(n) * (n + 1)] = in.value();
    return standin::dense(n, in.below(8) == 0 ? n + 1 : n, r);
}

// The upper triangle of a factor given, zeros below, and whether it is a
// factor: square, of B's rows, its diagonal positive and finite.
bool factor_given(const mxArray *R, const mxArray *B, Kept *k)
{
    const size_t n = mxGetM(B);
    if (!real_dense(R) || mxGetM(R) != n || mxGetN(R) != n)
        return false;
    const Doubles r = standin::values(R);
    k->order = static_cast<int64_t>(n);
    k->r.assign(n * n, 0.0);
    for (size_t j = 0; j < n; j++) {
        if (!(r[j + j * n] > 0.0 && finite(r[j + j * n])))
            return false;
        for (size_t i = 0; i <= j; i++)
            k->r[i + j * n] = r[i + j * n];
    }
    return true;
}

// Call arguments that the module must take, faults aside.
bool sound(int command, int nlhs, const std::vector<const mxArray *> &inputs)
{
    if (command == NONE || inputs.size() < kLeastIn[command] ||
        inputs.size() > kMostIn[command] || nlhs > kMostOut[command])
        return false;
    if (command == FACTOR) {
        if (inputs.size() == 3) {
            const mxArray *s = inputs[2];
            if (!real_dense(s) || mxGetNumberOfElements(s) != 1)
                return false;
            const double v = standin::values(s)[0];
            if (!(v >= 0 && finite(v)))
                return false;
        }
        return real_dense(inputs[1]) && mxGetM(inputs[1]) == mxGetN(inputs[1]);
    }
    if (command == SOLVE && inputs.size() == 3) {
        Kept k;
        return real_dense(inputs[1]) && factor_given(inputs[2], inputs[1], &k);
    }
    if (command == SOLVE)
        return model.order >= 0 && real_dense(inputs[1]) &&
               static_cast<int64_t>(mxGetM(inputs[1])) == model.order;
    return true;
}

// What a solve finds kept after a call that failed: the model's factor, or
// none.
void probe(const standin::Module &module, bool none_allowed)
{
    const size_t rows = model.order >= 0 ? static_cast<size_t>(model.order) : 1;
    Doubles b(rows);
    for (size_t i = 0; i < rows; i++)
        b[i] = 1.0 + static_cast<double>(i);
    standin::Call c = standin::call(module, 1, {standin::text("solve"),
                                                standin::dense(rows, 1, b)});
    if (!c.ok && c.message == kNoFactor) {
        if (model.order >= 0 && !none_allowed)
            fuzz::violated("a factor let go of by a call that failed", "");
        model.order = -1;
        return;
    }
    if (!c.ok || model.order < 0)
        fuzz::violated("a factor kept that is none before the call", c.message);
    if (!same_bits(standin::values(c.out.at(0)), solved(model, b, 1)))
        fuzz::violated("a factor kept that is not the one before the call", "");
}

void one_call(fuzz::Bytes &in, const standin::Module &module)
{
    int command;
    std::vector<const mxArray *> inputs{command_text(in, &command)};
    const size_t nrhs = in.below(8) == 0 ? in.below(5)
                        : command == NONE ? 2
                        : kLeastIn[command] + (command <= SOLVE ? in.below(2) : 0);
    for (size_t k = 1; k < nrhs; k++) {
        if (k == 2 && command == SOLVE && inputs.size() == 2)
            inputs.push_back(given_factor(in, inputs[1]));
        else if (k == 2)
            inputs.push_back(shift(in));
        else
            inputs.push_back(command == SOLVE ? rhs(in) : matrix(in));
    }
    if (nrhs == 0)
        inputs.clear();
    const int nlhs = in.below(8) == 0 ? static_cast<int>(in.below(5)) - 1
                                      : static_cast<int>(in.below(command == FACTOR ? 3 : 2));
    fuzz::corrupt(in, inputs);
    const standin::Faults faults = fuzz::faults(in);
    const bool fine = !inputs.empty() && sound(command, nlhs, inputs);
    bool hurt = faults.fail_allocation == 1 || faults.fail_allocation == 2 ||
                faults.fail_creation == 1 || faults.null_creation == 1;
    for (const mxArray *a : inputs)
        hurt = hurt || damaged(a);

    standin::Call c = standin::call(module, nlhs, inputs, faults);
    if (c.overrun)
        fuzz::violated("a write past the end of a block", c.message);
    if (standin::persistent().size() > 1)
        fuzz::violated("more than one block kept", "");
    if (!c.ok) {
        if (!fuzz::one_of(c.message, kMessages))
            fuzz::violated("a message that is not the module's", c.message);
        if (!c.out.empty())
            fuzz::violated("an output kept after an error", c.message);
        if (fine && !hurt)
            fuzz::violated("sound arguments refused", c.message);
        if (fine && c.message != kMemory && c.message != kCorrupted)
            fuzz::violated("sound arguments refused, not for a fault", c.message);
        probe(module, fine && command == FACTOR);
        return;
    }
    if (!fine)
        fuzz::violated("unsound arguments taken", "");
    if (!c.leaked.empty() || c.arrays_leaked)
        fuzz::violated("a block or an array held after a normal return", "");
    const size_t outputs = command == RELEASE ? 0 : command == FACTOR && nlhs == 2 ? 2 : 1;
    if (c.out.size() != outputs)
        fuzz::violated("not the outputs promised", std::to_string(c.out.size()));
    for (const mxArray *a : c.out)
        if (!real_dense(a))
            fuzz::violated("an output that is not a real dense double matrix", "");
    switch (command) {
    case FACTOR: {
        const mxArray *M = inputs[1];
        const size_t n = mxGetM(M);
        Doubles r;
        const double s = inputs.size() == 3 ? standin::values(inputs[2])[0] : 0.0;
        const double p = p_of(n, standin::values(M), s, &r);
        if (mxGetNumberOfElements(c.out[0]) != 1 || standin::values(c.out[0])[0] != p)
            fuzz::violated("not the p of the definition", std::to_string(p));
        if (outputs == 2) {
            if (mxGetM(c.out[1]) != n || mxGetN(c.out[1]) != n)
                fuzz::violated("R not of M's order", "");
            const Doubles got = standin::values(c.out[1]);
            for (size_t j = 0; j < n; j++)
                for (size_t i = 0; i < n; i++) {
                    const double want = p == 0 && i <= j ? r[i + j * n] : 0.0;
                    const bool written = p == 0 && i <= j;
                    if ((written || !faults.poison_creations) &&
                        !same_bits({got[i + j * n]}, {want}))
                        fuzz::violated("R without the loops' bits or zeros", "");
                }
        }
        model.order = p == 0 ? static_cast<int64_t>(n) : -1;
        model.r = r;
        if (p == 0 && n > 0 && (standin::persistent().size() != 1 ||
                                standin::persistent()[0] < n * n * sizeof(double)))
            fuzz::violated("the factor kept in no block large enough", "");
        break;
    }
    case SOLVE: {
        const mxArray *X = c.out[0];
        const size_t cols = mxGetN(inputs[1]);
        Kept with = model;
        if (inputs.size() == 3)
            factor_given(inputs[2], inputs[1], &with);
        if (static_cast<int64_t>(mxGetM(X)) != with.order || mxGetN(X) != cols)
            fuzz::violated("X not of B's shape", "");
        if (!same_bits(standin::values(X), solved(with, standin::values(inputs[1]), cols)))
            fuzz::violated("X without the loops' bits", "");
        if (inputs.size() == 3)
            probe(module, false);   // the factor kept, untouched
        break;
    }
    case RELEASE:
        model.order = -1;
        if (!standin::persistent().empty())
            fuzz::violated("a block kept after release", "");
        break;
    default:
        if (mxGetNumberOfElements(c.out[0]) != 1 || standin::values(c.out[0])[0] != 1.0)
            fuzz::violated("no LAPACK found", "");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    const standin::Module &module = fuzz::module(SDP_CHOL_MODULE);
    if (!standin::call(module, 0, {standin::text("release")}).ok)
        fuzz::violated("release refused", "");
    model = Kept();
    standin::lapack::forget();   // the stand-in's record of its calls
    const size_t calls = 1 + in.below(4);
    for (size_t k = 0; k < calls; k++)
        one_call(in, module);
    if (!standin::call(module, 0, {standin::text("release")}).ok ||
        !standin::persistent().empty())
        fuzz::violated("a block kept after release", "");
    standin::release_all();
    return 0;
}
