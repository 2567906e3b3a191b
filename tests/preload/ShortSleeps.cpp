// Preloaded (LD_PRELOAD) into the built binary by load tests: every sleep of the process is cut
// to at most a millisecond, so a test can run thousands of passes of a loop that pauses for
// seconds between them, with the binary exactly as it ships.
#include <dlfcn.h>
#include <time.h>

namespace {
constexpr long LONGEST_NS = 1'000'000;
}  // namespace

extern "C" int nanosleep(const timespec* wanted, timespec* left) {
  using Real = int (*)(const timespec*, timespec*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "nanosleep"));
  timespec shortened = *wanted;
  if (shortened.tv_sec > 0 || shortened.tv_nsec > LONGEST_NS) shortened = {0, LONGEST_NS};
  return real(&shortened, left);
}
