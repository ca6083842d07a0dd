/*
 * zandrel: t = zandrel(A, B, C, D), the scalar trace((A + A')*B'*C*D),
 * which is 2*trace(A*B*C*D) when A and B are symmetric.
 *
 * A and C are dense, B and D sparse, all m-by-m and real. D's pattern of
 * stored entries must be symmetric: every row stored in D is then a column
 * of D that holds entries. No product matrix is formed: for each column j
 * of B that holds entries, btc_row holds row j of B'*C at the columns of D
 * that hold entries, and each column k of D then gives (B'*C*D)(j,k).
 */
#include "mexhost.h"

#include <stdio.h>
#include <string.h>

/* The trace, for m > 0, after every check of the four inputs. */
static double four_factor_trace(mwSize m, const mxArray *const in[]);

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    char msg[256];

    if (nlhs < 0 || nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 4)
        mexErrMsgTxt("Error: Expecting 4 input arguments.\n");

    const size_t order = mxGetM(prhs[0]);
    for (int i = 0; i < 4; i++) {
        const mxArray *X = prhs[i];
        const unsigned pos = (unsigned)(i + 1);
        if (mxIsNumeric(X) && !mxIsComplex(X)) {
            /* A and C are read as dense doubles: no other class passes */
            if ((i == 0 || i == 2) && !mxIsDouble(X)) {
                snprintf(msg, sizeof msg,
                         "Error: Input %u is expected to be a double matrix\n",
                         pos);
                mexErrMsgTxt(msg);
            }
            if (mxGetM(X) == order && mxGetN(X) == order)
                continue;
        }
        snprintf(msg, sizeof msg,
                 "Error: Input %u is expected to be a symmetric matrix "
                 "%ux%u (%ux%u).\n", pos, (unsigned)order, (unsigned)order,
                 (unsigned)mxGetM(X), (unsigned)mxGetN(X));
        mexErrMsgTxt(msg);
    }
    const int sparse_pos[2] = {2, 4}, dense_pos[2] = {1, 3};
    for (int i = 0; i < 2; i++)
        if (!mxIsSparse(prhs[sparse_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a sparse matrix\n",
                     (unsigned)sparse_pos[i]);
            mexErrMsgTxt(msg);
        }
    for (int i = 0; i < 2; i++)
        if (mxIsSparse(prhs[dense_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a dense matrix\n",
                     (unsigned)dense_pos[i]);
            mexErrMsgTxt(msg);
        }
    /* every sparse array of the hosts is double; a stand-in may differ */
    for (int i = 0; i < 2; i++)
        if (!mxIsDouble(prhs[sparse_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a double matrix\n",
                     (unsigned)sparse_pos[i]);
            mexErrMsgTxt(msg);
        }

    const mwSize m = (mwSize)order;
    const double t = m > 0 ? four_factor_trace(m, prhs) : 0.0;
    plhs[0] = mxCreateDoubleScalar(t);
    if (!plhs[0])   /* no result is no success */
        mexErrMsgTxt("Error: Insufficient memory\n");
}

#ifdef SDPK_KERNELS
/* a comparison build takes another kernel with the same interface */
#include SDPK_KERNELS
#else
/* Sums of at least this many terms on average are formed side by side. */
static const mwIndex kWide = 16;

/* The first column after column k that holds entries, for a column k
   without entries whose start jc[k] is below jc[m]: the column that holds
   position jc[k]. A short gap is passed one column at a time, as the
   plain loops pass it; a long one by galloping and bisection on the
   column starts, so that a matrix of a few entries costs a few tests of
   them, not m. */
static mwSize next_column(const mwIndex *jc, mwSize k, mwSize m)
{
    const mwIndex e = jc[k];
    /* columns k to lo hold no entries, so jc[lo + 1] == e, and one after
       lo holds position e: lo + 2 <= m */
    mwSize lo = k;
    for (int probe = 0; probe < 8; probe++, lo++)
        if (jc[lo + 2] > e)
            return lo + 1;
    mwSize hi = m;   /* jc[lo] <= e < jc[hi] */
    for (mwSize step = 1;; step *= 2) {
        hi = m - lo > step ? lo + step : m;
        if (jc[hi] > e)
            break;
        lo = hi;
    }
    while (hi - lo > 1) {
        const mwSize mid = lo + (hi - lo) / 2;
        if (jc[mid] > e)
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

#if defined(__GNUC__)
#define NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define NOINLINE __declspec(noinline)
#else
#define NOINLINE
#endif

/* Slots of btc_row four at a time, for a long column of B (its entries
   b_first to b_end): each slot's sum over the column in storage order,
   from +0.0. Returns how many of the n_d_nz_cols slots it filled. Kept
   out of line, so that the loops of short columns keep their registers. */
static NOINLINE mwSize btc_four(const double *b_pr, const mwIndex *b_ir,
                                mwIndex b_first, mwIndex b_end,
                                const double *c_pr, size_t mm,
                                const mwIndex *d_nz_cols, mwSize n_d_nz_cols,
                                double *btc_row)
{
    mwSize x = 0;
    for (; x + 4 <= n_d_nz_cols; x += 4) {
        const double *c0 = c_pr + (size_t)d_nz_cols[x] * mm;
        const double *c1 = c_pr + (size_t)d_nz_cols[x + 1] * mm;
        const double *c2 = c_pr + (size_t)d_nz_cols[x + 2] * mm;
        const double *c3 = c_pr + (size_t)d_nz_cols[x + 3] * mm;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (mwIndex p = b_first; p < b_end; p++) {
            const double b = b_pr[p];
            const mwIndex r = b_ir[p];
            s0 = s0 + b * c0[r];
            s1 = s1 + b * c1[r];
            s2 = s2 + b * c2[r];
            s3 = s3 + b * c3[r];
        }
        btc_row[d_nz_cols[x]] = s0;
        btc_row[d_nz_cols[x + 1]] = s1;
        btc_row[d_nz_cols[x + 2]] = s2;
        btc_row[d_nz_cols[x + 3]] = s3;
    }
    return x;
}

/* The terms of column j of B for the columns of D in use, two columns of
   D side by side, each sum s in storage order from +0.0, and t taking
   (A(j,k) + A(k,j)) * s one at a time, k ascending. Returns the new t,
   and in *taken how many of the n_d_nz_cols columns it took. */
static NOINLINE double terms_in_pairs(mwSize j, const double *a_pr, size_t mm,
                                      const double *btc_row,
                                      const double *d_pr, const mwIndex *d_ir,
                                      const mwIndex *d_jc,
                                      const mwIndex *d_nz_cols,
                                      mwSize n_d_nz_cols, double t,
                                      mwSize *taken)
{
    const double *a_col = a_pr + (size_t)j * mm;   /* A(k,j) = a_col[k] */
    double sum = t;
    mwSize x = 0;
    for (; x + 2 <= n_d_nz_cols; x += 2) {
        const mwIndex k0 = d_nz_cols[x], k1 = d_nz_cols[x + 1];
        mwIndex p = d_jc[k0], q = d_jc[k1];
        const mwIndex p_end = d_jc[k0 + 1], q_end = d_jc[k1 + 1];
        double s0 = 0.0, s1 = 0.0;
        for (; p < p_end && q < q_end; p++, q++) {
            s0 = s0 + btc_row[d_ir[p]] * d_pr[p];
            s1 = s1 + btc_row[d_ir[q]] * d_pr[q];
        }
        for (; p < p_end; p++)
            s0 = s0 + btc_row[d_ir[p]] * d_pr[p];
        for (; q < q_end; q++)
            s1 = s1 + btc_row[d_ir[q]] * d_pr[q];
        sum = sum + (a_pr[(size_t)j + (size_t)k0 * mm] + a_col[k0]) * s0;
        sum = sum + (a_pr[(size_t)j + (size_t)k1 * mm] + a_col[k1]) * s1;
    }
    *taken = x;
    return sum;
}

static double four_factor_trace(mwSize m, const mxArray *const in[])
{
    /* A holds m*m doubles, so these byte counts and every offset
       j + k*m below fit in size_t */
    const size_t mm = (size_t)m;
    double *btc_row = (double *)mxMalloc(mm * sizeof(double));
    mwIndex *d_nz_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    if (!btc_row || !d_nz_cols)
        mexErrMsgTxt("Error: Insufficient memory\n");
    const double *a_pr = mxGetPr(in[0]);
    const double *b_pr = mxGetPr(in[1]);
    const mwIndex *b_ir = mxGetIr(in[1]);
    const mwIndex *b_jc = mxGetJc(in[1]);
    const double *c_pr = mxGetPr(in[2]);
    const double *d_pr = mxGetPr(in[3]);
    const mwIndex *d_ir = mxGetIr(in[3]);
    const mwIndex *d_jc = mxGetJc(in[3]);
    if (!a_pr || !b_pr || !b_ir || !b_jc || !c_pr || !d_pr || !d_ir ||
        !d_jc)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");

    /* slots that an unsymmetric pattern of D reads unwritten are 0: the
       slots at D's rows, or all m when D stores more entries than that */
    const mwIndex d_end = d_jc[m];
    if (d_end - d_jc[0] < (mwIndex)m)
        for (mwIndex p = d_jc[0]; p < d_end; p++)
            btc_row[d_ir[p]] = 0.0;
    else
        memset(btc_row, 0, mm * sizeof(double));

    mwSize n_d_nz_cols = 0;
    for (mwSize k = 0; k < m; k++) {
        if (d_jc[k] == d_jc[k + 1]) {   /* a gap: the next column in use */
            if (d_jc[k] == d_end)
                break;
            k = next_column(d_jc, k, m);
        }
        d_nz_cols[n_d_nz_cols++] = k;
    }

    /* Independent sums are formed side by side, each in its own order:
       four slots of btc_row over the entries of B's column, and two sums
       s over two columns of D. t still takes its terms one at a time. On
       columns of a few entries that costs more than it saves: there the
       sums are formed one by one. */
    const bool pair_d = (d_end - d_jc[0]) / kWide >= (mwIndex)n_d_nz_cols;
    double t = 0.0;
    for (mwSize j = 0; j < m; j++) {
        if (b_jc[j] == b_jc[j + 1]) {
            if (b_jc[j] == b_jc[m])
                break;
            j = next_column(b_jc, j, m);
        }
        const mwIndex b_first = b_jc[j], b_end = b_jc[j + 1];
        /* btc_row(h) = (B'*C)(j,h) for the columns h of D in use */
        mwSize x = b_end - b_first >= kWide && n_d_nz_cols >= 4
                       ? btc_four(b_pr, b_ir, b_first, b_end, c_pr, mm,
                                  d_nz_cols, n_d_nz_cols, btc_row)
                       : 0;
        for (; x < n_d_nz_cols; x++) {
            const mwIndex h = d_nz_cols[x];
            const double *c_col = c_pr + (size_t)h * mm;
            double s = 0.0;
            for (mwIndex p = b_first; p < b_end; p++)
                s = s + b_pr[p] * c_col[b_ir[p]];
            btc_row[h] = s;
        }
        /* t += (A(j,k) + A(k,j)) * (B'*C*D)(j,k), k ascending */
        const double *a_col = a_pr + (size_t)j * mm;   /* A(k,j) = a_col[k] */
        x = 0;
        if (pair_d)
            t = terms_in_pairs(j, a_pr, mm, btc_row, d_pr, d_ir, d_jc,
                               d_nz_cols, n_d_nz_cols, t, &x);
        for (; x < n_d_nz_cols; x++) {
            const mwIndex k = d_nz_cols[x];
            double s = 0.0;
            for (mwIndex p = d_jc[k]; p < d_jc[k + 1]; p++)
                s = s + btc_row[d_ir[p]] * d_pr[p];
            t = t + (a_pr[(size_t)j + (size_t)k * mm] + a_col[k]) * s;
        }
    }
    mxFree(btc_row);
    mxFree(d_nz_cols);
    return t;
}
#endif
