#include "physics/unite_rect.h"

#include <algorithm>

namespace tarsivel {

bool IsEmptyRect(const PF_LRect& r) {
    return !(r.left < r.right && r.top < r.bottom);
}

void UniteRect(const PF_LRect& source, PF_LRect& target) {
    if (IsEmptyRect(target)) {
        target = source;
        return;
    }
    if (IsEmptyRect(source)) {
        return;
    }
    target.left = std::min(target.left, source.left);
    target.top = std::min(target.top, source.top);
    target.right = std::max(target.right, source.right);
    target.bottom = std::max(target.bottom, source.bottom);
}

}  // namespace tarsivel
