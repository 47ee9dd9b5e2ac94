#ifndef TARSIVEL_PHYSICS_VEC2_H
#define TARSIVEL_PHYSICS_VEC2_H

namespace tarsivel {

// A point or displacement in layer pixels (x to the right, y downwards).
struct Vec2 {
    double x;
    double y;
};

// Blend from `from` towards `to` by `s`. Always written as from + (to - from) * s, so that every
// interpolated anchor and edge rounds the same way and frames stay bit-identical.
inline double Lerp(double from, double to, double s) {
    return from + (to - from) * s;
}

inline Vec2 Lerp(Vec2 from, Vec2 to, double s) {
    return {Lerp(from.x, to.x, s), Lerp(from.y, to.y, s)};
}

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_VEC2_H
