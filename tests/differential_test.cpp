// Each module against the plain transcription of its kernels (the loops
// exactly as the algorithms state them, built from bench/plain_*.h): the
// same bits in every output, the same requests to the allocator in the same
// order with the same sizes, and the same message when any one of those
// requests is refused. On random data, on SDPLIB problems, and on shapes
// that take the faster kernels down each of their paths.
#include "sdpa.h"
#include "support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>

namespace {

using standin::Call;
using standin::Columns;
using standin::Event;
using standin::Faults;

// The module, its plain loops, and its traced build where one is made.
struct Pair {
    const char *fast;
    const char *plain;
    const char *traced;
};
#ifdef KOVALIN_TRACED
const Pair kKovalin{KOVALIN_MODULE, KOVALIN_PLAIN, KOVALIN_TRACED};
const Pair kBrisset{BRISSET_MODULE, BRISSET_PLAIN, BRISSET_TRACED};
const Pair kZandrel{ZANDREL_MODULE, ZANDREL_PLAIN, ZANDREL_TRACED};
const Pair kSdpSchur{SDP_SCHUR_MODULE, SDP_SCHUR_PLAIN, SDP_SCHUR_TRACED};
#else
const Pair kKovalin{KOVALIN_MODULE, KOVALIN_PLAIN, nullptr};
const Pair kBrisset{BRISSET_MODULE, BRISSET_PLAIN, nullptr};
const Pair kZandrel{ZANDREL_MODULE, ZANDREL_PLAIN, nullptr};
const Pair kSdpSchur{SDP_SCHUR_MODULE, SDP_SCHUR_PLAIN, nullptr};
#endif
using Paths = std::set<std::string>;

// What a call did, as far as the two builds must agree. Values agree bit
// for bit, except that a NaN may come out with another sign or payload:
// which of two NaN operands an addition passes on is the processor's
// choice, and the compiler may put either operand first.
::testing::AssertionResult Same(const Call &fast, const Call &plain)
{
    auto fail = [] { return ::testing::AssertionFailure(); };
    if (fast.ok != plain.ok || fast.message != plain.message)
        return fail() << "ended \"" << fast.message << "\" (ok " << fast.ok
                      << ") where the plain loops ended \"" << plain.message
                      << "\" (ok " << plain.ok << ")";
    if (fast.overrun)
        return fail() << "a block was overrun";
    if (fast.events.size() != plain.events.size())
        return fail() << fast.events.size() << " allocator events, not "
                      << plain.events.size();
    for (size_t e = 0; e < fast.events.size(); e++) {
        const Event &a = fast.events[e], &b = plain.events[e];
        if (a.kind != b.kind || a.bytes != b.bytes || a.block != b.block ||
            a.granted != b.granted)
            return fail() << "event " << e << " differs: kind " << a.kind
                          << " of " << a.bytes << " bytes, not kind "
                          << b.kind << " of " << b.bytes;
    }
    if (fast.leaked != plain.leaked || fast.arrays_leaked != plain.arrays_leaked)
        return fail() << "holds other blocks after the call";
    if (fast.out.size() != plain.out.size())
        return fail() << fast.out.size() << " outputs";
    for (size_t o = 0; o < fast.out.size(); o++) {
        const mxArray *a = fast.out[o], *b = plain.out[o];
        if (mxGetM(a) != mxGetM(b) || mxGetN(a) != mxGetN(b) ||
            mxIsSparse(a) != mxIsSparse(b))
            return fail() << "output of another shape";
        const std::vector<double> va = standin::values(a), vb = standin::values(b);
        if (va.size() != vb.size())
            return fail() << va.size() << " values, not " << vb.size();
        for (size_t i = 0; i < va.size(); i++)
            if (bits(va[i]) != bits(vb[i]) &&
                !(std::isnan(va[i]) && std::isnan(vb[i])))
                return fail() << "value " << i << " is " << va[i] << ", not "
                              << vb[i];
        if (mxIsSparse(a) && (standin::rows(a) != standin::rows(b) ||
                              standin::starts(a) != standin::starts(b)))
            return fail() << "other stored positions";
    }
    return ::testing::AssertionSuccess();
}

// The call, and the call with each of its allocator requests refused in
// turn, give the same in both builds. Returns the kernel paths the call
// took, as the traced build names them.
Paths Compare(const Pair &pair, const std::vector<const mxArray *> &inputs,
              const std::string &what)
{
    SCOPED_TRACE(what);
    const Call plain = standin::call(module_at(pair.plain), 1, inputs);
    const Call fast = standin::call(module_at(pair.fast), 1, inputs);
    Paths taken;
    if (pair.traced)
        taken = standin::call(module_at(pair.traced), 1, inputs).paths;
    const ::testing::AssertionResult same = Same(fast, plain);
    EXPECT_TRUE(same);
    if (!same)
        return taken;
    for (int f = 1; f <= plain.allocations(); f++) {
        Faults faults;
        faults.fail_allocation = f;
        SCOPED_TRACE("request " + std::to_string(f) + " refused");
        EXPECT_TRUE(Same(standin::call(module_at(pair.fast), 1, inputs, faults),
                         standin::call(module_at(pair.plain), 1, inputs, faults)));
    }
    return taken;
}

// The cases of a test took each of these paths (where a traced build is
// made), so that a change of a cost rule cannot leave a path untested.
void ExpectTook(const Pair &pair, const Paths &taken,
                std::initializer_list<const char *> paths)
{
    if (!pair.traced)
        return;
    for (const char *path : paths)
        EXPECT_TRUE(taken.count(path)) << "no case took \"" << path << "\"";
}

// Adds (row, value()) to column j of cols unless the column stores that
// row already; value is called only then.
template <class Value>
void add_once(Columns &cols, size_t row, size_t j, Value value)
{
    for (const auto &e : cols[j])
        if (e.row == (mwIndex)row)
            return;
    cols[j].push_back({(mwIndex)row, value()});
}

class Data {
public:
    explicit Data(uint64_t seed) : rng_(seed) {}

