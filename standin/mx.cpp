// The stand-in libmx: arrays, the allocator, and the calls that the tests
// make into a loaded module.
#define MEXHOST_IMPLEMENTATION
#include "standin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using standin::Class;

struct mxArray_tag {
    Class cls = Class::Double;
    bool sparse = false;
    bool complex = false;
    size_t m = 0, n = 0;
    std::vector<unsigned char> re;   // real part, in the class's element type
    std::vector<double> im;          // imaginary part of a complex double
    std::vector<mwIndex> ir, jc;     // sparse row indices and column starts
    std::vector<mxArray *> cells;    // elements of a cell array, not owned
    unsigned nulls = 0;              // storage reported as null
};

namespace {

size_t element_size(Class c)
{
    switch (c) {
    case Class::Double: case Class::Int64: case Class::Uint64: return 8;
    case Class::Single: case Class::Int32: case Class::Uint32: return 4;
    case Class::Int16: case Class::Uint16: case Class::Char: return 2;
    default: return 1;
    }
}

const size_t kGuard = 16;          // bytes checked past the end of a block
const unsigned char kGuardByte = 0xCD;
const unsigned char kPoison = 0xFF;  // fresh blocks: NaN as doubles

struct Block {
    int id;
    size_t bytes;
    void *owner;   // the module that made it persistent, or null
};

struct State {
    bool in_call = false;
    standin::Faults faults;
    int allocations = 0;
    int creations = 0;
    int next_block = 0;
    standin::Call *record = nullptr;
    void *module = nullptr;           // the module being called
    std::map<void *, Block> blocks;
    std::map<void *, void (*)(void)> at_exit;   // each module's exit function
    std::vector<mxArray *> arrays;    // every live array
    std::vector<mxArray *> created;   // arrays the module created in this call
    std::jmp_buf jump;
    std::string message;
};

State g;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "stand-in host: %s\n", what);
    std::abort();
}

mxArray *make(Class c, size_t m, size_t n, size_t count)
{
    mxArray *a = new mxArray_tag;
    a->cls = c;
    a->m = m;
    a->n = n;
    // Storage is never null, also for empty arrays, as in the real hosts.
    a->re.assign(std::max<size_t>(count, 1) * element_size(c), 0);
    g.arrays.push_back(a);
    return a;
}

void destroy(mxArray *a)
{
    g.arrays.erase(std::remove(g.arrays.begin(), g.arrays.end(), a),
                   g.arrays.end());
    delete a;
}

mxArray *make_sparse(size_t m, size_t n, const standin::Columns &columns,
                     size_t capacity, Class c)
{
    if (columns.size() != n)
        fail("sparse: one list of entries is needed per column");
    size_t nz = 0;
    for (const auto &col : columns)
        nz += col.size();
    capacity = std::max<size_t>(std::max(capacity, nz), 1);
    mxArray *a = make(c, m, n, capacity);
    a->sparse = true;
    a->ir.assign(capacity, 0);
    a->jc.assign(n + 1, 0);
    size_t p = 0;
    for (size_t j = 0; j < n; j++) {
        for (const standin::Entry &e : columns[j]) {
            a->ir[p] = e.row;
            if (c == Class::Logical)
                a->re[p] = e.value != 0;
            else
                std::memcpy(&a->re[p * 8], &e.value, 8);
            p++;
        }
        a->jc[j + 1] = static_cast<mwIndex>(p);
    }
    return a;
}

void check_guard(void *p, const Block &b)
{
    const unsigned char *tail = static_cast<unsigned char *>(p) + b.bytes;
    for (size_t i = 0; i < kGuard; i++)
        if (tail[i] != kGuardByte && g.record)
            g.record->overrun = true;
}

void *new_block(size_t bytes, int id)
{
    if (bytes > SIZE_MAX - kGuard)
        return nullptr;
    unsigned char *p = static_cast<unsigned char *>(std::malloc(bytes + kGuard));
    if (!p)
        return nullptr;
    std::memset(p, kPoison, bytes);
    std::memset(p + bytes, kGuardByte, kGuard);
    g.blocks[p] = Block{id, bytes, nullptr};
    return p;
}

void record(standin::Event::Kind kind, size_t size, int block, bool granted)
{
    if (g.record)
        g.record->events.push_back(standin::Event{kind, size, block, granted});
}

