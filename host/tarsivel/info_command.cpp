#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/pipl.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/plugin_session.h"

namespace tarsivel::cli {
namespace {

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

const char* KindName(PF_ParamType kind) {
    switch (kind) {
        case PF_Param_LAYER:
            return "layer";
        case PF_Param_SLIDER:
            return "slider";
        case PF_Param_FLOAT_SLIDER:
            return "float slider";
        case PF_Param_ANGLE:
            return "angle";
        case PF_Param_CHECKBOX:
            return "checkbox";
        case PF_Param_COLOR:
            return "colour";
        case PF_Param_POINT:
            return "point";
        case PF_Param_PATH:
            return "path";
        case PF_Param_GROUP_START:
            return "group start";
        case PF_Param_GROUP_END:
            return "group end";
        default:
            return "unknown";
    }
}

std::string Range(double lo, double hi) {
    std::ostringstream text;
    text << lo << " … " << hi;
    return text.str();
}

std::string Describe(const PF_ParamDef& def) {
    std::ostringstream text;
    const PF_ParamDefUnion& u = def.u;
    switch (def.param_type) {
        case PF_Param_POINT:
            text << "default (" << u.td.x_dephault / 65536.0 << " %, " << u.td.y_dephault / 65536.0
                 << " %)";
            break;
        case PF_Param_CHECKBOX:
            text << "default " << (u.bd.dephault ? "on" : "off");
            break;
        case PF_Param_SLIDER:
            text << "default " << u.sd.dephault << ", valid "
                 << Range(u.sd.valid_min, u.sd.valid_max) << ", slider "
                 << Range(u.sd.slider_min, u.sd.slider_max);
            break;
        case PF_Param_FLOAT_SLIDER:
            text << "default " << u.fs_d.dephault << ", valid "
                 << Range(u.fs_d.valid_min, u.fs_d.valid_max) << ", slider "
                 << Range(u.fs_d.slider_min, u.fs_d.slider_max) << ", precision "
                 << u.fs_d.precision;
            break;
        case PF_Param_COLOR:
            text << "default #" << std::hex;
            for (int c : {u.cd.dephault.red, u.cd.dephault.green, u.cd.dephault.blue,
                          u.cd.dephault.alpha}) {
                text << (c < 16 ? "0" : "") << c;
            }
            break;
        case PF_Param_ANGLE:
            text << "default " << u.ad.dephault / 65536.0 << " degrees";
            break;
        case PF_Param_PATH:
            text << "default " << u.path_d.dephault << " (no mask)";
            break;
        default:
            break;
    }
    return text.str();
}

}  // namespace

int RunInfo(const std::string& plugin) {
    PluginSession session(plugin.empty() ? DefaultPluginPath() : plugin, 1920, 1080);
    const host::Registration& r = session.Library().Registered();
    std::cout << "Plug-in: " << session.Library().Path() << "\n"
              << "Registration:\n  name \"" << r.name << "\"\n  match name \"" << r.matchName
              << "\"\n  category \"" << r.category << "\"\n  entry point \"" << r.entryPointName
              << "\"\n  kind '" << host::FourCCText(uint32_t(r.kind)) << "'\n  API version "
              << r.apiVersionMajor << "." << r.apiVersionMinor << "\n";
    std::string error;
    const std::vector<uint8_t> bytes = session.Library().PiplBytes(error);
    auto pipl = bytes.empty() ? std::nullopt : host::DecodePipl(bytes, error);
    std::cout << (pipl ? host::DescribePipl(*pipl) : "PiPL: " + error + "\n");
    const PF_OutData& global = session.GlobalSetup();
    std::cout << "Global set-up: version " << Hex(global.my_version) << ", out flags "
              << Hex(uint32_t(global.out_flags)) << ", out flags 2 "
              << Hex(uint32_t(global.out_flags2)) << "\n";
    const auto& declarations = session.Instance().Params().Declarations();
    std::cout << "Parameters (" << declarations.size() + 1 << "):\n"
              << "   0  (input layer)  layer\n";
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        const PF_ParamDef& def = declarations[i].def;
        char index[24];
        std::snprintf(index, sizeof index, "%4zu", i + 1);
        std::cout << index << "  " << (def.name[0] ? "\"" + std::string(def.name) + "\"" : "(end)")
                  << "  " << KindName(def.param_type);
        const std::string details = Describe(def);
        std::cout << (details.empty() ? "" : "  " + details) << "\n";
    }
    return kExitSuccess;
}

}  // namespace tarsivel::cli
