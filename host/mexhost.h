/*
 * The host interface as the modules use it.
 *
 * A module built by a host's own tool (Octave's `mkoctfile --mex`, MATLAB's
 * `mex`) gets that host's own mex.h. The project's builds define
 * MEXHOST_DECLARE and get the declarations below instead, with the index
 * width and the binding of the index-taking operations chosen per platform.
 *
 * Every module includes this header first, so the ban on contracting a
 * product and a sum into one fused multiply-add below covers the whole
 * module: the order and rounding of every sum is part of each result.
 */
#ifndef MEXHOST_H
#define MEXHOST_H

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#elif defined(_MSC_VER)
#pragma fp_contract(off)
#endif
/* 32-bit x86 compilers default to the x87 unit, whose 80-bit registers
   round every product and sum twice; SSE2 rounds once, as on 64-bit. */
#if defined(__i386__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SSE2_MATH__)
#pragma GCC target("sse2", "fpmath=sse")
#endif

#ifndef MEXHOST_DECLARE

#include "mex.h"

#else /* the project's own builds */

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

/* Index width: signed 32-bit in the 32-bit builds, unsigned 64-bit in the
 * 64-bit builds. */
#if UINTPTR_MAX == 0xffffffffu
#define MEXHOST_INDEX_32 1
typedef int32_t mwIndex;
typedef int32_t mwSize;
#else
typedef uint64_t mwIndex;
typedef uint64_t mwSize;
#endif

/*
 * Binding of the operations that take or give indices or sizes:
 *
 *   32-bit builds (Windows, macOS, Linux)   mxGetIr_700, ...
 *   64-bit Windows                          mxGetIr_730, ...
 *   64-bit Linux                            mxGetIr at symbol version v7.3
 *
 * The stand-in host defines MEXHOST_IMPLEMENTATION: it defines these names
 * itself, and its version script gives them their version.
 */
#if defined(MEXHOST_INDEX_32)
#define mxGetIr              mxGetIr_700
#define mxGetJc              mxGetJc_700
#define mxGetNzmax           mxGetNzmax_700
#define mxGetCell            mxGetCell_700
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
#define mxCreateSparse       mxCreateSparse_700
#elif defined(_WIN64)
#define mxGetIr              mxGetIr_730
#define mxGetJc              mxGetJc_730
#define mxGetNzmax           mxGetNzmax_730
#define mxGetCell            mxGetCell_730
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_730
#define mxCreateSparse       mxCreateSparse_730
#elif defined(__linux__) && !defined(MEXHOST_IMPLEMENTATION)
__asm__(".symver mxGetIr,mxGetIr@v7.3");
__asm__(".symver mxGetJc,mxGetJc@v7.3");
__asm__(".symver mxGetNzmax,mxGetNzmax@v7.3");
__asm__(".symver mxGetCell,mxGetCell@v7.3");
__asm__(".symver mxCreateDoubleMatrix,mxCreateDoubleMatrix@v7.3");
__asm__(".symver mxCreateSparse,mxCreateSparse@v7.3");
#endif

#if defined(_WIN32) && !defined(MEXHOST_IMPLEMENTATION)
#define MEXHOST_IMPORT __declspec(dllimport)
#elif defined(_WIN32)
#define MEXHOST_IMPORT __declspec(dllexport)
#else
#define MEXHOST_IMPORT
#endif

#if defined(_WIN32)
#define MEXHOST_EXPORT __declspec(dllexport)
#else
#define MEXHOST_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;
typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* libmex */
MEXHOST_IMPORT void mexErrMsgTxt(const char *text);
MEXHOST_IMPORT int mexAtExit(void (*at_exit)(void));
MEXHOST_IMPORT void mexMakeMemoryPersistent(void *block);

/* libmx: queries */
MEXHOST_IMPORT size_t mxGetM(const mxArray *a);
MEXHOST_IMPORT size_t mxGetN(const mxArray *a);
MEXHOST_IMPORT size_t mxGetNumberOfElements(const mxArray *a);
MEXHOST_IMPORT bool mxIsNumeric(const mxArray *a);
MEXHOST_IMPORT bool mxIsComplex(const mxArray *a);
MEXHOST_IMPORT bool mxIsSparse(const mxArray *a);
MEXHOST_IMPORT bool mxIsDouble(const mxArray *a);
MEXHOST_IMPORT bool mxIsCell(const mxArray *a);
MEXHOST_IMPORT bool mxIsChar(const mxArray *a);
MEXHOST_IMPORT double mxGetScalar(const mxArray *a);
MEXHOST_IMPORT double *mxGetPr(const mxArray *a);
MEXHOST_IMPORT mwIndex *mxGetIr(const mxArray *a);
MEXHOST_IMPORT mwIndex *mxGetJc(const mxArray *a);
MEXHOST_IMPORT mwSize mxGetNzmax(const mxArray *a);
MEXHOST_IMPORT mxArray *mxGetCell(const mxArray *a, mwIndex i);
/* a character array's text, in a block from mxMalloc */
MEXHOST_IMPORT char *mxArrayToString(const mxArray *a);

/* libmx: creation */
MEXHOST_IMPORT mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n,
                                             mxComplexity c);
MEXHOST_IMPORT mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax,
                                       mxComplexity c);
MEXHOST_IMPORT mxArray *mxCreateDoubleScalar(double v);

/* libmx: the allocator */
MEXHOST_IMPORT void *mxMalloc(size_t bytes);
MEXHOST_IMPORT void *mxRealloc(void *block, size_t bytes);
MEXHOST_IMPORT void mxFree(void *block);

/* A traced test build reports each faster path of a kernel as it takes
   it (KERNEL_PATH below); only the stand-in host defines this. */
#if defined(MEXHOST_TRACE)
MEXHOST_IMPORT void mexhostPath(const char *name);
#endif

/* The entry point every module defines. */
MEXHOST_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                const mxArray *prhs[]);

#ifdef __cplusplus
}
#endif

#endif /* MEXHOST_DECLARE */

/* KERNEL_PATH(name): a traced test build tells the host which path of a
   kernel a call took, so that a test can check that its case reaches the
   path it is named after; every other build compiles the name away. */
#if defined(MEXHOST_TRACE) && defined(MEXHOST_DECLARE)
#define KERNEL_PATH(name) mexhostPath(name)
#else
#define KERNEL_PATH(name) ((void)0)
#endif

#endif /* MEXHOST_H */
