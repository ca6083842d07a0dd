/*
 * The four-factor trace as plain loops, the baseline that the benchmarks
 * and the differential test compare the module's own loops with. Included
 * by zandrel.cpp in a comparison build (SDPK_KERNELS).
 */
static double four_factor_trace(mwSize m, const mxArray *const in[])
{
    double t = 0.0;
    Factors f;
    take_factors(&f, m, in);
    const size_t ld = f.ld;
    const double *a_pr = f.a_pr, *b_pr = f.b_pr, *c_pr = f.c_pr, *d_pr = f.d_pr;
    const mwIndex *b_ir = f.b_ir, *b_jc = f.b_jc, *d_ir = f.d_ir, *d_jc = f.d_jc;
    double *btc_row = f.btc_row;
    mwIndex *d_nz_cols = f.d_nz_cols;
    /* slots that an unsymmetric pattern of D reads unwritten are 0 */
    memset(btc_row, 0, ld * sizeof(double));

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
            const double *c_col = c_pr + (size_t)h * ld;
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
            t = t + (a_pr[(size_t)j + (size_t)k * ld] +
                     a_pr[(size_t)k + (size_t)j * ld]) * s;
        }
    }
    release_factors(&f);
    return t;
}