    double uniform() { return std::uniform_real_distribution<double>(-1, 1)(rng_); }
    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    // A value that is now and then one the sums must carry exactly.
    double value(bool special)
    {
        if (special && chance(0.02)) {
            const double odd[] = {0.0, -0.0, 1e308, -1e308, 1e-310,
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
            return odd[below(7)];
        }
        return uniform() * std::ldexp(1.0, (int)below(40) - 20);
    }

    // m-by-m, each column holding each row with probability `density`,
    // rows in random order when `shuffled`.
    Columns columns(size_t m, double density, bool special, bool shuffled)
    {
        Columns cols(m);
        for (size_t j = 0; j < m; j++) {
            for (size_t i = 0; i < m; i++)
                if (chance(density))
                    cols[j].push_back({(mwIndex)i, value(special)});
            if (shuffled)
                std::shuffle(cols[j].begin(), cols[j].end(), rng_);
        }
        return cols;
    }

    // `entries` positions in all, in a few columns near each other, as the
    // constraint matrices of large problems have them.
    Columns scattered(size_t m, size_t entries)
    {
        Columns cols(m);
        const size_t base = below(m);
        for (size_t e = 0; e < entries; e++) {
            const size_t j = (base + below(3)) % m, i = below(m);
            add_once(cols, i, j, [this] { return value(true); });
        }
        return cols;
    }

    // k elements made by scattered, each of 1 to `most` entries.
    std::vector<Columns> scattered_elements(size_t m, size_t k, size_t most)
    {
        std::vector<Columns> mats;
        for (size_t l = 0; l < k; l++)
            mats.push_back(scattered(m, 1 + below(most)));
        return mats;
    }

    mxArray *dense(size_t m, bool special)
    {
        std::vector<double> v(m * m);
        for (double &x : v)
            x = value(special);
        return standin::dense(m, m, v);
    }

    mxArray *weights(size_t n)
    {
        std::vector<double> v(n);
        for (double &x : v) {
            x = value(true);
            if (chance(0.1))
                x = chance(0.5) ? 0.0 : -0.0;
        }
        return standin::dense(1, n, v);
    }

private:
    std::mt19937_64 rng_;
};

mxArray *cell_of(const std::vector<Columns> &mats, size_t m)
{
    std::vector<mxArray *> e;
    for (const Columns &c : mats)
        e.push_back(standin::sparse(m, m, c));
    return cells(e);
}

// The Schur complement's panel [first last] as a fourth input.
mxArray *panel(size_t first, size_t last)
{
    return standin::dense(1, 2, {(double)first, (double)last});
}

std::string panel_name(size_t first, size_t last)
{
    return ", panel [" + std::to_string(first) + " " + std::to_string(last) + "]";
}

class Differential : public ModuleTest {};

TEST_F(Differential, KovalinRandom)
{
    Data d(11);
    for (int round = 0; round < 60; round++) {
        const size_t m = 1 + d.below(40), n = 1 + d.below(12);
        const double density = d.chance(0.3) ? 0.5 : 0.08;
        std::vector<mxArray *> elements;
        bool any_dense = false;
        for (size_t l = 0; l < n; l++) {
            if (round % 3 == 2 && d.chance(0.4)) {
                elements.push_back(d.dense(m, true));
                any_dense = true;
            } else {
                elements.push_back(standin::sparse(
                    m, m, d.columns(m, density, true, d.chance(0.3))));
            }
        }
        const mxArray *x = d.weights(n), *A = cells(elements);
        const std::string what = "round " + std::to_string(round);
        Compare(kKovalin, {x, A}, what);
        Compare(kKovalin, {x, A, standin::scalar(-1)}, what + ", dense");
        if (!any_dense) {
            // an estimate that leaves the lists no spare room, one that
            // makes them grow at once, and one far above the result
            const Call c = standin::call(module_at(kKovalin.plain), 1, {x, A});
            const double exact = (double)standin::starts(c.out[0]).back();
            for (double nnz : {exact, 1.0, 1e9})
                Compare(kKovalin, {x, A, standin::scalar(nnz)},
                        what + ", nnz " + std::to_string(nnz));
        }
        standin::release_all();
    }
}

// Many columns and many elements of few entries each: the strips, their
// lists (more elements than columns, and fewer), and their narrowing when
// the lists have little room to spare.
TEST_F(Differential, KovalinManySparseElements)
{
    Data d(12);
    const std::pair<size_t, size_t> shapes[] = {   // m, n
        {65, 195}, {150, 450}, {301, 903}, {120, 61}, {150, 76}, {250, 126}};
    Paths taken;
    for (const auto &[m, n] : shapes) {
        std::vector<Columns> mats = d.scattered_elements(m, n, 4);
        mats[d.below(n)] = d.columns(m, 0.6, true, false);   // one dense-ish
        const mxArray *x = d.weights(n), *A = cell_of(mats, m);
        const std::string what = "m " + std::to_string(m) + ", n " + std::to_string(n);
        taken.merge(Compare(kKovalin, {x, A}, what));
        const Call c = standin::call(module_at(kKovalin.plain), 1, {x, A});
        const double exact = (double)standin::starts(c.out[0]).back();
        taken.merge(Compare(kKovalin, {x, A, standin::scalar(exact)}, what + ", exact nnz"));
        taken.merge(Compare(kKovalin, {x, A, standin::scalar(1)}, what + ", nnz 1"));
        Compare(kKovalin, {x, A, standin::scalar(-1)}, what + ", dense");
        standin::release_all();
    }
    // five times as many elements as columns, each holding entries in most
    // columns, and lists without room: the strips narrow to single columns
    std::vector<Columns> full;
    for (size_t l = 0; l < 60; l++)
        full.push_back(d.columns(12, 0.6, true, false));
    taken.merge(Compare(kKovalin, {d.weights(60), cell_of(full, 12), standin::scalar(1)},
                        "m 12, n 60, nnz 1"));
    standin::release_all();
    ExpectTook(kKovalin, taken, {"kovalin: a strip listed in rowSum",
                                 "kovalin: a strip listed in the tail",
                                 "kovalin: a column from every element"});
}

// An element without storage in the middle of dense terms that wait to be
// added together: the same message, at the same point.
TEST_F(Differential, KovalinElementWithoutStorage)
{
    Data d(13);
    const size_t m = 6;
    for (size_t bad = 0; bad < 6; bad++)
        for (unsigned which : {standin::Pr, standin::Ir}) {
            std::vector<mxArray *> e;
            for (size_t l = 0; l < 6; l++)
                e.push_back(l == 4 ? standin::sparse(m, m, d.columns(m, 0.5, false, false))
                                   : d.dense(m, false));
            if (which == standin::Pr || bad == 4)
                standin::null_storage(e[bad], which);
            const mxArray *x = standin::dense(1, 6, {1, 2, 3, 4, 5, 6});
            const Paths taken = Compare(
                kKovalin, {x, cells(e)},
                "element " + std::to_string(bad + 1) + " without storage");
            if (bad >= 4)   // four dense terms wait before it
                ExpectTook(kKovalin, taken, {"kovalin: dense terms in one pass"});
            standin::release_all();
        }
}

TEST_F(Differential, BrissetRandom)
{
    Data d(21);
    Paths taken;
    for (int round = 0; round < 60; round++) {
        const size_t m = 1 + d.below(30), k = 1 + d.below(10);
        std::vector<Columns> D;
        for (size_t i = 0; i < k; i++)
            D.push_back(d.columns(m, d.chance(0.5) ? 0.3 : 0.05, true,
                                  d.chance(0.3)));
        const mxArray *B = standin::sparse(
            m, m, d.columns(m, d.chance(0.5) ? 0.4 : 0.05, true, d.chance(0.3)));
        taken.merge(Compare(kBrisset, {d.dense(m, true), B, d.dense(m, true), cell_of(D, m)},
                            "round " + std::to_string(round)));
        standin::release_all();
    }
    ExpectTook(kBrisset, taken, {"brisset: columns visiting every element"});
}

// Many elements of a few entries each, in columns near each other, so that
// the columns are taken in strips; B of few entries and nearly dense.
TEST_F(Differential, BrissetManyElementsOfFewEntries)
{
    Data d(22);
    const size_t m = 300, k = 1100;
    std::vector<Columns> D = d.scattered_elements(m, k, 4);
    D[0] = d.columns(m, 0.3, false, false);
    const mxArray *A = d.dense(m, false), *C = d.dense(m, false);
    const mxArray *DD = cell_of(D, m);
    Paths taken = Compare(kBrisset, {A, standin::sparse(m, m, d.scattered(m, 2)), C, DD},
                          "B of two entries");
    taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, d.columns(m, 0.02, true, true)),
                                   C, DD}, "B of a few entries a column"));
    taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, d.columns(m, 0.9, false, false)),
                                   C, DD}, "B nearly dense"));
    ExpectTook(kBrisset, taken, {"brisset: strips of listed elements",
                                 "brisset: rows side by side"});
}

