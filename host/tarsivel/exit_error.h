// How the command ends when it cannot go on: the exit code and what to say.
#ifndef TARSIVEL_HOST_TARSIVEL_EXIT_ERROR_H
#define TARSIVEL_HOST_TARSIVEL_EXIT_ERROR_H

#include <stdexcept>
#include <string>

namespace tarsivel::cli {

enum ExitCode {
    kExitSuccess = 0,
    kExitPluginError = 1,     // the plug-in returned an error
    kExitUsage = 2,           // usage, scene, file or environment errors
    kExitContractBroken = 3,  // the plug-in broke the host contract
};

class ExitError : public std::runtime_error {
  public:
    ExitError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

}  // namespace tarsivel::cli

#endif