// True when this allocator request is the one to refuse.
bool refuse_allocation()
{
    return g.in_call && ++g.allocations == g.faults.fail_allocation;
}

// A new array from the module: counted, maybe refused, maybe faulty.
mxArray *created(mxArray *a, size_t size)
{
    int k = ++g.creations;
    bool granted = k != g.faults.fail_creation;
    record(standin::Event::Create, size, -1, granted);
    if (!granted) {
        destroy(a);
        return nullptr;
    }
    if (k == g.faults.null_creation)
        a->nulls = g.faults.null_which;
    if (g.faults.poison_creations)
        std::memset(a->re.data(), kPoison, a->re.size());
    g.created.push_back(a);
    return a;
}

bool invoke(standin::EntryPoint entry, int nlhs, mxArray **plhs, int nrhs,
            const mxArray **prhs)
{
    if (setjmp(g.jump) != 0)
        return false;
    entry(nlhs, plhs, nrhs, prhs);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- libmx

extern "C" {

size_t mxGetM(const mxArray *a) { return a->m; }
size_t mxGetN(const mxArray *a) { return a->n; }
size_t mxGetNumberOfElements(const mxArray *a) { return a->m * a->n; }

bool mxIsNumeric(const mxArray *a)
{
    return a->cls != Class::Logical && a->cls != Class::Char &&
           a->cls != Class::Cell;
}

bool mxIsComplex(const mxArray *a) { return a->complex; }
bool mxIsSparse(const mxArray *a) { return a->sparse; }
bool mxIsDouble(const mxArray *a) { return a->cls == Class::Double; }
bool mxIsCell(const mxArray *a) { return a->cls == Class::Cell; }
bool mxIsChar(const mxArray *a) { return a->cls == Class::Char; }

double mxGetScalar(const mxArray *a)
{
    if (a->cls == Class::Cell || a->m * a->n == 0 ||
        (a->sparse && a->jc[a->n] == 0))
        return 0;
    const unsigned char *p = a->re.data();
    switch (a->cls) {
    case Class::Double: { double v; std::memcpy(&v, p, 8); return v; }
    case Class::Single: { float v; std::memcpy(&v, p, 4); return v; }
    case Class::Int8: return static_cast<double>(static_cast<int8_t>(p[0]));
    case Class::Int16: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case Class::Uint16: case Class::Char: { uint16_t v; std::memcpy(&v, p, 2); return v; }
    case Class::Int32: { int32_t v; std::memcpy(&v, p, 4); return v; }
    case Class::Uint32: { uint32_t v; std::memcpy(&v, p, 4); return v; }
    case Class::Int64: { int64_t v; std::memcpy(&v, p, 8); return static_cast<double>(v); }
    case Class::Uint64: { uint64_t v; std::memcpy(&v, p, 8); return static_cast<double>(v); }
    default: return p[0];
    }
}

double *mxGetPr(const mxArray *a)
{
    if (a->nulls & standin::Pr || a->cls == Class::Cell)
        return nullptr;
    return reinterpret_cast<double *>(const_cast<unsigned char *>(a->re.data()));
}

mwIndex *mxGetIr(const mxArray *a)
{
    if (a->nulls & standin::Ir || !a->sparse)
        return nullptr;
    return const_cast<mwIndex *>(a->ir.data());
}

mwIndex *mxGetJc(const mxArray *a)
{
    if (a->nulls & standin::Jc || !a->sparse)
        return nullptr;
    return const_cast<mwIndex *>(a->jc.data());
}

mwSize mxGetNzmax(const mxArray *a)
{
    return a->sparse ? static_cast<mwSize>(a->ir.size()) : 0;
}

mxArray *mxGetCell(const mxArray *a, mwIndex i)
{
    if (a->cls != Class::Cell || static_cast<size_t>(i) >= a->cells.size())
        fail("mxGetCell: not a cell array, or the index is out of range");
    return a->cells[i];
}

mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity c)
{
    if (c != mxREAL)
        fail("mxCreateDoubleMatrix: the modules create real arrays only");
    size_t mm = static_cast<size_t>(m), nn = static_cast<size_t>(n);
    return created(make(Class::Double, mm, nn, mm * nn), mm * nn);
}

mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity c)
{
    if (c != mxREAL)
        fail("mxCreateSparse: the modules create real arrays only");
    size_t cap = std::max<size_t>(static_cast<size_t>(nzmax), 1);
    mxArray *a = make(Class::Double, static_cast<size_t>(m),
                      static_cast<size_t>(n), cap);
    a->sparse = true;
    a->ir.assign(cap, 0);
    a->jc.assign(static_cast<size_t>(n) + 1, 0);
    return created(a, static_cast<size_t>(nzmax));
}

