// The suites every instance of this host offers from the start.
#ifndef TARSIVEL_HOST_PROTOCOL_STANDARD_SUITES_H
#define TARSIVEL_HOST_PROTOCOL_STANDARD_SUITES_H

namespace tarsivel::host {

class SuiteRegistry;

void RegisterStandardSuites(SuiteRegistry& registry);

// Each family of suites lives in its own file.
void RegisterPathSuites(SuiteRegistry& registry);   // path query, path data
void RegisterWorldSuites(SuiteRegistry& registry);  // world, world transform
void RegisterGpuSuites(SuiteRegistry& registry);    // GPU device, handle

}  // namespace tarsivel::host

#endif
