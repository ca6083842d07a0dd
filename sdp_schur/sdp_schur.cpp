/*
 * sdp_schur: M = sdp_schur(F, W, Y), for a cell vector F of k sparse
 * matrices and dense W and Y, all real and m-by-m: the k-by-k matrix
 *
 *   M(i,j) = M(j,i) = trace(F{i}*W*F{j}*Y),   i <= j,
 *
 * a semidefinite program's Schur complement, with W the inverse of the
 * dual slack matrix and Y the primal matrix. Each entry is a sum over the
 * stored entries (c,d) of F{j}, in storage order, of F{j}(c,d) * G(c,d),
 * where for row i
 *
 *   G(c,d) = sum over the columns b of F{i} that hold entries, ascending,
 *            of W(b,c) * H(b,d),
 *   H(b,d) = sum over the stored entries (a,b) of column b of F{i}, in
 *            storage order, of F{i}(a,b) * Y(d,a),
 *
 * every sum from +0.0. No product matrix is formed. The positions that the
 * F{j} store are listed once a call, and row i forms G once at each
 * position that F{i}, ..., F{k} store, however many of them store it; each
 * element's storage is fetched from the host once a call.
 *
 * Where W and Y are block diagonal, blocks of consecutive indices, and
 * every F{j} stores entries within the blocks alone, a row of a finite
 * F{i} forms H and G within the blocks that F{i} uses: the terms it leaves
 * out are zeros of W or Y times finite values, which leave a sum from +0.0
 * as it is, so the bits are those of the sums above.
 *
 * P = sdp_schur(F, W, Y, [first last]) is the panel M(first:k, first:last),
 * the same bits as those entries of M, formed from the rows first to last
 * and F{first}, ..., F{k} alone: a caller can fill M a panel at a time,
 * in place, with no array of M's size made anew.
 */
#include "mexhost.h"

#include <atomic>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

/* A 64-bit Linux release file asks glibc for the thread routines at their
   first versions, as the modules ask for nothing newer: glibc 2.34 moved
   them into libc, where these versions remain, and before it a host's
   libpthread gives them. */
#if defined(MEXHOST_DECLARE) && defined(__GLIBC__) && defined(__x86_64__)
__asm__(".symver pthread_create,pthread_create@GLIBC_2.2.5");
__asm__(".symver pthread_join,pthread_join@GLIBC_2.2.5");
#endif

/* The most threads a call forms its rows on, and the work (stored entries
   times the rows of the call) that takes each: below it starting a thread
   costs more than the rows it would share. */
#define MOST_THREADS 64
#define THREAD_WORK ((size_t)1 << 17)
/* The most work storage, in bytes, of the threads beside the calling one,
   all together: on many processors a block with a nearly full element
   would otherwise take several arrays of its order squared for each. */
#define THREAD_STORAGE ((size_t)64 << 20)

/* The threads set by sdp_schur('threads', n); 0 until then, for the
   processors online. The calls of a module come from the host's one
   thread, so neither needs a lock. */
static size_t threads_set;

/* The columns first to first + cols - 1 of M from row first on, for
   m > 0 and cols > 0, after every check of the inputs; out holds
   (k - first)*cols zeros. */
static void schur_matrix(size_t m, size_t k, size_t first, size_t cols,
                         const mxArray *const in[], double *out);
static void check_dense(const mxArray *const prhs[], size_t m);
static void check_elements(const mxArray *F, size_t k, size_t m);
static void read_panel(const mxArray *R, size_t k, size_t *first,
                       size_t *cols);
static void threads_command(int nrhs, mxArray *plhs[],
                            const mxArray *prhs[]);

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs >= 1 && mxIsChar(prhs[0])) {
        threads_command(nrhs, plhs, prhs);
        return;
    }
    if (nrhs != 3 && nrhs != 4)
        mexErrMsgTxt("Error: Expecting 3 or 4 input arguments.\n");

    const mxArray *F = prhs[0];
    if (!mxIsCell(F) || (mxGetM(F) > 1 && mxGetN(F) > 1))
        mexErrMsgTxt("Error: Input 1 is expected to be a cell vector of "
                     "sparse matrices\n");
    const size_t m = mxGetM(prhs[1]);
    check_dense(prhs, m);
    const size_t k = mxGetNumberOfElements(F);
    check_elements(F, k, m);
    size_t first = 0, cols = k;
    if (nrhs == 4)
        read_panel(prhs[3], k, &first, &cols);

    /* the panel holds (k - first)*cols doubles */
    const size_t rows = k - first;
    if (cols > 0 && rows > SIZE_MAX / sizeof(double) / cols)
        mexErrMsgTxt("Error: Insufficient memory\n");
    plhs[0] = mxCreateDoubleMatrix((mwSize)rows, (mwSize)cols, mxREAL);
    if (!plhs[0])
        mexErrMsgTxt("Error: Insufficient memory\n");
    if (cols == 0)   /* an empty result */
        return;
    double *out = mxGetPr(plhs[0]);
    if (!out)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    if (m == 0)   /* every trace is 0, whatever the host's new arrays hold */
        memset(out, 0, rows * cols * sizeof(double));
    else
        schur_matrix(m, k, first, cols, prhs, out);
}

/* [first last], whole numbers with 1 <= first <= last <= k, as the
   first column (from 0) and the number of columns. Each is tested as a
   double before it is converted. */
