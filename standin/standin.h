// The stand-in host: a small libmx and libmex that let the tests load a
// built module and call its mexFunction the way MATLAB does, and watch what
// it does with memory.
//
// Arrays made here belong to the stand-in and live until release_all().
// A call records every request to the allocator and every array creation,
// can be told to refuse one of them, reclaims what is still held when the
// call ends through mexErrMsgTxt, and reports blocks still held after a
// normal return as leaks. A block the module made persistent is neither:
// it stays the module's from call to call until it frees it, and what it
// still holds when it is unloaded is a leak.
#ifndef STANDIN_H
#define STANDIN_H

#include "mexhost.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#define STANDIN_API __declspec(dllexport)
#else
#define STANDIN_API __attribute__((visibility("default")))
#endif

namespace standin {

enum class Class { Double, Single, Int8, Uint8, Int16, Uint16, Int32, Uint32,
                   Int64, Uint64, Logical, Char, Cell };

enum Storage : unsigned { Pr = 1, Ir = 2, Jc = 4 };

// One entry of a sparse column: row index and value.
struct Entry {
    mwIndex row;
    double value;
};
using Columns = std::vector<std::vector<Entry>>;

// Dense arrays: values in column-major order, zero-filled when short.
STANDIN_API mxArray *dense(size_t m, size_t n, std::vector<double> values = {});
STANDIN_API mxArray *scalar(double v);
STANDIN_API mxArray *complex_dense(size_t m, size_t n);
// Any class but Cell, zero-filled; `v` is the first element.
STANDIN_API mxArray *numeric(Class c, size_t m, size_t n, double v = 0);
STANDIN_API mxArray *text(const std::string &s);
// Sparse double: n columns, each listing its entries in storage order
// (stored zeros and unsorted rows are kept as given). `capacity` 0 gives
// the number of entries, at least 1, as MATLAB reports it.
STANDIN_API mxArray *sparse(size_t m, size_t n, const Columns &columns,
                            size_t capacity = 0);
STANDIN_API mxArray *sparse_logical(size_t m, size_t n, const Columns &columns);
STANDIN_API mxArray *sparse_complex(size_t m, size_t n, const Columns &columns);
// Cell array; a null element stays unassigned.
STANDIN_API mxArray *cell(size_t m, size_t n, std::vector<mxArray *> elements);

// Element i of a cell array, for changing it in place.
STANDIN_API mxArray *cell_element(const mxArray *cell, size_t i);

// The given storage of `a` is reported as null from now on.
STANDIN_API void null_storage(mxArray *a, unsigned storage);

// Reading arrays back.
STANDIN_API std::vector<double> values(const mxArray *a);   // dense or stored
STANDIN_API std::vector<mwIndex> rows(const mxArray *a);    // sparse Ir
STANDIN_API std::vector<mwIndex> starts(const mxArray *a);  // sparse Jc
STANDIN_API std::vector<double> full(const mxArray *a);      // sparse as dense
STANDIN_API size_t capacity(const mxArray *a);

// Frees every array made so far, or one of them.
STANDIN_API void release_all();
STANDIN_API void release(mxArray *a);

// A loaded module, as the host opens it.
using EntryPoint = void (*)(int, mxArray **, int, const mxArray **);
struct Module {
    void *handle = nullptr;
    EntryPoint entry = nullptr;
    std::string error;   // why loading failed
};
STANDIN_API Module load(const std::string &path);
// The module at `path`, loaded once per program; one that cannot be
// loaded ends the program with the reason.
STANDIN_API const Module &module_at(const std::string &path);

// What the host is told to refuse during one call.
struct Faults {
    int fail_allocation = 0;   // the k-th mxMalloc or mxRealloc answers null
    int fail_creation = 0;     // the k-th mxCreate* answers null
    int null_creation = 0;     // the k-th created array reports null storage
    unsigned null_which = 0;   // ... this storage
    bool poison_creations = false;  // created arrays hold NaN, not zeros
};

// One allocator request or array creation, in the order made.
struct Event {
    enum Kind { Malloc, Realloc, Free, Create } kind;
    size_t bytes;   // requested bytes; for Create, the capacity or m*n
    int block;      // the block's number, counted from 0 in request order
    bool granted;
};

struct STANDIN_API Call {
    bool ok = false;           // returned normally
    std::string message;       // the text given to mexErrMsgTxt
    bool slot_set_at_error = false;  // plhs[0] held an array when it ended
    std::vector<mxArray *> out;      // the outputs kept (none on an error)
    std::vector<Event> events;
    std::vector<size_t> leaked;      // bytes of each block held after return
    int arrays_leaked = 0;     // created arrays neither output nor freed
    bool overrun = false;      // a write past the end of a block
    std::set<std::string> paths;     // kernel paths a traced module took
    int allocations() const;   // Malloc and Realloc requests
    int creations() const;
    std::vector<int> free_order() const;  // block numbers, in order freed
};

// Calls the module as the host does. nlhs may be 0; the first slot exists
// anyway. Each slot beyond the first that the module fills is kept too.
STANDIN_API Call call(const Module &module, int nlhs,
                      std::vector<const mxArray *> inputs,
                      const Faults &faults = Faults());

// Unloads a module as the host does when it is cleared: the function it
// last gave mexAtExit runs first, then the library is closed. The result
// records what that function did (`events`), and as `leaked` the bytes of
// each persistent block the module still held after it, which are then
// reclaimed. A module loaded by module_at stays loaded for the program.
STANDIN_API Call unload(Module &module);

// Bytes of each persistent block held now, of every loaded module.
STANDIN_API std::vector<size_t> persistent();

}  // namespace standin

#endif
