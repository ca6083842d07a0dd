// What the harnesses share: the fuzzer's bytes read as a call of a
// module through the stand-in host, and the property every call must have.
//
// A call either returns exactly one array of the kind and shape that the
// module promises, or ends with one of the module's own messages. It never
// holds a block or an array after a normal return, and never writes past
// the end of a block; the sanitizers watch everything else.
#ifndef FUZZ_H
#define FUZZ_H

#include "standin.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace fuzz {

// The fuzzer's bytes, read front to back; zeros once they run out.
class Bytes {
public:
    Bytes(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    size_t below(size_t n) { return n ? byte() % n : 0; }
    bool flag() { return byte() & 1; }
    double value()
    {
        static const double special[] = {
            0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 3.0, -7.0, 1e16, 1e300, -1e300,
            5e-324, 1e-300, NAN, -NAN, INFINITY, -INFINITY, 0x1p63, 0x1p64,
            -0x1p63, 0x1p31, 2.9, -0.7, 1e18};
        const size_t n = sizeof special / sizeof special[0];
        size_t k = byte();
        if (k < 2 * n)
            return special[k % n];
        double v;                                   // any bit pattern
        uint64_t u = 0;
        for (int i = 0; i < 8; i++)
            u = u << 8 | byte();
        std::memcpy(&v, &u, sizeof v);
        return v;
    }

private:
    const uint8_t *p_, *end_;
};

// A size near m: 0, 1, m, m + 1 and the like.
inline size_t near(Bytes &in, size_t m)
{
    const size_t choice[] = {m, m, m, m, 0, 1, m + 1, m ? m - 1 : 2};
    return choice[in.below(8)];
}

// A well-formed sparse pattern: distinct rows in any order per column,
// stored zeros included.
inline standin::Columns pattern(Bytes &in, size_t rows, size_t cols)
{
    standin::Columns c(cols);
    for (size_t j = 0; j < cols; j++) {
        std::vector<mwIndex> order;
        for (size_t i = 0; i < rows; i++)
            if (in.below(3) == 0)
                order.push_back(static_cast<mwIndex>(i));
        for (size_t i = order.size(); i > 1; i--)
            std::swap(order[i - 1], order[in.below(i)]);
        for (mwIndex r : order)
            c[j].push_back({r, in.value()});
    }
    return c;
}

// Any array the hosts can hand a module, mostly of order about m.
inline mxArray *array(Bytes &in, size_t m, int depth = 0)
{
    const size_t rows = near(in, m), cols = in.flag() ? rows : near(in, m);
    switch (in.below(12)) {
    case 0: case 1: case 2: {
        std::vector<double> v(rows * cols);
        for (double &x : v)
            x = in.value();
        return standin::dense(rows, cols, v);
    }
    case 3: case 4: case 5:
        return standin::sparse(rows, cols, pattern(in, rows, cols), in.below(3) * rows);
    case 6: return standin::numeric(standin::Class::Single, rows, cols, in.value());
    case 7: return standin::numeric(in.flag() ? standin::Class::Int32 : standin::Class::Int8,
                                    rows, cols, static_cast<double>(in.byte()) - 128);
    case 8: return in.flag() ? standin::numeric(standin::Class::Logical, rows, cols, 1)
                             : standin::sparse_logical(rows, cols, pattern(in, rows, cols));
    case 9: return in.flag() ? standin::complex_dense(rows, cols)
                             : standin::sparse_complex(rows, cols, pattern(in, rows, cols));
    case 10: return standin::text(std::string(cols, 'a'));
    default: {
        if (depth > 0)
            return standin::dense(rows, cols);
        const size_t n = rows * cols;
        std::vector<mxArray *> e(n);
        for (mxArray *&x : e)
            x = in.below(8) == 0 ? nullptr : array(in, m, depth + 1);
        return standin::cell(rows, cols, e);
    }
    }
}

// A dense m-by-m matrix of any values, or, one time in `odds`, any array
// (its values are read from the bytes first either way).
inline mxArray *dense_mostly(Bytes &in, size_t m, size_t odds)
{
    std::vector<double> v(m * m);
    for (double &x : v)
        x = in.value();
    return in.below(odds) == 0 ? array(in, m) : standin::dense(m, m, v);
}

// A cell vector of n elements, mostly sparse (or dense) of order m.
inline mxArray *cell_of(Bytes &in, size_t m, size_t n, bool dense_too)
{
    std::vector<mxArray *> e(n);
    for (mxArray *&x : e) {
        const size_t k = in.below(16);
        if (k == 0)
            x = nullptr;
        else if (k == 1)
            x = array(in, m, 1);
        else if (dense_too && k < 5) {
            std::vector<double> v(m * m);
            for (double &d : v)
                d = in.value();
            x = standin::dense(m, m, v);
        } else
            x = standin::sparse(m, m, pattern(in, m, m), in.below(3) * m);
    }
    return in.flag() ? standin::cell(n, 1, e) : standin::cell(1, n, e);
}

// Faults for the call: now and then a refused request or missing storage.
inline standin::Faults faults(Bytes &in)
{
    standin::Faults f;
    if (in.below(4) == 0)
        f.fail_allocation = static_cast<int>(in.below(12));
    if (in.below(6) == 0)
        f.fail_creation = 1;
    if (in.below(6) == 0) {
        f.null_creation = 1;
        f.null_which = 1u << in.below(3);
    }
    f.poison_creations = in.flag();
    return f;
}

// printf-style formats (%u) as patterns that match the whole message.
inline bool one_of(const std::string &message, const std::vector<const char *> &formats)
{
    for (const char *f : formats) {
        std::string re;
        for (const char *c = f; *c; c++) {
            if (c[0] == '%' && c[1] == 'u') {
                re += "[0-9]+";
                c++;
            } else if (std::strchr("\\^$.|?*+()[]{}", *c)) {
                re += '\\';
                re += *c;
            } else
                re += *c;
        }
        if (std::regex_match(message, std::regex(re)))
            return true;
    }
    return false;
}

[[noreturn]] inline void violated(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "property violated: %s: %s\n", what, detail.c_str());
    std::abort();
}

