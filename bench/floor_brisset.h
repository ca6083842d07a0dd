/*
 * The floor of any brisset of this design: a kernel that does only what
 * every kernel behind the module's gateway must do. It clears r, takes
 * the eight work arrays and the storage of A, B, C and of each element of
 * D as the module's kernel does, lists the columns of B in use, reads each
 * element's stored values and row indices once (of its column starts only
 * the first and the last), releases the arrays in the same order, and
 * leaves in r[i] a checksum of element i's entries.
 * Included by brisset.cpp in a comparison build (SDPK_KERNELS): the
 * gateway, its checks and the result vector are the module's own.
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
    list_b_cols(&w, m);
    for (mwSize i = 0; i < k; i++) {
        const mwIndex *jc = w.cell_jc[i], *ir = w.cell_ir[i];
        const double *pr = w.cell_pr[i];
        double s = 0.0;
        for (mwIndex e = jc[0]; e < jc[m]; e++)
            s = (double)ir[e] + pr[e] + s;
        r[i] = s;
    }
    release_trace_work(&w);
    return 0;
}
