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
static nzInt readEstimate(const mxArray *E);
static mwSize termCount(const mxArray *X, const mxArray *A);
static mwSize checkElements(const mxArray *A, mwSize n, nzInt *nzEstimate,
                            mwSize *totalCapacity);
static double *readWeights(const mxArray *X, mwSize n);
static mwSize boundEstimate(nzInt nzEstimate, mwSize totalCapacity, mwSize m,
                            mwSize n, const mxArray *A);

/* The largest mwSize, and the largest count of `width`-byte entries whose
   byte count fits size_t. */
static const mwSize kMaxSize = std::numeric_limits<mwSize>::max();
#define FITS(count, width) \
    ((uint64_t)(count) <= (uint64_t)(SIZE_MAX / (width)))

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 2 && nrhs != 3)
        mexErrMsgTxt("Error: Expecting 2 or 3 input arguments.\n");
    nzInt nzEstimate = nrhs == 3 ? readEstimate(prhs[2]) : 0;

    const mxArray *X = prhs[0], *A = prhs[1];
    if (!mxIsDouble(X) || mxIsComplex(X))
        mexErrMsgTxt("First argument should be a real vector.\n");
    if (!mxIsCell(A))
        mexErrMsgTxt("Second arguments should be a cell array.\n");
    const mwSize n = termCount(X, A);
    if (n == 0) {   /* both empty */
        plhs[0] = mxCreateDoubleMatrix(0, 0, mxREAL);
        if (!plhs[0])
            mexErrMsgTxt("Allocation error.\n");
        return;
    }

    const double *x = mxGetPr(X);
    const bool xSparse = mxIsSparse(X);
    if (!x || (xSparse && (!mxGetIr(X) || !mxGetJc(X))))
        mexErrMsgTxt("First argument is corrupted?\n");
    mwSize totalCapacity = 0;
    const mwSize m = checkElements(A, n, &nzEstimate, &totalCapacity);
    double *weights = xSparse ? readWeights(X, n) : 0;
    if (weights)
        x = weights;

    if (nzEstimate < 0) {
        plhs[0] = mxCreateDoubleMatrix(m, m, mxREAL);
        if (!plhs[0])
            mexErrMsgTxt("Allocation error.\n");
        double *result = mxGetPr(plhs[0]);
        if (!result)
            mexErrMsgTxt("Matrix for the result corrupted?\n");
        sumAsDense(m, n, x, A, result);
    } else {
        sumAsSparse(m, n, boundEstimate(nzEstimate, totalCapacity, m, n, A),
                    x, A, plhs);
    }
    if (weights)
        mxFree(weights);
}

/* The third argument, truncated toward zero; the values a cast may not
   take (NaN, out of range) are given explicitly. */
static nzInt readEstimate(const mxArray *E)
{
    if (!mxIsNumeric(E) || mxIsComplex(E) || mxGetM(E) != 1 || mxGetN(E) != 1)
        mexErrMsgTxt("Third argument should be a (numeric) scalar.\n");
    const double v = mxGetScalar(E);
    if (sizeof(nzInt) == 4)
        return (v > -2147483649.0 && v < 2147483648.0) ? (nzInt)v
                                                        : (nzInt)INT32_MIN;
    int64_t e = INT64_MIN;     /* NaN, below -2^63, 2^64 and more */
    if (v >= -9223372036854775808.0 && v < 9223372036854775808.0)
        e = (int64_t)v;
    else if (v >= 9223372036854775808.0 && v < 18446744073709551616.0)
        e = (int64_t)((uint64_t)v - 9223372036854775808u) + INT64_MIN;
    return (nzInt)e;           /* modulo 2^64 */
}

/* The number of terms: x and A are vectors of one length, or both empty
   (0). */
static mwSize termCount(const mxArray *X, const mxArray *A)
{
    const size_t xm = mxGetM(X), xn = mxGetN(X);
    const size_t am = mxGetM(A), an = mxGetN(A);
    const bool xEmpty = xm == 0 || xn == 0, aEmpty = am == 0 || an == 0;
    if (xEmpty && aEmpty)
        return 0;
    if (xEmpty || aEmpty)
        mexErrMsgTxt("First and second arguments don't match, one is empty.\n");
    if (xn > 1 && xm > 1)
        mexErrMsgTxt("First argument should be a vector.\n");
    if (am > 1 && an > 1)
        mexErrMsgTxt("Second argument should be a 1D cell array.\n");
    const size_t n = xn > 1 ? xn : xm;
    if (n != am && n != an)
        mexErrMsgTxt("First and second arguments don't match in size.\n");
    return (mwSize)n;
}

