/*
 * touchfloor: s = touchfloor(D), for a cell array D of sparse matrices:
 * fetches each element's storage (mxGetCell, mxGetPr, mxGetIr, mxGetJc)
 * and reads its stored values and row indices once, but of its column
 * starts only the last, and returns a checksum of what it read.
 *
 * It is the floor of a trace vector over D: any module that forms one
 * value from each element's entries does at least this. An element's
 * width, which locates its last column start, is its count of entries
 * over its rows: Octave answers both from the array it holds, but
 * allocates a block for the dimensions the first time an element is
 * asked for its columns, about a quarter of what a small element costs.
 * Built with TOUCHFLOOR_ASKS_COLUMNS (touchfloor_columns), it asks each
 * element for its columns instead, as a floor written without knowing
 * this would.
 *
 * s = touchfloor(D, A, B, C) does the same and is also handed, unread,
 * the other three arguments of a call brisset(A, B, C, D): the floor of
 * that call, host's handing over of every argument included.
 */
#include "floor_common.h"

static uint64_t read_element(const mxArray *E)
{
    if (!E || !mxIsSparse(E))
        return 0;
    const double *pr = mxGetPr(E);
    const mwIndex *ir = mxGetIr(E), *jc = mxGetJc(E);
    if (!pr || !ir || !jc)
        return 0;
#ifdef TOUCHFLOOR_ASKS_COLUMNS
    const size_t cols = mxGetN(E);
#else
    const size_t rows = mxGetM(E);
    const size_t cols = rows ? mxGetNumberOfElements(E) / rows : mxGetN(E);
#endif
    const size_t nz = (size_t)jc[cols];
    uint64_t sum = 0;
    for (size_t p = 0; p < nz; p++)
        sum += (uint64_t)ir[p] + bits(pr[p]);
    return sum;
}

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    (void)nlhs;
    const size_t k = cell_elements(nrhs, prhs, 4,
                                   "touchfloor: the argument must be a cell array\n");
    plhs[0] = mxCreateDoubleScalar(checksum(read_elements(prhs[0], k)));
}
