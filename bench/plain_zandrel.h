/*
 * The four-factor trace as plain loops, the baseline that the benchmarks
 * and the differential test compare the module's own loops with. Included
 * by zandrel.cpp in a comparison build (SDPK_KERNELS).
 */
static double four_factor_trace(mwSize m, const mxArray *const in[])
{
    double t = 0.0;
    /* A holds m*m doubles, so these byte counts and every offset
       j + k*m below fit in size_t */
    const size_t mm = (size_t)m;
    double *btc_row = (double *)mxMalloc(mm * sizeof(double));
    mwIndex *d_nz_cols = (mwIndex *)mxMalloc(mm * sizeof(mwIndex));
    if (!btc_row || !d_nz_cols)
        mexErrMsgTxt("Error: Insufficient memory\n");
    /* slots that an unsymmetric pattern of D reads unwritten are 0 */
    memset(btc_row, 0, mm * sizeof(double));

    const double *a_pr = mxGetPr(in[0]);
    const double *b_pr = mxGetPr(in[1]);
    const mwIndex *b_ir = mxGetIr(in[1]);
    const mwIndex *b_jc = mxGetJc(in[1]);
    const double *c_pr = mxGetPr(in[2]);
    const double *d_pr = mxGetPr(in[3]);
    const mwIndex *d_ir = mxGetIr(in[3]);
    const mwIndex *d_jc = mxGetJc(in[3]);
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
    return t;
}
