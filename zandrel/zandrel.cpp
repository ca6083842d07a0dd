/*
 * zandrel: t = zandrel(A, B, C, D), the scalar trace((A + A')*B'*C*D),
 * which is 2*trace(A*B*C*D) when A and B are symmetric.
 *
 * A and C are dense, B and D sparse, all m-by-m and real. D's pattern of
 * stored entries must be symmetric: every row stored in D is then a column
 * of D that holds entries. No product matrix is formed: for each column j
 * of B that holds entries, btc_row holds row j of B'*C at the columns of D
 * that hold entries, and each column k of D then gives (B'*C*D)(j,k).
 */
#include "mexhost.h"

#include <stdio.h>
#include <string.h>

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    char msg[256];

    if (nlhs < 0 || nlhs > 1)
        mexErrMsgTxt("Error: Expecting one output argument.\n");
    if (nrhs != 4)
        mexErrMsgTxt("Error: Expecting 4 input arguments.\n");

    const size_t order = mxGetM(prhs[0]);
    for (int i = 0; i < 4; i++) {
        const mxArray *X = prhs[i];
        const unsigned pos = (unsigned)(i + 1);
        if (mxIsNumeric(X) && !mxIsComplex(X)) {
            /* A and C are read as dense doubles: no other class passes */
            if ((i == 0 || i == 2) && !mxIsDouble(X)) {
                snprintf(msg, sizeof msg,
                         "Error: Input %u is expected to be a double matrix\n",
                         pos);
                mexErrMsgTxt(msg);
            }
            if (mxGetM(X) == order && mxGetN(X) == order)
                continue;
        }
        snprintf(msg, sizeof msg,
                 "Error: Input %u is expected to be a symmetric matrix "
                 "%ux%u (%ux%u).\n", pos, (unsigned)order, (unsigned)order,
                 (unsigned)mxGetM(X), (unsigned)mxGetN(X));
        mexErrMsgTxt(msg);
    }
    const int sparse_pos[2] = {2, 4}, dense_pos[2] = {1, 3};
    for (int i = 0; i < 2; i++)
        if (!mxIsSparse(prhs[sparse_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a sparse matrix\n",
                     (unsigned)sparse_pos[i]);
            mexErrMsgTxt(msg);
        }
    for (int i = 0; i < 2; i++)
        if (mxIsSparse(prhs[dense_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a dense matrix\n",
                     (unsigned)dense_pos[i]);
            mexErrMsgTxt(msg);
        }
    /* every sparse array of the hosts is double; a stand-in may differ */
    for (int i = 0; i < 2; i++)
        if (!mxIsDouble(prhs[sparse_pos[i] - 1])) {
            snprintf(msg, sizeof msg,
                     "Error: Input %u is expected to be a double matrix\n",
                     (unsigned)sparse_pos[i]);
            mexErrMsgTxt(msg);
        }

    const mwSize m = (mwSize)order;
    double t = 0.0;
    if (m > 0) {
        /* A holds m*m doubles, so these byte counts and every offset
           j + k*m below fit in size_t */
        const size_t mm = (size_t)m;
        double *btc_row = (double *)mxMalloc(mm * sizeof(double));
        mwIndex *d_nz_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
        if (!btc_row || !d_nz_cols)
            mexErrMsgTxt("Error: Insufficient memory\n");
        /* slots that an unsymmetric pattern of D reads unwritten are 0 */
        memset(btc_row, 0, mm * sizeof(double));

        const double *a_pr = mxGetPr(prhs[0]);
        const double *b_pr = mxGetPr(prhs[1]);
        const mwIndex *b_ir = mxGetIr(prhs[1]);
        const mwIndex *b_jc = mxGetJc(prhs[1]);
        const double *c_pr = mxGetPr(prhs[2]);
        const double *d_pr = mxGetPr(prhs[3]);
        const mwIndex *d_ir = mxGetIr(prhs[3]);
        const mwIndex *d_jc = mxGetJc(prhs[3]);
        if (!a_pr || !b_pr || !b_ir || !b_jc || !c_pr || !d_pr || !d_ir ||
            !d_jc)
            mexErrMsgTxt("Error: Matrices are corrupted?\n");

        mwSize n_d_nz_cols = 0;
        for (mwSize k = 0; k < m; k++)
            if (d_jc[k] != d_jc[k + 1])
                d_nz_cols[n_d_nz_cols++] = k;

        for (mwSize j = 0; j < m; j++) {
            if (b_jc[j] == b_jc[j + 1])
                continue;
            /* btc_row(h) = (B'*C)(j,h) for the columns h of D in use */
            for (mwSize x = 0; x < n_d_nz_cols; x++) {
                const mwIndex h = d_nz_cols[x];
                const double *c_col = c_pr + (size_t)h * mm;
                double s = 0.0;
                for (mwIndex p = b_jc[j]; p < b_jc[j + 1]; p++)
                    s = s + b_pr[p] * c_col[b_ir[p]];
                btc_row[h] = s;
            }
            /* t += (A(j,k) + A(k,j)) * (B'*C*D)(j,k) */
            for (mwSize x = 0; x < n_d_nz_cols; x++) {
                const mwIndex k = d_nz_cols[x];
                double s = 0.0;
                for (mwIndex p = d_jc[k]; p < d_jc[k + 1]; p++)
                    s = s + btc_row[d_ir[p]] * d_pr[p];
                t = t + (a_pr[(size_t)j + (size_t)k * mm] +
                         a_pr[(size_t)k + (size_t)j * mm]) * s;
            }
        }
        mxFree(btc_row);
        mxFree(d_nz_cols);
    }
    plhs[0] = mxCreateDoubleScalar(t);
    if (!plhs[0])   /* no result is no success */
        mexErrMsgTxt("Error: Insufficient memory\n");
}
