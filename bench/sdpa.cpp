#include "sdpa.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace sdpa {

namespace {

// The numbers of the file after its leading comment lines, with the
// separators that the format allows read as spaces.
bool numbers(const std::string &path, std::vector<double> &out,
             std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line, body;
    bool started = false;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (!started && (first == std::string::npos || line[first] == '"' ||
                         line[first] == '*'))
            continue;
        started = true;
        const size_t eq = line.find('=');   // "=mdim" and the like
        if (eq != std::string::npos)
            line.erase(eq);
        for (char &ch : line)
            if (ch == ',' || ch == '(' || ch == ')' || ch == '{' || ch == '}')
                ch = ' ';
        body += line;
        body += ' ';
    }
    const char *p = body.c_str();
    for (;;) {
        char *end;
        const double v = std::strtod(p, &end);
        if (end == p)
            break;
        out.push_back(v);
        p = end;
    }
    if (body.find_first_not_of(" \t\r", (size_t)(p - body.c_str())) !=
        std::string::npos) {
        error = path + " is not in SDPA sparse format";
        return false;
    }
    return true;
}

}  // namespace

bool read(const std::string &path, Problem &problem, std::string &error)
{
    std::vector<double> v;
    if (!numbers(path, v, error))
        return false;
    if (v.size() < 2) {
        error = path + " is truncated";
        return false;
    }
    const size_t n = (size_t)v[0], blocks = (size_t)v[1];
    if (v.size() < 2 + blocks + n || (v.size() - 2 - blocks - n) % 5) {
        error = path + " is truncated";
        return false;
    }
    std::vector<size_t> offset(blocks + 1, 0);
    for (size_t b = 0; b < blocks; b++)
        offset[b + 1] = offset[b] + (size_t)std::fabs(v[2 + b]);
    const size_t order = offset[blocks];

    // entries by matrix, then by (column, row), summed
    std::vector<std::map<std::pair<size_t, size_t>, double>> at(n + 1);
    for (size_t e = 2 + blocks + n; e < v.size(); e += 5) {
        const size_t mat = (size_t)v[e], blk = (size_t)v[e + 1];
        if (mat > n || blk < 1 || blk > blocks) {
            error = path + " names a matrix or block that it does not have";
            return false;
        }
        const size_t i = offset[blk - 1] + (size_t)v[e + 2] - 1;
        const size_t j = offset[blk - 1] + (size_t)v[e + 3] - 1;
        if (i >= order || j >= order) {
            error = path + " has an entry outside its block";
            return false;
        }
        at[mat][{j, i}] += v[e + 4];
        if (i != j)
            at[mat][{i, j}] += v[e + 4];
    }

    problem = Problem();
    const size_t slash = path.find_last_of("/\\");
    problem.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    problem.name = problem.name.substr(0, problem.name.find('.'));
    problem.order = order;
    problem.c.assign(v.begin() + 2 + (long)blocks,
                     v.begin() + 2 + (long)blocks + (long)n);
    auto columns = [order](const std::map<std::pair<size_t, size_t>, double> &m) {
        standin::Columns cols(order);
        for (const auto &kv : m)
            cols[kv.first.first].push_back({(mwIndex)kv.first.second, kv.second});
        return cols;
    };
    problem.F0 = columns(at[0]);
    for (size_t l = 1; l <= n; l++)
        problem.F.push_back(columns(at[l]));
    return true;
}

size_t entries(const standin::Columns &columns)
{
    size_t count = 0;
    for (const auto &col : columns)
        count += col.size();
    return count;
}

}  // namespace sdpa
