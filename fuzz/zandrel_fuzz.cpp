// Fuzzing zandrel(A, B, C, D) through the stand-in host.
#include "fuzz.h"

static const std::vector<const char *> kMessages = {
    "Error: Expecting one output argument.\n",
    "Error: Expecting 4 input arguments.\n",
    "Error: Input %u is expected to be a symmetric matrix %ux%u (%ux%u).\n",
    "Error: Input %u is expected to be a double matrix\n",
    "Error: Input %u is expected to be a sparse matrix\n",
    "Error: Input %u is expected to be a dense matrix\n",
    "Error: Insufficient memory\n",
    "Error: Matrices are corrupted?\n"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Bytes in(data, size);
    const int nlhs = in.below(8) == 0 ? static_cast<int>(in.below(4)) - 1
                                      : static_cast<int>(in.below(2));
    const size_t m = in.below(6);
    std::vector<const mxArray *> inputs;
    if (in.below(4) != 0) {
        for (int i = 0; i < 4; i++) {
            std::vector<double> v(m * m);
            for (double &x : v)
                x = in.value();
            if (in.below(10) == 0)
                inputs.push_back(fuzz::array(in, m));
            else if (i % 2 == 0)
                inputs.push_back(standin::dense(m, m, v));
            else
                inputs.push_back(standin::sparse(m, m, fuzz::pattern(in, m, m)));
        }
    } else {
        for (size_t j = in.below(6); j > 0; j--)
            inputs.push_back(fuzz::array(in, m));
    }
    fuzz::corrupt(in, inputs);
    standin::Call c = standin::call(fuzz::module(ZANDREL_MODULE), nlhs, inputs,
                                    fuzz::faults(in));
    fuzz::check(c, kMessages, [](const mxArray *r) {
        return mxIsDouble(r) && !mxIsSparse(r) && !mxIsComplex(r) &&
               mxGetM(r) == 1 && mxGetN(r) == 1;
    });
    standin::release_all();
    return 0;
}
