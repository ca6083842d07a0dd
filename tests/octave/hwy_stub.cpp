// Preloaded into Octave under valgrind only. Octave loads libhwy (through
// GraphicsMagick and libjxl), whose start-up code measures its timer with
// rdtscp, an instruction that valgrind 3.19 cannot run: this stands in for
// that measurement, so that the run gets past the start-up.
#include <stdint.h>

namespace hwy {
namespace platform {
uint64_t TimerResolution() { return 1; }
}  // namespace platform
}  // namespace hwy