static void read_panel(const mxArray *R, size_t k, size_t *first,
                       size_t *cols)
{
    const double *v = mxIsNumeric(R) && !mxIsComplex(R) && mxIsDouble(R) &&
                              !mxIsSparse(R) && mxGetNumberOfElements(R) == 2
                          ? mxGetPr(R) : NULL;
    /* k counts a cell's elements, each a pointer: it is below 2^53, where
       every whole number is a double */
    const double top = (double)k;
    if (!v || !(v[0] >= 1.0 && v[0] <= v[1] && v[1] <= top) ||
        v[0] != (double)(size_t)v[0] || v[1] != (double)(size_t)v[1]) {
        char msg[256];
        snprintf(msg, sizeof msg, "Error: Input 4 is expected to be [first "
                 "last], whole numbers with 1 <= first <= last <= %u\n",
                 (unsigned)k);
        mexErrMsgTxt(msg);
    }
    *first = (size_t)v[0] - 1;
    *cols = (size_t)v[1] - *first;
}

/* The processors online, from 1 to MOST_THREADS. */
static size_t processors(void)
{
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const double online = (double)info.dwNumberOfProcessors;
#else
    const double online = (double)sysconf(_SC_NPROCESSORS_ONLN);
#endif
    if (!(online >= 1.0))
        return 1;
    return online < MOST_THREADS ? (size_t)online : MOST_THREADS;
}

/* The count set, or else the processors online, asked of the system once
   (on Linux that reads a file). */
static size_t threads_now(void)
{
    if (threads_set == 0) {
        static size_t online;
        if (online == 0)
            online = processors();
        return online;
    }
    return threads_set;
}

/* n = sdp_schur('threads') and old = sdp_schur('threads', n): the threads
   a call may form its rows on, n a whole number from 1 to MOST_THREADS,
   tested as a double before it is converted. The word is read last, as
   reading it takes a block from the host. */
static void threads_command(int nrhs, mxArray *plhs[],
                            const mxArray *prhs[])
{
    static const char *const word =
        "Error: Input 1 is expected to be a cell vector of sparse matrices, "
        "or 'threads'\n";
    if (mxGetM(prhs[0]) != 1 || mxGetN(prhs[0]) != 7)
        mexErrMsgTxt(word);
    if (nrhs > 2)
        mexErrMsgTxt("Error: Expecting 1 or 2 input arguments with "
                     "'threads'\n");
    size_t count = 0;
    if (nrhs == 2) {
        const mxArray *N = prhs[1];
        const double *v = mxIsNumeric(N) && !mxIsComplex(N) &&
                                  mxIsDouble(N) && !mxIsSparse(N) &&
                                  mxGetNumberOfElements(N) == 1
                              ? mxGetPr(N) : NULL;
        if (!v || !(v[0] >= 1.0 && v[0] <= MOST_THREADS) ||
            v[0] != (double)(size_t)v[0]) {
            char msg[128];
            snprintf(msg, sizeof msg, "Error: Input 2 is expected to be a "
                     "whole number of threads from 1 to %d\n",
                     MOST_THREADS);
            mexErrMsgTxt(msg);
        }
        count = (size_t)v[0];
    }
    char *text = mxArrayToString(prhs[0]);
    if (!text)
        mexErrMsgTxt("Error: Insufficient memory\n");
    const bool known = strcmp(text, "threads") == 0;
    mxFree(text);
    if (!known)
        mexErrMsgTxt(word);
    const size_t before = threads_now();
    plhs[0] = mxCreateDoubleScalar((double)before);
    if (!plhs[0])
        mexErrMsgTxt("Error: Insufficient memory\n");
    if (count > 0)
        threads_set = count;
}

/* W and Y are real, double, dense and m-by-m. */
static void check_dense(const mxArray *const prhs[], size_t m)
{
    char msg[256];
    for (int i = 1; i < 3; i++) {
        const mxArray *X = prhs[i];
        if (mxIsNumeric(X) && !mxIsComplex(X) && mxIsDouble(X) &&
            !mxIsSparse(X) && mxGetM(X) == m && mxGetN(X) == m)
            continue;
        snprintf(msg, sizeof msg,
                 "Error: Input %u is expected to be a dense double matrix "
                 "%ux%u (%ux%u%s)\n", (unsigned)(i + 1), (unsigned)m,
                 (unsigned)m, (unsigned)mxGetM(X), (unsigned)mxGetN(X),
                 mxIsSparse(X) ? ", sparse" : "");
        mexErrMsgTxt(msg);
    }
}

/* Every element of F is there, and real, double, sparse and m-by-m. */
static void check_elements(const mxArray *F, size_t k, size_t m)
{
    char msg[256];
    for (size_t i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(F, (mwIndex)i);
        if (E && mxIsNumeric(E) && !mxIsComplex(E) && mxIsDouble(E) &&
            mxIsSparse(E) && mxGetM(E) == m && mxGetN(E) == m)
            continue;
        snprintf(msg, sizeof msg,
                 "Error: Element %u of input 1 is expected to be a sparse "
                 "double matrix %ux%u\n", (unsigned)(i + 1), (unsigned)m,
                 (unsigned)m);
        mexErrMsgTxt(msg);
    }
}