// Many elements storing some of the same few rows of every column: after
// the first stale rows, entries of rows whose values are still being formed
// pile up behind them, past what may wait at a time.
TEST_F(Differential, BrissetRowsSharedByManyElements)
{
    Data d(23);
    const size_t m = 40, k = 60;
    std::vector<Columns> D(k, Columns(m));
    for (Columns &c : D)   // rows of 0..6, in an order of their own
        for (size_t j = 0; j < m; j++)
            for (size_t r = 0, first = d.below(7); r < 7; r++)
                if (d.chance(0.75))
                    c[j].push_back({(mwIndex)((first + 3 * r) % 7), d.value(true)});
    const Paths taken = Compare(kBrisset, {d.dense(m, true),
                                           standin::sparse(m, m, d.columns(m, 0.5, true, true)),
                                           d.dense(m, true), cell_of(D, m)},
                                "rows of 0..6 in every column of every element");
    ExpectTook(kBrisset, taken, {"brisset: rows side by side"});
}

// Far more elements holding entries in a strip of columns than there are
// columns: the strip is run through once for each list of m elements.
TEST_F(Differential, BrissetMoreElementsInAStripThanColumns)
{
    Data d(24);
    const size_t m = 12, k = 200;
    std::vector<Columns> D(k, Columns(m));
    for (Columns &c : D)
        c[d.below(6)].push_back({(mwIndex)d.below(m), d.value(true)});
    const mxArray *A = d.dense(m, true), *C = d.dense(m, true);
    const mxArray *DD = cell_of(D, m);
    Paths taken = Compare(kBrisset, {A, standin::sparse(m, m, d.columns(m, 0.8, true, true)),
                                     C, DD}, "B nearly dense");
    taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, d.scattered(m, 3)), C, DD},
                        "B of three entries"));
    ExpectTook(kBrisset, taken, {"brisset: a strip listed more than once"});
}

