/*
 * The Schur complement as plain loops, the baseline that the benchmarks
 * and the differential test compare the routine's own loops with: each
 * entry M(i,j), i <= j, formed alone as its sums state it, with no
 * position listed or shared. Included by sdp_schur.cpp in a comparison
 * build (SDPK_KERNELS).
 */
static void schur_matrix(size_t m, size_t k_all, size_t first, size_t cols,
                         const mxArray *const in[], double *out)
{
    SchurWork w;
    const size_t k = k_all - first;   /* F{first}, ..., F{k_all} */
    w.m = m;
    w.k = k;
    fetch_storage(&w, in, first);
    if (w.entries > 0) {
        take_schur_work(&w);
        ThreadWork threads;   /* requested as the routine does, not used */
        take_thread_work(&threads, &w, cols, false);
        const double *w_pr = w.w_pr, *y_pr = w.y_pr;
        for (size_t i = 0; i < cols; i++) {
            const mwIndex *ijc = w.cell_jc[i], *iir = w.cell_ir[i];
            const double *ipr = w.cell_pr[i];
            for (size_t j = i; j < k; j++) {
                const mwIndex *jjc = w.cell_jc[j], *jir = w.cell_ir[j];
                const double *jpr = w.cell_pr[j];
                double t = 0.0;
                for (size_t d = 0; d < m; d++)
                    for (mwIndex p = jjc[d]; p < jjc[d + 1]; p++) {
                        const size_t c = (size_t)jir[p];
                        /* G(c,d) over the columns b of F{i} in use */
                        double g = 0.0;
                        for (size_t b = 0; b < m; b++) {
                            if (ijc[b] == ijc[b + 1])
                                continue;
                            double h = 0.0;   /* H(b,d) */
                            for (mwIndex q = ijc[b]; q < ijc[b + 1]; q++)
                                h = h + ipr[q] * y_pr[d + (size_t)iir[q] * m];
                            g = g + w_pr[b + c * m] * h;
                        }
                        t = t + jpr[p] * g;
                    }
                out[j + i * k] = t;
            }
        }
        release_thread_work(&threads);
        mirror(out, k, cols);
        release_schur_work(&w);
    } else {
        memset(out, 0, k * cols * sizeof(double));
    }
    release_storage(&w);
}
