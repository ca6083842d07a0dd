// The stand-in LAPACK's routines, as lapack.h describes them: the integer
// width (STANDIN_LAPACK_INT64), the names (STANDIN_LAPACK_BARE) and which
// routines are exported (STANDIN_LAPACK_POTRF_ONLY, STANDIN_LAPACK_DTRTRS_ONLY)
// are chosen when it is built.
#include "lapack.h"
#include "standin.h"   // STANDIN_API, and no contraction (mexhost.h)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Every integer is handed over by address, and the routines are declared
// with the module's types for them (64-bit), so that a sanitizer's check
// of function types holds, as a Fortran LAPACK has none. The 32-bit build
// reads each integer from the first 4 bytes at its address and writes
// INFO into them alone, as a LAPACK of 32-bit integers does.
#if defined(STANDIN_LAPACK_INT64)
using Int = int64_t;
#else
using Int = int32_t;
#endif

Int get(const int64_t *at)
{
    Int v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

void put(int64_t *at, Int v) { std::memcpy(at, &v, sizeof v); }

std::vector<standin::lapack::Routine> recorded;

[[noreturn]] void unsupported(const char *what)
{
    std::fprintf(stderr, "stand-in LAPACK: %s\n", what);
    std::abort();
}

// The reference dtrsm for side 'L', uplo 'U', diag 'N' and alpha 1: with
// R' (trans 'T') or with R (trans 'N').
void trsm(bool transposed, int64_t n, int64_t nrhs, const double *a,
          int64_t lda, double *b, int64_t ldb)
{
    for (int64_t j = 0; j < nrhs; j++) {
        double *bj = b + j * ldb;
        if (transposed) {
            for (int64_t i = 0; i < n; i++) {
                double temp = bj[i];
                for (int64_t k = 0; k < i; k++)
                    temp = temp - a[k + i * lda] * bj[k];
                temp = temp / a[i + i * lda];
                bj[i] = temp;
            }
        } else {
            for (int64_t k = n - 1; k >= 0; k--) {
                if (bj[k] != 0.0) {
                    bj[k] = bj[k] / a[k + k * lda];
                    for (int64_t i = 0; i < k; i++)
                        bj[i] = bj[i] - bj[k] * a[i + k * lda];
                }
            }
        }
    }
}

#if !defined(STANDIN_LAPACK_DTRTRS_ONLY)
void record(const char *name, std::string chars, Int n, Int nrhs, Int lda, Int ldb)
{
    recorded.push_back({name, std::move(chars), n, nrhs, lda, ldb});
}
#else
void record(const char *, std::string, Int, Int, Int, Int) {}
#endif

}  // namespace

namespace standin::lapack {

// dpotf2, the reference's unblocked dpotrf, for the upper triangle: each
// diagonal entry less the dot product of its column above it, then the
// rest of its row less the dot products of the columns above them, scaled
// by the diagonal's reciprocal.
int64_t factor(int64_t n, double *a, int64_t lda)
{
    for (int64_t j = 0; j < n; j++) {
        double *cj = a + j * lda;
        double dot = 0.0;
        for (int64_t k = 0; k < j; k++)
            dot = dot + cj[k] * cj[k];
        double ajj = cj[j] - dot;
        if (ajj <= 0.0 || std::isnan(ajj)) {
            cj[j] = ajj;
            return j + 1;
        }
        ajj = std::sqrt(ajj);
        cj[j] = ajj;
        const double scale = 1.0 / ajj;
        for (int64_t i = j + 1; i < n; i++) {
            double *ci = a + i * lda;
            double temp = 0.0;
            for (int64_t k = 0; k < j; k++)
                temp = temp + ci[k] * cj[k];
            ci[j] = ci[j] + -1.0 * temp;
            ci[j] = scale * ci[j];
        }
    }
    return 0;
}

void solve(int64_t n, int64_t nrhs, const double *r, int64_t lda, double *b,
           int64_t ldb)
{
    trsm(true, n, nrhs, r, lda, b, ldb);
    trsm(false, n, nrhs, r, lda, b, ldb);
}

#if !defined(STANDIN_LAPACK_DTRTRS_ONLY)
std::vector<Routine> calls() { return recorded; }
void forget() { recorded.clear(); }
int integer_bits() { return 8 * static_cast<int>(sizeof(Int)); }
#endif

}  // namespace standin::lapack

#if defined(STANDIN_LAPACK_BARE)
#define FORTRAN_NAME(name) name
#else
#define FORTRAN_NAME(name) name##_
#endif

extern "C" {

#if !defined(STANDIN_LAPACK_DTRTRS_ONLY)
STANDIN_API void FORTRAN_NAME(dpotrf)(const char *uplo, const int64_t *n_at, double *a,
                                      const int64_t *lda_at, int64_t *info, size_t)
{
    const Int n = get(n_at), lda = get(lda_at);
    record("dpotrf", std::string(uplo, 1), n, 0, lda, 0);
    if (*uplo != 'U')
        unsupported("dpotrf: the upper triangle alone");
    const Int code = n < 0 ? -2 : lda < (n > 1 ? n : 1) ? -4 : 0;
    put(info, code != 0 ? code : static_cast<Int>(standin::lapack::factor(n, a, lda)));
}
#endif

#if !defined(STANDIN_LAPACK_POTRF_ONLY)
STANDIN_API void FORTRAN_NAME(dtrtrs)(const char *uplo, const char *trans,
                                      const char *diag, const int64_t *n_at,
                                      const int64_t *nrhs_at, const double *a,
                                      const int64_t *lda_at, double *b,
                                      const int64_t *ldb_at, int64_t *info, size_t,
                                      size_t, size_t)
{
    const Int n = get(n_at), nrhs = get(nrhs_at), lda = get(lda_at), ldb = get(ldb_at);
    record("dtrtrs", std::string{*uplo, *trans, *diag}, n, nrhs, lda, ldb);
    if (*uplo != 'U' || (*trans != 'T' && *trans != 'N') || *diag != 'N')
        unsupported("dtrtrs: an upper triangle with its diagonal alone");
    const Int least = n > 1 ? n : 1;
    const Int code = n < 0 ? -4 : nrhs < 0 ? -5 : lda < least ? -7 : ldb < least ? -9 : 0;
    put(info, code);
    if (code != 0)
        return;
    for (Int i = 0; i < n; i++)   // a zero on the diagonal: singular
        if (a[i + i * lda] == 0.0) {
            put(info, i + 1);
            return;
        }
    trsm(*trans == 'T', n, nrhs, a, lda, b, ldb);
}
#endif

}  // extern "C"
