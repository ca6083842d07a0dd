// A stand-in LAPACK for the tests of sdp_chol: dpotrf (the upper factor,
// by the unblocked textbook loop) and dtrtrs (by the reference dtrsm's
// loops), linked into a test program that exports them
// (ENABLE_EXPORTS), so that the module finds them among the process's
// symbols as it finds a real LAPACK's. Built as:
//
//   standin_lapack32     Fortran's names (dpotrf_, ...), 32-bit integers
//   standin_lapack64     Fortran's names, 64-bit integers
//   standin_lapack_bare  the names without the underscore, 64-bit integers
//   standin_lapack_potrf dpotrf_ alone, 32-bit integers
//   standin_lapack_dtrtrs a shared library of dtrtrs_ alone, 32-bit integers
//
// The routines are declared with sdp_chol's types, every integer's address
// an int64_t *; one of 32-bit integers reads the first 4 bytes there.
// Every call is recorded with its arguments as the routine read them.
#ifndef STANDIN_LAPACK_H
#define STANDIN_LAPACK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin::lapack {

// One call of a routine: its name without the underscore, its character
// arguments, and its integers as read (nrhs and ldb 0 for dpotrf).
struct Routine {
    std::string name;
    std::string chars;   // uplo, then trans and diag for dtrtrs
    int64_t n, nrhs, lda, ldb;
};
std::vector<Routine> calls();   // since the last forget()
void forget();
int integer_bits();             // the width of the integers it reads

// The loops themselves, on column-major storage with leading dimension
// lda, for the tests' expected bits. factor: dpotrf's, the factor R in the
// upper triangle, returns INFO (0, or the column where it stopped). solve:
// B := R\(R'\B), as dtrtrs with R' and then R computes it.
int64_t factor(int64_t n, double *a, int64_t lda);
void solve(int64_t n, int64_t nrhs, const double *r, int64_t lda, double *b,
           int64_t ldb);

}  // namespace standin::lapack

#endif