/* The storage of the inputs and the work storage, in the order it is
   requested:
     cell_jc, cell_ir, cell_pr  each element's column starts, row indices
                                and values;
     values  where each element's values start, so that a row's sums over
             the later elements take them, and their count from first,
             without reading the elements' column starts;
     ecol_start, ecols  the columns that each element uses, ascending, at
             ecols[ecol_start[i]] on: each element's column starts are
             read once a call, not once for each list that needs them
             (theta's: 801 starts for an element of two columns);
     first   where each element's entries start among all of them, and
             last, how many there are;
     need    need[i]: how many slots row i forms, those of the positions
             that F{i}, ..., F{k} store;
     col_start, by_col  the elements that use each column d, at
             by_col[col_start[d]] on, F{k} first;
     stamp, row_slot  for the column being listed, which rows c hold a
             position so far (stamp[c] is the column plus 1) and its slot;
     last    for each position, the last element that stores it, then its
             slot;
     slot    the slot of each stored entry of F{1}, ..., F{k}, in turn;
     pos_c, pos_d  each slot's position (c,d);
     cols    the columns of F{i} that hold entries, within ecols;
     h, wg   H(b,d) at d*n + x and W(b,c) at c*n + x, for b = cols[x], the
             n columns of F{i} in use;
     g       G at each slot.
   Where W and Y are block diagonal (blocked, below), also:
     block   the block of each index, and block_start the first index of
             each block and, last, m;
     block_slots  the slots of each block's positions, ascending, from
             block_slots[slot_start[b]] on.
   The elements are F{first}, ..., F{k} of the call, k of them here, and
   row i is row first + i of M. Positions take their slots in the order of
   their last elements, F{k}'s first, so that the slots row i needs come
   first. entries is how many entries the elements store in all, uses how
   many columns they use in all, width the most columns one of them uses,
   and positions how many positions they store between them. */
struct SchurWork {
    const mwIndex **cell_jc, **cell_ir;
    const double **cell_pr, **values;
    const double *w_pr, *y_pr;
    size_t *ecol_start, *ecols;
    size_t *first, *need, *col_start, *by_col, *stamp, *row_slot, *last;
    size_t *slot, *pos_c, *pos_d;
    const size_t *cols;
    size_t *block, *block_start, *slot_start, *block_slots;
    double *h, *wg, *g;
    size_t m, k, entries, uses, width, positions, blocks;
};

/* The columns of an element of order m that hold entries, ascending,
   into out; their count, at most its entries and m. Where it stores
   few entries against its order (theta's: two of order 801), each column
   is found by bisection of the column starts, which reads a few of them
   rather than all m + 1: the next column in use after lo is the last
   whose start is at most p, the first entry past the columns found. */
static size_t element_columns(const mwIndex *jc, size_t m, size_t *out,
                              bool *bisected)
{
    const size_t nz = (size_t)(jc[m] - jc[0]);
    const size_t most = nz < m ? nz : m;
    size_t used = 0;
    if (nz < m / 64) {
        *bisected = true;
        mwIndex p = jc[0];
        size_t lo = 0;
        while (p < jc[m] && used < most) {   /* jc[lo] <= p < jc[m] */
            size_t a = lo, b = m;
            while (b - a > 1) {
                const size_t mid = a + (b - a) / 2;
                if (jc[mid] <= p)
                    a = mid;
                else
                    b = mid;
            }
            out[used++] = a;   /* jc[a] <= p < jc[a + 1] */
            lo = a + 1;
            p = jc[lo];
        }
        return used;
    }
    for (size_t d = 0; d < m && used < most; d++)
        if (jc[d] < jc[d + 1])
            out[used++] = d;
    return used;
}

/* The storage of W, Y and each element, the counts of their entries and
   columns in use, and those columns. */
static void fetch_storage(SchurWork *w, const mxArray *const in[],
                          size_t offset)
{
    const size_t m = w->m, k = w->k;
    w->cell_jc = (const mwIndex **)mxMalloc(k * sizeof(mwIndex *));
    w->cell_ir = (const mwIndex **)mxMalloc(k * sizeof(mwIndex *));
    w->cell_pr = (const double **)mxMalloc(k * sizeof(double *));
    w->values = (const double **)mxMalloc(k * sizeof(double *));
    if (!w->cell_jc || !w->cell_ir || !w->cell_pr || !w->values)
        mexErrMsgTxt("Error: Insufficient memory\n");
    w->w_pr = mxGetPr(in[1]);
    w->y_pr = mxGetPr(in[2]);
    if (!w->w_pr || !w->y_pr)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    w->entries = 0;
    /* the most columns the elements can use, each at most its entries
       and m, which sizes ecols */
    size_t bound = 0;
    for (size_t i = 0; i < k; i++) {   /* the gateway saw each is there */
        const mxArray *E = mxGetCell(in[0], (mwIndex)(offset + i));
        const mwIndex *jc = mxGetJc(E);
        w->cell_jc[i] = jc;
        w->cell_ir[i] = mxGetIr(E);
        w->cell_pr[i] = mxGetPr(E);
        if (!jc || !w->cell_ir[i] || !w->cell_pr[i])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
        w->values[i] = w->cell_pr[i] + jc[0];
        const size_t nz = (size_t)(jc[m] - jc[0]);
        /* the same element may come many times: the counts are tested,
           and slot arrays they would overflow are more than memory holds */
        if (nz > SIZE_MAX / sizeof(size_t) - w->entries)
            mexErrMsgTxt("Error: Insufficient memory\n");
        w->entries += nz;
        bound += nz < m ? nz : m;   /* at most entries */
    }
    if (k >= SIZE_MAX / sizeof(size_t))   /* k + 1 starts */
        mexErrMsgTxt("Error: Insufficient memory\n");
    w->ecol_start = (size_t *)mxMalloc((k + 1) * sizeof(size_t));
    /* a block of one at least, where no element stores entries: a host
       may answer a request for none with no block */
    w->ecols = (size_t *)mxMalloc((bound > 0 ? bound : 1) * sizeof(size_t));
    if (!w->ecol_start || !w->ecols)
        mexErrMsgTxt("Error: Insufficient memory\n");
    w->uses = 0;
    w->width = 0;
    bool bisected = false;
    for (size_t i = 0; i < k; i++) {
        w->ecol_start[i] = w->uses;
        const size_t used = element_columns(w->cell_jc[i], m,
                                            w->ecols + w->uses, &bisected);
        w->uses += used;
        if (used > w->width)
            w->width = used;
    }
    w->ecol_start[k] = w->uses;
    if (bisected)
        KERNEL_PATH("sdp_schur: the columns of an element by bisection");
}

