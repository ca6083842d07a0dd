/*
 * sdp_chol: the Cholesky factor of a symmetric positive definite matrix,
 * made by LAPACK in storage this routine keeps from one call to the next,
 * and the solves with it.
 *
 *   p = sdp_chol('factor', M)         factors M, reading its upper triangle
 *   p = sdp_chol('factor', M, shift)  factors M + shift*I
 *   [p, R] = sdp_chol('factor', ...)  also returns the factor R
 *   X = sdp_chol('solve', B)          X = R\(R'\B) by the factor kept
 *   X = sdp_chol('solve', B, R)       X = R\(R'\B) by the factor R given
 *   sdp_chol('release')               lets the storage go
 *   found = sdp_chol('lapack')        1 where the process holds LAPACK
 *
 * An interior-point method factors a matrix of one order every iteration.
 * A factor returned as a new array costs the first touch of every page of
 * it each time: above the allocator's threshold for mapping (32 MiB with
 * glibc) the array is mapped afresh, and on a virtual machine its page
 * faults cost more than the factorization's arithmetic. The factor kept
 * here is written where the last one was.
 *
 * The solves are LAPACK's triangular solves, dtrtrs with R' and then with
 * R: the bits of the host's own backslash with R' and R (Octave's calls
 * dtrtrs, and then estimates the condition, which these skip). dpotrs,
 * whose solves are the BLAS's dtrsm, rounds differently (OpenBLAS
 * multiplies by the diagonal's reciprocals), and on ill-conditioned
 * systems by enough to move an interior-point method's iterations.
 *
 * LAPACK's dpotrf and dtrtrs are looked for by name among the libraries
 * the process has loaded already (the host's own LAPACK, the one its chol
 * calls), with and without the trailing underscore, both from one library;
 * no library is ever loaded here. Their integer arguments are passed as
 * 64-bit integers holding values below 2^31: a LAPACK of 32-bit integers
 * on a little-endian machine reads the low half of each, the same value,
 * and writes its INFO into the low half of one set to zero. On a
 * big-endian machine no LAPACK is used.
 */
#include "mexhost.h"

#include "loaded_pair.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* A 64-bit Linux release file asks glibc for memcpy at its first version,
   as the modules ask for nothing newer (2.14's may not copy overlapping
   blocks, and no copy here overlaps). */
#if defined(MEXHOST_DECLARE) && defined(__GLIBC__) && defined(__x86_64__)
__asm__(".symver memcpy,memcpy@GLIBC_2.2.5");
#endif

/* LAPACK's routines as Fortran passes them: every argument by address,
   and the length of each character argument after the others (1 here;
   a LAPACK that takes no lengths ignores it). */
typedef void (*Potrf)(const char *uplo, const int64_t *n, double *a,
                      const int64_t *lda, int64_t *info, size_t uplo_length);
typedef void (*Trtrs)(const char *uplo, const char *trans, const char *diag,
                      const int64_t *n, const int64_t *nrhs, const double *a,
                      const int64_t *lda, double *b, const int64_t *ldb,
                      int64_t *info, size_t uplo_length, size_t trans_length,
                      size_t diag_length);

/* The routines found, both null without them. */
static bool looked;
static Potrf potrf;
static Trtrs trtrs;

/* The storage kept: room for `room` doubles, the factor of order `order`
   in its upper triangle (column-major, leading dimension `order`), or no
   factor while `order` is negative. */
static double *kept;
static size_t room;
static int64_t order = -1;

/* Below 2^31, every value a LAPACK of either integer width reads alike. */
#define MOST_ORDER 2147483647

static void find_lapack(void);
static void release(void);
static int command_of(const mxArray *a);
static const double *dense_matrix(const mxArray *a, int input, size_t *m,
                                  size_t *n);
static double factor(const double *a, size_t n, double shift);
static mxArray *solve(const double *b, size_t m, size_t n, const double *r);

