// The host's own names around the effect API: the type of the command entry
// point it calls, four-character codes, and add_param's append position. The
// published API leaves these to each host.
#ifndef TARSIVEL_HOST_PROTOCOL_ENTRY_TYPES_H
#define TARSIVEL_HOST_PROTOCOL_ENTRY_TYPES_H

#include "hostapi/pf_api.h"

namespace tarsivel::host {

using EffectMainFunc = PF_Err (*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_LayerDef* output, void* extra);

// A four-character code as one 32-bit number, the first character the most
// significant byte ('eFKT' is 0x65464B54).
constexpr A_long FourCharCode(char a, char b, char c, char d) {
    return A_long((A_u_long(A_u_char(a)) << 24) | (A_u_long(A_u_char(b)) << 16) |
                  (A_u_long(A_u_char(c)) << 8) | A_u_long(A_u_char(d)));
}

// The position argument of add_param that appends the parameter at the end.
inline constexpr PF_ParamIndex kAppendPosition = -1;

}  // namespace tarsivel::host

#endif
