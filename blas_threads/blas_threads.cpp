/*
 * blas_threads: n = blas_threads() is the number of threads that the
 * optimised BLAS loaded in the process uses now, or 0 when the process
 * holds no BLAS whose threads this routine knows how to set.
 * old = blas_threads(n) sets that number to n, a whole number from 1 to
 * MOST_THREADS, and returns the number before the call (0, and nothing
 * set, without such a BLAS).
 *
 * The BLAS it knows, each by its two functions, looked for in this order:
 *
 *   OpenBLAS   int openblas_get_num_threads(void)
 *              void openblas_set_num_threads(int)
 *   Intel MKL  int MKL_Get_Max_Threads(void)
 *              void MKL_Set_Num_Threads(int)
 *
 * Both functions of a pair must come from one library. They are looked for
 * by name among the libraries the process has loaded already, and no
 * library is ever loaded here: on POSIX systems among the process's global
 * symbols (dlsym with RTLD_DEFAULT), on Windows in each of the process's
 * modules in turn. The search is made at the first call after the host
 * loads the routine, and kept until it unloads it.
 */
#include "mexhost.h"

#include "loaded_pair.h"

#include <stdio.h>

/* The most threads a caller may ask for: far more cores than any machine
   the hosts run on has, and an int everywhere. A BLAS may take fewer
   (OpenBLAS at most the number it was built for). */
#define MOST_THREADS 4096

typedef int (*GetThreads)(void);
typedef void (*SetThreads)(int);

/* The names of a BLAS's two functions, get and set. */
static const char *const known[][2] = {
    {"openblas_get_num_threads", "openblas_set_num_threads"},
    {"MKL_Get_Max_Threads", "MKL_Set_Num_Threads"}};

/* The pair found, both null without one. */
static bool looked;
static GetThreads get_threads;
static SetThreads set_threads;

static int read_threads(const mxArray *N);
static void find_blas(void);

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs > 1)
        mexErrMsgTxt("Error: Expecting at most one input argument.\n");
    const int n = nrhs == 1 ? read_threads(prhs[0]) : 0;

    if (!looked) {
        find_blas();
        looked = true;
    }
    /* the result is made before anything is set: an error leaves the
       count as it was */
    plhs[0] = mxCreateDoubleScalar(get_threads ? (double)get_threads() : 0.0);
    if (!plhs[0])
        mexErrMsgTxt("Error: Insufficient memory\n");
    if (n > 0 && set_threads)
        set_threads(n);
}

/* n: a real, dense double scalar holding a whole number from 1 to
   MOST_THREADS, tested as a double before it is converted. */
static int read_threads(const mxArray *N)
{
    const double v = mxIsNumeric(N) && !mxIsComplex(N) && mxIsDouble(N) &&
                             !mxIsSparse(N) && mxGetNumberOfElements(N) == 1
                         ? mxGetScalar(N) : 0.0;
    if (!(v >= 1.0 && v <= MOST_THREADS) || v != (double)(int)v) {
        char msg[128];
        snprintf(msg, sizeof msg, "Error: Input 1 is expected to be a whole "
                 "number from 1 to %d\n", MOST_THREADS);
        mexErrMsgTxt(msg);
    }
    return (int)v;
}

/* Both functions of a BLAS, from one library. */
static void find_blas(void)
{
    LoadedFunction get, set;
    if (find_loaded_pair(known, sizeof known / sizeof known[0], &get, &set)) {
        get_threads = (GetThreads)get;
        set_threads = (SetThreads)set;
    }
}
