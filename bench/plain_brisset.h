/*
 * The trace-vector kernel as plain loops, the baseline that the benchmarks
 * and the differential test compare the module's own kernel with. Included
 * by brisset.cpp in a comparison build (SDPK_KERNELS).
 */
static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k)
{
    char msg[256];

    for (mwSize i = 0; i < k; i++)
        r[i] = 0.0;
    const mwSize m = (mwSize)mxGetM(A);
    if (m == 0)
        return 0;

    /* A holds m*m doubles and D k elements, so these byte counts and every
       offset b + p*m below fit in size_t */
    const size_t mm = (size_t)m, kk = (size_t)k;
    mwIndex *b_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    mwIndex *d_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    double *btc_col = (double *)mxMalloc(mm * sizeof(double));
    mwIndex *row_stamp = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    double *row_val = (double *)mxMalloc(mm * sizeof(double));
    mwIndex **cell_jc = (mwIndex **)mxMalloc(kk * sizeof(mwIndex *));
    mwIndex **cell_ir = (mwIndex **)mxMalloc(kk * sizeof(mwIndex *));
    double **cell_pr = (double **)mxMalloc(kk * sizeof(double *));
    if (!b_cols || !d_cols || !btc_col || !row_stamp || !row_val ||
        !cell_jc || !cell_ir || !cell_pr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    const double *a_pr = mxGetPr(A);
    const double *c_pr = mxGetPr(C);
    const double *b_pr = mxGetPr(B);
    const mwIndex *b_ir = mxGetIr(B);
    const mwIndex *b_jc = mxGetJc(B);
    if (!a_pr || !c_pr || !b_pr || !b_ir || !b_jc)
        mexErrMsgTxt("Error: Matrices are corrupted?\n");

    for (mwSize i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        if (!E) {
            snprintf(msg, sizeof msg, "Error: %u element of the cell array "
                     "(4th arg.) is empty.\n", (unsigned)(i + 1));
            mexErrMsgTxt(msg);
        }
        cell_pr[i] = mxGetPr(E);
        cell_ir[i] = mxGetIr(E);
        cell_jc[i] = mxGetJc(E);
        if (!cell_pr[i] || !cell_ir[i] || !cell_jc[i])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
    }

    mwSize n_b_cols = 0;                 /* the columns of B in use */
    for (mwSize j = 0; j < m; j++)
        if (b_jc[j] < b_jc[j + 1])
            b_cols[n_b_cols++] = (mwIndex)j;

    for (mwSize j = 0; j < m; j++)       /* the columns any D{i} uses */
        d_cols[j] = 0;
    for (mwSize i = 0; i < k; i++)
        for (mwSize j = 0; j < m; j++)
            if (cell_jc[i][j] < cell_jc[i][j + 1])
                d_cols[j] = 1;
    mwSize n_d_cols = 0;
    for (mwSize j = 0; j < m; j++)
        if (d_cols[j])
            d_cols[n_d_cols++] = (mwIndex)j;   /* never passes slot j */

    for (mwSize p = 0; p < m; p++)
        row_stamp[p] = 0;
    for (mwSize t = 0; t < n_d_cols; t++) {
        const mwIndex q = d_cols[t];
        const double *c_col = c_pr + (size_t)q * mm;
        for (mwSize h = 0; h < n_b_cols; h++) {   /* column q of B'*C */
            const mwIndex b = b_cols[h];
            btc_col[h] = 0.0;
            for (mwIndex f = b_jc[b]; f < b_jc[b + 1]; f++)
                btc_col[h] = b_pr[f] * c_col[b_ir[f]] + btc_col[h];
        }
        for (mwSize i = 0; i < k; i++) {
            const mwIndex *ir = cell_ir[i];
            const double *pr = cell_pr[i];
            for (mwIndex e = cell_jc[i][q]; e < cell_jc[i][q + 1]; e++) {
                const mwIndex p = ir[e];
                if (row_stamp[p] <= (mwIndex)t) {   /* stale: recompute */
                    const double *a_col = a_pr + (size_t)p * mm;
                    row_val[p] = 0.0;
                    for (mwSize h = 0; h < n_b_cols; h++)
                        row_val[p] = a_col[b_cols[h]] * btc_col[h] + row_val[p];
                    row_stamp[p] = (mwIndex)t + 1;
                }
                r[i] = row_val[p] * pr[e] + r[i];
            }
        }
    }
    for (mwSize i = 0; i < k; i++)
        r[i] = 2 * r[i];

    mxFree(b_cols);
    mxFree(d_cols);
    mxFree(btc_col);
    mxFree(row_stamp);
    mxFree(row_val);
    mxFree(cell_jc);
    mxFree(cell_ir);
    mxFree(cell_pr);
    return 0;
}

