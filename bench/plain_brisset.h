/*
 * The trace-vector kernel as plain loops, the baseline that the benchmarks
 * and the differential test compare the module's own kernel with. Included
 * by brisset.cpp in a comparison build (SDPK_KERNELS).
 */
static int compute_trace_vec(const mxArray *A, const mxArray *B,
                             const mxArray *C, const mxArray *D, double *r,
                             mwSize k)
{
    for (mwSize i = 0; i < k; i++)
        r[i] = 0.0;
    const mwSize m = (mwSize)mxGetM(A);
    if (m == 0)
        return 0;

    TraceWork w;
    double used;
    take_trace_work(&w, A, B, C, D, m, k, &used);
    const mwSize n_b_cols = list_b_cols(&w, m);
    mwIndex *const d_cols = w.d_cols, *const *cell_jc = w.cell_jc;

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

    const size_t ld = (size_t)m;   /* between columns of A and of C */
    const mwIndex *b_cols = w.b_cols, *b_ir = w.b_ir, *b_jc = w.b_jc;
    double *btc_col = w.btc_col, *row_val = w.row_val;
    mwIndex *row_stamp = w.row_stamp;
    for (mwSize p = 0; p < m; p++)
        row_stamp[p] = 0;
    for (mwSize t = 0; t < n_d_cols; t++) {
        const mwIndex q = d_cols[t];
        const double *c_col = w.c_pr + (size_t)q * ld;
        for (mwSize h = 0; h < n_b_cols; h++) {   /* column q of B'*C */
            const mwIndex b = b_cols[h];
            btc_col[h] = 0.0;
            for (mwIndex f = b_jc[b]; f < b_jc[b + 1]; f++)
                btc_col[h] = w.b_pr[f] * c_col[b_ir[f]] + btc_col[h];
        }
        for (mwSize i = 0; i < k; i++) {
            const mwIndex *ir = w.cell_ir[i];
            const double *pr = w.cell_pr[i];
            for (mwIndex e = cell_jc[i][q]; e < cell_jc[i][q + 1]; e++) {
                const mwIndex p = ir[e];
                if (row_stamp[p] <= (mwIndex)t) {   /* stale: recompute */
                    const double *a_col = w.a_pr + (size_t)p * ld;
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
    release_trace_work(&w);
    return 0;
}
