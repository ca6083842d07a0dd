// Fuzzing kovalin(x, A[, nnz]) through the stand-in host.
#include "fuzz.h"

static const std::vector<const char *> kMessages = {
    "Error: Expecting one output argument.\n",
    "Error: Expecting 2 or 3 input arguments.\n",
    "Third argument should be a (numeric) scalar.\n",
    "First argument should be a real vector.\n",
    "Second arguments should be a cell array.\n",
    "First and second arguments don't match, one is empty.\n",
    "First argument should be a vector.\n",
    "Second argument should be a 1D cell array.\n",
    "First and second arguments don't match in size.\n",
    "First argument is corrupted?\n",
    "Error: %u element of the cell array (2nd arg.) is empty.\n",
    "Error: All element of the cell array should be matrices %ux%u (%u not).\n",
    "Allocation error.\n",
    "Matrix for the result corrupted?\n",
    "Error: Sparse matrix from the cell array is corrupted?\n",
    "Error: Dense matrix from the cell array is corrupted?\n",
    "Error: Insufficient memory\n",
    "Error: Matrices from the cell array are corrupted?\n",
    "Error: Sparse matrix for the result is corrupted?\n"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    const int nlhs = in.below(8) == 0 ? static_cast<int>(in.below(4)) - 1
                                      : static_cast<int>(in.below(2));
    const size_t m = in.below(6), n = 1 + in.below(4);
    std::vector<const mxArray *> inputs;
    if (in.below(4) != 0) {   // mostly calls of the right form
        std::vector<double> w(n);
        for (double &v : w)
            v = in.below(4) == 0 ? 0.0 : in.value();
        inputs.push_back(in.below(6) == 0
            ? standin::sparse(1, n, fuzz::pattern(in, 1, n))
            : in.flag() ? standin::dense(1, n, w) : standin::dense(n, 1, w));
        inputs.push_back(fuzz::cell_of(in, m, fuzz::near(in, n), true));
        if (in.flag())
            inputs.push_back(in.below(4) == 0 ? fuzz::array(in, 1)
                                              : standin::scalar(in.value()));
    } else {
        for (size_t k = in.below(5); k > 0; k--)
            inputs.push_back(fuzz::array(in, m));
    }
    fuzz::corrupt(in, inputs);
    standin::Call c = standin::call(fuzz::module(KOVALIN_MODULE), nlhs, inputs,
                                    fuzz::faults(in));
    fuzz::check(c, kMessages, [](const mxArray *r) {
        return mxIsDouble(r) && !mxIsComplex(r) && mxGetM(r) == mxGetN(r) &&
               fuzz::well_formed(r);
    });
    standin::release_all();
    return 0;
}
