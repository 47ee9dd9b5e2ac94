// A plug-in library loaded through the platform loader, registered as a host
// registers it: the registration callback gives the names and the entry
// point's name, which is then resolved in the library.
#ifndef TARSIVEL_HOST_PROTOCOL_PLUGIN_LIBRARY_H
#define TARSIVEL_HOST_PROTOCOL_PLUGIN_LIBRARY_H

#include <memory>
#include <string>
#include <vector>

#include "host/protocol/entry_types.h"
#include "host/protocol/failure_plan.h"
#include "host/protocol/pipl.h"
#include "hostapi/pf_api.h"

namespace tarsivel::host {

// What the host tells a plug-in's registration function of itself.
inline constexpr const char* kHostName = "Tarsivel reference host";
inline constexpr const char* kHostVersion = "1.0";

struct Registration {
    int calls = 0;
    bool dataPassedThrough = false;
    std::string name;
    std::string matchName;
    std::string category;
    std::string entryPointName;
    A_long kind = 0;
    A_long apiVersionMajor = 0;
    A_long apiVersionMinor = 0;
    A_long reservedInfo = 0;
};

class PluginLibrary {
  public:
    // Null with `error` set when the library cannot be loaded or lacks the
    // registration function.
    static std::unique_ptr<PluginLibrary> Load(const std::string& path, std::string& error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Calls the library's registration function once; `callbackError` is what
    // this host's callback answers. Resolves the entry point on success.
    PF_Err Register(PF_Err callbackError = PF_Err_NONE);
    const Registration& Registered() const { return registration_; }
    // Null until registration named an entry point the library has.
    EffectMainFunc EntryPoint() const { return entry_; }

    const std::string& Path() const { return path_; }
    // The PiPL as the platform carries it: the ".pipl" section on ELF systems,
    // the "PIPL" resource 16000 on Windows. Empty with `error` set when absent.
    std::vector<uint8_t> PiplBytes(std::string& error) const;
    // The names the library exports.
    std::vector<std::string> ExportedSymbols(std::string& error) const;

  private:
    PluginLibrary(std::string path, void* handle);
    // The platform loader's handle, or null with `error` set.
    static void* Open(const std::string& path, std::string& error);
    void* Symbol(const char* name) const;

    std::string path_;
    void* handle_;
    PluginDataEntryFunctionPtr registerFunction_ = nullptr;
    EffectMainFunc entry_ = nullptr;
    Registration registration_;
};

}  // namespace tarsivel::host

#endif
