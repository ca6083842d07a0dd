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
 * elements of D store, each computed once per pass over a column.
 */
#include "mexhost.h"

#include <limits>
#include <stdint.h>
#include <stdio.h>

static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k);
static void check_matrices(const mxArray *const prhs[], size_t m);
static void check_elements(const mxArray *D, mwSize k, size_t m);

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 4)
        mexErrMsgTxt("Error: Expecting 4 input arguments.\n");

    const size_t m = mxGetM(prhs[0]);
    check_matrices(prhs, m);
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
    check_elements(D, k, m);

    plhs[0] = mxCreateDoubleMatrix(k, 1, mxREAL);
    if (!plhs[0])
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *r = mxGetPr(plhs[0]);
    if (!r)   /* the kernel writes every entry */
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    compute_trace_vec(prhs[0], prhs[1], prhs[2], D, r, k);
}

/* A, B and C are real and m-by-m; A and C double. */
static void check_matrices(const mxArray *const prhs[], size_t m)
{
    char msg[256];
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
}

/* Every element of D is there, and real, double, sparse and m-by-m.

   An element m rows high is m columns wide when it holds m*m entries in
   all. Octave has that count at hand, but the first time an element is
   asked for its columns it allocates a block for its dimensions and
   enters it in its tables: about a quarter of what the host spends on an
   element of a few entries. With 64-bit counts and m below 2^32, m*m does
   not wrap, and a host's count m*N could wrap around to m*m only for N
   above 2^64/m: more column starts than any machine holds beside A's m*m
   doubles (Octave raises an error of its own first). Were such an element
   taken, its first m columns would be read, all within its storage. A
   32-bit count wraps within reach, and at order 0 every count is 0: there
   the columns are asked for. */
