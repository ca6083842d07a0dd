/*
 * readonce: s = readonce(A), for a cell array A of matrices: reads every
 * element's column starts, row indices and values once, in storage order
 * (the values of a dense element), and returns a checksum of what it read.
 *
 * It is the floor of the benchmarks: a module that is handed the same cell
 * array as kovalin or brisset and does the least that any of them can do
 * with it.
 *
 * S = readonce(A, nz) reads the same and hands back, as a sum must, an
 * m-by-m sparse result of nz stored entries (m the order of A{1}): its
 * columns filled from the top, in order, the checksum in every value. It
 * is the floor of a sparse weighted sum with nz entries.
 */
#include "floor_common.h"

static uint64_t read_element(const mxArray *E)
{
    if (!E || !mxIsDouble(E))
        return 0;
    uint64_t sum = 0;
    const double *pr = mxGetPr(E);
    if (mxIsSparse(E)) {
        const mwIndex *ir = mxGetIr(E), *jc = mxGetJc(E);
        const size_t cols = mxGetN(E);
        if (!pr || !ir || !jc)
            return 0;
        for (size_t c = 0; c <= cols; c++)
            sum += (uint64_t)jc[c];
        const size_t nz = (size_t)jc[cols];
        for (size_t p = 0; p < nz; p++)
            sum += (uint64_t)ir[p];
        for (size_t p = 0; p < nz; p++)
            sum += bits(pr[p]);
    } else if (pr) {
        const size_t count = mxGetM(E) * mxGetN(E);
        for (size_t t = 0; t < count; t++)
            sum += bits(pr[t]);
    }
    return sum;
}

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    (void)nlhs;
    const size_t n = cell_elements(nrhs, prhs, 2,
                                   "readonce: the argument must be a cell array\n");
    const mxArray *A = prhs[0];
    const double check = checksum(read_elements(A, n));
    if (nrhs == 1 || n == 0) {
        plhs[0] = mxCreateDoubleScalar(check);
        return;
    }
    const size_t m = mxGetM(mxGetCell(A, 0));
    const double want = mxGetScalar(prhs[1]);
    const size_t nz = want > 0 && want <= (double)m * (double)m ? (size_t)want : 0;
    mxArray *S = mxCreateSparse(m, m, nz, mxREAL);
    if (!S)
        mexErrMsgTxt("readonce: no result\n");
    double *pr = mxGetPr(S);
    mwIndex *ir = mxGetIr(S), *jc = mxGetJc(S);
    size_t q = 0;
    for (size_t j = 0; j < m; j++) {
        jc[j] = (mwIndex)q;
        for (size_t i = 0; i < m && q < nz; i++, q++) {
            ir[q] = (mwIndex)i;
            pr[q] = check;
        }
    }
    jc[m] = (mwIndex)q;
    plhs[0] = S;
}
