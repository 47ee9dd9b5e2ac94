#include "host/protocol/plugin_library.h"

#include <cstring>

#include "host/protocol/callback_guard.h"
#include "host/protocol/host_callbacks.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>

#include "host/protocol/elf_file.h"
#endif

namespace tarsivel::host {
namespace {

struct RegistrationCall {
    Registration* registration;
    PF_Err answer;
};

// The callback finds its call here rather than through the data pointer, so a
// plug-in that passes something else is caught instead of followed.
thread_local RegistrationCall* currentCall = nullptr;

std::string Text(const A_u_char* text) {
    const auto* s = reinterpret_cast<const char*>(text);
    return s ? std::string(s) : std::string();
}

A_Err RegistrationCallback(PF_PluginDataPtr data, const A_u_char* name, const A_u_char* match_name,
                           const A_u_char* category, const A_u_char* entry_point_name, A_long kind,
                           A_long api_version_major, A_long api_version_minor,
                           A_long reserved_info) {
    RegistrationCall* call = currentCall;
    if (call == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Registration& r = *call->registration;
    ++r.calls;
    r.dataPassedThrough = data == reinterpret_cast<PF_PluginDataPtr>(call);
    r.name = Text(name);
    r.matchName = Text(match_name);
    r.category = Text(category);
    r.entryPointName = Text(entry_point_name);
    r.kind = kind;
    r.apiVersionMajor = api_version_major;
    r.apiVersionMinor = api_version_minor;
    r.reservedInfo = reserved_info;
    return call->answer;
}

template <class Function>
Function As(void* symbol) {
    Function f;
    static_assert(sizeof f == sizeof symbol);
    std::memcpy(&f, &symbol, sizeof f);
    return f;
}

}  // namespace

PluginLibrary::PluginLibrary(std::string path, void* handle)
    : path_(std::move(path)), handle_(handle) {}

#if defined(_WIN32)

void* PluginLibrary::Open(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    }
    return module;
}

PluginLibrary::~PluginLibrary() {
    FreeLibrary(static_cast<HMODULE>(handle_));
}

void* PluginLibrary::Symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::vector<uint8_t> PluginLibrary::PiplBytes(std::string& error) const {
    HMODULE module = static_cast<HMODULE>(handle_);
    HRSRC resource = FindResourceExA(module, "PIPL", MAKEINTRESOURCEA(16000),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        error = path_ + " has no PIPL resource 16000";
        return {};
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, resource));
}

std::vector<std::string> PluginLibrary::ExportedSymbols(std::string& error) const {
    const auto* base = static_cast<const uint8_t*>(handle_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) {
        error = path_ + " exports nothing";
        return {};
    }
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> symbols;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        symbols.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    return symbols;
}

#else

void* PluginLibrary::Open(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown error");
    }
    return handle;
}

PluginLibrary::~PluginLibrary() {
    dlclose(handle_);
}

void* PluginLibrary::Symbol(const char* name) const {
    return dlsym(handle_, name);
}

std::vector<uint8_t> PluginLibrary::PiplBytes(std::string& error) const {
    auto file = ElfFile::Open(path_, error);
    if (!file) {
        return {};
    }
    auto section = file->Section(".pipl");
    if (!section) {
        error = path_ + " has no .pipl section";
        return {};
    }
    return *section;
}

std::vector<std::string> PluginLibrary::ExportedSymbols(std::string& error) const {
    auto file = ElfFile::Open(path_, error);
    return file ? file->ExportedSymbols() : std::vector<std::string>{};
}

#endif

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    void* handle = Open(path, error);
    if (handle == nullptr) {
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary(path, handle));
    library->registerFunction_ =
        As<PluginDataEntryFunctionPtr>(library->Symbol("PluginDataEntryFunction"));
    if (library->registerFunction_ == nullptr) {
        error = path + " has no PluginDataEntryFunction";
        return nullptr;
    }
    return library;
}

PF_Err PluginLibrary::Register(PF_Err callbackError) {
    registration_ = Registration{};
    RegistrationCall call{&registration_, callbackError};
    currentCall = &call;
    const PF_Err err =
        registerFunction_(reinterpret_cast<PF_PluginDataPtr>(&call), Guarded<RegistrationCallback>,
                          BasicSuite(), kHostName, kHostVersion);
    currentCall = nullptr;
    if (err == PF_Err_NONE && !registration_.entryPointName.empty()) {
        entry_ = As<EffectMainFunc>(Symbol(registration_.entryPointName.c_str()));
    }
    return err;
}

}  // namespace tarsivel::host
