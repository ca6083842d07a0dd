// The benchmark suite, through the stand-in host: each module beside the
// plain transcription of its kernels (bench/plain_*.h, built as modules of
// their own) and beside the read-once floor, on the SDPLIB problems of the
// data folder (or of the folder named by the environment variable
// SDPLIB_DIR) and on synthetic problems that grow in m, n and density.
//
//   kovalin_sparse/P/V   S = kovalin(y, {F1..Fn})         V: plain, module
//   kovalin_dense/P/V    S = kovalin(y, {F1..Fn}, -1)
//   brisset_row1/P/V     brisset(W, F1, W, {F1..Fn}), and _row2 with F2
//   zandrel_entry/P/V    zandrel(W, F1, W, F2), and _entry22 with F2, F2
//   readonce/P           readonce({F1..Fn}), the floor; readonce/P/sumfloor
//                        readonce({F1..Fn}, nz), which also hands back a
//                        sparse result of the sum's nz entries: the floor
//                        of the sparse sum
//
// y holds ones, and W is the inverse of the positive definite matrix
// F1 + ... + Fn + s*I, with s the largest absolute row sum of F1 + ... + Fn
// plus 1.
#include "sdpa.h"
#include "standin.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Variant {
    const char *name;
    const char *path;
};

// The inverse of a symmetric positive definite matrix, by Gauss-Jordan
// elimination (no pivoting is needed).
std::vector<double> inverse(std::vector<double> a, size_t m)
{
    std::vector<double> inv(m * m, 0.0);
    for (size_t i = 0; i < m; i++)
        inv[i + i * m] = 1.0;
    for (size_t c = 0; c < m; c++) {
        const double d = a[c + c * m];
        for (size_t j = 0; j < m; j++) {
            a[c + j * m] /= d;
            inv[c + j * m] /= d;
        }
        for (size_t r = 0; r < m; r++) {
            if (r == c)
                continue;
            const double f = a[r + c * m];
            if (f == 0.0)
                continue;
            for (size_t j = 0; j < m; j++) {
                a[r + j * m] -= f * a[c + j * m];
                inv[r + j * m] -= f * inv[c + j * m];
            }
        }
    }
    return inv;
}

// One workload: the matrices as the stand-in holds them, made once.
struct Workload {
    std::string name;
    size_t m = 0;
    std::vector<standin::Columns> F;
    mxArray *cell = nullptr, *y = nullptr, *dense_flag = nullptr;
    mxArray *sum_nz = nullptr;   // the stored entries of the sparse sum
    std::vector<mxArray *> Fi;   // F1, F2 as single matrices
    mxArray *W = nullptr;

    void prepare()
    {
        if (cell)
            return;
        std::vector<mxArray *> e;
        for (const auto &c : F)
            e.push_back(standin::sparse(m, m, c));
        cell = standin::cell(1, e.size(), e);
        y = standin::dense(F.size(), 1, std::vector<double>(F.size(), 1.0));
        dense_flag = standin::scalar(-1);
        for (size_t i = 0; i < 2; i++)
            Fi.push_back(standin::sparse(m, m, F[std::min(i, F.size() - 1)]));
        std::vector<double> s(m * m, 0.0);
        std::vector<bool> stored(m * m, false);
        for (const auto &c : F)
            for (size_t j = 0; j < m; j++)
                for (const auto &en : c[j]) {
                    s[(size_t)en.row + j * m] += en.value;
                    stored[(size_t)en.row + j * m] = true;
                }
        sum_nz = standin::scalar((double)std::count(stored.begin(), stored.end(), true));
        double shift = 0;
        for (size_t i = 0; i < m; i++) {
            double row = 0;
            for (size_t j = 0; j < m; j++)
                row += std::fabs(s[i + j * m]);
            shift = std::max(shift, row);
        }
        for (size_t i = 0; i < m; i++)
            s[i + i * m] += shift + 1.0;
        W = standin::dense(m, m, inverse(s, m));
    }
};

std::vector<std::unique_ptr<Workload>> &workloads()
{
    static std::vector<std::unique_ptr<Workload>> all;
    return all;
}

bool g_failed = false;   // some call ended in an error

// Times one call of a module; the output is dropped after each call.
void timed(benchmark::State &state, const char *path,
           std::function<std::vector<const mxArray *>()> inputs)
{
    const standin::Module &module = standin::module_at(path);
    const std::vector<const mxArray *> in = inputs();
    for (auto _ : state) {
        standin::Call c = standin::call(module, 1, in);
        if (!c.ok) {
            g_failed = true;
            state.SkipWithError(c.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(c.out.data());
        for (mxArray *a : c.out)
            standin::release(a);
    }
}

void add(const std::string &name, const char *path,
         std::function<std::vector<const mxArray *>()> inputs)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &s) {
        timed(s, path, inputs);
    })->Unit(benchmark::kMicrosecond)->UseRealTime();
}

