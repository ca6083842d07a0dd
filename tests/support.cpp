#include "support.h"

static ::testing::AssertionResult sound(const standin::Call &c)
{
    if (c.overrun)
        return ::testing::AssertionFailure() << "a block was overrun";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Returned(const standin::Call &c)
{
    if (!c.ok)
        return ::testing::AssertionFailure() << "the call failed: " << c.message;
    if (c.out.size() != 1)
        return ::testing::AssertionFailure() << c.out.size() << " outputs";
    if (!c.leaked.empty())
        return ::testing::AssertionFailure() << c.leaked.size()
                                             << " blocks still held";
    if (c.arrays_leaked)
        return ::testing::AssertionFailure() << c.arrays_leaked
                                             << " arrays made and dropped";
    return sound(c);
}

::testing::AssertionResult Failed(const standin::Call &c,
                                  const std::string &message)
{
    if (c.ok)
        return ::testing::AssertionFailure() << "the call returned normally";
    if (c.message != message)
        return ::testing::AssertionFailure() << "the message was \""
                                             << c.message << "\"";
    if (!c.out.empty())
        return ::testing::AssertionFailure() << "an output was kept";
    return sound(c);
}

::testing::AssertionResult FailedWithOneOf(const standin::Call &c,
                                           const std::set<std::string> &messages)
{
    if (c.ok)
        return ::testing::AssertionFailure() << "the call returned normally";
    if (!messages.count(c.message))
        return ::testing::AssertionFailure() << "the message \"" << c.message
                                             << "\" is none of the expected";
    if (!c.out.empty())
        return ::testing::AssertionFailure() << "an output was kept";
    return sound(c);
}

mxArray *sparse_of(size_t m, size_t n, const std::vector<double> &v)
{
    standin::Columns cols(n);
    for (size_t j = 0; j < n; j++)
        for (size_t i = 0; i < m; i++)
            if (v[i + j * m] != 0)
                cols[j].push_back({static_cast<mwIndex>(i), v[i + j * m]});
    return standin::sparse(m, n, cols);
}

std::vector<size_t> malloc_sizes(const standin::Call &c)
{
    std::vector<size_t> sizes;
    for (const standin::Event &e : c.events)
        if (e.kind == standin::Event::Malloc)
            sizes.push_back(e.bytes);
    return sizes;
}

void PrintTo(const Rejected &r, std::ostream *os) { *os << r.name; }

std::string shape_message(unsigned i, unsigned m, unsigned r, unsigned c)
{
    char buf[128];
    std::snprintf(buf, sizeof buf,
                  "Error: Input %u is expected to be a symmetric matrix "
                  "%ux%u (%ux%u).\n", i, m, m, r, c);
    return buf;
}

mxArray *eye(size_t m)
{
    std::vector<double> v(m * m, 0.0);
    for (size_t j = 0; j < m; j++)
        v[j + j * m] = 1;
    return standin::dense(m, m, v);
}

mxArray *eye_sparse(size_t m)
{
    standin::Columns cols(m);
    for (size_t j = 0; j < m; j++)
        cols[j].push_back({static_cast<mwIndex>(j), 1.0});
    return standin::sparse(m, m, cols);
}

mxArray *cells(std::vector<mxArray *> elements)
{
    const size_t n = elements.size();
    return standin::cell(1, n, std::move(elements));
}