/* The most positions the elements can store between them, which slot
   arrays are sized by: at most entries and m*m (W holds m*m doubles, so
   m*m fits). */
static size_t most_positions(const SchurWork *w)
{
    return w->entries < w->m * w->m ? w->entries : w->m * w->m;
}

/* The work storage, for elements that store entries. W holds m*m
   doubles, so the counts of width*m doubles fit, and the counts of at
   most entries were tested as they were taken. */
static void take_schur_work(SchurWork *w)
{
    const size_t m = w->m, k = w->k, n = w->width * m;
    /* the positions are counted when listed */
    const size_t most = most_positions(w);
    w->first = (size_t *)mxMalloc((k + 1) * sizeof(size_t));
    w->need = (size_t *)mxMalloc(k * sizeof(size_t));
    w->col_start = (size_t *)mxMalloc((m + 1) * sizeof(size_t));
    w->by_col = (size_t *)mxMalloc(w->uses * sizeof(size_t));
    w->stamp = (size_t *)mxMalloc(m * sizeof(size_t));
    w->row_slot = (size_t *)mxMalloc(m * sizeof(size_t));
    w->last = (size_t *)mxMalloc(most * sizeof(size_t));
    w->slot = (size_t *)mxMalloc(w->entries * sizeof(size_t));
    w->pos_c = (size_t *)mxMalloc(most * sizeof(size_t));
    w->pos_d = (size_t *)mxMalloc(most * sizeof(size_t));
    w->h = (double *)mxMalloc(n * sizeof(double));
    w->wg = (double *)mxMalloc(n * sizeof(double));
    w->g = (double *)mxMalloc(most * sizeof(double));
    w->block = (size_t *)mxMalloc(m * sizeof(size_t));
    w->block_start = (size_t *)mxMalloc((m + 1) * sizeof(size_t));
    w->slot_start = (size_t *)mxMalloc((m + 1) * sizeof(size_t));
    w->block_slots = (size_t *)mxMalloc(most * sizeof(size_t));
    if (!w->first || !w->need || !w->col_start || !w->by_col ||
        !w->stamp || !w->row_slot || !w->last || !w->slot || !w->pos_c ||
        !w->pos_d || !w->h || !w->wg || !w->g || !w->block ||
        !w->block_start || !w->slot_start || !w->block_slots)
        mexErrMsgTxt("Error: Insufficient memory\n");
}

static void release_schur_work(SchurWork *w)
{
    mxFree(w->first);
    mxFree(w->need);
    mxFree(w->col_start);
    mxFree(w->by_col);
    mxFree(w->stamp);
    mxFree(w->row_slot);
    mxFree(w->last);
    mxFree(w->slot);
    mxFree(w->pos_c);
    mxFree(w->pos_d);
    mxFree(w->h);
    mxFree(w->wg);
    mxFree(w->g);
    mxFree(w->block);
    mxFree(w->block_start);
    mxFree(w->slot_start);
    mxFree(w->block_slots);
}

/* The rows of a call, which its threads share: each takes the next row
   that none has taken, so that every row is formed once, by one thread,
   its bits the same whichever thread forms it. */
struct RowShare {
    std::atomic<size_t> next;
    size_t cols;
    bool by_blocks;
    double *out;
};

/* A thread's view of the work storage: the call's, with h, wg and g of
   its own, and cols pointing at its row's columns; and the paths its
   rows took, which the calling thread reports once they are joined. */
struct RowThread {
    SchurWork w;
    RowShare *share;
    bool within_blocks, not_finite;
};

/* The threads of a call: rows[0] is the calling thread's. */
struct ThreadWork {
    size_t count;
    RowThread *rows;
};

/* The threads a call of cols rows takes: never more than rows, one for
   each THREAD_WORK of stored entries times rows, and no more than
   THREAD_STORAGE bytes of work storage for the threads beside the
   calling one allow. The counts are taken as doubles, which hold them
   closely enough and cannot overflow; each is at most MOST_THREADS when
   it is converted. */
static size_t threads_for(const SchurWork *w, size_t cols)
{
    const double m = (double)w->m, width = (double)w->width;
    const double most = (double)most_positions(w);
    const double each = (2.0 * width * m + most) * sizeof(double);
    double count = (double)threads_now();
    const double limits[] = {(double)cols,
                             (double)w->entries * (double)cols / (double)THREAD_WORK,
                             1.0 + (double)THREAD_STORAGE / each};
    for (double limit : limits)
        if (count > limit)
            count = limit;
    return count >= 1.0 ? (size_t)count : 1;
}

/* Each thread's view, the others with h, wg and g of their own, of
   the sizes the calling thread's have; in blocks, g holds zeros. A
   comparison build requests the same, so that the allocators' events
   compare. */
