#include "host/standard_suites.h"

namespace tarsivel::host {

void RegisterWorldSuites(SuiteRegistry& /*registry*/) {}

}  // namespace tarsivel::host