static void check_elements(const mxArray *D, mwSize k, size_t m)
{
    char msg[256];
    const bool by_count =
        m != 0 && std::numeric_limits<size_t>::digits >= 64 &&
        m <= std::numeric_limits<uint32_t>::max();
    const size_t entries_of_m = by_count ? m * m : 0;
    for (mwSize i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        if (!E) {
            snprintf(msg, sizeof msg, "Error: %u element of the cell array "
                     "(4th arg.) is empty.\n", (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        if (!mxIsNumeric(E) || mxIsComplex(E) || !mxIsDouble(E) ||
            mxGetM(E) != m ||
            (by_count ? mxGetNumberOfElements(E) != entries_of_m
                      : mxGetN(E) != m) ||
            !mxIsSparse(E)) {
            snprintf(msg, sizeof msg, "Error: All element of the cell array "
                     "should be sparse matrices %ux%u (%u not).\n",
                     (unsigned)m, (unsigned)m, (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
    }
}

/* The kernel's work storage, in the order it is requested, and the
   storage of A, B and C: b_cols lists the columns of B in use, btc_col
   holds a column of B'*C at them, row_val and row_stamp a row value of
   A'*B'*C and the column it was formed for, and cell_jc, cell_ir and
   cell_pr each element's column starts, row indices and values. */
struct TraceWork {
    mwIndex *b_cols, *d_cols;
    double *btc_col;
    mwIndex *row_stamp;
    double *row_val;
    mwIndex **cell_jc, **cell_ir;
    double **cell_pr;
    const double *a_pr, *c_pr, *b_pr;
    const mwIndex *b_ir, *b_jc;
};

/* The eight work arrays, tested once; then the storage of A, C and B, and
   of each element of D, all before any arithmetic. Returns the entries
   the elements store, and in *used their columns in use, taken as at most
   m an element: counted here, while the host's own work hides the wait
   for each element's first and last column starts. */
static double take_trace_work(TraceWork *w, const mxArray *A, const mxArray *B,
                              const mxArray *C, const mxArray *D, mwSize m,
                              mwSize k, double *used)
{
    /* A holds m*m doubles and D k elements, so these byte counts fit */
    const size_t ms = (size_t)m, ks = (size_t)k;
    w->b_cols = (mwIndex *)mxMalloc(ms * sizeof(mwIndex));
    w->d_cols = (mwIndex *)mxMalloc(ms * sizeof(mwIndex));
    w->btc_col = (double *)mxMalloc(ms * sizeof(double));
    w->row_stamp = (mwIndex *)mxMalloc(ms * sizeof(mwIndex));
    w->row_val = (double *)mxMalloc(ms * sizeof(double));
    w->cell_jc = (mwIndex **)mxMalloc(ks * sizeof(mwIndex *));
    w->cell_ir = (mwIndex **)mxMalloc(ks * sizeof(mwIndex *));
    w->cell_pr = (double **)mxMalloc(ks * sizeof(double *));
    if (!w->b_cols || !w->d_cols || !w->btc_col || !w->row_stamp ||
        !w->row_val || !w->cell_jc || !w->cell_ir || !w->cell_pr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    w->a_pr = mxGetPr(A);
    w->c_pr = mxGetPr(C);
    w->b_pr = mxGetPr(B);
    w->b_ir = mxGetIr(B);
    w->b_jc = mxGetJc(B);
    if (!w->a_pr || !w->c_pr || !w->b_pr || !w->b_ir || !w->b_jc)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");

    double entries = 0;
    *used = 0;
    for (mwSize i = 0; i < k; i++) {   /* the gateway saw each is there */
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        w->cell_pr[i] = mxGetPr(E);
        w->cell_ir[i] = mxGetIr(E);
        w->cell_jc[i] = mxGetJc(E);
        if (!w->cell_pr[i] || !w->cell_ir[i] || !w->cell_jc[i])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
        const size_t nz = (size_t)(w->cell_jc[i][m] - w->cell_jc[i][0]);
        *used += (double)(nz < ms ? nz : ms);
        entries += (double)nz;
    }
    return entries;
}

/* The columns of B that hold entries, ascending, into b_cols. */
static mwSize list_b_cols(const TraceWork *w, mwSize m)
{
    mwSize n_b_cols = 0;
    for (mwSize j = 0; j < m; j++)
        if (w->b_jc[j] < w->b_jc[j + 1])
            w->b_cols[n_b_cols++] = (mwIndex)j;
    return n_b_cols;
}

static void release_trace_work(TraceWork *w)
{
    mxFree(w->b_cols);
    mxFree(w->d_cols);
    mxFree(w->btc_col);
    mxFree(w->row_stamp);
    mxFree(w->row_val);
    mxFree(w->cell_jc);
    mxFree(w->cell_ir);
    mxFree(w->cell_pr);
}

#ifdef SDPK_KERNELS
/* a comparison build takes another kernel with the same interface */
#include SDPK_KERNELS
#else
#if defined(__GNUC__)
/* A hint to the memory system: the data at p will be read soon. */
#define PREFETCH(p) __builtin_prefetch(p)
/* A routine of hints alone has, to GCC, no effect: called, it is dropped,
   so it is inlined from the start. */
#define HINTS __attribute__((always_inline)) inline
/* The loop that follows is unrolled whole, so that its arrays of a fixed
   length live in registers. */
#define UNROLLED _Pragma("GCC unroll 8")
#else
#define PREFETCH(p) ((void)0)
#define HINTS inline
#define UNROLLED
#endif

/* What the steps of the kernel read: the work storage and the storage of
   A, B and C (w), r, B's columns in use, and the choices made once a call.
   ld is m, the distance between columns of A and of C. */
struct Traces {
    TraceWork w;
    double *r;
    size_t ld;
    mwSize m, k, n_b_cols;
    bool b_full;   /* B stores all m*m entries, each column's rows in order */
    bool side_by_side;   /* the strips form stale rows kSideBySide at a time */
};

/* How far ahead the columns of A are fetched, in values. */
static const mwSize kFetchAhead = 64;

/* The entries (p,q) of A'*B'*C for N rows p of one column, side by side:
   row_val[p] = sum over h of A(b_cols[h],p) * btc_col[h], from +0.0 and h
   ascending, each row its own sum. When B uses every column, b_cols[h] is
   h: the columns of A are then read straight through, and fetched
   kFetchAhead values ahead, a cache line at a time. */
template <int N>
static void rows_side_by_side(const mwIndex *rows, const double *a_pr,
                              size_t m, const mwIndex *b_cols,
                              const double *btc_col, mwSize n_b_cols,
                              double *row_val)
{
    const double *a[N];
    double v[N];
UNROLLED
    for (int x = 0; x < N; x++) {
        a[x] = a_pr + (size_t)rows[x] * m;
        v[x] = 0.0;
    }
    if ((size_t)n_b_cols == m) {
        mwSize h = 0;
        for (; h + 8 <= n_b_cols; h += 8) {
            if (h + kFetchAhead < n_b_cols)
UNROLLED
                for (int x = 0; x < N; x++)
                    PREFETCH(a[x] + h + kFetchAhead);
UNROLLED
            for (mwSize g = h; g < h + 8; g++) {
                const double c = btc_col[g];
UNROLLED
                for (int x = 0; x < N; x++)
                    v[x] = a[x][g] * c + v[x];
            }
        }
        for (; h < n_b_cols; h++) {
            const double c = btc_col[h];
UNROLLED
            for (int x = 0; x < N; x++)
                v[x] = a[x][h] * c + v[x];
        }
    } else {
        for (mwSize h = 0; h < n_b_cols; h++) {
            const mwIndex b = b_cols[h];
            const double c = btc_col[h];
UNROLLED
            for (int x = 0; x < N; x++)
                v[x] = a[x][b] * c + v[x];
        }
    }
UNROLLED
    for (int x = 0; x < N; x++)
        row_val[rows[x]] = v[x];
}

/* Row values are formed up to kSideBySide at a time. */
static const int kSideBySide = 8;

/* The row values of the `count` rows (at most kSideBySide) of one column. */
static void row_values(int count, const mwIndex *rows, const double *a_pr,
                       size_t m, const mwIndex *b_cols, const double *btc_col,
                       mwSize n_b_cols, double *row_val)
{
    static_assert(kSideBySide == 8, "a case for each count up to kSideBySide");
    switch (count) {
    case 8: rows_side_by_side<8>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 7: rows_side_by_side<7>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 6: rows_side_by_side<6>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 5: rows_side_by_side<5>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 4: rows_side_by_side<4>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 3: rows_side_by_side<3>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 2: rows_side_by_side<2>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    case 1: rows_side_by_side<1>(rows, a_pr, m, b_cols, btc_col, n_b_cols, row_val); break;
    default: break;
    }
}

/* Column q of B'*C at the columns of B in use: btc_col[h] = sum over the
   entries f of column b_cols[h], in storage order, of B(f) * C(row f, q),
   from +0.0. Four columns of B side by side, each with its own sum. When
   B is full (b_full: it stores all m*m entries, each column's rows
   0..m-1 in order), entry t of column h lies t places after
   b_jc[0] + h*m, and these are the sums of the row values, B's columns
   taking the place of A's and C's column that of B'*C's. */
#if defined(__GNUC__)
__attribute__((noinline))   /* inlined, its sums go through the stack */
#elif defined(_MSC_VER)
__declspec(noinline)
#endif
static void btc_column(const double *c_col, const double *b_pr,
                       const mwIndex *b_ir, const mwIndex *b_jc,
                       const mwIndex *b_cols, mwSize n_b_cols, bool b_full,
                       double *btc_col)
{
    mwSize h = 0;
    if (b_full) {
        const double *b_first = b_pr + b_jc[0];
        for (; h + kSideBySide <= n_b_cols; h += kSideBySide)
            rows_side_by_side<kSideBySide>(b_cols + h, b_first, n_b_cols, b_cols,
                                           c_col, n_b_cols, btc_col);
        row_values((int)(n_b_cols - h), b_cols + h, b_first, n_b_cols, b_cols,
                   c_col, n_b_cols, btc_col);
        return;
    }
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

/* The widest strip of columns that the elements of D are listed for. */
static const mwSize kMaxWidth = 64;

/* The width of the strips of columns: listing the elements that hold
   entries in a strip costs k visits, and each of its columns then visits
   the listed ones, about k*cols*width/m of them when the elements use
   `cols` columns each. Both together are least at about sqrt(m/cols).
   Width 1 lists nothing: every column visits every element. */
static mwSize strip_width(mwSize m, double cols)
{
    const double dm = (double)m;
    mwSize width = 1;
    while (width < kMaxWidth &&
           (double)(width + 1) * (double)(width + 1) * cols <= dm)
        width++;
    return width < 3 ? 1 : width;
}

/* Row values of at least this many terms are formed side by side. */
static const mwSize kWaitFrom = 8;

/* An entry (p,q) of D{i} whose row value is being formed: at most
   kWaiting of them wait at a time. */
struct Waiting {
    mwSize i;
    mwIndex p;
    double value;
};
static const int kWaiting = 32;

/* The column of entry e of an element with column starts jc: the least
   column q' >= q whose end jc[q'+1] passes e, given jc[q] <= e < jc[m].
   From column 0 it is found by bisection; from a later column, by
   galloping from it, so that the next nonempty column costs about the
   logarithm of the gap to it. Each probe may be a cache line of its own. */
static mwSize column_of(const mwIndex *jc, mwSize q, mwSize m, mwIndex e)
{
    if (jc[q + 1] > e)
        return q;
    mwSize lo = q + 1, hi = m;   /* jc[lo] <= e < jc[hi] */
    if (q > 0) {
        for (mwSize step = 1;; ) {
            hi = m - lo > step ? lo + step : m;
            if (jc[hi] > e)
                break;
            lo = hi;
            if (step < m)
                step *= 2;
        }
    }
    while (hi - lo > 1) {
        const mwSize mid = lo + (hi - lo) / 2;
        if (jc[mid] > e)
            hi = mid;
        else
            lo = mid;
    }
    return hi - 1;
}

/* How many elements ahead the element-by-element traces fetch, and the
   elements of at most kAheadRows entries whose rows' column starts they
   fetch. */
static const mwSize kAhead = 8;
static const mwIndex kAheadRows = 4;

/* Elements of at most this many entries try their rows as their columns. */
static const mwIndex kFewEntries = 16;

/* A row value for the column whose part of B'*C btc_col holds, a_col
   being column p of A: (A'*B'*C)(p,q) = sum over h of A(b_cols[h],p) *
   btc_col[h], from +0.0 and h ascending. */
static inline double row_value(const double *a_col, const mwIndex *b_cols,
                               const double *btc_col, mwSize n_b_cols)
{
    double val = 0.0;
    for (mwSize h = 0; h < n_b_cols; h++)
        val = a_col[b_cols[h]] * btc_col[h] + val;
    return val;
}

/* Column q of B'*C into btc_col. */
static void form_btc(const Traces *t, mwSize q)
{
    btc_column(t->w.c_pr + (size_t)q * t->ld, t->w.b_pr, t->w.b_ir, t->w.b_jc,
               t->w.b_cols, t->n_b_cols, t->b_full, t->w.btc_col);
}

/* The storage of the elements ahead of element i, fetched while these
   go: entries and first column starts kAhead elements ahead, and the
   column starts of the rows of a small element half as far ahead, whose
   rows have arrived by then. */
static HINTS void fetch_ahead(const Traces *t, mwSize i)
{
    if (i + kAhead < t->k) {
        PREFETCH(t->w.cell_ir[i + kAhead]);
        PREFETCH(t->w.cell_pr[i + kAhead]);
        PREFETCH(t->w.cell_jc[i + kAhead]);
    }
    if (i + kAhead / 2 < t->k) {
        const mwIndex *jn = t->w.cell_jc[i + kAhead / 2];
        const mwIndex *in = t->w.cell_ir[i + kAhead / 2];
        if (jn[t->m] - jn[0] <= kAheadRows)
            for (mwIndex x = jn[0]; x < jn[t->m]; x++)
                PREFETCH(jn + in[x]);
    }
}

/* An element of few entries (first to last) and, most often, a symmetric
   pattern holds entries in the columns of its rows: the least row at or
   after column q is the column tried first for its next entry, at the
   price of one look at its column starts. m when there is none. */
static mwSize least_row_from(const mwIndex *ir, mwIndex first, mwIndex last,
                             mwSize q, mwSize m)
{
    mwSize g = m;
    for (mwIndex x = first; x < last; x++)
        if ((mwSize)ir[x] >= q && (mwSize)ir[x] < g)
            g = (mwSize)ir[x];
    return g;
}

/* Element i's trace, its entries in column order. *btc_q is the column
   btc_col holds; row_stamp[p] = q+1 says that row_val[p] holds
   (A'*B'*C)(p,q). */
static inline double element_trace(const Traces *t, mwSize i, mwSize *btc_q)
{
    const mwIndex *jc = t->w.cell_jc[i], *ir = t->w.cell_ir[i];
    const double *pr = t->w.cell_pr[i];
    mwIndex *row_stamp = t->w.row_stamp;
    double *row_val = t->w.row_val;
    const double *a_pr = t->w.a_pr, *btc_col = t->w.btc_col;
    const mwIndex *b_cols = t->w.b_cols;
    const size_t ld = t->ld;
    const mwSize m = t->m, n_b_cols = t->n_b_cols;
    mwSize formed = *btc_q;
    const mwIndex first = jc[0], last = jc[m];
    const bool few = last > first && last - first <= kFewEntries;
    if (few)
        KERNEL_PATH("brisset: a small element's rows tried as its columns");
    double s = t->r[i];
    mwIndex e = first;
    for (mwSize q = 0; e < last; q++) {
        const mwSize g = few ? least_row_from(ir, first, last, q, m) : m;
        q = g < m && jc[g] <= e && e < jc[g + 1] ? g : column_of(jc, q, m, e);
        if (formed != q) {
            form_btc(t, q);
            formed = q;
        }
        const mwIndex stamp = (mwIndex)q + 1, end = jc[q + 1];
        for (; e < end; e++) {
            const mwIndex p = ir[e];
            if (row_stamp[p] != stamp) {
                row_val[p] = row_value(a_pr + (size_t)p * ld, b_cols, btc_col,
                                       n_b_cols);
                row_stamp[p] = stamp;
            }
            s = row_val[p] * pr[e] + s;
        }
    }
    *btc_q = formed;
    return s;
}

/* The traces element by element: the entries of each D{i} in column
   order, its nonempty columns found by galloping on its column starts, so
   that an element costs about its entries, not its m+1 column starts.
   Column q of B'*C is formed again whenever an element's column is
   another. Each r[i] takes its terms in the plain order (columns
   ascending, then storage order), and a row value is the same sum
   wherever it is formed. */
static void traces_by_element(const Traces *t)
{
    KERNEL_PATH("brisset: element by element");
    for (mwSize p = 0; p < t->m; p++)
        t->w.row_stamp[p] = 0;
    mwSize btc_q = t->m;   /* no column formed yet */
    for (mwSize i = 0; i < t->k; i++) {
        fetch_ahead(t, i);
        t->r[i] = element_trace(t, i, &btc_q);
    }
}

/* The elements from *next on that hold entries in columns q0..q1-1, at
   most m of them, into list. Returns how many. */
static mwSize list_strip(const Traces *t, mwSize q0, mwSize q1, mwSize *next,
                         mwIndex *list)
{
    mwSize n_list = 0, i = *next;
    for (; i < t->k && n_list < t->m; i++)
        if (t->w.cell_jc[i][q0] < t->w.cell_jc[i][q1])
            list[n_list++] = (mwIndex)i;
    *next = i;
    return n_list;
}

/* r[i] with element i's entries e..end-1 of a column added, a row value
   formed at the first entry of its row in the column and stamped
   tick + 1. */
static inline double column_part(const Traces *t, mwSize i, mwIndex e,
                                 mwIndex end, mwIndex tick)
{
    const mwIndex *ir = t->w.cell_ir[i], *b_cols = t->w.b_cols;
    const double *pr = t->w.cell_pr[i], *a_pr = t->w.a_pr, *btc_col = t->w.btc_col;
    mwIndex *row_stamp = t->w.row_stamp;
    double *row_val = t->w.row_val;
    const size_t ld = t->ld;
    const mwSize n_b_cols = t->n_b_cols;
    double s = t->r[i];
    for (; e < end; e++) {
        const mwIndex p = ir[e];
        if (row_stamp[p] <= tick) {   /* stale */
            row_val[p] = row_value(a_pr + (size_t)p * ld, b_cols, btc_col,
                                   n_b_cols);
            row_stamp[p] = tick + 1;
        }
        s = row_val[p] * pr[e] + s;
    }
    return s;
}

/* Column q's terms, for the listed elements (every element when list is
   null). A row value is formed at the first entry of its row in the
   column, and stamped tick + 1; the column of B'*C at the first entry. */
static void column_terms(const Traces *t, mwSize q, mwIndex tick,
                         const mwIndex *list, mwSize n_visit)
{
    bool formed = false;
    for (mwSize v = 0; v < n_visit; v++) {
        const mwSize i = list ? (mwSize)list[v] : v;
        const mwIndex *jc = t->w.cell_jc[i];
        const mwIndex end = jc[q + 1];
        mwIndex e = jc[q];
        if (e == end)
            continue;
        if (!formed)
            form_btc(t, q);
        formed = true;
        t->r[i] = column_part(t, i, e, end, tick);
    }
}

/* The stale rows of a column whose values are not yet formed, and the
   entries that wait for them, in the order met. */
struct Pending {
    mwIndex rows[kSideBySide];
    int n_rows;
    Waiting waiting[kWaiting];
    int n_waiting;
};

/* Forms the pending rows' values side by side, then adds the waiting
   terms to their sums in order. The terms of one element follow each
   other: its sum is held while they go. */
static void settle(const Traces *t, Pending *pend)
{
    row_values(pend->n_rows, pend->rows, t->w.a_pr, t->ld, t->w.b_cols,
               t->w.btc_col, t->n_b_cols, t->w.row_val);
    const Waiting *waiting = pend->waiting;
    for (int w = 0; w < pend->n_waiting;) {
        const mwSize i = waiting[w].i;
        double s = t->r[i];
        for (; w < pend->n_waiting && waiting[w].i == i; w++)
            s = t->w.row_val[waiting[w].p] * waiting[w].value + s;
        t->r[i] = s;
    }
    pend->n_rows = 0;
    pend->n_waiting = 0;
}

/* Element i's entries e..end-1 of the column. An entry whose row is stale
   waits, and so does every entry after it while any waits; the others
   are added at once. r[i] is held in s while no entry waits: the first to
   wait writes it back, since the waiting terms are added to r[i] itself. */
static void wait_terms(const Traces *t, Pending *pend, mwSize i, mwIndex e,
                       mwIndex end, mwIndex tick)
{
    const mwIndex *ir = t->w.cell_ir[i];
    const double *pr = t->w.cell_pr[i];
    double s = t->r[i];
    for (; e < end; e++) {
        const mwIndex p = ir[e];
        if (t->w.row_stamp[p] <= tick) {
            t->w.row_stamp[p] = tick + 1;
            pend->rows[pend->n_rows++] = p;
        } else if (pend->n_waiting == 0) {
            s = t->w.row_val[p] * pr[e] + s;
            continue;
        }
        if (pend->n_waiting == 0)
            t->r[i] = s;
        pend->waiting[pend->n_waiting++] = {i, p, pr[e]};
        if (pend->n_rows == kSideBySide || pend->n_waiting == kWaiting) {
            settle(t, pend);
            s = t->r[i];
        }
    }
    if (pend->n_waiting == 0)
        t->r[i] = s;
}

/* Column q's terms as column_terms has them, where a row value is a long
   sum: the stale rows are formed kSideBySide at a time, the entries that
   need them waiting until then. Each r[i] still takes its terms in
   storage order. */
static void column_terms_side_by_side(const Traces *t, mwSize q, mwIndex tick,
                                      const mwIndex *list, mwSize n_visit)
{
    bool formed = false;
    Pending pend;
    pend.n_rows = 0;
    pend.n_waiting = 0;
    for (mwSize v = 0; v < n_visit; v++) {
        const mwSize i = list ? (mwSize)list[v] : v;
        const mwIndex *jc = t->w.cell_jc[i];
        if (jc[q] == jc[q + 1])
            continue;
        if (!formed)
            form_btc(t, q);
        formed = true;
        wait_terms(t, &pend, i, jc[q], jc[q + 1], tick);
    }
    settle(t, &pend);
}

/* One pass over columns q0..q1-1 for a list of elements, the column
   count going on from tick; returns the count after them. When the count
   could pass the largest stamp, every value goes stale first. */
static mwIndex strip_pass(const Traces *t, mwSize q0, mwSize q1, mwIndex tick,
                          const mwIndex *list, mwSize n_visit)
{
    if (tick > std::numeric_limits<mwIndex>::max() - (mwIndex)(q1 - q0)) {
        for (mwSize p = 0; p < t->m; p++)
            t->w.row_stamp[p] = 0;
        tick = 0;
    }
    for (mwSize q = q0; q < q1; q++, tick++) {
        if (t->side_by_side)
            column_terms_side_by_side(t, q, tick, list, n_visit);
        else
            column_terms(t, q, tick, list, n_visit);
    }
    return tick;
}

/* The traces a strip of columns at a time. A strip first lists the
   elements that hold entries in it, up to m of them at a time (none for a
   strip one column wide: every element is visited), and each of its
   columns then visits the listed elements only. Each r[i] sums over the
   columns of its own element, ascending, and the row values are the same
   sums wherever they are formed, so a strip may run through its columns
   once for each list it needs: the sums keep their order. tick counts the
   columns handled, over all strips and lists: a row value is current when
   its stamp is tick + 1. */
static void traces_in_strips(const Traces *t, mwSize width, mwIndex *list)
{
    KERNEL_PATH(width > 1 ? "brisset: strips of listed elements"
                          : "brisset: columns visiting every element");
    if (t->side_by_side)
        KERNEL_PATH("brisset: rows side by side");
    for (mwSize p = 0; p < t->m; p++)
        t->w.row_stamp[p] = 0;
    mwIndex tick = 0;
    for (mwSize q0 = 0; q0 < t->m; q0 += width) {
        const mwSize q1 = t->m - q0 < width ? t->m : q0 + width;
        if (width == 1) {
            tick = strip_pass(t, q0, q1, tick, 0, t->k);
            continue;
        }
        for (mwSize next = 0; next < t->k;) {
            const mwSize n_visit = list_strip(t, q0, q1, &next, list);
            if (next < t->k)
                KERNEL_PATH("brisset: a strip listed more than once");
            tick = strip_pass(t, q0, q1, tick, list, n_visit);
        }
    }
}

/* How the traces are formed, from estimates of the work of each way, less
   the row values that both form: element by element, each column of an
   element forms a column of B'*C (B's entries and a slot a column of B in
   use) and each entry is one step; in strips, listing the elements of each
   strip reads two column starts of all k, most often from memory that no
   cache holds, as dear as kListVisit steps, and each column in use forms
   its column of B'*C once. The elements' columns in use are taken as their
   entries, at most m: so many small elements go by element, and a B of
   many entries, which makes every column of B'*C dear, goes in strips.
   When the column starts of all k elements fit in kCachedStarts bytes,
   they stay in the caches from strip to strip, and a visit costs a step. */
static const double kListVisit = 4;
static const double kCachedStarts = 256 * 1024;

static bool by_element(mwSize m, mwSize k, double entries, double b_entries,
                       mwSize n_b_cols, mwSize width)
{
    const double column = b_entries + (double)n_b_cols;
    const double dm = (double)m, columns = entries < dm ? entries : dm;
    const double element = entries * (column + 1);
    const mwSize n_strips = m / width + (m % width != 0);
    const double starts = (double)k * (dm + 1) * (double)sizeof(mwIndex);
    const double visit = starts <= kCachedStarts ? 1 : kListVisit;
    const double strips = visit * (double)k * (double)n_strips + columns * column;
    return element <= strips;
}

/* Is B full, every column holding rows 0..m-1 in order (gpp's all-ones
   matrix)? Reading its row indices once costs m*m steps against the m*m
   of each column of B'*C; a column's rows are read only once it is known
   to hold m entries. */
static bool b_is_full(const TraceWork *w, mwSize m, mwSize n_b_cols)
{
    bool full = n_b_cols == m;
    for (mwSize j = 0; full && j < m; j++) {
        full = (size_t)(w->b_jc[j + 1] - w->b_jc[j]) == (size_t)m;
        const mwIndex *ir = w->b_ir + w->b_jc[j];
        for (mwSize t = 0; full && t < m; t++)
            full = ir[t] == (mwIndex)t;
    }
    return full;
}

static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k)
{
    for (mwSize i = 0; i < k; i++)
        r[i] = 0.0;
    const mwSize m = (mwSize)mxGetM(A);
    if (m == 0)
        return 0;

    TraceWork w;
    double used;   /* columns in use, at most each element's entries */
    const double entries = take_trace_work(&w, A, B, C, D, m, k, &used);
    const mwSize n_b_cols = list_b_cols(&w, m);
    const Traces t = {w, r, (size_t)m, m, k, n_b_cols,
                      b_is_full(&w, m, n_b_cols), n_b_cols >= kWaitFrom};
    if (t.b_full)
        KERNEL_PATH("brisset: full B");

    const mwSize width = strip_width(m, used / (double)k);
    if (by_element(m, k, entries, (double)(w.b_jc[m] - w.b_jc[0]), n_b_cols,
                   width))
        traces_by_element(&t);
    else   /* d_cols's block holds the lists of elements */
        traces_in_strips(&t, width, w.d_cols);
    for (mwSize i = 0; i < k; i++)
        r[i] = 2 * r[i];
    release_trace_work(&w);
    return 0;
}
#endif