static void take_thread_work(ThreadWork *t, const SchurWork *w, size_t cols,
                             bool by_blocks)
{
    const size_t m = w->m, n = w->width * m, most = most_positions(w);
    t->count = threads_for(w, cols);
    t->rows = (RowThread *)mxMalloc(t->count * sizeof(RowThread));
    if (!t->rows)
        mexErrMsgTxt("Error: Insufficient memory\n");
    for (size_t j = 0; j < t->count; j++) {
        RowThread *r = &t->rows[j];
        r->w = *w;
        r->within_blocks = r->not_finite = false;
        if (j == 0)
            continue;
        r->w.h = (double *)mxMalloc(n * sizeof(double));
        r->w.wg = (double *)mxMalloc(n * sizeof(double));
        r->w.g = (double *)mxMalloc(most * sizeof(double));
        if (!r->w.h || !r->w.wg || !r->w.g)
            mexErrMsgTxt("Error: Insufficient memory\n");
        if (by_blocks)
            memset(r->w.g, 0, w->positions * sizeof(double));
    }
}

static void release_thread_work(ThreadWork *t)
{
    for (size_t j = 1; j < t->count; j++) {
        mxFree(t->rows[j].w.h);
        mxFree(t->rows[j].w.wg);
        mxFree(t->rows[j].w.g);
    }
    mxFree(t->rows);
}

static void release_storage(SchurWork *w)
{
    mxFree(w->cell_jc);
    mxFree(w->cell_ir);
    mxFree(w->cell_pr);
    mxFree(w->values);
    mxFree(w->ecol_start);
    mxFree(w->ecols);
}

/* The entries above the diagonal of the panel's first cols rows, from
   those below it: out[i + j*rows] = out[j + i*rows] for i < j < cols. */
static void mirror(double *out, size_t rows, size_t cols)
{
    const size_t tile = 32;
    for (size_t i0 = 0; i0 < cols; i0 += tile)
        for (size_t j0 = i0; j0 < cols; j0 += tile)
            for (size_t i = i0; i < i0 + tile && i < cols; i++) {
                const size_t j_end = j0 + tile < cols ? j0 + tile : cols;
                for (size_t j = j0 > i + 1 ? j0 : i + 1; j < j_end; j++)
                    out[i + j * rows] = out[j + i * rows];
            }
}

#ifdef SDPK_KERNELS
/* a comparison build takes another kernel with the same interface */
#include SDPK_KERNELS
#else
/* The rows of column c of X that are not zero (a NaN is not zero) lie
   from lo to hi - 1; both are c for a column of zeros. */
static void nonzero_span(const double *x, size_t m, size_t c, size_t *lo,
                         size_t *hi)
{
    const double *col = x + c * m;
    size_t a = 0, b = m;
    while (a < m && col[a] == 0.0)
        a++;
    while (b > a && col[b - 1] == 0.0)
        b--;
    if (a == b)
        a = b = c;
    *lo = a;
    *hi = b;
}

/* The blocks of consecutive indices that the spans counted in cover leave:
   a border p (between p - 1 and p) that no span crosses starts a block.
   cover holds the spans over each border as differences, in unsigned
   arithmetic, whose running sums are the true counts. */
static size_t count_blocks(SchurWork *w, const size_t *cover)
{
    size_t open = 0, count = 0;
    for (size_t p = 0; p < w->m; p++) {
        open += cover[p];
        if (open == 0)
            w->block_start[count++] = p;
        w->block[p] = count - 1;
    }
    w->block_start[count] = w->m;
    w->blocks = count;
    return count;
}

/* The finest blocks of consecutive indices that hold every entry of W
   and Y that is not zero, and every stored entry of the F{j}: index c
   and the rows where column c of W or Y is not zero share a block, and
   so do the row and column of each stored entry (a span of the indices
   lo to hi - 1 crosses the borders lo + 1 to hi - 1). Returns whether
   there are two or more; stamp serves as the count of spans over each
   border. Where W and Y alone make one block, the F{j} are not read. */
static bool blocked(SchurWork *w)
{
    const size_t m = w->m;
    size_t *cover = w->stamp;
    memset(cover, 0, m * sizeof(size_t));
    for (size_t c = 0; c < m; c++) {
        size_t lo = c, hi = c + 1, a, b;
        nonzero_span(w->w_pr, m, c, &a, &b);
        lo = a < lo ? a : lo;
        hi = b > hi ? b : hi;
        nonzero_span(w->y_pr, m, c, &a, &b);
        lo = a < lo ? a : lo;
        hi = b > hi ? b : hi;
        if (lo + 1 < m)
            cover[lo + 1]++;
        if (hi < m)
            cover[hi]--;
    }
    if (count_blocks(w, cover) < 2)
        return false;
    for (size_t j = 0; j < w->k; j++) {
        const mwIndex *jc = w->cell_jc[j], *ir = w->cell_ir[j];
        for (size_t u = w->ecol_start[j]; u < w->ecol_start[j + 1]; u++) {
            const size_t d = w->ecols[u];
            for (mwIndex p = jc[d]; p < jc[d + 1]; p++) {
                const size_t c = (size_t)ir[p];
                const size_t lo = c < d ? c : d, hi = (c < d ? d : c) + 1;
                if (lo + 1 < m)
                    cover[lo + 1]++;
                if (hi < m)
                    cover[hi]--;
            }
        }
    }
    return count_blocks(w, cover) > 1;
}

/* first[j] for each j and k, and for each column d the elements that
   use it, from by_col[col_start[d]] on, F{k} first. */
