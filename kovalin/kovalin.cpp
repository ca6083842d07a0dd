/*
 * kovalin: R = kovalin(x, A) or kovalin(x, A, nnz), the weighted sum
 * x(1)*A{1} + ... + x(n)*A{n} of m-by-m real matrices, dense or sparse.
 *
 * The result is dense when any A{l} is dense or nnz is negative, and then
 * holds the sum itself. Otherwise it is sparse and holds the transpose of
 * the sum, which is the sum whenever the sum is symmetric. nnz, the
 * caller's expectation of the number of stored entries, only sizes the
 * working storage. Every entry is formed from +0.0 by adding x(l)*a for
 * l ascending, terms with a zero weight (+0 or -0) left out.
 */
#include "mexhost.h"

#include <limits>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <type_traits>

/* The estimate: a signed integer of the index width. */
typedef std::conditional<sizeof(mwIndex) == 4, int32_t, int64_t>::type nzInt;

static int sumAsDense(mwSize m, mwSize n, const double *x, const mxArray *A,
                      double *result);
static int sumAsSparse(mwSize m, mwSize n, mwSize nzEstimate, const double *x,
                       const mxArray *A, mxArray *out[]);

/* The largest mwSize, and the largest count of `width`-byte entries whose
   byte count fits size_t. */
