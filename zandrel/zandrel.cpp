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

/* The storage of the four inputs and the two work arrays: btc_row holds a
   row of B'*C at the columns of D in use, which d_nz_cols lists. ld is m,
   the distance between columns of A and of C. */
struct Factors {
    const double *a_pr, *b_pr, *c_pr, *d_pr;
    const mwIndex *b_ir, *b_jc, *d_ir, *d_jc;
    double *btc_row;
    mwIndex *d_nz_cols;
    size_t ld;
    mwSize m, n_d_nz_cols;
};

/* The two work arrays, tested once, then the storage of the inputs. */
static void take_factors(Factors *f, mwSize m, const mxArray *const in[])
{
    /* A holds m*m doubles, so these byte counts and every offset
       j + k*m fit in size_t */
    f->m = m;
    f->ld = (size_t)m;
    f->n_d_nz_cols = 0;
    f->btc_row = (double *)mxMalloc(f->ld * sizeof(double));
    f->d_nz_cols = (mwIndex *)mxMalloc(f->ld * sizeof(mwIndex));
    if (!f->btc_row || !f->d_nz_cols)
        mexErrMsgTxt("Error: Insufficient memory\n");
    f->a_pr = mxGetPr(in[0]);
    f->b_pr = mxGetPr(in[1]);
    f->b_ir = mxGetIr(in[1]);
    f->b_jc = mxGetJc(in[1]);
    f->c_pr = mxGetPr(in[2]);
    f->d_pr = mxGetPr(in[3]);
    f->d_ir = mxGetIr(in[3]);
    f->d_jc = mxGetJc(in[3]);
    if (!f->a_pr || !f->b_pr || !f->b_ir || !f->b_jc || !f->c_pr ||
        !f->d_pr || !f->d_ir || !f->d_jc)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
}

