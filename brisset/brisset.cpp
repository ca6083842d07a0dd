/*
 * brisset: r = brisset(A, B, C, D), for dense A and C, sparse B and a cell
 * vector D of k sparse matrices, all real and m-by-m: the k-by-1 vector
 *
 *   r(i) = 2 * sum over the stored entries (p,q) of D{i} of
 *          D{i}(p,q) * (A'*B'*C)(p,q)  =  2*trace(C'*B*A*D{i}),
 *
 * which is 2*trace(A*B*C*D{i}) when A, B and D{i} are symmetric.
 *
 * Neither B'*C nor A'*B'*C is formed: for each column q that some D{i}
 * uses, btc_col holds column q of B'*C at the columns of B that hold
 * entries, and row_val caches the entries (p,q) of A'*B'*C that the
 * elements of D store, each computed once per column.
 */
#include "mexhost.h"

#include <limits>
#include <stdio.h>

static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k);

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    char msg[256];

    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 4)
        mexErrMsgTxt("Error: Expecting 4 input arguments.\n");

    const size_t m = mxGetM(prhs[0]);
    for (int i = 0; i < 3; i++) {
        const mxArray *X = prhs[i];
        if (mxIsNumeric(X) && !mxIsComplex(X)) {
            /* A and C are read as dense doubles: no other class passes */
            if (i != 1 && !mxIsDouble(X)) {
                snprintf(msg, sizeof msg,
                         "Error: Input %u is expected to be a double matrix\n",
                         (unsigned)(i + 1));
                mexErrMsgTxt(msg);
            }
            if (mxGetM(X) == m && mxGetN(X) == m)
                continue;
        }
        snprintf(msg, sizeof msg,
                 "Error: Input %u is expected to be a symmetric matrix "
                 "%ux%u (%ux%u).\n", (unsigned)(i + 1), (unsigned)m,
                 (unsigned)m, (unsigned)mxGetM(X), (unsigned)mxGetN(X));
        mexErrMsgTxt(msg);
    }

    const mxArray *D = prhs[3];
    if (!mxIsCell(D))
        mexErrMsgTxt("Error: 4th input arguments should be a cell array.\n");
    const size_t dm = mxGetM(D), dn = mxGetN(D);
    if (dm == 0 || dn == 0 || (dm > 1 && dn > 1))
        mexErrMsgTxt("Error: 4th input arguments should be a cell vector.\n");
    const mwSize k = (mwSize)(dm > 1 ? dm : dn);

    if (mxIsSparse(prhs[0]))
        mexErrMsgTxt("Error: 1st input argument is expected to be a dense "
                     "matrix\n");
    if (!mxIsSparse(prhs[1]))
        mexErrMsgTxt("Error: 2nd input argument is expected to be a sparse "
                     "matrix\n");
    if (mxIsSparse(prhs[2]))
        mexErrMsgTxt("Error: 3rd input argument is expected to be a dense "
                     "matrix\n");
    /* every sparse array of the hosts is double; a stand-in may differ */
    if (!mxIsDouble(prhs[1]))
        mexErrMsgTxt("Error: Input 2 is expected to be a double matrix\n");

    for (mwSize i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        if (!E) {
            snprintf(msg, sizeof msg, "Error: %u element of the cell array "
                     "(4th arg.) is empty.\n", (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        if (!mxIsNumeric(E) || mxIsComplex(E) || !mxIsDouble(E) ||
            mxGetM(E) != m || mxGetN(E) != m || !mxIsSparse(E)) {
            snprintf(msg, sizeof msg, "Error: All element of the cell array "
                     "should be sparse matrices %ux%u (%u not).\n",
                     (unsigned)m, (unsigned)m, (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
    }

    plhs[0] = mxCreateDoubleMatrix(k, 1, mxREAL);
    if (!plhs[0])
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *r = mxGetPr(plhs[0]);
    if (!r)   /* the kernel writes every entry */
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    compute_trace_vec(prhs[0], prhs[1], prhs[2], D, r, k);
}

#ifdef SDPK_KERNELS
/* a comparison build takes another kernel with the same interface */
#include SDPK_KERNELS
#else
/* The entries (p,q) of A'*B'*C for the `count` rows p (at most four) of
   one column: row_val[p] = sum over h of A(b_cols[h],p) * btc_col[h], from
   +0.0 and h ascending, the rows side by side. */
static void row_values(int count, const mwIndex *rows, const double *a_pr,
                       size_t m, const mwIndex *b_cols, const double *btc_col,
                       mwSize n_b_cols, double *row_val)
{
    if (count == 4) {
        const double *a0 = a_pr + (size_t)rows[0] * m;
        const double *a1 = a_pr + (size_t)rows[1] * m;
        const double *a2 = a_pr + (size_t)rows[2] * m;
        const double *a3 = a_pr + (size_t)rows[3] * m;
        double v0 = 0.0, v1 = 0.0, v2 = 0.0, v3 = 0.0;
        for (mwSize h = 0; h < n_b_cols; h++) {
            const mwIndex b = b_cols[h];
            const double c = btc_col[h];
            v0 = a0[b] * c + v0;
            v1 = a1[b] * c + v1;
            v2 = a2[b] * c + v2;
            v3 = a3[b] * c + v3;
        }
        row_val[rows[0]] = v0;
        row_val[rows[1]] = v1;
        row_val[rows[2]] = v2;
        row_val[rows[3]] = v3;
        return;
    }
    for (int x = 0; x < count; x++) {
        const double *a_col = a_pr + (size_t)rows[x] * m;
        double v = 0.0;
        for (mwSize h = 0; h < n_b_cols; h++)
            v = a_col[b_cols[h]] * btc_col[h] + v;
        row_val[rows[x]] = v;
    }
}

/* Column q of B'*C at the columns of B in use: btc_col[h] = sum over the
   entries f of column b_cols[h], in storage order, of B(f) * C(row f, q),
   from +0.0. Four columns of B side by side, each with its own sum. */
static void btc_column(const double *c_col, const double *b_pr,
                       const mwIndex *b_ir, const mwIndex *b_jc,
                       const mwIndex *b_cols, mwSize n_b_cols,
                       double *btc_col)
{
    mwSize h = 0;
    for (; h + 4 <= n_b_cols; h += 4) {
        mwIndex f0 = b_jc[b_cols[h]], f1 = b_jc[b_cols[h + 1]];
        mwIndex f2 = b_jc[b_cols[h + 2]], f3 = b_jc[b_cols[h + 3]];
        const mwIndex e0 = b_jc[b_cols[h] + 1], e1 = b_jc[b_cols[h + 1] + 1];
        const mwIndex e2 = b_jc[b_cols[h + 2] + 1], e3 = b_jc[b_cols[h + 3] + 1];
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (; f0 < e0 && f1 < e1 && f2 < e2 && f3 < e3; f0++, f1++, f2++, f3++) {
            s0 = b_pr[f0] * c_col[b_ir[f0]] + s0;
            s1 = b_pr[f1] * c_col[b_ir[f1]] + s1;
            s2 = b_pr[f2] * c_col[b_ir[f2]] + s2;
            s3 = b_pr[f3] * c_col[b_ir[f3]] + s3;
        }
        for (; f0 < e0; f0++)
            s0 = b_pr[f0] * c_col[b_ir[f0]] + s0;
        for (; f1 < e1; f1++)
            s1 = b_pr[f1] * c_col[b_ir[f1]] + s1;
        for (; f2 < e2; f2++)
            s2 = b_pr[f2] * c_col[b_ir[f2]] + s2;
        for (; f3 < e3; f3++)
            s3 = b_pr[f3] * c_col[b_ir[f3]] + s3;
        btc_col[h] = s0;
        btc_col[h + 1] = s1;
        btc_col[h + 2] = s2;
        btc_col[h + 3] = s3;
    }
    for (; h < n_b_cols; h++) {
        const mwIndex b = b_cols[h];
        double s = 0.0;
        for (mwIndex f = b_jc[b]; f < b_jc[b + 1]; f++)
            s = b_pr[f] * c_col[b_ir[f]] + s;
        btc_col[h] = s;
    }
}

/* Sets flag j of `flags` for every column j that the column starts jc
   (m+1 of them) give entries. An element with few entries has its columns
   found by bisection, one search a column, instead of m tests. */
static void mark_columns(const mwIndex *jc, mwSize m, mwIndex *flags)
{
    const mwIndex first = jc[0], end = jc[m];
    mwSize searches = 1;
    for (mwSize w = m; w > 1; w /= 2)
        searches++;
    if (end - first > (mwIndex)(m / (4 * searches))) {
        for (mwSize j = 0; j < m; j++)
            flags[j] |= (mwIndex)(jc[j] < jc[j + 1]);
        return;
    }
    /* the column that holds entry e: the last j with jc[j] <= e, found
       between lo and m; the next column in use starts at the one after */
    mwSize lo = 0;
    for (mwIndex e = first; e < end;) {
        mwSize a = lo, b = m;   /* jc[a] <= e < jc[b] */
        while (b - a > 1) {
            const mwSize mid = a + (b - a) / 2;
            if (jc[mid] <= e)
                a = mid;
            else
                b = mid;
        }
        flags[a] = 1;
        lo = a + 1;
        e = jc[lo];
    }
}

/* The bytes of column starts that one block of elements of D may span
   before the visits of a column to every element of its block miss the
   address translation caches. */
static const double kBlockReach = 4194304.0;

/* exp(-x) for x >= 0, to about 1e-8, with no library: the module needs
   no more of the system than the C library. */
static double exp_minus(double x)
{
    if (!(x < 700))
        return 0.0;
    int halvings = 0;
    while (x > 0.5) {
        x /= 2;
        halvings++;
    }
    double term = 1.0, sum = 1.0;
    for (int i = 1; i <= 8; i++) {
        term *= -x / i;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

/* The number of elements of D in one block, of k elements that use about
   `cols` columns each, when a column of B'*C costs `btc`. A block of b
   elements uses about m*(1 - exp(-b*cols/m)) columns, each costing btc
   plus b visits, and costs 2m to set up. A visit is cheap while the block
   is small enough for its column starts to stay cached, dearer beyond,
   and dearer still beyond reach of the address translation caches. The
   cheapest of one block and blocks of 16, 32, 64, ... is taken. */
static mwSize choose_block(mwSize m, mwSize k, double cols, double btc)
{
    const double dm = (double)m, dk = (double)k;
    const double starts = (dm + 1) * (double)sizeof(mwIndex);
    auto cost = [&](double b) {
        const double in_use = dm * (1 - exp_minus(b * cols / dm));
        const double visit = b <= 64 ? 1 : b * starts <= kBlockReach ? 3 : 10;
        return dk / b * (2 * dm + in_use * (btc + b * visit));
    };
    mwSize best = k;
    double best_cost = cost(dk);
    for (mwSize b = 16; b < k; b *= 2) {
        const double c = cost((double)b);
        if (c < best_cost) {
            best = b;
            best_cost = c;
        }
        if (b > std::numeric_limits<mwSize>::max() / 2)
            break;
    }
    return best;
}

static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k)
{
    char msg[256];

    for (mwSize i = 0; i < k; i++)
        r[i] = 0.0;
    const mwSize m = (mwSize)mxGetM(A);
    if (m == 0)
        return 0;

    /* A holds m*m doubles and D k elements, so these byte counts and every
       offset b + p*m below fit in size_t */
    const size_t mm = (size_t)m, kk = (size_t)k;
    mwIndex *b_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    mwIndex *d_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    double *btc_col = (double *)mxMalloc(mm * sizeof(double));
    mwIndex *row_stamp = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    double *row_val = (double *)mxMalloc(mm * sizeof(double));
    mwIndex **cell_jc = (mwIndex **)mxMalloc(kk * sizeof(mwIndex *));
    mwIndex **cell_ir = (mwIndex **)mxMalloc(kk * sizeof(mwIndex *));
    double **cell_pr = (double **)mxMalloc(kk * sizeof(double *));
    if (!b_cols || !d_cols || !btc_col || !row_stamp || !row_val ||
        !cell_jc || !cell_ir || !cell_pr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    const double *a_pr = mxGetPr(A);
    const double *c_pr = mxGetPr(C);
    const double *b_pr = mxGetPr(B);
    const mwIndex *b_ir = mxGetIr(B);
    const mwIndex *b_jc = mxGetJc(B);
    if (!a_pr || !c_pr || !b_pr || !b_ir || !b_jc)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");

    for (mwSize i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        if (!E) {
            snprintf(msg, sizeof msg, "Error: %u element of the cell array "
                     "(4th arg.) is empty.\n", (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        cell_pr[i] = mxGetPr(E);
        cell_ir[i] = mxGetIr(E);
        cell_jc[i] = mxGetJc(E);
        if (!cell_pr[i] || !cell_ir[i] || !cell_jc[i])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
    }

    mwSize n_b_cols = 0;                 /* the columns of B in use */
    for (mwSize j = 0; j < m; j++)
        if (b_jc[j] < b_jc[j + 1])
            b_cols[n_b_cols++] = (mwIndex)j;

    /* The elements of D are taken in blocks. Each r[i] sums over the
       columns of its own element, ascending, so a block can run through
       the columns that its elements use before the next block starts: the
       sums keep their order, and a column visits the elements of its block
       only, and only the columns some element of the block uses. Columns
       of B'*C are formed again for each block, so the size of a block is a
       matter of cost (choose_block). */
    double used = 0;   /* columns in use, at most each element's entries */
    double entries = 0;
    for (mwSize i = 0; i < k; i++) {
        const size_t nz = (size_t)(cell_jc[i][m] - cell_jc[i][0]);
        used += (double)(nz < mm ? nz : mm);
        entries += (double)nz;
    }
    const mwSize block = choose_block(
        m, k, used / (double)kk,
        (double)(b_jc[m] - b_jc[0]) + (double)n_b_cols);
    /* Row values are formed four at a time, after a first pass over the
       column has found the stale rows, when what that saves (about half
       the cost of the entries' row values, n_b_cols each) is more than the
       pass costs (a visit to each element of the block, per column). */
    const bool batch_rows = entries * (double)n_b_cols > 8.0 * (double)mm * (double)kk;

    for (mwSize p = 0; p < m; p++)
        row_stamp[p] = 0;
    /* tick counts the columns handled, over all blocks: a row value is
       current when its stamp is tick + 1 */
    mwIndex tick = 0;
    for (mwSize i0 = 0; i0 < k; i0 += block) {
        const mwSize i1 = k - i0 < block ? k : i0 + block;
        for (mwSize j = 0; j < m; j++)   /* the columns the block uses */
            d_cols[j] = 0;
        for (mwSize i = i0; i < i1; i++)
            mark_columns(cell_jc[i], m, d_cols);
        mwSize n_d_cols = 0;
        for (mwSize j = 0; j < m; j++)
            if (d_cols[j])
                d_cols[n_d_cols++] = (mwIndex)j;   /* never passes slot j */
        if (tick > std::numeric_limits<mwIndex>::max() - (mwIndex)n_d_cols) {
            for (mwSize p = 0; p < m; p++)   /* every value goes stale */
                row_stamp[p] = 0;
            tick = 0;
        }

        for (mwSize t = 0; t < n_d_cols; t++, tick++) {
            const mwIndex q = d_cols[t];
            btc_column(c_pr + (size_t)q * mm, b_pr, b_ir, b_jc, b_cols,
                       n_b_cols, btc_col);
            if (!batch_rows) {
                for (mwSize i = i0; i < i1; i++) {
                    const mwIndex *ir = cell_ir[i];
                    const double *pr = cell_pr[i];
                    const mwIndex end = cell_jc[i][q + 1];
                    double s = r[i];
                    for (mwIndex e = cell_jc[i][q]; e < end; e++) {
                        const mwIndex p = ir[e];
                        if (row_stamp[p] <= tick) {   /* stale: recompute */
                            const double *a_col = a_pr + (size_t)p * mm;
                            double v = 0.0;
                            for (mwSize h = 0; h < n_b_cols; h++)
                                v = a_col[b_cols[h]] * btc_col[h] + v;
                            row_val[p] = v;
                            row_stamp[p] = tick + 1;
                        }
                        s = row_val[p] * pr[e] + s;
                    }
                    r[i] = s;
                }
                continue;
            }
            /* the stale rows that column q needs, first met first */
            mwIndex rows[4];
            int n_rows = 0;
            for (mwSize i = i0; i < i1; i++) {
                const mwIndex *ir = cell_ir[i];
                const mwIndex end = cell_jc[i][q + 1];
                for (mwIndex e = cell_jc[i][q]; e < end; e++) {
                    const mwIndex p = ir[e];
                    if (row_stamp[p] <= tick) {
                        row_stamp[p] = tick + 1;
                        rows[n_rows++] = p;
                        if (n_rows == 4) {
                            row_values(4, rows, a_pr, mm, b_cols, btc_col,
                                       n_b_cols, row_val);
                            n_rows = 0;
                        }
                    }
                }
            }
            row_values(n_rows, rows, a_pr, mm, b_cols, btc_col, n_b_cols,
                       row_val);
            for (mwSize i = i0; i < i1; i++) {
                const mwIndex *ir = cell_ir[i];
                const double *pr = cell_pr[i];
                const mwIndex end = cell_jc[i][q + 1];
                double s = r[i];
                for (mwIndex e = cell_jc[i][q]; e < end; e++)
                    s = row_val[ir[e]] * pr[e] + s;
                r[i] = s;
            }
        }
    }
    for (mwSize i = 0; i < k; i++)
        r[i] = 2 * r[i];

    mxFree(b_cols);
    mxFree(d_cols);
    mxFree(btc_col);
    mxFree(row_stamp);
    mxFree(row_val);
    mxFree(cell_jc);
    mxFree(cell_ir);
    mxFree(cell_pr);
    return 0;
}
#endif
