// Fuzzing sdp_schur(F, W, Y[, [first last]]) through the stand-in host.
// Beyond the shared property: the whole matrix is symmetric bit for bit,
// and a panel holds the bits of the whole matrix's entries.
#include "fuzz.h"

static const std::vector<const char *> kMessages = {
    "Error: Expecting one output argument.\n",
    "Error: Expecting 3 or 4 input arguments.\n",
    "Error: Input 1 is expected to be a cell vector of sparse matrices\n",
    "Error: Input %u is expected to be a dense double matrix %ux%u (%ux%u)\n",
    "Error: Input %u is expected to be a dense double matrix %ux%u (%ux%u, sparse)\n",
    "Error: Element %u of input 1 is expected to be a sparse double matrix %ux%u\n",
    "Error: Input 4 is expected to be [first last], whole numbers with 1 <= first <= "
    "last <= %u\n",
    "Error: Insufficient memory\n",
    "Error: Matrices are corrupted?\n",
    "Error: Matrices from the cell array are corrupted?\n",
    "Error: Input 1 is expected to be a cell vector of sparse matrices, or 'threads'\n",
    "Error: Expecting 1 or 2 input arguments with 'threads'\n",
    "Error: Input 2 is expected to be a whole number of threads from 1 to 64\n"};

// sdp_schur('threads'[, n]) now and then, before the call: a word of seven
// letters or another text, and a count of any kind; what it returns is the
// count before, from 1 to 64.
static void threads_call(fuzz::Bytes &in)
{
    std::vector<const mxArray *> inputs{
        standin::text(in.below(4) == 0 ? (in.flag() ? "Threads" : "thread") : "threads")};
    for (size_t j = in.below(4); j > 0; j--)
        inputs.push_back(in.below(3) == 0 ? fuzz::array(in, 1)
                                          : standin::scalar(in.below(4) == 0
                                                                ? in.value()
                                                                : double(in.below(70))));
    const int nlhs = static_cast<int>(in.below(3));
    const standin::Call c = standin::call(fuzz::module(SDP_SCHUR_MODULE), nlhs, inputs,
                                          fuzz::faults(in));
    fuzz::check(c, kMessages, [](const mxArray *r) {
        if (!mxIsDouble(r) || mxIsSparse(r) || mxGetNumberOfElements(r) != 1)
            return false;
        const double n = standin::values(r)[0];
        return n >= 1 && n <= 64 && n == static_cast<double>(static_cast<int>(n));
    });
}

static uint64_t bits(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// The result P, the panel [first last] of M or M itself, holds M's bits,
// and M is symmetric bit for bit.
static void check_values(const standin::Module &module,
                         const std::vector<const mxArray *> &inputs,
                         const mxArray *result,
                         size_t first, size_t last)
{
    const size_t rows = mxGetM(result), n = rows + first - 1;
    const std::vector<double> P = standin::values(result);
    std::vector<double> M = P;
    if (inputs.size() == 4) {
        // an element before the panel may lack storage that it never read
        const standin::Call whole = standin::call(module, 1, {inputs[0], inputs[1], inputs[2]});
        if (!whole.ok && whole.message == "Error: Matrices from the cell array are corrupted?\n")
            return;
        if (!whole.ok)
            fuzz::violated("the whole matrix fails where a panel did not", whole.message);
        M = standin::values(whole.out[0]);
    }
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < i; j++)
            if (bits(M[i + j * n]) != bits(M[j + i * n]))
                fuzz::violated("an unsymmetric matrix", std::to_string(i) + "," +
                                                           std::to_string(j));
    for (size_t j = 0; first + j <= last; j++)
        for (size_t i = 0; i < rows; i++)
            if (bits(P[i + j * rows]) != bits(M[(first - 1 + i) + (first - 1 + j) * n]))
                fuzz::violated("a panel that is not the whole matrix's entries",
                               std::to_string(i) + "," + std::to_string(j));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    if (in.below(8) == 0)
        threads_call(in);
    const int nlhs = in.below(8) == 0 ? static_cast<int>(in.below(4)) - 1
                                      : static_cast<int>(in.below(2));
    const size_t m = in.below(6), k = in.below(6);
    std::vector<const mxArray *> inputs;
    if (in.below(4) != 0) {
        auto dense = [&] { return fuzz::dense_mostly(in, m, 10); };
        inputs.push_back(in.below(10) == 0 ? fuzz::array(in, m)
                                           : fuzz::cell_of(in, m, k, false));
        inputs.push_back(dense());
        inputs.push_back(dense());
        if (in.flag()) {
            // mostly whole numbers about 1..k, now and then any value
            const double first = in.below(4) == 0 ? in.value()
                                                  : static_cast<double>(in.below(k + 2));
            const double last = in.below(4) == 0 ? in.value()
                                                 : first + static_cast<double>(in.below(k + 1));
            inputs.push_back(in.below(10) == 0 ? fuzz::array(in, 1)
                                               : standin::dense(1, 2, {first, last}));
        }
    } else {
        for (size_t j = in.below(6); j > 0; j--)
            inputs.push_back(fuzz::array(in, m));
    }
    fuzz::corrupt(in, inputs);
    const standin::Module &module = fuzz::module(SDP_SCHUR_MODULE);
    const standin::Faults faults = fuzz::faults(in);
    standin::Call c = standin::call(module, nlhs, inputs, faults);
    size_t first = 0, last = 0;
    fuzz::check(c, kMessages, [&](const mxArray *r) {
        const size_t n = mxGetNumberOfElements(inputs[0]);
        first = 1;
        last = n;
        if (inputs.size() == 4) {
            const std::vector<double> p = standin::values(inputs[3]);
            first = static_cast<size_t>(p.at(0));
            last = static_cast<size_t>(p.at(1));
        }
        return mxIsDouble(r) && !mxIsSparse(r) && !mxIsComplex(r) &&
               mxGetM(r) == n - first + 1 && mxGetN(r) == last - first + 1;
    });
    if (c.ok)
        check_values(module, inputs, c.out[0], first, last);
    standin::release_all();
    return 0;
}
