/*
 * The floor of any brisset of this design: a kernel that does only what
 * every kernel behind the module's gateway must do. It clears r, takes
 * the eight work arrays from mxMalloc (five of m entries, then three
 * tables of k pointers), takes the storage of A, B, C and of each element
 * of D, reads each element's stored values and row indices once (of its
 * column starts only the first and the last), releases the arrays in the
 * same order, and leaves in r[i] a checksum of element i's entries.
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

    /* b_cols, d_cols, btc_col, row_stamp, row_val and the three tables */
    const size_t bytes[8] = {
        (size_t)m * sizeof(mwIndex), (size_t)m * sizeof(mwIndex),
        (size_t)m * sizeof(double), (size_t)m * sizeof(mwIndex),
        (size_t)m * sizeof(double), (size_t)k * sizeof(mwIndex *),
        (size_t)k * sizeof(mwIndex *), (size_t)k * sizeof(double *)};
    void *work[8];
    bool granted = true;
    for (int w = 0; w < 8; w++) {
        work[w] = mxMalloc(bytes[w]);
        granted = granted && work[w];
    }
    if (!granted)
        mexErrMsgTxt("Error: Insufficient memory\n");
    if (!mxGetPr(A) || !mxGetPr(C) || !mxGetPr(B) || !mxGetIr(B) || !mxGetJc(B))
        mexErrMsgTxt("Error: Matrices are corrupted?\n");

    /* the storage of each element goes into its tables, as a kernel's
       does (the gateway has seen that every element is there) */
    const mwIndex **jcs = (const mwIndex **)work[5];
    const mwIndex **irs = (const mwIndex **)work[6];
    const double **prs = (const double **)work[7];
    for (mwSize i = 0; i < k; i++) {
        const mxArray *E = mxGetCell(D, (mwIndex)i);
        prs[i] = mxGetPr(E);
        irs[i] = mxGetIr(E);
        jcs[i] = mxGetJc(E);
        if (!prs[i] || !irs[i] || !jcs[i])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
        double s = 0.0;
        for (mwIndex e = jcs[i][0]; e < jcs[i][m]; e++)
            s = (double)irs[i][e] + prs[i][e] + s;
        r[i] = s;
    }

    for (int w = 0; w < 8; w++)
        mxFree(work[w]);
    return 0;
}