// Far more elements than columns, of one to nine entries each, as the
// Schur complement rows of theta and max-cut problems have them: entries in
// the first and the last columns, an element without entries, rows out of
// order; B of one entry, of one entry a column, and nearly dense.
TEST_F(Differential, BrissetManySmallElements)
{
    Data d(25);
    Paths taken;
    for (size_t m : {1u, 2u, 9u, 97u}) {
        const size_t k = 7 * m + 3;
        std::vector<Columns> D(k, Columns(m));
        for (size_t i = 0; i < k; i++) {
            const size_t entries = 1 + d.below(9);
            for (size_t e = 0; e < entries; e++) {
                const size_t j = e > 0 ? d.below(m) : i % 3 == 0 ? 0 : i % 3 == 1 ? m - 1 : d.below(m);
                add_once(D[i], d.below(m), j, [&] { return d.value(true); });
            }
        }
        D[d.below(k)] = Columns(m);
        Columns one(m), diagonal(m);
        one[d.below(m)].push_back({(mwIndex)d.below(m), d.value(false)});
        for (size_t j = 0; j < m; j++)
            diagonal[j].push_back({(mwIndex)d.below(m), d.value(true)});
        const mxArray *A = d.dense(m, true), *C = d.dense(m, true);
        const mxArray *DD = cell_of(D, m);
        const std::string what = "m " + std::to_string(m);
        taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, one), C, DD},
                            what + ", B of one entry"));
        taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, diagonal), C, DD},
                            what + ", B of one entry a column"));
        taken.merge(Compare(kBrisset, {A, standin::sparse(m, m, d.columns(m, 0.9, true, true)),
                                       C, DD}, what + ", B nearly dense"));
        standin::release_all();
    }
    ExpectTook(kBrisset, taken, {"brisset: element by element",
                                 "brisset: a small element's rows tried as its columns"});
}

// B storing every entry of every column (gpp's all-ones F{1}), and Bs that
// only look full: a column's rows out of order, a row twice in a column of
// m entries, one entry short. D holds a full element beside small ones, so
// both the strips and the elements one by one meet B; m below, at and past
// the side-by-side count.
TEST_F(Differential, BrissetFullB)
{
    Data d(26);
    for (size_t m : {1u, 2u, 7u, 8u, 9u, 17u, 64u}) {
        const std::string what = "m " + std::to_string(m);
        const Columns full = d.columns(m, 1.0, false, false);
        std::vector<Columns> looks{d.columns(m, 1.0, false, false),
                                   d.columns(m, 1.0, false, false), full};
        std::reverse(looks[0][m - 1].begin(), looks[0][m - 1].end());
        looks[1][m / 2][0].row = looks[1][m / 2][m - 1].row;
        looks[2][m - 1].pop_back();
        // no NaN or infinity: with B full, one would reach every trace
        const mxArray *A = d.dense(m, false), *C = d.dense(m, false);
        std::vector<Columns> D{d.columns(m, 1.0, false, false)};
        for (size_t i = 0; i < 3 * m; i++)
            D.push_back(d.scattered(m, 1 + d.below(3)));
        const mxArray *in_strips = cell_of(D, m);
        D.resize(1);
        const mxArray *alone = cell_of(D, m), *small = cell_of({d.scattered(m, 2)}, m);
        for (const mxArray *DD : {in_strips, alone, small}) {
            const Paths taken = Compare(kBrisset, {A, standin::sparse(m, m, full), C, DD},
                                        what + ", B full");
            ExpectTook(kBrisset, taken, {"brisset: full B"});
            for (size_t l = m > 1 ? 0 : 2; l < looks.size(); l++) {
                const Paths looked = Compare(kBrisset, {A, standin::sparse(m, m, looks[l]), C, DD},
                                             what + ", B that looks full, case " + std::to_string(l));
                EXPECT_EQ(looked.count("brisset: full B"), 0u) << "case " << l;
            }
        }
        standin::release_all();
    }
}

