// Fuzzing blas_threads([n]) through the stand-in host, beside the stand-in
// OpenBLAS that this program exports. Beyond the shared property: a call
// returns the count it found, and leaves n behind when it was given one;
// a call that ends with a message leaves the count as it was; and a call
// returns exactly when its arguments are sound and its result was made.
#include "blas.h"
#include "fuzz.h"

static const std::vector<const char *> kMessages = {
    "Error: Expecting one output argument.\n",
    "Error: Expecting at most one input argument.\n",
    "Error: Input 1 is expected to be a whole number from 1 to 4096\n",
    "Error: Insufficient memory\n"};

// n as blas_threads takes it: a real dense double scalar, whole, 1 to 4096.
static bool sound(const mxArray *n)
{
    if (!mxIsDouble(n) || mxIsComplex(n) || mxIsSparse(n) ||
        mxGetNumberOfElements(n) != 1)
        return false;
    const double v = standin::values(n).at(0);
    return v >= 1 && v <= 4096 && v == std::floor(v);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    const int nlhs = in.below(8) == 0 ? static_cast<int>(in.below(4)) - 1
                                      : static_cast<int>(in.below(2));
    std::vector<const mxArray *> inputs;
    const size_t nrhs = in.below(8) == 0 ? 2 + in.below(2) : in.below(2);
    for (size_t j = 0; j < nrhs; j++) {
        switch (in.below(4)) {
        case 0: inputs.push_back(fuzz::array(in, 1)); break;
        case 1: inputs.push_back(standin::scalar(in.value())); break;
        default:   // mostly about the bounds
            inputs.push_back(standin::scalar(static_cast<double>(in.below(8)) +
                             (in.flag() ? 4092 : 0)));
        }
    }
    fuzz::corrupt(in, inputs);
    const standin::Faults faults = fuzz::faults(in);
    const int before = in.flag() ? 1 + static_cast<int>(in.below(64)) : 2;
    standin::blas::reset(before);
    const int sets = standin::blas::sets();

    standin::Call c = standin::call(fuzz::module(BLAS_THREADS_MODULE), nlhs, inputs, faults);
    fuzz::check(c, kMessages, [](const mxArray *r) {
        return mxIsDouble(r) && !mxIsSparse(r) && !mxIsComplex(r) && mxGetM(r) == 1 &&
               mxGetN(r) == 1;
    });
    const bool fine = nlhs <= 1 && (inputs.empty() || (inputs.size() == 1 && sound(inputs[0])));
    if (c.ok != (fine && faults.fail_creation != 1))
        fuzz::violated(c.ok ? "unsound arguments taken" : "sound arguments refused",
                       c.message);
    if (!c.ok) {
        if (standin::blas::threads() != before || standin::blas::sets() != sets)
            fuzz::violated("a count set by a call that failed", c.message);
    } else {
        if (standin::values(c.out[0]).at(0) != before)
            fuzz::violated("not the count before the call", "");
        const int after = inputs.empty() ? before
                                         : static_cast<int>(standin::values(inputs[0]).at(0));
        if (standin::blas::threads() != after)
            fuzz::violated("not the count asked for", std::to_string(after));
    }
    standin::release_all();
    return 0;
}
