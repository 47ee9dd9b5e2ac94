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

// The helpers below spell out one fixed order of operations each (x before y, products before
// the sum), the order the physics has always used, so that a call computes the very bits the
// written-out expression did.

// a - b.
inline Vec2 Difference(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}

// a.x * b.x + a.y * b.y.
inline double Dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}

// v.x * v.x + v.y * v.y.
inline double LengthSquared(Vec2 v) {
    return v.x * v.x + v.y * v.y;
}

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_VEC2_H