enum { FACTOR, SOLVE, RELEASE, LAPACK };

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs < 1)
        mexErrMsgTxt("Error: Expecting a command: 'factor', 'solve', "
                     "'release' or 'lapack'.\n");
    const int command = command_of(prhs[0]);
    const int most_in[] = {3, 3, 1, 1};
    const int least_in[] = {2, 2, 1, 1};
    const int most_out[] = {2, 1, 0, 1};
    if (nrhs < least_in[command] || nrhs > most_in[command])
        mexErrMsgTxt(command == FACTOR || command == SOLVE
                         ? "Error: Expecting 2 or 3 input arguments.\n"
                         : "Error: Expecting 1 input argument.\n");
    if (nlhs > (most_out[command] > 0 ? most_out[command] : 1))
        mexErrMsgTxt(most_out[command] == 2
                         ? "Error: Expecting at most two output arguments.\n"
                         : "Error: Expecting at most one output argument.\n");
    if (!looked) {
        find_lapack();
        looked = true;
    }

    switch (command) {
    case FACTOR: {
        double shift = 0.0;
        if (nrhs == 3) {
            const mxArray *s = prhs[2];
            shift = mxIsNumeric(s) && !mxIsComplex(s) && mxIsDouble(s) &&
                            !mxIsSparse(s) && mxGetNumberOfElements(s) == 1
                        ? mxGetScalar(s) : -1.0;
            if (!(shift >= 0.0 && shift <= 1.79769313486231570815e308))
                mexErrMsgTxt("Error: Input 3 is expected to be a finite, "
                             "nonnegative double scalar\n");
        }
        if (!potrf)
            mexErrMsgTxt("Error: The process holds no LAPACK with dpotrf "
                         "and dtrtrs\n");
        size_t m, n;
        const double *a = dense_matrix(prhs[1], 2, &m, &n);
        if (m != n)
            mexErrMsgTxt("Error: Input 2 is expected to be square\n");
        /* the results are made before the factor: a refused array leaves
           the factor kept as it was, as a refused argument does */
        mxArray *p = mxCreateDoubleScalar(0.0);
        mxArray *R = NULL;
        if (nlhs == 2)
            R = mxCreateDoubleMatrix((mwSize)n, (mwSize)n, mxREAL);
        if (!p || (nlhs == 2 && !R))
            mexErrMsgTxt("Error: Insufficient memory\n");
        double *p_pr = mxGetPr(p);
        double *r = R ? mxGetPr(R) : NULL;
        if (!p_pr || (R && n > 0 && !r))
            mexErrMsgTxt("Error: Matrices are corrupted?\n");
        p_pr[0] = factor(a, n, shift);
        plhs[0] = p;
        if (R) {
            const double *k = kept;
            /* the upper triangle, zeros below it (R starts zeroed) */
            for (size_t j = 0; order > 0 && j < n; j++)
                memcpy(r + j * n, k + j * n, (j + 1) * sizeof(double));
            plhs[1] = R;
        }
        break;
    }
    case SOLVE: {
        size_t m, n;
        if (nrhs == 2) {
            if (order < 0)
                mexErrMsgTxt("Error: No factor is kept: factor a matrix "
                             "first\n");
            const double *b = dense_matrix(prhs[1], 2, &m, &n);
            if ((int64_t)m != order) {
                char msg[96];
                snprintf(msg, sizeof msg, "Error: Input 2 is expected to have "
                         "%lld rows, the order of the factor kept\n",
                         (long long)order);
                mexErrMsgTxt(msg);
            }
            plhs[0] = solve(b, m, n, kept);
            break;
        }
        /* a factor of the caller's, the one kept left as it is */
        if (!trtrs)
            mexErrMsgTxt("Error: The process holds no LAPACK with dpotrf "
                         "and dtrtrs\n");
        const double *b = dense_matrix(prhs[1], 2, &m, &n);
        size_t rm, rn;
        const double *r = dense_matrix(prhs[2], 3, &rm, &rn);
        if (rm != m || rn != m)
            mexErrMsgTxt("Error: Input 3 is expected to be square, of as many "
                         "rows as input 2\n");
        /* dtrtrs stops at a zero on the diagonal; a factor has none, nor
           a value below zero or one that is not finite */
        for (size_t j = 0; j < m; j++) {
            const double d = r[j * m + j];
            if (!(d > 0.0 && d - d == 0.0))
                mexErrMsgTxt("Error: Input 3 is expected to have a positive, "
                             "finite diagonal\n");
        }
        plhs[0] = solve(b, m, n, r);
        break;
    }
    case RELEASE:
        release();
        break;
    case LAPACK:
        plhs[0] = mxCreateDoubleScalar(potrf ? 1.0 : 0.0);
        if (!plhs[0])
            mexErrMsgTxt("Error: Insufficient memory\n");
        break;
    }
}

/* Input 1: one of the four commands, as a character row. */
static int command_of(const mxArray *a)
{
    static const char *const names[] = {"factor", "solve", "release",
                                        "lapack"};
    int command = -1;
    if (mxIsChar(a) && mxGetM(a) == 1 && mxGetN(a) <= 7) {
        char *text = mxArrayToString(a);
        if (!text)
            mexErrMsgTxt("Error: Insufficient memory\n");
        for (int c = 0; c < 4; c++)
            if (strcmp(text, names[c]) == 0)
                command = c;
        mxFree(text);
    }
    if (command < 0)
        mexErrMsgTxt("Error: Input 1 is expected to be 'factor', 'solve', "
                     "'release' or 'lapack'\n");
    return command;
}

/* A real, dense double matrix of at most MOST_ORDER rows and columns, and
   its values, which must be there unless it has none. */