mxArray *mxCreateDoubleScalar(double v)
{
    mxArray *a = created(make(Class::Double, 1, 1, 1), 1);
    if (a)
        std::memcpy(a->re.data(), &v, 8);
    return a;
}

void *mxMalloc(size_t bytes)
{
    int id = g.next_block++;
    void *p = refuse_allocation() ? nullptr : new_block(bytes, id);
    record(standin::Event::Malloc, bytes, id, p != nullptr);
    return p;
}

void *mxRealloc(void *block, size_t bytes)
{
    if (!block)
        return mxMalloc(bytes);
    auto it = g.blocks.find(block);
    if (it == g.blocks.end())
        fail("mxRealloc: not a block from mxMalloc");
    Block old = it->second;
    void *p = refuse_allocation() ? nullptr : new_block(bytes, old.id);
    record(standin::Event::Realloc, bytes, old.id, p != nullptr);
    if (!p)
        return nullptr;
    g.blocks[p].owner = old.owner;   // a persistent block stays so
    check_guard(block, old);
    std::memcpy(p, block, std::min(bytes, old.bytes));
    g.blocks.erase(it);
    std::free(block);
    return p;
}

void mxFree(void *block)
{
    if (!block)
        return;
    auto it = g.blocks.find(block);
    if (it == g.blocks.end())
        fail("mxFree: not a block from mxMalloc");
    check_guard(block, it->second);
    record(standin::Event::Free, it->second.bytes, it->second.id, true);
    g.blocks.erase(it);
    std::free(block);
}

// The text of a character array, column by column, in a block from
// mxMalloc (so refusable like any other); null for any other class.
char *mxArrayToString(const mxArray *a)
{
    if (a->cls != Class::Char)
        return nullptr;
    const size_t count = a->m * a->n;
    char *s = static_cast<char *>(mxMalloc(count + 1));
    if (!s)
        return nullptr;
    for (size_t i = 0; i < count; i++)   // the low byte of each character
        s[i] = static_cast<char>(a->re[2 * i]);
    s[count] = '\0';
    return s;
}

// libmex's mexMakeMemoryPersistent: the block outlives the call, the
// module's until it frees it or is unloaded.
STANDIN_API void standin_persist(void *block)
{
    if (!g.in_call)
        fail("mexMakeMemoryPersistent outside a call");
    auto it = g.blocks.find(block);
    if (it == g.blocks.end())
        fail("mexMakeMemoryPersistent: not a block from mxMalloc");
    it->second.owner = g.module;
}

// libmex's mexAtExit: the module's function for its unloading, replacing
// any it gave before.
STANDIN_API int standin_at_exit(void (*at_exit)(void))
{
    if (!g.in_call)
        fail("mexAtExit outside a call");
    g.at_exit[g.module] = at_exit;
    return 0;
}

// libmex's error service ends the call here.
[[noreturn]] STANDIN_API void standin_raise(const char *text)
{
    if (!g.in_call)
        fail("mexErrMsgTxt outside a call");
    g.message = text;
    std::longjmp(g.jump, 1);
}

// A traced module names each kernel path it takes.
STANDIN_API void mexhostPath(const char *name)
{
    if (g.record)
        g.record->paths.insert(name);
}

}  // extern "C"

// ------------------------------------------------------- the test side