static void list_columns(SchurWork *w)
{
    const size_t m = w->m, k = w->k;
    size_t *col_start = w->col_start;
    memset(col_start, 0, (m + 1) * sizeof(size_t));
    size_t x = 0;
    for (size_t j = 0; j < k; j++) {
        const mwIndex *jc = w->cell_jc[j];
        w->first[j] = x;
        x += (size_t)(jc[m] - jc[0]);
        for (size_t u = w->ecol_start[j]; u < w->ecol_start[j + 1]; u++)
            col_start[w->ecols[u] + 1]++;
    }
    w->first[k] = x;
    for (size_t d = 0; d < m; d++)   /* col_start[d]: where column d starts */
        col_start[d + 1] += col_start[d];
    for (size_t j = k; j-- > 0;)   /* each start moves to its column's end */
        for (size_t u = w->ecol_start[j]; u < w->ecol_start[j + 1]; u++)
            w->by_col[col_start[w->ecols[u]]++] = j;
    for (size_t d = m; d > 0; d--)
        col_start[d] = col_start[d - 1];
    col_start[0] = 0;
}

/* Each position once, column by column, each column's elements as
   listed. The first pass counts the positions and gives each its last
   element, the first to store it, in last; the final pass, once last holds
   each position's slot, gives each its slot and each entry its slot. */
template <bool kFinal>
static void scan_positions(SchurWork *w)
{
    const size_t m = w->m;
    size_t *stamp = w->stamp, *row_slot = w->row_slot, *last = w->last;
    memset(stamp, 0, m * sizeof(size_t));
    size_t t = 0;
    for (size_t d = 0; d < m; d++)
        for (size_t u = w->col_start[d]; u < w->col_start[d + 1]; u++) {
            const size_t j = w->by_col[u];
            const mwIndex *jc = w->cell_jc[j], *ir = w->cell_ir[j];
            size_t x = w->first[j] + (size_t)(jc[d] - jc[0]);
            for (mwIndex p = jc[d]; p < jc[d + 1]; p++, x++) {
                const size_t c = (size_t)ir[p];
                if (stamp[c] != d + 1) {   /* a position not seen before */
                    stamp[c] = d + 1;
                    if (kFinal) {
                        row_slot[c] = last[t];
                        w->pos_c[last[t]] = c;
                        w->pos_d[last[t]] = d;
                    } else {
                        last[t] = j;
                    }
                    t++;
                }
                if (kFinal)
                    w->slot[x] = row_slot[c];
            }
        }
    w->positions = t;
}

/* Slots for the positions in the order of their last elements, F{k}'s
   first, in the order scanned among those of one element; need[i] is
   then how many have F{i} or a later element as their last. */
static void order_positions(SchurWork *w)
{
    size_t *need = w->need, *last = w->last;
    memset(need, 0, w->k * sizeof(size_t));
    for (size_t t = 0; t < w->positions; t++)
        need[last[t]]++;
    size_t start = 0;
    for (size_t j = w->k; j-- > 0;) {
        const size_t count = need[j];
        need[j] = start;
        start += count;
    }
    for (size_t t = 0; t < w->positions; t++)
        last[t] = need[last[t]]++;
}

/* The slot of each position and entry, and what each row needs. */
static void list_positions(SchurWork *w)
{
    list_columns(w);
    scan_positions<false>(w);
    order_positions(w);
    scan_positions<true>(w);
}

/* The columns of F{i} that hold entries, ascending, as cols; their
   count. */
static size_t list_cols(SchurWork *w, size_t i)
{
    w->cols = w->ecols + w->ecol_start[i];
    return w->ecol_start[i + 1] - w->ecol_start[i];
}

/* H for row i, over its n columns cols: each column a of Y scaled by
   F{i}(a,b) and added in, the entries of column b in storage order. */
static void form_h(const SchurWork *w, size_t i, size_t n)
{
    const size_t m = w->m;
    const mwIndex *jc = w->cell_jc[i], *ir = w->cell_ir[i];
    const double *pr = w->cell_pr[i];
    double *h = w->h;
    memset(h, 0, n * m * sizeof(double));
    for (size_t x = 0; x < n; x++) {
        const size_t b = w->cols[x];
        for (mwIndex p = jc[b]; p < jc[b + 1]; p++) {
            const double f = pr[p];
            const double *y_col = w->y_pr + (size_t)ir[p] * m;
            for (size_t d = 0; d < m; d++)
                h[d * n + x] = h[d * n + x] + f * y_col[d];
        }
    }
}

/* W(b,c) at c*n + x for the n columns b = cols[x] of F{i}. */
static void gather_w(const SchurWork *w, size_t n)
{
    const size_t m = w->m;
    for (size_t c = 0; c < m; c++) {
        const double *w_col = w->w_pr + c * m;
        for (size_t x = 0; x < n; x++)
            w->wg[c * n + x] = w_col[w->cols[x]];
    }
}