static const double *dense_matrix(const mxArray *a, int input, size_t *m,
                                  size_t *n)
{
    if (!mxIsNumeric(a) || mxIsComplex(a) || !mxIsDouble(a) ||
        mxIsSparse(a)) {
        char msg[96];
        snprintf(msg, sizeof msg, "Error: Input %d is expected to be a real, "
                 "dense double matrix\n", input);
        mexErrMsgTxt(msg);
    }
    *m = mxGetM(a);
    *n = mxGetN(a);
    if (*m > MOST_ORDER || *n > MOST_ORDER) {
        char msg[96];
        snprintf(msg, sizeof msg, "Error: Input %d is too large for "
                 "LAPACK\n", input);
        mexErrMsgTxt(msg);
    }
    const double *values = mxGetPr(a);
    if (!values && *m > 0 && *n > 0)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    return values;
}

/* Factors M + shift*I, M of order n at a, into the storage kept, growing
   it first if it must. Returns 0, or the order of the first leading minor
   found not positive definite: the first column where M's upper triangle
   holds a value that is not finite, where LAPACK stops, or where the
   factor's diagonal holds one that is not positive and finite, whichever
   comes first. Every nonzero result leaves no factor kept. */
static double factor(const double *a, size_t n, double shift)
{
    order = -1;
    /* n*n doubles, n below 2^31: n*n below 2^62, which a 64-bit size_t
       holds; a 32-bit one may not */
    if (n > 0 && n > (size_t)-1 / sizeof(double) / n)
        mexErrMsgTxt("Error: Insufficient memory\n");
    const size_t count = n * n;
    if (count > room) {
        release();
        kept = (double *)mxMalloc(count * sizeof(double));
        if (!kept)
            mexErrMsgTxt("Error: Insufficient memory\n");
        mexMakeMemoryPersistent(kept);
        room = count;
    }
    /* the upper triangle, column by column, up to the first column that
       holds a value that is not finite: `lead` columns */
    double *k = kept;
    size_t lead = 0;
    for (; lead < n; lead++) {
        const double *from = a + lead * n;
        double *to = k + lead * n;
        size_t i = 0;
        while (i <= lead && from[i] - from[i] == 0.0) {
            to[i] = from[i];
            i++;
        }
        if (i <= lead)
            break;
        to[lead] = to[lead] + shift;
    }
    /* those columns factored: LAPACK stops at the first of them whose
       leading minor it finds not positive definite */
    const int64_t n64 = (int64_t)n, lead64 = (int64_t)lead;
    int64_t info = 0;
    if (lead > 0)
        potrf("U", &lead64, k, &n64, &info, 1);
    if (info < 0 || info > lead64)   /* an illegal argument: none is passed */
        info = lead64;
    /* the columns it finished, before the one it stopped at */
    const size_t done = info > 0 ? (size_t)info - 1 : lead;
    for (size_t j = 0; j < done; j++) {
        const double d = k[j * n + j];
        if (!(d > 0.0 && d - d == 0.0))
            return (double)(j + 1);
    }
    if (info > 0)
        return (double)info;
    if (lead < n)
        return (double)(lead + 1);
    order = n64;
    return 0.0;
}

/* X = R\(R'\B) for the m-by-n B at b and the factor R of order m at r,
   upper triangular with a positive diagonal, its leading dimension m. */
static mxArray *solve(const double *b, size_t m, size_t n, const double *r)
{
    mxArray *X = mxCreateDoubleMatrix((mwSize)m, (mwSize)n, mxREAL);
    if (!X)
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *x = mxGetPr(X);
    if (!x && m > 0 && n > 0)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");
    if (m > 0 && n > 0) {
        memcpy(x, b, m * n * sizeof(double));
        /* R'*y = B, then R*x = y; R's diagonal is positive, so neither
           reports a singular factor */
        const int64_t m64 = (int64_t)m, n64 = (int64_t)n;
        int64_t info = 0;
        trtrs("U", "T", "N", &m64, &n64, r, &m64, x, &m64, &info, 1, 1, 1);
        trtrs("U", "N", "N", &m64, &n64, r, &m64, x, &m64, &info, 1, 1, 1);
    }
    return X;
}

static void release(void)
{
    if (kept)
        mxFree(kept);
    kept = NULL;
    room = 0;
    order = -1;
}

/* Only a little-endian machine reads a 64-bit integer's value from its
   first 4 bytes. */
static bool little_endian(void)
{
    const uint32_t one = 1;
    unsigned char first;
    memcpy(&first, &one, 1);
    return first == 1;
}

/* dpotrf and dtrtrs, from one library, with the trailing underscore of
   most Fortran compilers' names and then without it (MATLAB's LAPACK on
   Windows). */
static void find_lapack(void)
{
    mexAtExit(release);
    if (!little_endian())
        return;
    static const char *const names[][2] = {{"dpotrf_", "dtrtrs_"},
                                           {"dpotrf", "dtrtrs"}};
    LoadedFunction f, s;
    if (find_loaded_pair(names, sizeof names / sizeof names[0], &f, &s)) {
        potrf = (Potrf)f;
        trtrs = (Trtrs)s;
    }
}