namespace standin {

mxArray *dense(size_t m, size_t n, std::vector<double> v)
{
    mxArray *a = make(Class::Double, m, n, m * n);
    if (v.size() > m * n)
        fail("dense: more values than entries");
    if (!v.empty())
        std::memcpy(a->re.data(), v.data(), v.size() * 8);
    return a;
}

mxArray *scalar(double v) { return dense(1, 1, {v}); }

mxArray *complex_dense(size_t m, size_t n)
{
    mxArray *a = make(Class::Double, m, n, m * n);
    a->complex = true;
    a->im.assign(std::max<size_t>(m * n, 1), 0);
    return a;
}

// v as an integer of [lo, hi], rounded and saturated as MATLAB converts it
// (NaN gives 0).
template <typename T>
T saturate(double v, double lo, double hi)
{
    if (std::isnan(v))
        return 0;
    v = std::round(v);
    return static_cast<T>(v < lo ? lo : v > hi ? hi : v);
}

mxArray *numeric(Class c, size_t m, size_t n, double v)
{
    if (c == Class::Cell)
        return cell(m, n, std::vector<mxArray *>(m * n, nullptr));
    mxArray *a = make(c, m, n, m * n);
    unsigned char *p = a->re.data();
    switch (c) {
    case Class::Double: std::memcpy(p, &v, 8); break;
    case Class::Single: {
        const double big = std::numeric_limits<float>::max();
        float f = std::isnan(v) ? NAN : v > big ? INFINITY : v < -big ? -INFINITY
                                                            : static_cast<float>(v);
        std::memcpy(p, &f, 4);
        break;
    }
    case Class::Int32: {
        int32_t i = saturate<int32_t>(v, -2147483648.0, 2147483647.0);
        std::memcpy(p, &i, 4);
        break;
    }
    case Class::Int64: {   // the largest double below 2^63 as the top
        int64_t i = saturate<int64_t>(v, -0x1p63, 0x1p63 - 1024);
        std::memcpy(p, &i, 8);
        break;
    }
    case Class::Int8: p[0] = static_cast<unsigned char>(saturate<int8_t>(v, -128, 127)); break;
    default: p[0] = saturate<unsigned char>(v, 0, 255); break;
    }
    return a;
}

mxArray *text(const std::string &s)
{
    mxArray *a = make(Class::Char, 1, s.size(), s.size());
    for (size_t i = 0; i < s.size(); i++)
        a->re[2 * i] = static_cast<unsigned char>(s[i]);
    return a;
}

mxArray *sparse(size_t m, size_t n, const Columns &columns, size_t capacity)
{
    return make_sparse(m, n, columns, capacity, Class::Double);
}

mxArray *sparse_logical(size_t m, size_t n, const Columns &columns)
{
    return make_sparse(m, n, columns, 0, Class::Logical);
}

mxArray *sparse_complex(size_t m, size_t n, const Columns &columns)
{
    mxArray *a = make_sparse(m, n, columns, 0, Class::Double);
    a->complex = true;
    a->im.assign(a->ir.size(), 0);
    return a;
}

mxArray *cell(size_t m, size_t n, std::vector<mxArray *> elements)
{
    if (elements.size() != m * n)
        fail("cell: one element is needed per entry");
    mxArray *a = make(Class::Cell, m, n, 0);
    a->cells = std::move(elements);
    return a;
}

mxArray *cell_element(const mxArray *cell, size_t i) { return cell->cells.at(i); }

void null_storage(mxArray *a, unsigned storage) { a->nulls |= storage; }

std::vector<double> values(const mxArray *a)
{
    size_t count = a->sparse ? static_cast<size_t>(a->jc[a->n]) : a->m * a->n;
    std::vector<double> v(count);
    if (count)
        std::memcpy(v.data(), a->re.data(), count * 8);
    return v;
}

std::vector<mwIndex> rows(const mxArray *a)
{
    return std::vector<mwIndex>(a->ir.begin(), a->ir.begin() + a->jc[a->n]);
}

std::vector<mwIndex> starts(const mxArray *a) { return a->jc; }

std::vector<double> full(const mxArray *a)
{
    if (!a->sparse)
        return values(a);
    std::vector<double> v(a->m * a->n, 0.0);
    std::vector<double> stored = values(a);
    for (size_t j = 0; j < a->n; j++)
        for (size_t p = a->jc[j]; p < static_cast<size_t>(a->jc[j + 1]); p++)
            v[a->ir[p] + j * a->m] += stored[p];
    return v;
}

size_t capacity(const mxArray *a) { return a->ir.size(); }

void release_all()
{
    for (mxArray *a : g.arrays)
        delete a;
    g.arrays.clear();
}

void release(mxArray *a) { destroy(a); }

Module load(const std::string &path)
{
    Module mod;
#if defined(_WIN32)
    // A POSIX absolute path, as a test built for wine is given, is on Z:.
    const std::string name = path[0] == '/' ? "Z:" + path : path;
    HMODULE h = LoadLibraryA(name.c_str());
    if (!h) {
        mod.error = "LoadLibrary failed for " + path;
        return mod;
    }
    mod.handle = h;
    mod.entry = reinterpret_cast<EntryPoint>(
        reinterpret_cast<void *>(GetProcAddress(h, "mexFunction")));
#else
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        mod.error = dlerror();
        return mod;
    }
    mod.handle = h;
    mod.entry = reinterpret_cast<EntryPoint>(dlsym(h, "mexFunction"));
#endif
    if (!mod.entry)
        mod.error = "no mexFunction in " + path;
    return mod;
}