static const mwSize kMaxSize = std::numeric_limits<mwSize>::max();
#define FITS(count, width) \
    ((uint64_t)(count) <= (uint64_t)(SIZE_MAX / (width)))

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    char msg[256];

    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 2 && nrhs != 3)
        mexErrMsgTxt("Error: Expecting 2 or 3 input arguments.\n");

    nzInt nzEstimate = 0;
    if (nrhs == 3) {
        const mxArray *E = prhs[2];
        if (!mxIsNumeric(E) || mxIsComplex(E) || mxGetM(E) != 1 ||
            mxGetN(E) != 1)
            mexErrMsgTxt("Third argument should be a (numeric) scalar.\n");
        /* truncated toward zero; the values a cast may not take (NaN, out
           of range) are given explicitly */
        const double v = mxGetScalar(E);
        if (sizeof(nzInt) == 4) {
            nzEstimate = (v > -2147483649.0 && v < 2147483648.0)
                             ? (nzInt)v : (nzInt)INT32_MIN;
        } else {
            int64_t e = INT64_MIN;     /* NaN, below -2^63, 2^64 and more */
            if (v >= -9223372036854775808.0 && v < 9223372036854775808.0)
                e = (int64_t)v;
            else if (v >= 9223372036854775808.0 && v < 18446744073709551616.0)
                e = (int64_t)((uint64_t)v - 9223372036854775808u) + INT64_MIN;
            nzEstimate = (nzInt)e;     /* modulo 2^64 */
        }
    }

    const mxArray *X = prhs[0], *A = prhs[1];
    if (!mxIsDouble(X) || mxIsComplex(X))
        mexErrMsgTxt("First argument should be a real vector.\n");
    if (!mxIsCell(A))
        mexErrMsgTxt("Second arguments should be a cell array.\n");

    const size_t xm = mxGetM(X), xn = mxGetN(X);
    const size_t am = mxGetM(A), an = mxGetN(A);
    const bool xEmpty = xm == 0 || xn == 0, aEmpty = am == 0 || an == 0;
    if (xEmpty && aEmpty) {
        plhs[0] = mxCreateDoubleMatrix(0, 0, mxREAL);
        if (!plhs[0])
            mexErrMsgTxt("Allocation error.\n");
        return;
    }
    if (xEmpty || aEmpty)
        mexErrMsgTxt("First and second arguments don't match, one is empty.\n");
    if (xn > 1 && xm > 1)
        mexErrMsgTxt("First argument should be a vector.\n");
    if (am > 1 && an > 1)
        mexErrMsgTxt("Second argument should be a 1D cell array.\n");
    const size_t nn = xn > 1 ? xn : xm;
    if (nn != am && nn != an)
        mexErrMsgTxt("First and second arguments don't match in size.\n");
    const mwSize n = (mwSize)nn;   /* A holds n elements */

    const double *x = mxGetPr(X);
    const mwIndex *xIr = 0, *xJc = 0;
    if (mxIsSparse(X)) {
        xIr = mxGetIr(X);
        xJc = mxGetJc(X);
    }
    if (!x || (mxIsSparse(X) && (!xIr || !xJc)))
        mexErrMsgTxt("First argument is corrupted?\n");

    size_t order = 0;
    mwSize totalCapacity = 0;   /* saturates rather than wraps */
    for (mwSize i = 0; i < n; i++) {
        const mxArray *E = mxGetCell(A, (mwIndex)i);
        if (!E) {
            snprintf(msg, sizeof msg, "Error: %u element of the cell array "
                     "(2nd arg.) is empty.\n", (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        if (i == 0)
            order = mxGetM(E);
        if (!mxIsDouble(E) || mxIsComplex(E) || mxGetM(E) != order ||
            mxGetN(E) != order) {
            snprintf(msg, sizeof msg, "Error: All element of the cell array "
                     "should be matrices %ux%u (%u not).\n", (unsigned)order,
                     (unsigned)order, (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        if (!mxIsSparse(E))
            nzEstimate = -1;   /* the dense marker */
        else if (nzEstimate == 0) {
            const mwSize c = mxGetNzmax(E);
            totalCapacity = c > kMaxSize - totalCapacity ? kMaxSize
                                                         : totalCapacity + c;
        }
    }
    const mwSize m = (mwSize)order;

    /* A sparse x is read as its n weights, with 0 where nothing is stored. */
    double *weights = 0;
    if (mxIsSparse(X)) {
        weights = FITS(n, sizeof(double))
                      ? (double *)mxMalloc((size_t)n * sizeof(double)) : 0;
        if (!weights)
            mexErrMsgTxt("Error: Insufficient memory\n");
        memset(weights, 0, (size_t)n * sizeof(double));
        for (size_t j = 0; j < xn; j++)
            for (mwIndex p = xJc[j]; p < xJc[j + 1]; p++)
                weights[(size_t)xIr[p] + j * xm] = x[p];
        x = weights;
    }

    if (nzEstimate < 0) {
        plhs[0] = mxCreateDoubleMatrix(m, m, mxREAL);
        if (!plhs[0])
            mexErrMsgTxt("Allocation error.\n");
        double *result = mxGetPr(plhs[0]);
        if (!result)
            mexErrMsgTxt("Matrix for the result corrupted?\n");
        sumAsDense(m, n, x, A, result);
    } else {
        mwSize estimate = (mwSize)nzEstimate;
        if (estimate == 0) {   /* four times the mean capacity, no wrap */
            const uint64_t q = (uint64_t)totalCapacity / (uint64_t)n;
            const uint64_t r = (uint64_t)totalCapacity % (uint64_t)n;
            const uint64_t e = q > UINT64_MAX / 8 ? UINT64_MAX
                                                  : q * 4 + r * 4 / (uint64_t)n;
            estimate = e > (uint64_t)kMaxSize ? kMaxSize : (mwSize)e;
        }
        /* no more than the result can hold: the entries stored by the
           elements, and m*m */
        mwSize need = 0;
        for (mwSize l = 0; l < n && need < estimate; l++) {
            const mxArray *E = mxGetCell(A, (mwIndex)l);
            const mwIndex *jc = mxGetJc(E);
            const mwSize s = jc ? (mwSize)jc[m] : mxGetNzmax(E);
            need = s > kMaxSize - need ? kMaxSize : need + s;
        }
        if (m <= kMaxSize / (m ? m : 1) && m * m < need)
            need = m * m;
        if (estimate > need)
            estimate = need;
        sumAsSparse(m, n, estimate, x, A, plhs);
    }
    if (weights)
        mxFree(weights);
}

#ifdef SDPK_KERNELS
/* a comparison build takes other kernels with the same interface */
#include SDPK_KERNELS
#else
/* A hint to the memory system: the data at p will be read soon. */
#if defined(__GNUC__) || defined(__clang__)
#define PREFETCH(p) __builtin_prefetch(p)
#else
#define PREFETCH(p) ((void)0)
#endif

/* result[t] = w[0]*e[0][t] + result[t], then w[1]*e[1][t] + ..., for the
   `count` dense terms (at most four) in one pass over the entries. */
static void addDenseTerms(size_t mm, int count, const double *w,
                          const double *const *e, double *result)
{
    switch (count) {
    case 1:
        for (size_t t = 0; t < mm; t++)
            result[t] = w[0] * e[0][t] + result[t];
        break;
    case 2:
        for (size_t t = 0; t < mm; t++) {
            double r = w[0] * e[0][t] + result[t];
            result[t] = w[1] * e[1][t] + r;
        }
        break;
    case 3:
        for (size_t t = 0; t < mm; t++) {
            double r = w[0] * e[0][t] + result[t];
            r = w[1] * e[1][t] + r;
            result[t] = w[2] * e[2][t] + r;
        }
        break;
    case 4:
        for (size_t t = 0; t < mm; t++) {
            double r = w[0] * e[0][t] + result[t];
            r = w[1] * e[1][t] + r;
            r = w[2] * e[2][t] + r;
            result[t] = w[3] * e[3][t] + r;
        }
        break;
    default:
        break;
    }
}

static int sumAsDense(mwSize m, mwSize n, const double *x, const mxArray *A,
                      double *result)
{
    const size_t mm = (size_t)m * (size_t)m;   /* the result holds mm entries */
    for (size_t t = 0; t < mm; t++)
        result[t] = 0.0;

    /* Dense terms that follow one another wait here and are added up to
       four in one pass; anything else that reaches the result (a sparse
       term, the end, a message) lets them in first, so every entry still
       takes its terms in order. */
    double waiting_w[4];
    const double *waiting[4];
    int n_waiting = 0;
    for (mwSize i = 0; i < n; i++) {
        const double w = x[i];
        if (w == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mxArray *E = mxGetCell(A, (mwIndex)i);
        const double *pr = mxGetPr(E);
        const bool sparse = mxIsSparse(E);
        if (!sparse && pr) {
            waiting_w[n_waiting] = w;
            waiting[n_waiting++] = pr;
            if (n_waiting == 4) {
                addDenseTerms(mm, n_waiting, waiting_w, waiting, result);
                n_waiting = 0;
            }
            continue;
        }
        if (n_waiting) {
            addDenseTerms(mm, n_waiting, waiting_w, waiting, result);
            n_waiting = 0;
        }
        if (sparse) {
            const mwIndex *ir = mxGetIr(E), *jc = mxGetJc(E);
            if (!pr || !ir || !jc)
                mexErrMsgTxt("Error: Sparse matrix from the cell array is "
                             "corrupted?\n");
            for (mwSize c = 0; c < m; c++) {
                double *col = result + (size_t)c * (size_t)m;
                for (mwIndex k = jc[c]; k < jc[c + 1]; k++)
                    col[ir[k]] = w * pr[k] + col[ir[k]];
            }
        } else {
            mexErrMsgTxt("Error: Dense matrix from the cell array is "
                         "corrupted?\n");
        }
    }
    addDenseTerms(mm, n_waiting, waiting_w, waiting, result);
    return 0;
}

/* Columns gathered from one listing of the elements: at first, and at
   most. */
static const mwSize kStrip = 64, kMaxStrip = 256;

static int sumAsSparse(mwSize m, mwSize n, mwSize nzEstimate, const double *x,
                       const mxArray *A, mxArray *out[])
{
    out[0] = 0;

    /* nzEstimate is at most the elements' stored entries, so this sum and
       the byte counts of m+1 and n entries fit; only capacity is checked */
    mwSize capacity = nzEstimate > kMaxSize - m ? kMaxSize : nzEstimate + m;
    const bool fits = FITS(capacity, sizeof(double));
    mwIndex *workJc = (mwIndex *)mxMalloc(((size_t)m + 1) * sizeof(mwIndex));
    mwIndex *workIr = fits ? (mwIndex *)mxMalloc((size_t)capacity *
                                                 sizeof(mwIndex)) : 0;
    double *workPr = fits ? (double *)mxMalloc((size_t)capacity *
                                               sizeof(double)) : 0;
    if (!workJc || !workIr || !workPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    mwIndex *rowStamp = (mwIndex *)mxMalloc((size_t)m * sizeof(mwIndex));
    double *rowSum = (double *)mxMalloc((size_t)m * sizeof(double));
    mwIndex **cellJc = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    mwIndex **cellIr = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    double **cellPr = (double **)mxMalloc((size_t)n * sizeof(double *));
    if (!rowStamp || !rowSum || !cellJc || !cellIr || !cellPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    for (mwSize l = 0; l < n; l++) {
        const mxArray *E = mxGetCell(A, (mwIndex)l);
        cellPr[l] = mxGetPr(E);
        cellIr[l] = mxGetIr(E);
        cellJc[l] = mxGetJc(E);
        if (!cellPr[l] || !cellIr[l] || !cellJc[l])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
    }

    /* Each row's running sum is kept in workPr itself, at the position
       where the row was gathered in the current column. rowStamp's block
       holds, for each row, that position plus one: a row whose entry lies
       below the column's start (0 for a row never met) is new to the
       column, so the position is also the stamp, and the sums need no
       copying out. rowSum's block holds the list of a strip's elements. */
    static_assert(sizeof(mwIndex) <= sizeof(double),
                  "an element's number fits in a slot of rowSum");
    mwIndex *const rowAt = rowStamp;
    mwIndex *const blockList = (mwIndex *)(void *)rowSum;

    mwIndex nz = 0, colStart = 0;

    /* At the start of column k the lists make room for the whole column:
       for it and one more per ten that remain, never more than the
       remaining columns can add. */
    auto makeRoom = [&](mwSize k) {
        if (nz + m <= capacity)
            return;
        const mwSize per = (m - k) / 10 + 1;
        const mwSize most = m - k;
        const mwSize room = m > kMaxSize / per ? kMaxSize : m * per;
        const mwSize limit = m > kMaxSize / most ? kMaxSize : m * most;
        const mwSize grow = room < limit ? room : limit;
        capacity = grow > kMaxSize - nz ? kMaxSize : nz + grow;
        if (!FITS(capacity, sizeof(double)))
            mexErrMsgTxt("Error: Insufficient memory\n");
        workIr = (mwIndex *)mxRealloc(workIr, (size_t)capacity *
                                      sizeof(mwIndex));
        workPr = (double *)mxRealloc(workPr, (size_t)capacity *
                                     sizeof(double));
        if (!workIr || !workPr)
            mexErrMsgTxt("Error: Insufficient memory\n");
    };
    /* Element l's part of the column in hand: each row's sum takes
       w*a + sum, rows new to the column are gathered in the order met. */
    auto addColumn = [&](mwSize l, mwSize k) {
        const double w = x[l];
        const mwIndex *ir = cellIr[l];
        const double *pr = cellPr[l];
        const mwIndex end = cellJc[l][k + 1];
        for (mwIndex p = cellJc[l][k]; p < end; p++) {
            const mwIndex r = ir[p];
            const mwIndex at = rowAt[r];
            if (at <= colStart) {   /* row r new to the column */
                rowAt[r] = nz + 1;
                workIr[nz] = r;
                workPr[nz++] = w * pr[p] + 0.0;   /* its sum starts at +0.0 */
            } else {
                workPr[at - 1] = w * pr[p] + workPr[at - 1];
            }
        }
    };
    auto finishColumn = [&](mwSize k) {
        workJc[k + 1] = nz;
        colStart = nz;
    };

    /* Columns are gathered a strip at a time. Reading one column start of
       every element for every column touches n arrays per column; instead
       the elements with entries in the strip (and a nonzero weight) are
       listed once, in ascending order, and each column of the strip visits
       only those. A list of up to m elements is held in rowSum's block.
       A longer one moves to the top of the unused tail of workIr, above
       everything the strip can gather; when it does not fit there, the
       strip narrows, down to a single column that visits every element.
       Each row sum meets the same terms in the same order as column by
       column. */
    workJc[0] = 0;
    for (mwSize r = 0; r < m; r++)
        rowAt[r] = 0;
    mwSize strip = kStrip;
    double perColumn = 0;   /* tail slots a column of the last strip needed */
    for (mwSize k0 = 0; k0 < m;) {
        makeRoom(k0);
        const mwSize free = capacity - nz;
        while (strip > 1 && (double)strip * perColumn > (double)free)
            strip /= 2;   /* would not fit */
        if (strip == 1) {   /* one column, every element */
            /* the elements a list of this column holds, and the tail
               slots it needs */
            mwSize count = 0, held = 0;
            for (mwSize l = 0; l < n; l++)
                if (x[l] != 0.0) {
                    const mwIndex *jc = cellJc[l];
                    if (jc[k0] < jc[k0 + 1]) {
                        count++;
                        held += (mwSize)(jc[k0 + 1] - jc[k0]) + 1;
                    }
                    addColumn(l, k0);
                }
            finishColumn(k0);
            k0++;
            perColumn = count > m ? (double)held : 0.0;
            strip = 2;
            continue;
        }
        const mwSize k1 = m - k0 < strip ? m : k0 + strip;
        const mwSize top = capacity;
        mwSize listed = 0, need = 0;   /* need: listed + entries they hold */
        bool fits = true, inTail = false;
        for (mwSize l = 0; l < n; l++) {
            if (l + 8 < n)
                PREFETCH(cellJc[l + 8] + k0);
            if (x[l] == 0.0)   /* +0 and -0; a NaN weight is used */
                continue;
            const mwIndex *jc = cellJc[l];
            if (jc[k0] == jc[k1])
                continue;
            const mwSize d = (mwSize)(jc[k1] - jc[k0]) + 1;
            if (!inTail && listed == m) {   /* the block is full */
                if (need > free) {
                    fits = false;
                    break;
                }
                for (mwSize a = 0; a < listed; a++)
                    workIr[top - 1 - a] = blockList[a];
                inTail = true;
            }
            if (inTail && d > free - need) {
                fits = false;
                break;
            }
            need += d;
            if (inTail)
                workIr[top - 1 - listed++] = (mwIndex)l;
            else
                blockList[listed++] = (mwIndex)l;
        }
        if (!fits) {
            const double least = (double)free / (double)(k1 - k0);
            perColumn = perColumn > least ? perColumn : least;
            strip /= 2;
            continue;
        }
        perColumn = inTail ? (double)need / (double)(k1 - k0) : 0.0;
        for (mwSize k = k0; k < k1; k++) {
            if (k > k0)
                makeRoom(k);   /* keeps a tail list: it lies below `top` */
            if (inTail) {
                for (size_t a = 1; a <= (size_t)listed; a++)
                    addColumn((mwSize)workIr[(size_t)top - a], k);
            } else {
                for (mwSize a = 0; a < listed; a++)
                    addColumn((mwSize)blockList[a], k);
            }
            finishColumn(k);
        }
        /* The next strip: narrower when visits to listed elements (many
           of them to columns they leave empty) cost more than listing,
           wider when listing costs more, a listing visit being about three
           times as dear as a visit in the strip. */
        const double visits = (double)listed * (double)(k1 - k0);
        const double listing = 3.0 * (double)n;
        if (visits > 2 * listing + (double)(need - listed) && strip > 2)
            strip /= 2;
        else if (2 * visits < listing && strip < kMaxStrip)
            strip *= 2;
        k0 = k1;
    }

    mxArray *R = mxCreateSparse(m, m, (mwSize)nz, mxREAL);
    if (!R)
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *Pr = mxGetPr(R);
    mwIndex *Ir = mxGetIr(R), *Jc = mxGetJc(R);
    if (!Pr || !Ir || !Jc)
        mexErrMsgTxt("Error: Sparse matrix for the result is corrupted?\n");

    /* transposing counting fill: gathered column k becomes row k */
    for (mwSize c = 0; c <= m; c++)
        Jc[c] = 0;
    for (mwIndex q = 0; q < nz; q++)
        Jc[workIr[q] + 1]++;
    for (mwSize c = 1; c <= m; c++)
        Jc[c] += Jc[c - 1];                 /* result column r starts here */
    for (mwSize k = 0; k < m; k++)
        for (mwIndex q = workJc[k]; q < workJc[k + 1]; q++) {
            const mwIndex d = Jc[workIr[q]]++;
            Ir[d] = (mwIndex)k;
            Pr[d] = workPr[q];
        }
    for (mwSize c = m; c >= 1; c--)
        Jc[c] = Jc[c - 1];
    Jc[0] = 0;

    out[0] = R;
    mxFree(workIr);
    mxFree(workJc);
    mxFree(workPr);
    mxFree(rowStamp);
    mxFree(rowSum);
    mxFree(cellJc);
    mxFree(cellIr);
    mxFree(cellPr);
    return 0;
}
#endif
