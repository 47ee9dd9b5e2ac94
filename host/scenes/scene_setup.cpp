#include "host/scenes/scene_setup.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tarsivel::host {
namespace {

using nlohmann::json;

class ValueReader {
  public:
    ValueReader(const Scene& scene, const SceneParam& param, const PF_ParamDef& def,
                std::vector<std::string>& warnings)
        : scene_(scene), param_(param), def_(def), warnings_(warnings) {}

    [[noreturn]] void Fail(const std::string& problem) const {
        throw SceneError(scene_.path + ": " + param_.key + ": " + problem);
    }

    ParamValue Read(const json& v, bool& clamped) const {
        switch (def_.param_type) {
            case PF_Param_POINT:
                return Point(v);
            case PF_Param_CHECKBOX:
                if (!v.is_boolean()) {
                    Fail("expected true or false");
                }
                return ParamValue::Scalar(v.get<bool>() ? 1 : 0);
            case PF_Param_SLIDER:
                if (!IsInteger(v)) {
                    Fail("expected an integer");
                }
                return Ranged(v.get<double>(), def_.u.sd.valid_min, def_.u.sd.valid_max, clamped);
            case PF_Param_FLOAT_SLIDER:
                return Ranged(Number(v), def_.u.fs_d.valid_min, def_.u.fs_d.valid_max, clamped);
            case PF_Param_COLOR:
                return Color(v);
            case PF_Param_ANGLE: {
                const double degrees = Number(v);
                PF_Fixed unused = 0;
                if (!ToFixed(degrees, unused)) {
                    Fail("expected an angle from -32768 to 32767.99 degrees");
                }
                return ParamValue::Scalar(degrees);
            }
            case PF_Param_PATH:
                return ParamValue::Scalar(double(MaskChoice(v)));
            default:
                Fail("this entry is a group and takes no value");
        }
    }

  private:
    double Number(const json& v) const {
        if (!v.is_number()) {
            Fail("expected a number");
        }
        return v.get<double>();
    }
    ParamValue Point(const json& v) const {
        if (!v.is_array() || v.size() != 2 || !v[0].is_number() || !v[1].is_number()) {
            Fail("expected [x, y]");
        }
        PF_Fixed unused = 0;
        if (!ToFixed(v[0].get<double>(), unused) || !ToFixed(v[1].get<double>(), unused)) {
            Fail(kCoordinateRangeProblem);
        }
        return ParamValue::Point(v[0].get<double>(), v[1].get<double>());
    }
    static ParamValue Ranged(double v, double lo, double hi, bool& clamped) {
        clamped = clamped || v < lo || v > hi;
        return ParamValue::Scalar(v);
    }
    ParamValue Color(const json& v) const {
        const std::string text = v.is_string() ? v.get<std::string>() : std::string();
        uint8_t rgba[4] = {0, 0, 0, 255};
        const bool ok = (text.size() == 7 || text.size() == 9) && text[0] == '#' &&
                        text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
        if (!ok) {
            Fail("expected \"#RRGGBB\" or \"#RRGGBBAA\"");
        }
        for (std::size_t i = 1; i < text.size(); i += 2) {
            rgba[i / 2] = uint8_t(std::stoul(text.substr(i, 2), nullptr, 16));
        }
        return ParamValue::Color(rgba[3], rgba[0], rgba[1], rgba[2]);
    }
    // A mask name, a 1-based index (one with no mask names a deleted mask), or none.
    PF_PathID MaskChoice(const json& v) const {
        if (v.is_string()) {
            const std::string name = v.get<std::string>();
            if (name == "none") {
                return 0;
            }
            for (std::size_t i = 0; i < scene_.masks.size(); ++i) {
                if (scene_.masks[i].name == name) {
                    return MaskPathId(i);
                }
            }
            Fail("no mask is named \"" + name + "\"");
        }
        if (!IsInteger(v) || v.get<double>() < 0 || v.get<double>() > 1000000) {
            Fail("expected a mask name, a 1-based mask index, 0 or \"none\"");
        }
        const auto m = int64_t(v.get<double>());
        if (m > int64_t(scene_.masks.size())) {
            // How a deleted mask looks to the effect: allowed, but rarely meant.
            const std::size_t n = scene_.masks.size();
            const std::string warning = scene_.path + ": " + param_.key + ": " + param_.name + " " +
                                        std::to_string(m) + ": the scene has " + std::to_string(n) +
                                        (n == 1 ? " mask" : " masks") +
                                        "; the rope collides with nothing";
            if (std::find(warnings_.begin(), warnings_.end(), warning) == warnings_.end()) {
                warnings_.push_back(warning);
            }
        }
        return m == 0 ? 0 : PF_PathID(100 + m);
    }

    // Integral numbers count as integers however they are written (4 or 4.0),
    // as everywhere in a scene.
    static bool IsInteger(const json& v) {
        return v.is_number_integer() ||
               (v.is_number_float() && std::floor(v.get<double>()) == v.get<double>());
    }

    const Scene& scene_;
    const SceneParam& param_;
    const PF_ParamDef& def_;
    std::vector<std::string>& warnings_;
};

void ApplyParam(const Scene& scene, const SceneParam& param, EffectInstance& instance,
                std::vector<std::string>& warnings) {
    ParamStore& store = instance.Params();
    const PF_ParamIndex index = store.IndexOf(param.name);
    if (index < 0) {
        throw SceneError(scene.path + ": " + param.key + ": the effect has no such parameter");
    }
    const ValueReader reader(scene, param, store.Declarations().at(std::size_t(index - 1)).def,
                             warnings);
    bool clamped = false;
    try {
        if (!param.animated) {
            store.SetValue(index, reader.Read(param.keys.front().value, clamped));
        } else {
            std::vector<Keyframe> keys;
            for (const SceneKeyframe& k : param.keys) {
                keys.push_back({scene.KeyTime(k.frame), reader.Read(k.value, clamped), k.hold});
            }
            store.SetKeyframes(index, std::move(keys));
        }
    } catch (const std::invalid_argument& e) {
        reader.Fail(e.what());
    }
    if (clamped) {
        warnings.push_back(scene.path + ": " + param.key +
                           ": clamped to the parameter's valid range");
    }
}

}  // namespace

void ApplyScene(const Scene& scene, EffectInstance& instance, std::vector<std::string>& warnings) {
    for (const SceneMask& mask : scene.masks) {
        std::vector<MaskKeyframe> keys;
        for (const SceneMaskKey& key : mask.keys) {
            keys.push_back({scene.KeyTime(key.frame), key.vertices});
        }
        instance.Masks().AddKeyframed(!mask.closed, std::move(keys));
    }
    for (const SceneParam& param : scene.params) {
        ApplyParam(scene, param, instance, warnings);
    }
}

}  // namespace tarsivel::host
