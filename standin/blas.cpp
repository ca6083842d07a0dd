// The stand-in BLAS's thread count, behind the names of OpenBLAS or MKL.
#include "blas.h"
#include "standin.h"

namespace {
int count = 2;
int set_calls = 0;
}  // namespace

#if defined(STANDIN_BLAS_MKL)
#define GET_THREADS MKL_Get_Max_Threads
#define SET_THREADS MKL_Set_Num_Threads
#else
#define GET_THREADS openblas_get_num_threads
#define SET_THREADS openblas_set_num_threads
#endif

extern "C" {
STANDIN_API int GET_THREADS(void) { return count; }
STANDIN_API void SET_THREADS(int n)
{
    count = n;
    set_calls++;
}
}

namespace standin::blas {
int threads() { return count; }
int sets() { return set_calls; }
void reset(int n) { count = n; }
}  // namespace standin::blas
