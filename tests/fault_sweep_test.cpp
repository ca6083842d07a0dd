// The fault sweep: for representative calls of each module, every request
// to the allocator and every array creation refused in turn, and every
// storage pointer of every input and of the result made null in turn.
// Each fault must end the call with the design's message for it (or, where
// the storage is never read, leave the result as it was), write nothing
// outside a block, and leave the host to reclaim what is held. Each
// module's fault messages must all be met, or the sweep has a gap.
#include "support.h"

#include <iostream>
#include <map>
#include <set>

using standin::Call;
using standin::Faults;

namespace {

using Inputs = std::vector<const mxArray *> (*)();

struct Scenario {
    const char *name;
    Inputs inputs;
    const char *creation_message;   // when the result is not created
};

struct Module {
    const char *name;
    const char *path;
    std::vector<Scenario> scenarios;
    std::set<std::string> fault_messages;   // every one must be met
};

mxArray *sp(size_t m, std::vector<std::pair<mwIndex, size_t>> at)
{
    standin::Columns c(m);
    for (auto &[r, j] : at)
        c[j].push_back({r, 1.0 + r + j});
    return standin::sparse(m, m, c);
}

const char *kMemory = "Error: Insufficient memory\n";

std::vector<Module> modules()
{
    return {
        {"kovalin", KOVALIN_MODULE, {
            {"dense", [] { return std::vector<const mxArray *>{
                standin::dense(1, 3, {1, 2, 0}),
                cells({sp(3, {{0, 0}, {2, 1}}), eye(3), eye_sparse(3)})}; },
             "Allocation error.\n"},
            {"dense on request, m = 0", [] { return std::vector<const mxArray *>{
                standin::scalar(1), cells({sp(0, {})}), standin::scalar(-1)}; },
             "Allocation error.\n"},
            {"sparse, estimated", [] { return std::vector<const mxArray *>{
                standin::dense(3, 1, {1, -1, 2}),
                cells({sp(3, {{0, 0}, {2, 1}}), sp(3, {{1, 1}}), eye_sparse(3)})}; },
             kMemory},
            {"sparse, given, growing", [] { return std::vector<const mxArray *>{
                standin::dense(1, 2, {1, 2}),
                cells({sp(3, {{0, 0}, {1, 0}, {2, 0}, {0, 2}}), sp(3, {{1, 1}})}),
                standin::scalar(1)}; },
             kMemory},
            {"sparse weights, m = 0", [] { return std::vector<const mxArray *>{
                standin::sparse(1, 2, {{{0, 1.0}}, {}}), cells({sp(0, {}), sp(0, {})})}; },
             kMemory}},
         {kMemory, "Allocation error.\n", "Matrix for the result corrupted?\n",
          "First argument is corrupted?\n",
          "Error: Sparse matrix from the cell array is corrupted?\n",
          "Error: Dense matrix from the cell array is corrupted?\n",
          "Error: Matrices from the cell array are corrupted?\n",
          "Error: Sparse matrix for the result is corrupted?\n"}},
        {"brisset", BRISSET_MODULE, {
            {"m = 3", [] { return std::vector<const mxArray *>{
                eye(3), sp(3, {{0, 0}, {2, 1}}), eye(3),
                cells({sp(3, {{1, 0}, {0, 2}}), eye_sparse(3)})}; }, kMemory},
            {"m = 0", [] { return std::vector<const mxArray *>{
                standin::dense(0, 0), sp(0, {}), standin::dense(0, 0),
                cells({sp(0, {})})}; }, kMemory}},
         {kMemory, "Error: Matrices are corrupted?\n",
          "Error: Matrices from the cell array are corrupted?\n"}},
        {"zandrel", ZANDREL_MODULE, {
            {"m = 3", [] { return std::vector<const mxArray *>{
                eye(3), sp(3, {{0, 0}, {2, 1}}), eye(3), eye_sparse(3)}; }, kMemory},
            {"m = 0", [] { return std::vector<const mxArray *>{
                standin::dense(0, 0), sp(0, {}), standin::dense(0, 0), sp(0, {})}; },
             kMemory}},
         {kMemory, "Error: Matrices are corrupted?\n"}},
        {"sdp_schur", SDP_SCHUR_MODULE, {
            {"m = 3", [] { return std::vector<const mxArray *>{
                cells({sp(3, {{0, 0}, {2, 1}}), eye_sparse(3), sp(3, {{1, 0}, {0, 2}})}),
                eye(3), eye(3)}; }, kMemory},
            {"m = 3, panel [2 3]", [] { return std::vector<const mxArray *>{
                cells({sp(3, {{0, 0}, {2, 1}}), eye_sparse(3), sp(3, {{1, 0}, {0, 2}})}),
                eye(3), eye(3), standin::dense(1, 2, {2, 3})}; }, kMemory},
            {"no entries", [] { return std::vector<const mxArray *>{
                cells({sp(3, {}), sp(3, {})}), eye(3), eye(3)}; }, kMemory},
            {"m = 0", [] { return std::vector<const mxArray *>{
                cells({sp(0, {}), sp(0, {})}), standin::dense(0, 0),
                standin::dense(0, 0)}; }, kMemory}},
         {kMemory, "Error: Matrices are corrupted?\n",
          "Error: Matrices from the cell array are corrupted?\n",
          // a panel without storage holds no [first last]
          "Error: Input 4 is expected to be [first last], whole numbers with "
          "1 <= first <= last <= 3\n"}},
        // no BLAS in this program: the count is 0, and n is read all the same
        {"blas_threads", BLAS_THREADS_MODULE, {
            {"read", [] { return std::vector<const mxArray *>{}; }, kMemory},
            {"set", [] { return std::vector<const mxArray *>{standin::scalar(2)}; },
             kMemory}},
         {kMemory}}};
}

// Everything the call must look at to compare two results.
std::vector<double> picture(const Call &c)
{
    std::vector<double> v = standin::full(c.out.at(0));
    v.push_back(static_cast<double>(mxGetM(c.out[0])));
    v.push_back(mxIsSparse(c.out[0]));
    return v;
}

// The arrays of a call that hold storage: the inputs, and cell elements.
std::vector<std::pair<size_t, size_t>> holders(const std::vector<const mxArray *> &in)
{
    std::vector<std::pair<size_t, size_t>> h;   // (input, element + 1; 0: itself)
    for (size_t i = 0; i < in.size(); i++) {
        if (!mxIsCell(in[i])) {
            h.push_back({i, 0});
            continue;
        }
        for (size_t e = 0; e < mxGetM(in[i]) * mxGetN(in[i]); e++)
            h.push_back({i, e + 1});
    }
    return h;
}

}  // namespace