static void release_factors(Factors *f)
{
    mxFree(f->btc_row);
    mxFree(f->d_nz_cols);
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
    KERNEL_PATH("zandrel: a long gap passed by galloping");
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
static NOINLINE mwSize btc_four(const Factors *f, mwIndex b_first,
                                mwIndex b_end)
{
    const double *b_pr = f->b_pr;
    const mwIndex *b_ir = f->b_ir, *cols = f->d_nz_cols;
    double *btc_row = f->btc_row;
    KERNEL_PATH("zandrel: four slots of B'*C side by side");
    mwSize x = 0;
    for (; x + 4 <= f->n_d_nz_cols; x += 4) {
        const double *c0 = f->c_pr + (size_t)cols[x] * f->ld;
        const double *c1 = f->c_pr + (size_t)cols[x + 1] * f->ld;
        const double *c2 = f->c_pr + (size_t)cols[x + 2] * f->ld;
        const double *c3 = f->c_pr + (size_t)cols[x + 3] * f->ld;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (mwIndex p = b_first; p < b_end; p++) {
            const double b = b_pr[p];
            const mwIndex r = b_ir[p];
            s0 = s0 + b * c0[r];
            s1 = s1 + b * c1[r];
            s2 = s2 + b * c2[r];
            s3 = s3 + b * c3[r];
        }
        btc_row[cols[x]] = s0;
        btc_row[cols[x + 1]] = s1;
        btc_row[cols[x + 2]] = s2;
        btc_row[cols[x + 3]] = s3;
    }
    return x;
}

/* btc_row(h) = (B'*C)(j,h) for the columns h of D in use, four slots side
   by side where B's column is long. */
static void form_btc_row(const Factors *f, mwSize j)
{
    const mwIndex b_first = f->b_jc[j], b_end = f->b_jc[j + 1];
    mwSize x = b_end - b_first >= kWide && f->n_d_nz_cols >= 4
                   ? btc_four(f, b_first, b_end) : 0;
    for (; x < f->n_d_nz_cols; x++) {
        const mwIndex h = f->d_nz_cols[x];
        const double *c_col = f->c_pr + (size_t)h * f->ld;
        double s = 0.0;
        for (mwIndex p = b_first; p < b_end; p++)
            s = s + f->b_pr[p] * c_col[f->b_ir[p]];
        f->btc_row[h] = s;
    }
}

/* The terms of row j for the columns of D in use, two columns of D side by
   side, each sum s in storage order from +0.0, and t taking
   (A(j,k) + A(k,j)) * s one at a time, k ascending. Returns the new t,
   and in *taken how many of the n_d_nz_cols columns it took. */
static NOINLINE double terms_in_pairs(const Factors *f, mwSize j, double t,
                                      mwSize *taken)
{
    const double *a_pr = f->a_pr, *btc_row = f->btc_row, *d_pr = f->d_pr;
    const mwIndex *d_ir = f->d_ir, *d_jc = f->d_jc, *cols = f->d_nz_cols;
    const size_t ld = f->ld;
    const double *a_col = a_pr + (size_t)j * ld;   /* A(k,j) = a_col[k] */
    double sum = t;
    mwSize x = 0;
    for (; x + 2 <= f->n_d_nz_cols; x += 2) {
        const mwIndex k0 = cols[x], k1 = cols[x + 1];
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
        sum = sum + (a_pr[(size_t)j + (size_t)k0 * ld] + a_col[k0]) * s0;
        sum = sum + (a_pr[(size_t)j + (size_t)k1 * ld] + a_col[k1]) * s1;
    }
    *taken = x;
    return sum;
}

/* t += (A(j,k) + A(k,j)) * (B'*C*D)(j,k), k ascending over the columns of
   D in use; pairs of columns side by side when pair_d. */
static double row_terms(const Factors *f, mwSize j, double t, bool pair_d)
{
    const double *a_col = f->a_pr + (size_t)j * f->ld;   /* A(k,j) = a_col[k] */
    mwSize x = 0;
    if (pair_d)
        t = terms_in_pairs(f, j, t, &x);
    for (; x < f->n_d_nz_cols; x++) {
        const mwIndex k = f->d_nz_cols[x];
        double s = 0.0;
        for (mwIndex p = f->d_jc[k]; p < f->d_jc[k + 1]; p++)
            s = s + f->btc_row[f->d_ir[p]] * f->d_pr[p];
        t = t + (f->a_pr[(size_t)j + (size_t)k * f->ld] + a_col[k]) * s;
    }
    return t;
}

/* The columns of D that hold entries, into d_nz_cols; and zeros in the
   slots of btc_row that an unsymmetric pattern of D reads unwritten: the
   slots at D's rows, or all m when D stores more entries than that. */
static void list_d_cols(Factors *f)
{
    const mwIndex *d_jc = f->d_jc, d_end = d_jc[f->m];
    if (d_end - d_jc[0] < (mwIndex)f->m)
        for (mwIndex p = d_jc[0]; p < d_end; p++)
            f->btc_row[f->d_ir[p]] = 0.0;
    else
        memset(f->btc_row, 0, f->ld * sizeof(double));
    mwSize n = 0;
    for (mwSize k = 0; k < f->m; k++) {
        if (d_jc[k] == d_jc[k + 1]) {   /* a gap: the next column in use */
            if (d_jc[k] == d_end)
                break;
            k = next_column(d_jc, k, f->m);
        }
        f->d_nz_cols[n++] = k;
    }
    f->n_d_nz_cols = n;
}

static double four_factor_trace(mwSize m, const mxArray *const in[])
{
    Factors f;
    take_factors(&f, m, in);
    list_d_cols(&f);

    /* Independent sums are formed side by side, each in its own order:
       four slots of btc_row over the entries of B's column, and two sums
       s over two columns of D. t still takes its terms one at a time. On
       columns of a few entries that costs more than it saves: there the
       sums are formed one by one. */
    const mwIndex d_entries = f.d_jc[m] - f.d_jc[0];
    const bool pair_d = d_entries / kWide >= (mwIndex)f.n_d_nz_cols;
    if (pair_d)
        KERNEL_PATH("zandrel: columns of D in pairs");
    const mwIndex *b_jc = f.b_jc;
    double t = 0.0;
    for (mwSize j = 0; j < m; j++) {
        if (b_jc[j] == b_jc[j + 1]) {
            if (b_jc[j] == b_jc[m])
                break;
            j = next_column(b_jc, j, m);
        }
        form_btc_row(&f, j);
        t = row_terms(&f, j, t, pair_d);
    }
    release_factors(&f);
    return t;
}
#endif