// Columns of B and D long enough for their sums to be formed side by side,
// and short ones beside them.
TEST_F(Differential, ZandrelLongColumns)
{
    Data d(32);
    for (size_t m : {40u, 70u}) {
        // finite values: a NaN anywhere would hide every other difference
        Columns B = d.columns(m, 0.6, false, true), D = d.columns(m, 0.7, false, true);
        for (size_t j = 0; j < m; j += 5)   // every fifth column of B short
            B[j].resize(B[j].size() / 8);
        const Paths taken = Compare(kZandrel, {d.dense(m, false), standin::sparse(m, m, B),
                                               d.dense(m, false), standin::sparse(m, m, D)},
                                    "m " + std::to_string(m));
        ExpectTook(kZandrel, taken, {"zandrel: columns of D in pairs",
                                     "zandrel: four slots of B'*C side by side"});
        standin::release_all();
    }
}

// A few entries among long runs of columns that hold none, in the first
// and last columns too, and D's pattern symmetric or not.
TEST_F(Differential, ZandrelFewColumns)
{
    Data d(33);
    Paths taken;
    for (size_t m : {1u, 2u, 300u, 1000u}) {
        std::vector<size_t> spots = {0, m - 1};
        for (int x = 0; x < 3; x++)
            spots.push_back(d.below(m));
        for (size_t lone : {0u, 1u})
            for (size_t mask : {1u, 2u, 3u, 7u, 31u}) {
                Columns B(m), D(m);
                for (size_t x = 0; x < spots.size(); x++) {
                    const size_t j = spots[x], i = spots[(x + 1) % spots.size()];
                    if (mask >> x & 1u)
                        B[j].push_back({(mwIndex)i, d.value(false)});
                    if (mask >> (spots.size() - 1 - x) & 1u) {
                        D[j].push_back({(mwIndex)i, d.value(false)});
                        if (!lone && i != j)
                            D[i].push_back({(mwIndex)j, d.value(false)});
                    }
                }
                // NaN in every entry of A and C that no stored entry reaches:
                // visiting a column that holds none would show
                std::vector<double> A(m * m), C(m * m);
                std::vector<bool> b_row(m);
                for (const std::vector<standin::Entry> &col : B)
                    for (const standin::Entry &e : col)
                        b_row[e.row] = true;
                for (size_t c = 0; c < m; c++)
                    for (size_t r = 0; r < m; r++) {
                        const bool a = (!B[r].empty() && !D[c].empty()) ||
                                       (!B[c].empty() && !D[r].empty());
                        A[r + c * m] = a ? d.uniform() : std::nan("");
                        C[r + c * m] = b_row[r] && !D[c].empty() ? d.uniform() : std::nan("");
                    }
                taken.merge(Compare(kZandrel, {standin::dense(m, m, A), standin::sparse(m, m, B),
                                               standin::dense(m, m, C), standin::sparse(m, m, D)},
                                    "m " + std::to_string(m) + ", mask " + std::to_string(mask) +
                                        (lone ? ", D unsymmetric" : "")));
                standin::release_all();
            }
    }
    ExpectTook(kZandrel, taken, {"zandrel: a long gap passed by galloping"});
}

TEST_F(Differential, ZandrelRandom)
{
    Data d(31);
    for (int round = 0; round < 80; round++) {
        const size_t m = 1 + d.below(45);
        Columns Dc = d.columns(m, d.chance(0.5) ? 0.4 : 0.06, true, d.chance(0.3));
        if (round % 2 == 0)   // a symmetric pattern, as the trace needs
            for (size_t j = 0; j < m; j++) {
                const std::vector<standin::Entry> column = Dc[j];
                for (const auto &e : column)
                    if ((size_t)e.row != j)
                        add_once(Dc, j, e.row, [&] { return d.value(true); });
            }
        const mxArray *B = standin::sparse(
            m, m, d.columns(m, d.chance(0.5) ? 0.5 : 0.05, true, d.chance(0.3)));
        Compare(kZandrel, {d.dense(m, true), B, d.dense(m, true),
                           standin::sparse(m, m, Dc)},
                "round " + std::to_string(round));
        standin::release_all();
    }
}

