#ifndef TARSIVEL_ENTRY_REGISTER_EFFECT_H
#define TARSIVEL_ENTRY_REGISTER_EFFECT_H

#include "hostapi/pf_entry.h"

namespace tarsivel {

// Tells the host the effect's name, match name, category and entry point with
// one call of its registration callback, whose result is returned unchanged.
PF_Err RegisterEffect(PF_PluginDataPtr data, PF_PluginDataCB callback);

}  // namespace tarsivel

#endif
