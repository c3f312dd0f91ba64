// Built when the control object library is absent: the service modes say so.
#include "tests/soak/soak_runner.h"

namespace kelo::soak {

JobOutcome RunServiceJob(const SoakOptions&, int32_t, int32_t) {
  JobOutcome out;
  out.setup_error = "this build has no control object library (sync/async modes)";
  return out;
}

}  // namespace kelo::soak