void register_workload(Workload *w)
{
    const Variant kovalin[] = {{"plain", KOVALIN_PLAIN}, {"module", KOVALIN_MODULE}};
    const Variant brisset[] = {{"plain", BRISSET_PLAIN}, {"module", BRISSET_MODULE}};
    const Variant zandrel[] = {{"plain", ZANDREL_PLAIN}, {"module", ZANDREL_MODULE}};
    const std::string p = "/" + w->name + "/";
    for (const Variant &v : kovalin) {
        add("kovalin_sparse" + p + v.name, v.path, [w] {
            w->prepare();
            return std::vector<const mxArray *>{w->y, w->cell};
        });
        add("kovalin_dense" + p + v.name, v.path, [w] {
            w->prepare();
            return std::vector<const mxArray *>{w->y, w->cell, w->dense_flag};
        });
    }
    add("readonce" + p + "floor", READONCE_MODULE, [w] {
        w->prepare();
        return std::vector<const mxArray *>{w->cell};
    });
    add("readonce" + p + "sumfloor", READONCE_MODULE, [w] {
        w->prepare();
        return std::vector<const mxArray *>{w->cell, w->sum_nz};
    });
    for (int row = 0; row < 2; row++)
        for (const Variant &v : brisset)
            add("brisset_row" + std::to_string(row + 1) + p + v.name, v.path,
                [w, row] {
                    w->prepare();
                    return std::vector<const mxArray *>{w->W, w->Fi[row], w->W,
                                                        w->cell};
                });
    for (const Variant &v : zandrel) {
        add("zandrel_entry12" + p + v.name, v.path, [w] {
            w->prepare();
            return std::vector<const mxArray *>{w->W, w->Fi[0], w->W, w->Fi[1]};
        });
        add("zandrel_entry22" + p + v.name, v.path, [w] {
            w->prepare();
            return std::vector<const mxArray *>{w->W, w->Fi[1], w->W, w->Fi[1]};
        });
    }
}

// Synthetic problems: F1 the identity, then n matrices of one symmetric
// pair of off-diagonal entries each (a graph's edges, as in the theta
// problems), or of random symmetric entries of a given density.
Workload *edges(size_t m, size_t n, uint64_t seed)
{
    auto w = std::make_unique<Workload>();
    w->name = "edges_m" + std::to_string(m) + "_n" + std::to_string(n);
    w->m = m;
    std::mt19937_64 rng(seed);
    standin::Columns id(m);
    for (size_t j = 0; j < m; j++)
        id[j].push_back({(mwIndex)j, 1.0});
    w->F.push_back(id);
    for (size_t l = 0; l < n; l++) {
        const size_t a = rng() % m, b = (a + 1 + rng() % (m - 1)) % m;
        standin::Columns c(m);
        c[a].push_back({(mwIndex)b, 1.0});
        c[b].push_back({(mwIndex)a, 1.0});
        w->F.push_back(c);
    }
    workloads().push_back(std::move(w));
    return workloads().back().get();
}

Workload *random_density(size_t m, size_t n, double density, uint64_t seed)
{
    auto w = std::make_unique<Workload>();
    char name[64];
    std::snprintf(name, sizeof name, "random_m%zu_n%zu_d%g", m, n, density);
    w->name = name;
    w->m = m;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    for (size_t l = 0; l < n; l++) {
        std::vector<std::map<size_t, double>> cols(m);
        const size_t count = std::max<size_t>(1, (size_t)(density * m * m / 2));
        for (size_t e = 0; e < count; e++) {
            const size_t i = rng() % m, j = rng() % m;
            const double v = u(rng);
            cols[j][i] = v;
            cols[i][j] = v;
        }
        standin::Columns c(m);
        for (size_t j = 0; j < m; j++)
            for (const auto &kv : cols[j])
                c[j].push_back({(mwIndex)kv.first, kv.second});
        w->F.push_back(c);
    }
    workloads().push_back(std::move(w));
    return workloads().back().get();
}

}  // namespace

int main(int argc, char **argv)
{
    const char *env = std::getenv("SDPLIB_DIR");
    const std::string dir = env && *env ? env : SDPLIB_DIR;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".dat-s")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    if (files.empty())
        std::fprintf(stderr, "no SDPLIB problems in %s\n", dir.c_str());
    for (const std::string &f : files) {
        sdpa::Problem p;
        std::string error;
        if (!sdpa::read(f, p, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        auto w = std::make_unique<Workload>();
        w->name = p.name;
        w->m = p.order;
        w->F = std::move(p.F);
        workloads().push_back(std::move(w));
        register_workload(workloads().back().get());
    }
    for (size_t m : {100u, 200u, 400u, 800u})   // growing in m and n
        register_workload(edges(m, 3 * m, m));
    for (size_t n : {400u, 4800u})               // in n alone
        register_workload(edges(400, n, n));
    for (double d : {0.001, 0.01, 0.1})
        register_workload(random_density(200, 200, d, 7));

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    standin::release_all();
    return g_failed ? 1 : 0;
}
