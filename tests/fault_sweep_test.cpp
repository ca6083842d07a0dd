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

// ---------------------------------------------------------------- sdp_chol

// sdp_chol keeps a factor from call to call (beside the stand-in LAPACK
// that this program exports). Each of its calls is swept after the calls
// that set up what it finds kept; after a fault that ends the call, the
// factor kept is the one before the call or none, and 'release' leaves no
// block behind.
namespace {

struct KeptScenario {
    const char *name;
    std::vector<size_t> before;   // orders factored first, after a release
    Inputs inputs;
    int nlhs;
};

// A symmetric positive definite matrix of order n.
mxArray *definite(size_t n)
{
    std::vector<double> v(n * n);
    for (size_t j = 0; j < n; j++)
        for (size_t i = 0; i < n; i++)
            v[i + j * n] = i == j ? 4.0 + static_cast<double>(i) : 1.0 / (1.0 + i + j);
    return standin::dense(n, n, v);
}

std::vector<KeptScenario> kept_scenarios()
{
    using In = std::vector<const mxArray *>;
    return {
        {"factor, the block grown from none", {},
         [] { return In{standin::text("factor"), definite(3)}; }, 2},
        {"factor with a shift, the block grown", {2},
         [] { return In{standin::text("factor"), definite(3), standin::scalar(0.5)}; }, 1},
        {"factor in the block kept", {3},
         [] { return In{standin::text("factor"), definite(2)}; }, 2},
        {"factor of order 0", {2},
         [] { return In{standin::text("factor"), standin::dense(0, 0)}; }, 2},
        {"solve", {3},
         [] { return In{standin::text("solve"), standin::dense(3, 2, {1, 2, 3, 4, 5, 6})}; },
         1},
        {"solve with a factor given, another kept", {2},
         [] { return In{standin::text("solve"), standin::dense(3, 2, {1, 2, 3, 4, 5, 6}),
                        standin::dense(3, 3, {2, 0, 0, 1, 3, 0, -1, 1, 4})}; },
         1},
        {"release", {3}, [] { return In{standin::text("release")}; }, 0},
        {"lapack", {3}, [] { return In{standin::text("lapack")}; }, 1}};
}

std::vector<std::vector<uint64_t>> outputs(const Call &c)
{
    std::vector<std::vector<uint64_t>> out;
    for (const mxArray *a : c.out) {
        out.emplace_back();
        for (double v : standin::values(a))
            out.back().push_back(bits(v));
        out.back().push_back(mxGetM(a));
        out.back().push_back(mxGetN(a));
    }
    return out;
}

}  // namespace

TEST_F(FaultSweep, SdpCholKeepsTheFactorBeforeOrNone)
{
    const standin::Module &module = module_at(SDP_CHOL_MODULE);
    const std::set<std::string> fault_messages = {kMemory,
                                                  "Error: Matrices are corrupted?\n"};
    const unsigned storages[] = {standin::Pr, standin::Ir, standin::Jc};
    auto command = [&](std::vector<const mxArray *> in, int nlhs = 1) {
        return standin::call(module, nlhs, std::move(in));
    };
    std::set<std::string> met;
    int injected = 0;
    for (const KeptScenario &s : kept_scenarios()) {
        SCOPED_TRACE(std::string("sdp_chol, ") + s.name);
        const size_t order = s.before.empty() ? 1 : s.before.back();
        auto set_up = [&] {
            ASSERT_TRUE(command({standin::text("release")}, 0).ok);
            for (size_t n : s.before)
                ASSERT_EQ(standin::values(command({standin::text("factor"),
                                                   definite(n)}).out.at(0)),
                          std::vector<double>{0.0});
        };
        // what a solve finds kept: the factor before the call, or none
        auto probe = [&] {
            return command({standin::text("solve"), standin::dense(order, 1, {1.0})});
        };
        set_up();
        const Call before = probe();
        const auto kept = outputs(before);
        set_up();
        const Call plain = standin::call(module, s.nlhs, s.inputs());
        ASSERT_TRUE(plain.ok && plain.leaked.empty() && !plain.arrays_leaked &&
                    !plain.overrun) << plain.message;
        const auto want = outputs(plain);
        // a call ended by the fault, or one that never read what was missing
        auto judge = [&](const Faults &f, std::vector<const mxArray *> in,
                         const std::string &fault, const std::string *message) {
            injected++;
            set_up();
            Call c = standin::call(module, s.nlhs, std::move(in), f);
            if (c.ok) {
                EXPECT_FALSE(message) << fault << ": the call returned";
                EXPECT_TRUE(c.leaked.empty() && !c.arrays_leaked && !c.overrun) << fault;
                EXPECT_EQ(outputs(c), want) << fault;
            } else {
                if (message) {
                    EXPECT_TRUE(Failed(c, *message)) << fault;
                } else {
                    EXPECT_TRUE(FailedWithOneOf(c, fault_messages)) << fault;
                }
                met.insert(c.message);
                const Call after = probe();
                if (!Failed(after, "Error: No factor is kept: factor a matrix first\n")) {
                    EXPECT_TRUE(after.ok && before.ok) << fault << ": " << after.message;
                    if (after.ok && before.ok) {
                        EXPECT_EQ(outputs(after), kept) << fault;
                    }
                }
            }
            EXPECT_TRUE(command({standin::text("release")}, 0).ok);
            EXPECT_TRUE(standin::persistent().empty()) << fault << ": a block left behind";
            standin::release_all();
        };
        const std::string memory = kMemory;
        for (int k = 1; k <= plain.allocations(); k++) {
            Faults f;
            f.fail_allocation = k;
            judge(f, s.inputs(), "allocation " + std::to_string(k), &memory);
        }
        for (int k = 1; k <= plain.creations(); k++) {
            Faults f;
            f.fail_creation = k;
            judge(f, s.inputs(), "creation " + std::to_string(k), &memory);
            for (unsigned which : storages) {
                Faults g;
                g.null_creation = k;
                g.null_which = which;
                judge(g, s.inputs(), "result " + std::to_string(k) + " storage " +
                      std::to_string(which), nullptr);
            }
        }
        const size_t inputs = s.inputs().size();
        for (size_t i = 0; i < inputs; i++)
            for (unsigned which : storages) {
                std::vector<const mxArray *> in = s.inputs();
                standin::null_storage(const_cast<mxArray *>(in[i]), which);
                judge(Faults(), in, "input " + std::to_string(i + 1) + " storage " +
                      std::to_string(which), nullptr);
            }
    }
    for (const std::string &message : fault_messages)
        EXPECT_TRUE(met.count(message)) << "sdp_chol: no fault gave \"" << message
                                        << "\" (a gap)";
    std::cout << "fault sweep: sdp_chol: " << injected << " faults injected, "
              << met.size() << " of " << fault_messages.size()
              << " fault messages met\n";
    RecordProperty("sdp_chol_faults", injected);
}
