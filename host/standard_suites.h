// The suites every instance of this host offers from the start.
#ifndef TARSIVEL_HOST_STANDARD_SUITES_H
#define TARSIVEL_HOST_STANDARD_SUITES_H

namespace tarsivel::host {

class SuiteRegistry;

void RegisterStandardSuites(SuiteRegistry& registry);

}  // namespace tarsivel::host

#endif