/* Every element is a real double matrix of the first one's order, which is
   returned. A dense element sets the estimate to -1, the dense marker;
   until then, with no estimate given, the sparse elements' capacities are
   added up, saturating rather than wrapping. */
static mwSize checkElements(const mxArray *A, mwSize n, nzInt *nzEstimate,
                            mwSize *totalCapacity)
{
    char msg[256];
    size_t order = 0;
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
        if (!mxIsSparse(E)) {
            *nzEstimate = -1;
        } else if (*nzEstimate == 0) {
            const mwSize c = mxGetNzmax(E);
            *totalCapacity = c > kMaxSize - *totalCapacity
                                 ? kMaxSize : *totalCapacity + c;
        }
    }
    return (mwSize)order;
}

/* A sparse x read as its n weights, with 0 where nothing is stored: a
   block the caller frees. */
static double *readWeights(const mxArray *X, mwSize n)
{
    const size_t xm = mxGetM(X), xn = mxGetN(X);
    const double *x = mxGetPr(X);
    const mwIndex *xIr = mxGetIr(X), *xJc = mxGetJc(X);
    double *weights = FITS(n, sizeof(double))
                          ? (double *)mxMalloc((size_t)n * sizeof(double)) : 0;
    if (!weights)
        mexErrMsgTxt("Error: Insufficient memory\n");
    memset(weights, 0, (size_t)n * sizeof(double));
    for (size_t j = 0; j < xn; j++)
        for (mwIndex p = xJc[j]; p < xJc[j + 1]; p++)
            weights[(size_t)xIr[p] + j * xm] = x[p];
    return weights;
}

/* The sparse sum's estimate: the one given, or four times the elements'
   mean capacity; then no more than the result can hold, the entries the
   elements store and m*m. */
static mwSize boundEstimate(nzInt nzEstimate, mwSize totalCapacity, mwSize m,
                            mwSize n, const mxArray *A)
{
    mwSize estimate = (mwSize)nzEstimate;
    if (estimate == 0) {   /* no wrap */
        const uint64_t q = (uint64_t)totalCapacity / (uint64_t)n;
        const uint64_t r = (uint64_t)totalCapacity % (uint64_t)n;
        const uint64_t e = q > UINT64_MAX / 8 ? UINT64_MAX
                                              : q * 4 + r * 4 / (uint64_t)n;
        estimate = e > (uint64_t)kMaxSize ? kMaxSize : (mwSize)e;
    }
    mwSize need = 0;
    for (mwSize l = 0; l < n && need < estimate; l++) {
        const mxArray *E = mxGetCell(A, (mwIndex)l);
        const mwIndex *jc = mxGetJc(E);
        const mwSize s = jc ? (mwSize)jc[m] : mxGetNzmax(E);
        need = s > kMaxSize - need ? kMaxSize : need + s;
    }
    if (m <= kMaxSize / (m ? m : 1) && m * m < need)
        need = m * m;
    return estimate > need ? need : estimate;
}

/* result += w*E for a sparse element E of values pr, column by column:
   the plain loop, which both dense kernels take. */
static void addSparseTerm(mwSize m, double w, const mxArray *E,
                          const double *pr, double *result)
{
    const mwIndex *ir = mxGetIr(E), *jc = mxGetJc(E);
    if (!pr || !ir || !jc)
        mexErrMsgTxt("Error: Sparse matrix from the cell array is "
                     "corrupted?\n");
    for (mwSize c = 0; c < m; c++) {
        double *col = result + (size_t)c * (size_t)m;
        for (mwIndex k = jc[c]; k < jc[c + 1]; k++)
            col[ir[k]] = w * pr[k] + col[ir[k]];
    }
}

/* The sparse sum's work storage, as both its kernels use it, and the
   counters of the gathered lists: workJc, workIr and workPr hold the
   gathered columns, rowStamp and rowSum a slot per row, and cellJc, cellIr
   and cellPr each element's column starts, row indices and values. */