// Elements of any density, some without entries, some the same element
// again, rows out of order; the whole matrix and a panel of it. NaN and
// infinity in a quarter of the rounds only: they would hide the rest.
TEST_F(Differential, SdpSchurRandom)
{
    Data d(51);
    for (int round = 0; round < 60; round++) {
        const size_t m = 1 + d.below(30), k = 1 + d.below(12);
        const bool special = round % 4 == 0;
        std::vector<mxArray *> e;
        for (size_t l = 0; l < k; l++) {
            if (l > 0 && d.chance(0.15))
                e.push_back(e[d.below(l)]);
            else if (d.chance(0.1))
                e.push_back(standin::sparse(m, m, Columns(m)));
            else
                e.push_back(standin::sparse(m, m, d.columns(m, d.chance(0.3) ? 0.4 : 0.06,
                                                            special, d.chance(0.3))));
        }
        const mxArray *F = cells(e), *W = d.dense(m, special), *Y = d.dense(m, special);
        const std::string what = "round " + std::to_string(round);
        Compare(kSdpSchur, {F, W, Y}, what);
        const size_t first = 1 + d.below(k), last = first + d.below(k - first + 1);
        Compare(kSdpSchur, {F, W, Y, panel(first, last)}, what + panel_name(first, last));
        standin::release_all();
    }
}

// Many elements of a few entries each, in columns near each other, as a
// theta problem's are, with one nearly dense among them: the whole matrix
// and the panels that fill it, of one column and of sixteen.
TEST_F(Differential, SdpSchurManySmallElements)
{
    Data d(52);
    const size_t m = 40, k = 150;
    std::vector<Columns> mats = d.scattered_elements(m, k, 3);
    mats[d.below(k)] = d.columns(m, 0.7, false, false);
    const mxArray *F = cell_of(mats, m), *W = d.dense(m, false), *Y = d.dense(m, false);
    Compare(kSdpSchur, {F, W, Y}, "whole");
    for (size_t width : {1u, 16u})
        for (size_t first = 1; first <= k; first += width) {
            const size_t last = std::min(k, first + width - 1);
            Compare(kSdpSchur, {F, W, Y, panel(first, last)}, panel_name(first, last));
        }
}

// Elements of a few entries against an order of 300, whose columns in use
// are found by bisection of their column starts: entries in the first and
// the last column, in neighbouring columns, several in one column, an
// element without entries and one with as many entries as the bisection
// takes and one more; whole and in panels, and on blocks.
TEST_F(Differential, SdpSchurFewEntriesOfALargeOrder)
{
    Data d(55);
    const size_t m = 300, k = 120;
    std::vector<Columns> mats = d.scattered_elements(m, k, 4);
    auto at = [&](std::vector<std::pair<size_t, size_t>> entries) {
        Columns cols(m);
        for (auto [i, j] : entries)
            cols[j].push_back({(mwIndex)i, d.value(false)});
        return cols;
    };
    mats[3] = at({{0, 0}});
    mats[7] = at({{m - 1, m - 1}, {0, m - 1}});
    mats[11] = at({{5, 0}, {0, 5}, {6, 1}, {2, m - 1}});
    mats[17] = at({{4, 9}, {8, 9}, {1, 9}});
    mats[20] = Columns(m);
    Columns edge(m), over(m);
    for (size_t e = 0; e + 1 < m / 64; e++) {
        edge[10 + 7 * e].push_back({(mwIndex)e, d.value(false)});
        over[10 + 7 * e].push_back({(mwIndex)e, d.value(false)});
    }
    over[m - 2].push_back({3, d.value(false)});
    mats[30] = edge;   // the most entries that bisection takes
    mats[31] = over;   // one more: read column by column
    mats[40] = d.columns(m, 0.05, false, false);
    Paths taken;
    const mxArray *F = cell_of(mats, m), *W = d.dense(m, false), *Y = d.dense(m, false);
    taken.merge(Compare(kSdpSchur, {F, W, Y}, "whole"));
    for (auto [first, last] : {std::pair<size_t, size_t>{1, 1}, {4, 40}, {32, 120}, {120, 120}})
        taken.merge(Compare(kSdpSchur, {F, W, Y, panel(first, last)}, panel_name(first, last)));
    // three blocks of order 100, each element within one of them
    std::vector<double> Wb(m * m, 0.0), Yb(m * m, 0.0);
    for (size_t b = 0; b < 3; b++)
        for (size_t j = 100 * b; j < 100 * (b + 1); j++)
            for (size_t i = 100 * b; i < 100 * (b + 1); i++) {
                Wb[i + j * m] = d.value(false);
                Yb[i + j * m] = d.value(false);
            }
    std::vector<Columns> within;
    for (size_t l = 0; l < k; l++) {
        Columns cols(m);
        const size_t b = d.below(3);
        for (size_t e = 1 + d.below(3); e > 0; e--) {
            const size_t i = 100 * b + d.below(100), j = 100 * b + d.below(100);
            add_once(cols, i, j, [&] { return d.value(false); });
        }
        within.push_back(cols);
    }
    const mxArray *Fb = cell_of(within, m), *Wd = standin::dense(m, m, Wb),
                  *Yd = standin::dense(m, m, Yb);
    taken.merge(Compare(kSdpSchur, {Fb, Wd, Yd}, "blocks"));
    taken.merge(Compare(kSdpSchur, {Fb, Wd, Yd, panel(50, 90)}, "blocks" + panel_name(50, 90)));
    ExpectTook(kSdpSchur, taken, {"sdp_schur: the columns of an element by bisection",
                                  "sdp_schur: a row within the blocks of W and Y"});
}

