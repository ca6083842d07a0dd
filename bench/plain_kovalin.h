/*
 * The weighted sum's two kernels as plain loops, the baseline that the
 * benchmarks and the differential test compare the module's own kernels
 * with. Included by kovalin.cpp in a comparison build (SDPK_KERNELS).
 */
static int sumAsDense(mwSize m, mwSize n, const double *x, const mxArray *A,
                      double *result)
{
    const size_t entries = (size_t)m * (size_t)m;   /* the result holds these */
    for (size_t t = 0; t < entries; t++)
        result[t] = 0.0;

    for (mwSize i = 0; i < n; i++) {
        const double w = x[i];
        if (w == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mxArray *E = mxGetCell(A, (mwIndex)i);
        const double *pr = mxGetPr(E);
        if (mxIsSparse(E)) {
            addSparseTerm(m, w, E, pr, result);
        } else {
            if (!pr)
                mexErrMsgTxt("Error: Dense matrix from the cell array is "
                             "corrupted?\n");
            for (size_t t = 0; t < entries; t++)
                result[t] = w * pr[t] + result[t];
        }
    }
    return 0;
}

static int sumAsSparse(mwSize m, mwSize n, mwSize nzEstimate, const double *x,
                       const mxArray *A, mxArray *out[])
{
    out[0] = 0;
    SparseWork w;
    takeSparseWork(&w, m, n, nzEstimate, A);

    /* gather column k of the sum: its rows in the order first met */
    mwIndex *rowStamp = w.rowStamp;
    double *rowSum = w.rowSum;
    for (mwSize k = 0; k < m; k++) {
        makeRoom(&w, m, k);
        mwIndex *workIr = w.workIr, nz = w.nz;
        for (mwSize l = 0; l < n; l++) {
            const double wt = x[l];
            if (wt == 0.0)
                continue;
            const mwIndex *ir = w.cellIr[l];
            const double *pr = w.cellPr[l];
            for (mwIndex p = w.cellJc[l][k]; p < w.cellJc[l][k + 1]; p++) {
                const mwIndex r = ir[p];
                if (rowStamp[r] <= (mwIndex)k) {   /* row r new to column k */
                    rowSum[r] = 0.0;
                    workIr[nz++] = r;
                    rowStamp[r] = (mwIndex)k + 1;
                }
                rowSum[r] = wt * pr[p] + rowSum[r];
            }
        }
        for (mwIndex q = w.workJc[k]; q < nz; q++)
            w.workPr[q] = rowSum[workIr[q]];
        w.workJc[k + 1] = nz;
        w.nz = nz;
    }

    out[0] = transposedResult(&w, m);
    releaseSparseWork(&w);
    return 0;
}