/* G at the first `slots` slots, four side by side, each its own sum. */
static void form_g(const SchurWork *w, size_t n, size_t slots)
{
    const size_t *pos_c = w->pos_c, *pos_d = w->pos_d;
    const double *wg = w->wg, *h = w->h;
    double *g = w->g;
    size_t s = 0;
    for (; s + 4 <= slots; s += 4) {
        const double *w0 = wg + pos_c[s] * n, *h0 = h + pos_d[s] * n;
        const double *w1 = wg + pos_c[s + 1] * n, *h1 = h + pos_d[s + 1] * n;
        const double *w2 = wg + pos_c[s + 2] * n, *h2 = h + pos_d[s + 2] * n;
        const double *w3 = wg + pos_c[s + 3] * n, *h3 = h + pos_d[s + 3] * n;
        double t0 = 0.0, t1 = 0.0, t2 = 0.0, t3 = 0.0;
        for (size_t x = 0; x < n; x++) {
            t0 = t0 + w0[x] * h0[x];
            t1 = t1 + w1[x] * h1[x];
            t2 = t2 + w2[x] * h2[x];
            t3 = t3 + w3[x] * h3[x];
        }
        g[s] = t0;
        g[s + 1] = t1;
        g[s + 2] = t2;
        g[s + 3] = t3;
    }
    for (; s < slots; s++) {
        const double *wc = wg + pos_c[s] * n, *hd = h + pos_d[s] * n;
        double t = 0.0;
        for (size_t x = 0; x < n; x++)
            t = t + wc[x] * hd[x];
        g[s] = t;
    }
}

/* The sum over F{j}'s entries of F{j}(c,d) * G(c,d), in storage order. */
static double entry_sum(const SchurWork *w, size_t j)
{
    const double *pr = w->values[j];
    const size_t *slot = w->slot + w->first[j];
    const size_t nz = w->first[j + 1] - w->first[j];
    double t = 0.0;
    for (size_t p = 0; p < nz; p++)
        t = t + pr[p] * w->g[slot[p]];
    return t;
}

/* M(j,i) for j >= i, into column i of out: two elements side by side,
   each its own sum. */
static void row_entries(const SchurWork *w, size_t i, double *out)
{
    const size_t k = w->k;
    const double *g = w->g;
    double *col = out + i * k;
    size_t j = i;
    for (; j + 2 <= k; j += 2) {
        const double *pr0 = w->values[j], *pr1 = w->values[j + 1];
        const size_t *slot0 = w->slot + w->first[j];
        const size_t *slot1 = w->slot + w->first[j + 1];
        const size_t nz0 = w->first[j + 1] - w->first[j];
        const size_t nz1 = w->first[j + 2] - w->first[j + 1];
        double t0 = 0.0, t1 = 0.0;
        size_t p = 0;
        for (; p < nz0 && p < nz1; p++) {
            t0 = t0 + pr0[p] * g[slot0[p]];
            t1 = t1 + pr1[p] * g[slot1[p]];
        }
        for (size_t q = p; q < nz0; q++)
            t0 = t0 + pr0[q] * g[slot0[q]];
        for (size_t q = p; q < nz1; q++)
            t1 = t1 + pr1[q] * g[slot1[q]];
        col[j] = t0;
        col[j + 1] = t1;
    }
    if (j < k)
        col[j] = entry_sum(w, j);
}

/* The slots of each block's positions, ascending, from
   block_slots[slot_start[b]] on; row_slot serves as each block's cursor. */
static void list_block_slots(SchurWork *w)
{
    size_t *start = w->slot_start, *next = w->row_slot;
    memset(start, 0, (w->blocks + 1) * sizeof(size_t));
    for (size_t s = 0; s < w->positions; s++)
        start[w->block[w->pos_c[s]] + 1]++;
    for (size_t b = 0; b < w->blocks; b++) {
        start[b + 1] += start[b];
        next[b] = start[b];
    }
    for (size_t s = 0; s < w->positions; s++)
        w->block_slots[next[w->block[w->pos_c[s]]]++] = s;
}

/* The run of F{i}'s columns cols[x] to cols[end - 1] in the block of
   cols[x]. */
static size_t block_run(const SchurWork *w, size_t x, size_t n)
{
    const size_t b = w->block[w->cols[x]];
    size_t end = x + 1;
    while (end < n && w->block[w->cols[end]] == b)
        end++;
    return end;
}

/* G at the first `need` slots, for blocked W and Y, with g holding zeros:
   block by block of the n columns of F{i}, H within the block, then G at
   the block's slots. For a finite F{i}, the terms left out are zeros:
   H(b,d) for d outside b's block sums F{i}(a,b) times zeros of Y, +0.0,
   and G(c,d) for a column b outside the block of c and d adds a zero of
   W times that +0.0; a sum from +0.0 that leaves out zeros is the same.
   Returns false, with nothing written, where F{i} holds a value that is
   not finite, whose product with a zero is NaN. */
static bool form_g_blocked(const SchurWork *w, size_t i, size_t n,
                           size_t need)
{
    const size_t m = w->m;
    const mwIndex *jc = w->cell_jc[i], *ir = w->cell_ir[i];
    const double *pr = w->cell_pr[i];
    double check = 0.0;   /* 0 for finite values alone */
    for (mwIndex p = jc[0]; p < jc[m]; p++)
        check = check + (pr[p] - pr[p]);
    if (check != 0.0)
        return false;
    double *h = w->h;
    for (size_t x = 0; x < n;) {
        const size_t end = block_run(w, x, n), nl = end - x;
        const size_t b0 = w->block[w->cols[x]], first = w->block_start[b0];
        const size_t q = w->block_start[b0 + 1] - first;
        memset(h, 0, q * nl * sizeof(double));   /* q*nl <= m*width */
        for (size_t u = 0; u < nl; u++) {
            const size_t b = w->cols[x + u];
            for (mwIndex p = jc[b]; p < jc[b + 1]; p++) {
                const double f = pr[p];
                const double *y_col = w->y_pr + (size_t)ir[p] * m + first;
                for (size_t d = 0; d < q; d++)
                    h[d * nl + u] = h[d * nl + u] + f * y_col[d];
            }
        }
        /* W(b,c) for the block's columns b of F{i} and its c, side by side */
        double *wg = w->wg;
        for (size_t c = 0; c < q; c++) {
            const double *w_col = w->w_pr + (first + c) * m;
            for (size_t u = 0; u < nl; u++)
                wg[c * nl + u] = w_col[w->cols[x + u]];
        }
        for (size_t t = w->slot_start[b0]; t < w->slot_start[b0 + 1]; t++) {
            const size_t s = w->block_slots[t];
            if (s >= need)
                break;
            const double *wc = wg + (w->pos_c[s] - first) * nl;
            const double *hd = h + (w->pos_d[s] - first) * nl;
            double sum = 0.0;
            for (size_t u = 0; u < nl; u++)
                sum = sum + wc[u] * hd[u];
            w->g[s] = sum;
        }
        x = end;
    }
    return true;
}

