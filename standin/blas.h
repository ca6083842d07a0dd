// A stand-in optimised BLAS for the tests of blas_threads: the thread-count
// functions of OpenBLAS, or built with STANDIN_BLAS_MKL those of Intel MKL,
// linked into a test program that exports them (ENABLE_EXPORTS), so that a
// module finds them among the process's symbols as it finds a real BLAS's.
// The count starts at 2.
#ifndef STANDIN_BLAS_H
#define STANDIN_BLAS_H

namespace standin::blas {

int threads();          // the count held now
int sets();             // how many times a module has set it
void reset(int count);  // the count, set from the test side (not counted)

}  // namespace standin::blas

#endif