// W and Y block diagonal, blocks of consecutive indices, and elements within
// the blocks, as a problem of many small blocks has them: each row formed
// within the blocks its element uses. Now and then an element's entry, or
// an entry of W or Y, crosses two blocks and joins them; in a third of the
// rounds values that are not finite, against which a zero is NaN.
TEST_F(Differential, SdpSchurBlocks)
{
    Data d(53);
    Paths taken;
    for (int round = 0; round < 60; round++) {
        const bool special = round % 3 == 0;
        std::vector<size_t> start{0};
        for (size_t b = 2 + d.below(4); b > 0; b--)
            start.push_back(start.back() + 1 + d.below(6));
        const size_t m = start.back(), blocks = start.size() - 1;
        std::vector<double> W(m * m, 0.0), Y(m * m, 0.0);
        for (size_t b = 0; b < blocks; b++)
            for (size_t j = start[b]; j < start[b + 1]; j++)
                for (size_t i = start[b]; i < start[b + 1]; i++) {
                    // zeros inside a block too, a whole column of them now and then
                    W[i + j * m] = d.chance(0.1) ? 0.0 : d.value(special);
                    Y[i + j * m] = j == start[b] && d.chance(0.2) ? 0.0 : d.value(special);
                }
        if (d.chance(0.15))
            (d.chance(0.5) ? W : Y)[d.below(m) + d.below(m) * m] = d.value(special);
        const size_t k = 1 + d.below(10);
        std::vector<Columns> mats;
        for (size_t l = 0; l < k; l++) {
            Columns cols(m);
            for (size_t b = 0; b < blocks; b++) {
                if (d.chance(0.5))
                    continue;
                for (size_t j = start[b]; j < start[b + 1]; j++)
                    for (size_t i = start[b]; i < start[b + 1]; i++)
                        if (d.chance(0.4))
                            cols[j].push_back({(mwIndex)i, d.value(special)});
            }
            if (d.chance(0.05)) {
                const size_t j = d.below(m), i = d.below(m);
                add_once(cols, i, j, [&] { return d.value(special); });
            }
            mats.push_back(cols);
        }
        const mxArray *F = cell_of(mats, m), *Wd = standin::dense(m, m, W),
                      *Yd = standin::dense(m, m, Y);
        const std::string what = "round " + std::to_string(round);
        for (const std::string &p : Compare(kSdpSchur, {F, Wd, Yd}, what))
            taken.insert(p);
        const size_t first = 1 + d.below(k), last = first + d.below(k - first + 1);
        for (const std::string &p :
             Compare(kSdpSchur, {F, Wd, Yd, panel(first, last)}, what + panel_name(first, last)))
            taken.insert(p);
        standin::release_all();
    }
    ExpectTook(kSdpSchur, taken, {"sdp_schur: a row within the blocks of W and Y",
                                  "sdp_schur: a row of an element not finite, among blocks"});
}

// Sets the threads of both builds (and of the traced one) and returns the
// count the fast build had.
double set_threads(const Pair &pair, double count)
{
    double before = 0;
    for (const char *module : {pair.fast, pair.plain, pair.traced})
        if (module) {
            const Call c = standin::call(module_at(module), 1,
                                         {standin::text("threads"), standin::scalar(count)});
            EXPECT_TRUE(c.ok) << c.message;
            if (module == pair.fast && c.ok)
                before = standin::values(c.out[0])[0];
        }
    return before;
}

