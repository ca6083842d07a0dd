/*
 * What the floor modules (readonce, touchfloor) share: the check of their
 * cell argument, the walk over its elements, and the checksum they hand
 * back, which keeps a compiler from dropping the reads it is made of.
 * Each module defines read_element, what it reads of one element.
 */
#ifndef FLOOR_COMMON_H
#define FLOOR_COMMON_H

#include "mexhost.h"

#include <stdint.h>
#include <string.h>

static inline uint64_t bits(double v)
{
    uint64_t u;
    memcpy(&u, &v, sizeof u);
    return u;
}

/* The number of elements of the cell array prhs[0], in a call of one or
   of `most` arguments; any other call ends with `message`. */
static inline size_t cell_elements(int nrhs, const mxArray *prhs[], int most,
                                   const char *message)
{
    if ((nrhs != 1 && nrhs != most) || !mxIsCell(prhs[0]))
        mexErrMsgTxt(message);
    return mxGetM(prhs[0]) * mxGetN(prhs[0]);
}

/* What the module reads of one element of the cell array, summed; 0 for
   an element it passes over (a null one included). */
static uint64_t read_element(const mxArray *E);

/* The sum of what read_element reads of each of the n elements of A. */
static inline uint64_t read_elements(const mxArray *A, size_t n)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < n; i++)
        sum += read_element(mxGetCell(A, (mwIndex)i));
    return sum;
}

/* The sum as a double, exactly: its residue below 2^53. */
static inline double checksum(uint64_t sum)
{
    return (double)(sum % 9007199254740992u);
}

#endif