const Module &module_at(const std::string &path)
{
    static std::map<std::string, Module> loaded;
    auto it = loaded.find(path);
    if (it == loaded.end())
        it = loaded.emplace(path, load(path)).first;
    if (!it->second.entry)
        fail(("cannot load " + path + ": " + it->second.error).c_str());
    return it->second;
}

int Call::allocations() const
{
    return static_cast<int>(std::count_if(events.begin(), events.end(),
        [](const Event &e) { return e.kind == Event::Malloc ||
                                    e.kind == Event::Realloc; }));
}

int Call::creations() const
{
    return static_cast<int>(std::count_if(events.begin(), events.end(),
        [](const Event &e) { return e.kind == Event::Create; }));
}

std::vector<int> Call::free_order() const
{
    std::vector<int> order;
    for (const Event &e : events)
        if (e.kind == Event::Free)
            order.push_back(e.block);
    return order;
}

Call call(const Module &module, int nlhs, std::vector<const mxArray *> inputs,
          const Faults &faults)
{
    if (!module.entry)
        fail("call: the module is not loaded");
    Call result;
    g.in_call = true;
    g.faults = faults;
    g.allocations = g.creations = g.next_block = 0;
    g.record = &result;
    g.module = module.handle;
    g.created.clear();
    g.message.clear();

    std::vector<mxArray *> slots(static_cast<size_t>(std::max(nlhs, 1)), nullptr);
    result.ok = invoke(module.entry, nlhs, slots.data(),
                       static_cast<int>(inputs.size()), inputs.data());
    g.in_call = false;

    if (result.ok) {
        for (mxArray *a : slots)
            if (a)
                result.out.push_back(a);
    } else {
        result.message = g.message;
        result.slot_set_at_error = slots[0] != nullptr;
    }
    // Created arrays that are not outputs: discarded on an error, leaks
    // after a normal return.
    for (mxArray *a : g.created)
        if (std::find(result.out.begin(), result.out.end(), a) ==
            result.out.end()) {
            if (result.ok)
                result.arrays_leaked++;
            destroy(a);
        }
    // Blocks still held: reclaimed, as the host does; leaks after a normal
    // return. Persistent blocks stay.
    for (auto it = g.blocks.begin(); it != g.blocks.end();) {
        check_guard(it->first, it->second);
        if (it->second.owner) {
            ++it;
            continue;
        }
        if (result.ok)
            result.leaked.push_back(it->second.bytes);
        std::free(it->first);
        it = g.blocks.erase(it);
    }
    g.created.clear();
    g.record = nullptr;
    g.module = nullptr;
    return result;
}

Call unload(Module &module)
{
    Call result;
    result.ok = true;
    if (!module.handle)
        fail("unload: the module is not loaded");
    auto exit = g.at_exit.find(module.handle);
    if (exit != g.at_exit.end()) {
        void (*at_exit)(void) = exit->second;
        g.at_exit.erase(exit);
        g.record = &result;
        at_exit();   // outside any call: mexErrMsgTxt would end the program
        g.record = nullptr;
    }
    for (auto it = g.blocks.begin(); it != g.blocks.end();) {
        if (it->second.owner != module.handle) {
            ++it;
            continue;
        }
        check_guard(it->first, it->second);
        result.leaked.push_back(it->second.bytes);
        std::free(it->first);
        it = g.blocks.erase(it);
    }
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module.handle));
#else
    dlclose(module.handle);
#endif
    module.handle = nullptr;
    module.entry = nullptr;
    return result;
}

std::vector<size_t> persistent()
{
    std::vector<size_t> bytes;
    for (const auto &b : g.blocks)
        if (b.second.owner)
            bytes.push_back(b.second.bytes);
    return bytes;
}

}  // namespace standin
