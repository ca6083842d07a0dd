/*
 * The weighted sum's two kernels as plain loops, the baseline that the
 * benchmarks and the differential test compare the module's own kernels
 * with. Included by kovalin.cpp in a comparison build (SDPK_KERNELS).
 */
static int sumAsDense(mwSize m, mwSize n, const double *x, const mxArray *A,
                      double *result)
{
    const size_t mm = (size_t)m * (size_t)m;   /* the result holds mm entries */
    for (size_t t = 0; t < mm; t++)
        result[t] = 0.0;

    for (mwSize i = 0; i < n; i++) {
        const double w = x[i];
        if (w == 0.0)   /* +0 and -0; a NaN weight is used */
            continue;
        const mxArray *E = mxGetCell(A, (mwIndex)i);
        const double *pr = mxGetPr(E);
        if (mxIsSparse(E)) {
            const mwIndex *ir = mxGetIr(E), *jc = mxGetJc(E);
            if (!pr || !ir || !jc)
                mexErrMsgTxt("Error: Sparse matrix from the cell array is "
                             "corrupted?\n");
            for (mwSize c = 0; c < m; c++) {
                double *col = result + (size_t)c * (size_t)m;
                for (mwIndex k = jc[c]; k < jc[c + 1]; k++)
                    col[ir[k]] = w * pr[k] + col[ir[k]];
            }
        } else {
            if (!pr)
                mexErrMsgTxt("Error: Dense matrix from the cell array is "
                             "corrupted?\n");
            for (size_t t = 0; t < mm; t++)
                result[t] = w * pr[t] + result[t];
        }
    }
    return 0;
}

static int sumAsSparse(mwSize m, mwSize n, mwSize nzEstimate, const double *x,
                       const mxArray *A, mxArray *out[])
{
    out[0] = 0;

    /* nzEstimate is at most the elements' stored entries, so this sum and
       the byte counts of m+1 and n entries fit; only capacity is checked */
    mwSize capacity = nzEstimate > kMaxSize - m ? kMaxSize : nzEstimate + m;
    const bool fits = FITS(capacity, sizeof(double));
    mwIndex *workJc = (mwIndex *)mxMalloc(((size_t)m + 1) * sizeof(mwIndex));
    mwIndex *workIr = fits ? (mwIndex *)mxMalloc((size_t)capacity *
                                                 sizeof(mwIndex)) : 0;
    double *workPr = fits ? (double *)mxMalloc((size_t)capacity *
                                               sizeof(double)) : 0;
    if (!workJc || !workIr || !workPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    mwIndex *rowStamp = (mwIndex *)mxMalloc((size_t)m * sizeof(mwIndex));
    double *rowSum = (double *)mxMalloc((size_t)m * sizeof(double));
    mwIndex **cellJc = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    mwIndex **cellIr = (mwIndex **)mxMalloc((size_t)n * sizeof(mwIndex *));
    double **cellPr = (double **)mxMalloc((size_t)n * sizeof(double *));
    if (!rowStamp || !rowSum || !cellJc || !cellIr || !cellPr)
        mexErrMsgTxt("Error: Insufficient memory\n");

    for (mwSize l = 0; l < n; l++) {
        const mxArray *E = mxGetCell(A, (mwIndex)l);
        cellPr[l] = mxGetPr(E);
        cellIr[l] = mxGetIr(E);
        cellJc[l] = mxGetJc(E);
        if (!cellPr[l] || !cellIr[l] || !cellJc[l])
            mexErrMsgTxt("Error: Matrices from the cell array are "
                         "corrupted?\n");
    }

    /* gather column k of the sum: its rows in the order first met */
    mwIndex nz = 0;
    workJc[0] = 0;
    for (mwSize r = 0; r < m; r++)
        rowStamp[r] = 0;
    for (mwSize k = 0; k < m; k++) {
        if (nz + m > capacity) {
            /* room for this column and one more per ten that remain,
               never more than the remaining columns can add */
            const mwSize per = (m - k) / 10 + 1;
            const mwSize most = m - k;
            const mwSize room = m > kMaxSize / per ? kMaxSize : m * per;
            const mwSize limit = m > kMaxSize / most ? kMaxSize : m * most;
            const mwSize grow = room < limit ? room : limit;
            capacity = grow > kMaxSize - nz ? kMaxSize : nz + grow;
            if (!FITS(capacity, sizeof(double)))
                mexErrMsgTxt("Error: Insufficient memory\n");
            workIr = (mwIndex *)mxRealloc(workIr, (size_t)capacity *
                                          sizeof(mwIndex));
            workPr = (double *)mxRealloc(workPr, (size_t)capacity *
                                         sizeof(double));
            if (!workIr || !workPr)
                mexErrMsgTxt("Error: Insufficient memory\n");
        }
        for (mwSize l = 0; l < n; l++) {
            const double w = x[l];
            if (w == 0.0)
                continue;
            const mwIndex *ir = cellIr[l];
            const double *pr = cellPr[l];
            for (mwIndex p = cellJc[l][k]; p < cellJc[l][k + 1]; p++) {
                const mwIndex r = ir[p];
                if (rowStamp[r] <= (mwIndex)k) {   /* row r new to column k */
                    rowSum[r] = 0.0;
                    workIr[nz++] = r;
                    rowStamp[r] = (mwIndex)k + 1;
                }
                rowSum[r] = w * pr[p] + rowSum[r];
            }
        }
        for (mwIndex q = workJc[k]; q < nz; q++)
            workPr[q] = rowSum[workIr[q]];
        workJc[k + 1] = nz;
    }

    mxArray *R = mxCreateSparse(m, m, (mwSize)nz, mxREAL);
    if (!R)
        mexErrMsgTxt("Error: Insufficient memory\n");
    double *Pr = mxGetPr(R);
    mwIndex *Ir = mxGetIr(R), *Jc = mxGetJc(R);
    if (!Pr || !Ir || !Jc)
        mexErrMsgTxt("Error: Sparse matrix for the result is corrupted?\n");

    /* transposing counting fill: gathered column k becomes row k */
    for (mwSize c = 0; c <= m; c++)
        Jc[c] = 0;
    for (mwIndex q = 0; q < nz; q++)
        Jc[workIr[q] + 1]++;
    for (mwSize c = 1; c <= m; c++)
        Jc[c] += Jc[c - 1];                 /* result column r starts here */
    for (mwSize k = 0; k < m; k++)
        for (mwIndex q = workJc[k]; q < workJc[k + 1]; q++) {
            const mwIndex d = Jc[workIr[q]]++;
            Ir[d] = (mwIndex)k;
            Pr[d] = workPr[q];
        }
    for (mwSize c = m; c >= 1; c--)
        Jc[c] = Jc[c - 1];
    Jc[0] = 0;

    out[0] = R;
    mxFree(workIr);
    mxFree(workJc);
    mxFree(workPr);
    mxFree(rowStamp);
    mxFree(rowSum);
    mxFree(cellJc);
    mxFree(cellIr);
    mxFree(cellPr);
    return 0;
}