using FaultSweep = ModuleTest;

TEST_F(FaultSweep, EndsEveryInjectedFaultWithItsMessage)
{
    const unsigned storages[] = {standin::Pr, standin::Ir, standin::Jc};
    std::map<std::string, int> injected;
    int total = 0;
    for (const Module &mod : modules()) {
        const standin::Module &module = module_at(mod.path);
        std::set<std::string> met;
        for (const Scenario &s : mod.scenarios) {
            SCOPED_TRACE(std::string(mod.name) + ", " + s.name);
            Call plain = standin::call(module, 1, s.inputs());
            ASSERT_TRUE(Returned(plain));
            const std::vector<double> want = picture(plain);
            auto expect = [&](const Call &c, const std::string &message,
                              const std::string &fault) {
                injected[mod.name]++;
                EXPECT_TRUE(Failed(c, message)) << fault;
                met.insert(c.message);
            };
            for (int k = 1; k <= plain.allocations(); k++) {
                Faults f;
                f.fail_allocation = k;
                expect(standin::call(module, 1, s.inputs(), f), kMemory,
                       "allocation " + std::to_string(k));
            }
            for (int k = 1; k <= plain.creations(); k++) {
                Faults f;
                f.fail_creation = k;
                expect(standin::call(module, 1, s.inputs(), f), s.creation_message,
                       "creation " + std::to_string(k));
            }
            // Missing storage, of the result or of an input: the call
            // fails with one of the module's fault messages, or never
            // reads that storage and gives the same result.
            auto either = [&](const Call &c, const std::string &fault) {
                injected[mod.name]++;
                if (c.ok) {
                    EXPECT_TRUE(Returned(c)) << fault;
                    if (c.ok && c.out.size() == 1) {
                        EXPECT_EQ(picture(c), want) << fault;
                    }
                    return;
                }
                EXPECT_TRUE(FailedWithOneOf(c, mod.fault_messages)) << fault;
                met.insert(c.message);
            };
            for (int k = 1; k <= plain.creations(); k++)
                for (unsigned which : storages) {
                    Faults f;
                    f.null_creation = k;
                    f.null_which = which;
                    either(standin::call(module, 1, s.inputs(), f),
                           "result storage " + std::to_string(which));
                }
            for (auto [i, e] : holders(s.inputs()))
                for (unsigned which : storages) {
                    std::vector<const mxArray *> in = s.inputs();
                    mxArray *a = e ? standin::cell_element(in[i], e - 1)
                                   : const_cast<mxArray *>(in[i]);
                    standin::null_storage(a, which);
                    either(standin::call(module, 1, in),
                           "input " + std::to_string(i + 1) + "/" + std::to_string(e) +
                           " storage " + std::to_string(which));
                }
            standin::release_all();
        }
        for (const std::string &message : mod.fault_messages)
            EXPECT_TRUE(met.count(message)) << mod.name << ": no fault gave \""
                                            << message << "\" (a gap)";
        std::cout << "fault sweep: " << mod.name << ": " << injected[mod.name]
                  << " faults injected, " << met.size() << " of "
                  << mod.fault_messages.size() << " fault messages met\n";
        total += injected[mod.name];
    }
    std::cout << "fault sweep: " << total << " distinct faults injected\n";
    RecordProperty("faults", total);
}
