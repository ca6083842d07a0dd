// Fuzzing brisset(A, B, C, D) through the stand-in host.
#include "fuzz.h"

static const std::vector<const char *> kMessages = {
    "Error: Expecting one output argument.\n",
    "Error: Expecting 4 input arguments.\n",
    "Error: Input %u is expected to be a symmetric matrix %ux%u (%ux%u).\n",
    "Error: Input %u is expected to be a double matrix\n",
    "Error: 4th input arguments should be a cell array.\n",
    "Error: 4th input arguments should be a cell vector.\n",
    "Error: 1st input argument is expected to be a dense matrix\n",
    "Error: 2nd input argument is expected to be a sparse matrix\n",
    "Error: 3rd input argument is expected to be a dense matrix\n",
    "Error: %u element of the cell array (4th arg.) is empty.\n",
    "Error: All element of the cell array should be sparse matrices %ux%u (%u not).\n",
    "Error: Insufficient memory\n",
    "Error: Matrices are corrupted?\n",
    "Error: Matrices from the cell array are corrupted?\n"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    const int nlhs = in.below(8) == 0 ? 2 : static_cast<int>(in.below(2));
    const size_t m = in.below(6), k = 1 + in.below(4);
    std::vector<const mxArray *> inputs;
    if (in.below(4) != 0) {
        auto dense = [&] { return fuzz::dense_mostly(in, m, 8); };
        inputs.push_back(dense());
        inputs.push_back(in.below(8) == 0 ? fuzz::array(in, m)
                                          : standin::sparse(m, m, fuzz::pattern(in, m, m)));
        inputs.push_back(dense());
        inputs.push_back(in.below(8) == 0 ? fuzz::array(in, m) : fuzz::cell_of(in, m, k, false));
    } else {
        for (size_t j = in.below(6); j > 0; j--)
            inputs.push_back(fuzz::array(in, m));
    }
    fuzz::corrupt(in, inputs);
    standin::Call c = standin::call(fuzz::module(BRISSET_MODULE), nlhs, inputs,
                                    fuzz::faults(in));
    fuzz::check(c, kMessages, [&](const mxArray *r) {
        const mxArray *D = inputs[3];
        return mxIsDouble(r) && !mxIsSparse(r) && !mxIsComplex(r) &&
               mxGetN(r) == 1 && mxGetM(r) == mxGetM(D) * mxGetN(D);
    });
    standin::release_all();
    return 0;
}