// The rows shared among 2, 3 and 5 threads: the same bits as the plain
// loops, whole and in panels, and the same requests to the allocator, each
// refused in turn; for dense W and Y, and for block diagonal ones with an
// element holding a NaN now and then.
TEST_F(Differential, SdpSchurThreads)
{
    Data d(54);
    Paths taken;
    const double held = set_threads(kSdpSchur, 2);
    for (double count : {2.0, 3.0, 5.0}) {
        set_threads(kSdpSchur, count);
        const std::string threads = std::to_string((int)count) + " threads, ";
        // dense: 200 elements of about 15 entries, order 40
        const size_t m = 40, k = 200;
        std::vector<Columns> mats = d.scattered_elements(m, k, 30);
        const mxArray *F = cell_of(mats, m), *W = d.dense(m, true), *Y = d.dense(m, true);
        for (const std::string &p : Compare(kSdpSchur, {F, W, Y}, threads + "whole"))
            taken.insert(p);
        for (auto [first, last] : {std::pair<size_t, size_t>{1, 100}, {101, 200}, {60, 63}})
            for (const std::string &p : Compare(kSdpSchur, {F, W, Y, panel(first, last)},
                                                threads + panel_name(first, last)))
                taken.insert(p);
        // ten blocks of order 12, 120 elements each in one or two blocks
        const size_t q = 12, blocks = 10, mb = q * blocks, kb = 120;
        std::vector<double> Wb(mb * mb, 0.0), Yb(mb * mb, 0.0);
        for (size_t b = 0; b < blocks; b++)
            for (size_t j = b * q; j < (b + 1) * q; j++)
                for (size_t i = b * q; i < (b + 1) * q; i++) {
                    Wb[i + j * mb] = d.value(false);
                    Yb[i + j * mb] = d.value(false);
                }
        mats.clear();
        for (size_t l = 0; l < kb; l++) {
            Columns cols(mb);
            const size_t b1 = d.below(blocks), b2 = d.below(blocks);
            for (size_t b : {b1, b2})
                for (size_t j = b * q; j < (b + 1) * q; j++)
                    for (size_t i = b * q; i < (b + 1) * q; i++)
                        if (d.chance(0.3) && (b != b2 || b1 != b2))
                            cols[j].push_back({(mwIndex)i, d.chance(0.01) ? NAN : d.value(false)});
            mats.push_back(cols);
        }
        const mxArray *Fb = cell_of(mats, mb), *Wd = standin::dense(mb, mb, Wb),
                      *Yd = standin::dense(mb, mb, Yb);
        for (const std::string &p : Compare(kSdpSchur, {Fb, Wd, Yd}, threads + "blocks"))
            taken.insert(p);
        for (const std::string &p :
             Compare(kSdpSchur, {Fb, Wd, Yd, panel(41, 120)}, threads + "blocks" + panel_name(41, 120)))
            taken.insert(p);
        standin::release_all();
    }
    set_threads(kSdpSchur, held);
    ExpectTook(kSdpSchur, taken, {"sdp_schur: rows on several threads",
                                  "sdp_schur: a row within the blocks of W and Y",
                                  "sdp_schur: a row of an element not finite, among blocks"});
}

// SDPLIB problems: the weighted sums of their constraint matrices, rows of
// the Hessian and some of its entries, with W a dense symmetric matrix, and
// the Schur complement with another as Y, whole or in panels. The
// problems are read from the data folder, or from SDPLIB_DIR when it is set.
std::string sdplib_file(const std::string &name)
{
    const char *dir = std::getenv("SDPLIB_DIR");
    return (dir && *dir ? std::string(dir) : std::string(SDPK_SOURCE_DIR "/data")) + "/" +
           name + ".dat-s";
}

class SdplibDifferential : public ::testing::TestWithParam<const char *> {
protected:
    void TearDown() override { standin::release_all(); }
};

TEST_P(SdplibDifferential, EveryModule)
{
    sdpa::Problem p;
    std::string error;
    ASSERT_TRUE(sdpa::read(sdplib_file(GetParam()), p, error)) << error;
    const size_t m = p.order, n = p.F.size();
    Data d(41);
    const mxArray *F = cell_of(p.F, m);
    std::vector<double> y(n), w(m * m);
    for (double &v : y)
        v = d.uniform();
    for (size_t j = 0; j < m; j++)
        for (size_t i = 0; i <= j; i++)
            w[i + j * m] = w[j + i * m] = d.uniform() + (i == j ? 2.0 : 0.0);
    const mxArray *x = standin::dense(n, 1, y), *W = standin::dense(m, m, w);
    for (size_t j = 0; j < m; j++)
        for (size_t i = 0; i <= j; i++)
            w[i + j * m] = w[j + i * m] = d.uniform() + (i == j ? 2.0 : 0.0);
    const mxArray *Y = standin::dense(m, m, w);

    Compare(kKovalin, {x, F}, p.name + " sparse sum");
    Compare(kKovalin, {x, F, standin::scalar(-1)}, p.name + " dense sum");
    for (size_t i : {(size_t)0, (size_t)1, n - 1}) {
        const mxArray *Fi = standin::sparse(m, m, p.F[i]);
        Compare(kBrisset, {W, Fi, W, F}, p.name + " Hessian row " +
                                             std::to_string(i + 1));
        for (size_t j : {(size_t)0, i, n / 2})
            Compare(kZandrel, {W, Fi, W, standin::sparse(m, m, p.F[j])},
                    p.name + " Hessian entry " + std::to_string(i + 1) + "," +
                        std::to_string(j + 1));
    }
    // the plain loops form every entry alone: the whole matrix where that
    // takes a moment, else its first and last columns and a middle panel
    if (n * n * m <= 50000000)
        Compare(kSdpSchur, {F, W, Y}, p.name + " Schur complement");
    for (auto [first, last] : {std::pair<size_t, size_t>{1, 2}, {n / 2, n / 2 + 7}, {n, n}}) {
        last = std::min(last, n);
        Compare(kSdpSchur, {F, W, Y, panel(first, last)}, p.name + panel_name(first, last));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Problems, SdplibDifferential,
    ::testing::Values("truss1", "control1", "control2", "theta1", "mcp250-1", "maxG11",
                      "gpp100", "arch0", "qap5"),
    [](const ::testing::TestParamInfo<const char *> &info) {
        std::string name = info.param;
        for (char &c : name)
            if (!isalnum((unsigned char)c))
                c = '_';
        return name;
    });

}  // namespace