/* g back to zeros at the slots form_g_blocked wrote. */
static void clear_g_blocked(const SchurWork *w, size_t n, size_t need)
{
    for (size_t x = 0; x < n;) {
        const size_t end = block_run(w, x, n), b0 = w->block[w->cols[x]];
        for (size_t t = w->slot_start[b0]; t < w->slot_start[b0 + 1]; t++) {
            if (w->block_slots[t] >= need)
                break;
            w->g[w->block_slots[t]] = 0.0;
        }
        x = end;
    }
}

/* The rows the thread takes, until none is left. An F{i} without
   entries still has its row formed: G is then +0.0, and F{j}(c,d) * G
   may be -0.0 or NaN. */
static void form_rows(RowThread *t)
{
    const SchurWork *w = &t->w;
    RowShare *share = t->share;
    for (;;) {
        const size_t i = share->next.fetch_add(1, std::memory_order_relaxed);
        if (i >= share->cols)
            return;
        const size_t n = list_cols(&t->w, i), need = w->need[i];
        if (share->by_blocks && form_g_blocked(w, i, n, need)) {
            t->within_blocks = true;
            row_entries(w, i, share->out);
            clear_g_blocked(w, n, need);
            continue;
        }
        if (share->by_blocks)
            t->not_finite = true;
        form_h(w, i, n);
        gather_w(w, n);
        form_g(w, n, need);
        row_entries(w, i, share->out);
        if (share->by_blocks)
            memset(w->g, 0, need * sizeof(double));
    }
}

#if defined(_WIN32)
typedef HANDLE Thread;
static DWORD WINAPI row_thread(LPVOID arg)
{
    form_rows((RowThread *)arg);
    return 0;
}
static bool start_thread(Thread *thread, RowThread *rows)
{
    *thread = CreateThread(NULL, 0, row_thread, rows, 0, NULL);
    return *thread != NULL;
}
static void join_thread(Thread thread)
{
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}
#else
typedef pthread_t Thread;
static void *row_thread(void *arg)
{
    form_rows((RowThread *)arg);
    return NULL;
}
static bool start_thread(Thread *thread, RowThread *rows)
{
    return pthread_create(thread, NULL, row_thread, rows) == 0;
}
static void join_thread(Thread thread)
{
    pthread_join(thread, NULL);
}
#endif

/* The rows on the call's threads, the calling thread among them; a thread
   that cannot be started leaves its rows to the others. The threads call
   nothing of the host's: the calling thread reports their paths. */
static void form_all_rows(ThreadWork *t, size_t cols, bool by_blocks,
                          double *out)
{
    RowShare share;
    share.next.store(0);
    share.cols = cols;
    share.by_blocks = by_blocks;
    share.out = out;
    Thread threads[MOST_THREADS];
    bool started[MOST_THREADS];
    size_t count = 0;
    for (size_t j = 0; j < t->count; j++)
        t->rows[j].share = &share;
    for (size_t j = 1; j < t->count; j++) {
        started[j] = start_thread(&threads[j], &t->rows[j]);
        count += started[j];
    }
    form_rows(&t->rows[0]);
    for (size_t j = 1; j < t->count; j++)
        if (started[j])
            join_thread(threads[j]);
    if (count > 0)
        KERNEL_PATH("sdp_schur: rows on several threads");
    for (size_t j = 0; j < t->count; j++) {
        if (t->rows[j].within_blocks)
            KERNEL_PATH("sdp_schur: a row within the blocks of W and Y");
        if (t->rows[j].not_finite)
            KERNEL_PATH("sdp_schur: a row of an element not finite, "
                        "among blocks");
    }
}

static void schur_matrix(size_t m, size_t k, size_t first, size_t cols,
                         const mxArray *const in[], double *out)
{
    SchurWork w;
    w.m = m;
    w.k = k - first;
    fetch_storage(&w, in, first);
    if (w.entries > 0) {
        take_schur_work(&w);
        list_positions(&w);
        const bool by_blocks = blocked(&w);
        if (by_blocks) {
            list_block_slots(&w);
            memset(w.g, 0, w.positions * sizeof(double));
        }
        ThreadWork t;
        take_thread_work(&t, &w, cols, by_blocks);
        form_all_rows(&t, cols, by_blocks, out);
        release_thread_work(&t);
        mirror(out, w.k, cols);
        release_schur_work(&w);
    } else {   /* every sum is empty */
        memset(out, 0, w.k * cols * sizeof(double));
    }
    release_storage(&w);
}
#endif
