#include "support.h"

#include <map>

const standin::Module &module_at(const char *path)
{
    static std::map<std::string, standin::Module> loaded;
    auto it = loaded.find(path);
    if (it == loaded.end())
        it = loaded.emplace(path, standin::load(path)).first;
    if (!it->second.entry) {
        ADD_FAILURE() << "cannot load " << path << ": " << it->second.error;
        std::abort();
    }
    return it->second;
}

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