// The call's end is one the module allows: `shape_ok` judges the output.
template <typename Shape>
void check(const standin::Call &c, const std::vector<const char *> &messages,
           Shape shape_ok)
{
    if (c.overrun)
        violated("a write past the end of a block", c.message);
    if (!c.ok) {
        if (!one_of(c.message, messages))
            violated("a message that is not the module's", c.message);
        if (!c.out.empty())
            violated("an output kept after an error", c.message);
        return;
    }
    if (!c.leaked.empty() || c.arrays_leaked)
        violated("a block or an array held after a normal return", "");
    if (c.out.size() != 1)
        violated("not exactly one output", std::to_string(c.out.size()));
    if (!shape_ok(c.out[0]))
        violated("an output of the wrong kind or shape", "");
}

inline const standin::Module &module(const char *path)
{
    static standin::Module m = standin::load(path);
    if (!m.entry)
        violated("cannot load the module", m.error);
    return m;
}

// Now and then, one input loses one of its storage pointers.
inline void corrupt(Bytes &in, std::vector<const mxArray *> &inputs)
{
    if (inputs.empty() || in.below(8) != 0)
        return;
    const mxArray *a = inputs[in.below(inputs.size())];
    if (mxIsCell(a) && mxGetM(a) * mxGetN(a) > 0)
        a = standin::cell_element(a, in.below(mxGetM(a) * mxGetN(a)));
    if (a)
        standin::null_storage(const_cast<mxArray *>(a), 1u << in.below(3));
}

// A sparse output is well formed: column starts from 0 that never
// decrease, and row indices that ascend within each column, below m.
inline bool well_formed(const mxArray *a)
{
    if (!mxIsSparse(a))
        return true;
    std::vector<mwIndex> jc = standin::starts(a), ir = standin::rows(a);
    if (jc.front() != 0 || static_cast<size_t>(jc.back()) != ir.size())
        return false;
    for (size_t j = 0; j + 1 < jc.size(); j++)
        for (mwIndex p = jc[j]; p < jc[j + 1]; p++)
            if (static_cast<size_t>(ir[p]) >= mxGetM(a) || (p > jc[j] && ir[p] <= ir[p - 1]))
                return false;
    return true;
}

}  // namespace fuzz

#endif