struct SparseWork {
    mwIndex *workJc, *workIr;
    double *workPr;
    mwIndex *rowStamp;
    double *rowSum;
    mwIndex **cellJc, **cellIr;
    double **cellPr;
    mwSize capacity;   /* entries workIr and workPr can hold */
    mwIndex nz;        /* entries gathered so far */
};

/* The work storage in its two groups, each tested once, and each
   element's storage, all taken before any arithmetic; then the lists
   start empty and no row has been met. */
static void takeSparseWork(SparseWork *w, mwSize m, mwSize n,
                           mwSize nzEstimate, const mxArray *A)
{
    /* nzEstimate is at most the elements' stored entries, so this sum and
       the byte counts of m+1 and n entries fit; only capacity is checked */
    w->capacity = nzEstimate > kMaxSize - m ? kMaxSize : nzEstimate + m;
    w->nz = 0;
    const bool fits = FITS(w->capacity, sizeof(double));
    const size_t cap = (size_t)w->capacity;
    w->workJc = (mwIndex *)mxMalloc(((size_t)m + 1) * sizeof(mwIndex));
    w->workIr = fits ? (mwIndex *)mxMalloc(cap * sizeof(mwIndex)) : 0;
    w->workPr = fits ? (double *)mxMalloc(cap * sizeof(double)) : 0;
    if (!w->workJc || !w->workIr || !w->workPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    w->rowStamp = (mwIndex *)mxMalloc((size_t)m * sizeof(mwIndex));
    w->rowSum = (double *)mxMalloc((size_t)m * sizeof(double));
    w->cellJc = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    w->cellIr = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    w->cellPr = (double **)mxMalloc((size_t)n * sizeof(double *));
    if (!w->rowStamp || !w->rowSum || !w->cellJc || !w->cellIr || !w->cellPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    for (mwSize l = 0; l < n; l++) {
        const mxArray *E = mxGetCell(A, (mwIndex)l);
        w->cellPr[l] = mxGetPr(E);
        w->cellIr[l] = mxGetIr(E);
        w->cellJc[l] = mxGetJc(E);
        if (!w->cellPr[l] || !w->cellIr[l] || !w->cellJc[l])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
    }
    w->workJc[0] = 0;
    for (mwSize r = 0; r < m; r++)
        w->rowStamp[r] = 0;
}

/* At the start of column k the lists make room for the whole column: for
   it and one more per ten that remain, never more than the remaining
   columns can add. Contents are kept. */
static void makeRoom(SparseWork *w, mwSize m, mwSize k)
{
    if (w->nz + m <= w->capacity)
        return;
    const mwSize per = (m - k) / 10 + 1;
    const mwSize most = m - k;
    const mwSize room = m > kMaxSize / per ? kMaxSize : m * per;
    const mwSize limit = m > kMaxSize / most ? kMaxSize : m * most;
    const mwSize grow = room < limit ? room : limit;
    w->capacity = grow > kMaxSize - w->nz ? kMaxSize : w->nz + grow;
    if (!FITS(w->capacity, sizeof(double)))
        mexErrMsgTxt("Error: Insufficient memory\n");
    const size_t cap = (size_t)w->capacity;
    w->workIr = (mwIndex *)mxRealloc(w->workIr, cap * sizeof(mwIndex));
    w->workPr = (double *)mxRealloc(w->workPr, cap * sizeof(double));
    if (!w->workIr || !w->workPr)
        mexErrMsgTxt("Error: Insufficient memory\n");
}

/* The result, created for exactly the gathered entries and filled by a
   counting pass that transposes: gathered column k becomes row k, so the
   rows of each result column come out ascending. */
static mxArray *transposedResult(const SparseWork *w, mwSize m)
{
    mxArray *R = mxCreateSparse(m, m, (mwSize)w->nz, mxREAL);
    if (!R)
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *Pr = mxGetPr(R);
    mwIndex *Ir = mxGetIr(R), *Jc = mxGetJc(R);
    if (!Pr || !Ir || !Jc)
        mexErrMsgTxt("Error: Sparse matrix for the result is corrupted?\n");

    const mwIndex *workJc = w->workJc, *workIr = w->workIr;
    for (mwSize c = 0; c <= m; c++)
        Jc[c] = 0;
    for (mwIndex q = 0; q < w->nz; q++)
        Jc[workIr[q] + 1]++;
    for (mwSize c = 1; c <= m; c++)
        Jc[c] += Jc[c - 1];                 /* result column r starts here */
    for (mwSize k = 0; k < m; k++)
        for (mwIndex q = workJc[k]; q < workJc[k + 1]; q++) {
            const mwIndex d = Jc[workIr[q]]++;
            Ir[d] = (mwIndex)k;
            Pr[d] = w->workPr[q];
        }
    for (mwSize c = m; c >= 1; c--)
        Jc[c] = Jc[c - 1];
    Jc[0] = 0;
    return R;
}

static void releaseSparseWork(SparseWork *w)
{
    mxFree(w->workIr);
    mxFree(w->workJc);
    mxFree(w->workPr);
    mxFree(w->rowStamp);
    mxFree(w->rowSum);
    mxFree(w->cellJc);
    mxFree(w->cellIr);
    mxFree(w->cellPr);
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
static void addDenseTerms(size_t entries, int count, const double *w,
                          const double *const *e, double *result)
{
    if (count > 1)
        KERNEL_PATH("kovalin: dense terms in one pass");
    switch (count) {
    case 1:
        for (size_t t = 0; t < entries; t++)
            result[t] = w[0] * e[0][t] + result[t];
        break;
    case 2:
        for (size_t t = 0; t < entries; t++) {
            double r = w[0] * e[0][t] + result[t];
            result[t] = w[1] * e[1][t] + r;
        }
        break;
    case 3:
        for (size_t t = 0; t < entries; t++) {
            double r = w[0] * e[0][t] + result[t];
            r = w[1] * e[1][t] + r;
            result[t] = w[2] * e[2][t] + r;
        }
        break;
    case 4:
        for (size_t t = 0; t < entries; t++) {
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
    const size_t entries = (size_t)m * (size_t)m;
    for (size_t t = 0; t < entries; t++)
        result[t] = 0.0;

    /* Dense terms that follow one another wait here and are added up to
       four in one pass; anything else that reaches the result (a sparse
       term, the end, a message) lets them in first, so every entry still
       takes its terms in order. */
    double waitingW[4];
    const double *waiting[4];
    int nWaiting = 0;
    for (mwSize i = 0; i < n; i++) {
        const double w = x[i];
        if (w == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mxArray *E = mxGetCell(A, (mwIndex)i);
        const double *pr = mxGetPr(E);
        const bool sparse = mxIsSparse(E);
        if (!sparse && pr) {
            waitingW[nWaiting] = w;
            waiting[nWaiting++] = pr;
            if (nWaiting == 4) {
                addDenseTerms(entries, nWaiting, waitingW, waiting, result);
                nWaiting = 0;
            }
            continue;
        }
        if (nWaiting) {
            addDenseTerms(entries, nWaiting, waitingW, waiting, result);
            nWaiting = 0;
        }
        if (sparse)
            addSparseTerm(m, w, E, pr, result);
        else
            mexErrMsgTxt("Error: Dense matrix from the cell array is "
                         "corrupted?\n");
    }
    addDenseTerms(entries, nWaiting, waitingW, waiting, result);
    return 0;
}

/* Columns gathered from one listing of the elements: at first, and at
   most. */
static const mwSize kStrip = 64, kMaxStrip = 256;

/* The gathering in hand. Each row's running sum is kept in workPr itself,
   at the position where the row was gathered in the current column.
   rowStamp's block holds, for each row, that position plus one (rowAt): a
   row whose entry lies below the column's start (0 for a row never met)
   is new to the column, so the position is also the stamp, and the sums
   need no copying out. rowSum's block holds a strip's list of elements
   (blockList). */
struct Gather {
    SparseWork *w;
    const double *x;     /* the weights */
    mwSize m, n;
    mwIndex colStart;    /* where the column in hand starts in the lists */
    mwIndex *rowAt;
    mwIndex *blockList;
};

/* A strip's list of elements: up to m of them ascending in blockList;
   past m, all of them descending from position top - 1 of workIr, at the
   top of its unused tail. */
struct StripList {
    mwSize listed;   /* elements listed */
    mwSize need;     /* tail slots the list and the entries it holds take */
    mwSize top;
    bool inTail;
};

/* The width of the next strip, and the tail slots a column of the last
   strip needed. */
struct StripWidth {
    mwSize width;
    double perColumn;
};

/* Element l's part of column k: each row's sum takes x(l)*a + sum, rows
   new to the column are gathered in the order met. Returns the new count
   of gathered entries. */
static inline mwIndex addColumn(const Gather *g, mwSize l, mwSize k,
                                mwIndex nz)
{
    const double weight = g->x[l];
    const mwIndex *ir = g->w->cellIr[l];
    const double *pr = g->w->cellPr[l];
    mwIndex *workIr = g->w->workIr, *rowAt = g->rowAt;
    double *workPr = g->w->workPr;
    const mwIndex colStart = g->colStart, end = g->w->cellJc[l][k + 1];
    for (mwIndex p = g->w->cellJc[l][k]; p < end; p++) {
        const mwIndex r = ir[p];
        const mwIndex at = rowAt[r];
        if (at <= colStart) {   /* row r new to the column */
            rowAt[r] = nz + 1;
            workIr[nz] = r;
            workPr[nz++] = weight * pr[p] + 0.0;   /* its sum starts at +0.0 */
        } else {
            workPr[at - 1] = weight * pr[p] + workPr[at - 1];
        }
    }
    return nz;
}

static void finishColumn(Gather *g, mwSize k, mwIndex nz)
{
    g->w->nz = nz;
    g->w->workJc[k + 1] = nz;
    g->colStart = nz;
}

/* Column k from every element of nonzero weight, with no list. A list of
   it would have held `count` elements and needed `held` tail slots. */
static void gatherEveryElement(Gather *g, mwSize k, StripWidth *s)
{
    KERNEL_PATH("kovalin: a column from every element");
    mwSize count = 0, held = 0;
    mwIndex nz = g->w->nz;
    for (mwSize l = 0; l < g->n; l++) {
        if (g->x[l] == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mwIndex *jc = g->w->cellJc[l];
        if (jc[k] < jc[k + 1]) {
            count++;
            held += (mwSize)(jc[k + 1] - jc[k]) + 1;
        }
        nz = addColumn(g, l, k, nz);
    }
    finishColumn(g, k, nz);
    s->perColumn = count > g->m ? (double)held : 0.0;
    s->width = 2;
}

/* Appends element l, which holds d - 1 entries in the strip, to the list;
   false when the list then needs more than the `spare` tail slots. */
static bool listElement(const Gather *g, StripList *list, mwSize l, mwSize d,
                        mwSize spare)
{
    mwIndex *workIr = g->w->workIr;
    if (!list->inTail && list->listed == g->m) {   /* the block is full */
        if (list->need > spare)
            return false;
        for (mwSize a = 0; a < list->listed; a++)
            workIr[list->top - 1 - a] = g->blockList[a];
        list->inTail = true;
    }
    if (list->inTail && d > spare - list->need)
        return false;
    list->need += d;
    if (list->inTail)
        workIr[list->top - 1 - list->listed++] = (mwIndex)l;
    else
        g->blockList[list->listed++] = (mwIndex)l;
    return true;
}

/* Lists the elements of nonzero weight with entries in columns k0..k1-1,
   ascending: one read of two column starts of every element, where
   column by column would read them for every column. */
static bool listStrip(const Gather *g, mwSize k0, mwSize k1, mwSize spare,
                      StripList *list)
{
    mwIndex *const *cellJc = g->w->cellJc;
    *list = StripList{0, 0, g->w->capacity, false};
    for (mwSize l = 0; l < g->n; l++) {
        if (l + 8 < g->n)
            PREFETCH(cellJc[l + 8] + k0);
        if (g->x[l] == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mwIndex *jc = cellJc[l];
        if (jc[k0] != jc[k1] &&
            !listElement(g, list, l, (mwSize)(jc[k1] - jc[k0]) + 1, spare))
            return false;
    }
    return true;
}

/* Columns k0..k1-1, each visiting the listed elements only. Growth keeps
   a tail list: it lies below `top`. */
static void gatherStrip(Gather *g, const StripList *list, mwSize k0,
                        mwSize k1)
{
    KERNEL_PATH(list->inTail ? "kovalin: a strip listed in the tail"
                             : "kovalin: a strip listed in rowSum");
    for (mwSize k = k0; k < k1; k++) {
        if (k > k0)
            makeRoom(g->w, g->m, k);
        mwIndex nz = g->w->nz;
        if (list->inTail) {
            const mwIndex *tail = g->w->workIr;
            for (size_t a = 1; a <= (size_t)list->listed; a++)
                nz = addColumn(g, (mwSize)tail[(size_t)list->top - a], k, nz);
        } else {
            for (mwSize a = 0; a < list->listed; a++)
                nz = addColumn(g, (mwSize)g->blockList[a], k, nz);
        }
        finishColumn(g, k, nz);
    }
}

/* The strip-width rules. A strip narrows until the last strip's need of
   tail slots per column fits in the spare ones, and halves when its list
   did not fit, which needed at least the spare slots per column. */
static void narrowToFit(StripWidth *s, mwSize spare)
{
    while (s->width > 1 && (double)s->width * s->perColumn > (double)spare)
        s->width /= 2;
}

static void narrowAfterMiss(StripWidth *s, mwSize spare, mwSize cols)
{
    const double least = (double)spare / (double)cols;
    s->perColumn = s->perColumn > least ? s->perColumn : least;
    s->width /= 2;
}

/* After a strip of `cols` columns, the next is narrower when its visits to
   listed elements (many of them to columns they leave empty) cost more
   than listing, and wider when listing costs more. A listing visit reads
   column starts that no cache holds, about kListingCost times as dear as
   a visit in the strip, whose column starts the listing brought in. The
   factor 2 each way leaves a band where the width stays, so that it does
   not swing from strip to strip. */
static const double kListingCost = 3.0;

static void widthAfterStrip(StripWidth *s, const StripList *list, mwSize cols,
                            mwSize n)
{
    s->perColumn = list->inTail ? (double)list->need / (double)cols : 0.0;
    const double visits = (double)list->listed * (double)cols;
    const double listing = kListingCost * (double)n;
    const double gathered = (double)(list->need - list->listed);
    if (visits > 2 * listing + gathered && s->width > 2)
        s->width /= 2;
    else if (2 * visits < listing && s->width < kMaxStrip)
        s->width *= 2;
}

/* Columns are gathered a strip at a time. Reading one column start of
   every element for every column touches n arrays per column; instead the
   elements with entries in the strip (and a nonzero weight) are listed
   once, in ascending order, and each column of the strip visits only
   those. A list of up to m elements is held in rowSum's block, a longer
   one at the top of workIr's unused tail, above everything the strip can
   gather; when it does not fit there, the strip narrows, down to a single
   column that visits every element. Each row sum meets the same terms in
   the same order as column by column. */
static int sumAsSparse(mwSize m, mwSize n, mwSize nzEstimate, const double *x,
                       const mxArray *A, mxArray *out[])
{
    out[0] = 0;
    SparseWork w;
    takeSparseWork(&w, m, n, nzEstimate, A);
    static_assert(sizeof(mwIndex) <= sizeof(double),
                  "an element's number fits in a slot of rowSum");
    Gather g = {&w, x, m, n, 0, w.rowStamp, (mwIndex *)(void *)w.rowSum};
    StripWidth s = {kStrip, 0.0};
    for (mwSize k0 = 0; k0 < m;) {
        makeRoom(&w, m, k0);
        const mwSize spare = w.capacity - (mwSize)w.nz;
        narrowToFit(&s, spare);
        if (s.width == 1) {
            gatherEveryElement(&g, k0++, &s);
            continue;
        }
        const mwSize k1 = m - k0 < s.width ? m : k0 + s.width;
        StripList list;
        if (!listStrip(&g, k0, k1, spare, &list)) {
            narrowAfterMiss(&s, spare, k1 - k0);
            continue;
        }
        gatherStrip(&g, &list, k0, k1);
        widthAfterStrip(&s, &list, k1 - k0, n);
        k0 = k1;
    }

    out[0] = transposedResult(&w, m);
    releaseSparseWork(&w);
    return 0;
}
#endif
