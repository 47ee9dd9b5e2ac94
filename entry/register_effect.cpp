#include "entry/register_effect.h"

#include "entry/effect_info.h"

namespace tarsivel {

PF_Err RegisterEffect(PF_PluginDataPtr data, PF_PluginDataCB callback) {
    if (callback == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return callback(data, kEffectName, kEffectMatchName, kEffectCategory, kEntryPointName,
                    A_long(PF_KIND_EFFECT), kApiVersionMajor, kApiVersionMinor, kReservedInfo);
}

}  // namespace tarsivel
