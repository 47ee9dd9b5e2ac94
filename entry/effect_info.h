// Who the effect is and what it declares, in one place: registration, the
// About text and global set-up all read these (the PiPL's copy is
// entry/pipl.cmake, and the tests hold the two together).
#ifndef TARSIVEL_ENTRY_EFFECT_INFO_H
#define TARSIVEL_ENTRY_EFFECT_INFO_H

#include "pf_api.h"

namespace tarsivel {

// A four-character code as the host stores it: one 32-bit number whose first
// character is the most significant byte ('eFKT' is 0x65464B54).
constexpr A_long FourCharCode(char a, char b, char c, char d) {
    return A_long((A_u_long(A_u_char(a)) << 24) | (A_u_long(A_u_char(b)) << 16) |
                  (A_u_long(A_u_char(c)) << 8) | A_u_long(A_u_char(d)));
}

// The plug-in kind of an effect.
inline constexpr A_long kEffectKind = FourCharCode('e', 'F', 'K', 'T');
// The one host whose application id changes what global set-up declares.
inline constexpr A_long kApplIdPrMr = FourCharCode('P', 'r', 'M', 'r');
static_assert(kEffectKind == 0x65464B54 && kApplIdPrMr == 0x50724D72);

inline constexpr const char* kEffectName = "Tarsivel";
inline constexpr const char* kEffectMatchName = "ADBE Tarsivel";
inline constexpr const char* kEffectCategory = "Quellmark";
inline constexpr const char* kEntryPointName = "EffectMain";
inline constexpr const char* kEffectDescription = "Simulate physically-correct ropes.";

inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;
// Version 1, subversion 0, bug-fix 0, stage develop, build 1, as the host packs it.
inline constexpr A_u_long kPackedVersion = 0x00080001;

inline constexpr A_long kApiVersionMajor = 13;
inline constexpr A_long kApiVersionMinor = 27;
inline constexpr A_long kReservedInfo = 8;

inline constexpr PF_OutFlags kOutFlags =
    PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_PIX_INDEPENDENT | PF_OutFlag_DEEP_COLOR_AWARE;
// Every host but one is told of GPU rendering as well.
inline constexpr PF_OutFlags2 kOutFlags2WithoutGpu = PF_OutFlag2_SUPPORTS_SMART_RENDER |
                                                     PF_OutFlag2_FLOAT_COLOR_AWARE |
                                                     PF_OutFlag2_SUPPORTS_THREADED_RENDERING;
inline constexpr PF_OutFlags2 kOutFlags2 =
    kOutFlags2WithoutGpu | PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;

static_assert(kOutFlags == 0x02000404);
static_assert(kOutFlags2WithoutGpu == 0x08001400);
static_assert(kOutFlags2 == 0x0A001400);

}  // namespace tarsivel

#endif
