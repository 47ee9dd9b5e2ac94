#ifndef TARSIVEL_PHYSICS_UNITE_RECT_H
#define TARSIVEL_PHYSICS_UNITE_RECT_H

#include "hostapi/pf_types.h"

namespace tarsivel {

// A rectangle is empty unless left < right and top < bottom.
bool IsEmptyRect(const PF_LRect& r);

// Grows `target` to hold `source`: an empty target becomes a copy of the source
// (even an empty one); an empty source leaves a non-empty target alone.
void UniteRect(const PF_LRect& source, PF_LRect& target);

}  // namespace tarsivel

#endif
