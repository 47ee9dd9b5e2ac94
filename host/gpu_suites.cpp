#include "host/standard_suites.h"

namespace tarsivel::host {

void RegisterGpuSuites(SuiteRegistry& /*registry*/) {}

}  // namespace tarsivel::host
