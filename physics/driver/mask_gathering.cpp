#include "mask_gathering.h"

namespace tarsivel {
namespace {

// One mask's outline, checked out for as long as the object lives and checked in on every way out
// of its block, also when an edge cannot be appended for lack of memory. A failed checkout has
// nothing to check in.
class CheckedOutPath {
  public:
    CheckedOutPath(const PF_InData* in_data, const PF_PathQuerySuite1& query, PF_PathID id,
                   A_long time, A_long timeStep)
        : query_(query), effect_(in_data->effect_ref), id_(id) {
        ok_ = query.PF_CheckoutPath(effect_, id, time, timeStep, in_data->time_scale, &path_) ==
              PF_Err_NONE;
    }
    ~CheckedOutPath() {
        if (ok_) {
            query_.PF_CheckinPath(effect_, id_, 0, path_);
        }
    }
    CheckedOutPath(const CheckedOutPath&) = delete;
    CheckedOutPath& operator=(const CheckedOutPath&) = delete;

    bool Ok() const { return ok_; }
    PF_PathOutlinePtr Outline() const { return path_; }

  private:
    const PF_PathQuerySuite1& query_;
    PF_ProgPtr effect_;
    PF_PathID id_;
    PF_PathOutlinePtr path_ = nullptr;
    bool ok_ = false;
};

// The Bernstein terms summed in a fixed order, so every build gives the same bits.
double BezierAt(double p0, double p1, double p2, double p3, double t) {
    const double u = 1.0 - t;
    return 3.0 * (u * u) * t * p1 + (u * u) * u * p0 + 3.0 * u * (t * t) * p2 + (t * t) * t * p3;
}

void AppendSpan(const PF_InData* in_data, const PF_PathDataSuite1& data, PF_PathOutlinePtr path,
                A_long from, A_long to, std::vector<MaskCollider>& edges) {
    PF_PathVertex a{};
    PF_PathVertex b{};
    if (data.PF_PathVertexInfo(in_data->effect_ref, path, from, &a) != PF_Err_NONE ||
        data.PF_PathVertexInfo(in_data->effect_ref, path, to, &b) != PF_Err_NONE) {
        return;  // skipped: the span only stops colliding, the frame still renders
    }
    FlattenCubicSpan({a.x, a.y}, {a.tan_out_x, a.tan_out_y}, {b.tan_in_x, b.tan_in_y}, {b.x, b.y},
                     edges);
}

void AppendOutline(const PF_InData* in_data, const PF_PathDataSuite1& data, PF_PathOutlinePtr path,
                   std::vector<MaskCollider>& edges) {
    PF_Boolean open = 0;
    if (data.PF_PathIsOpen(in_data->effect_ref, path, &open) != PF_Err_NONE) {
        open = 0;  // taken as closed, not an error: the outline still collides
    }
    A_long spans = 0;
    if (data.PF_PathNumSegments(in_data->effect_ref, path, &spans) != PF_Err_NONE) {
        spans = 0;  // the mask adds nothing and is still checked in
    }
    for (A_long j = 0; j < spans; ++j) {
        const A_long next = (j + 1) % spans;
        if (open && next == 0) {
            continue;  // an open outline has no closing span
        }
        AppendSpan(in_data, data, path, j, next, edges);
    }
}

}  // namespace

void FlattenCubicSpan(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, std::vector<MaskCollider>& edges) {
    Vec2 start = p0;
    for (int k = 1; k <= 10; ++k) {
        const double t = double(k) / 10.0;
        const Vec2 end{BezierAt(p0.x, p1.x, p2.x, p3.x, t), BezierAt(p0.y, p1.y, p2.y, p3.y, t)};
        edges.push_back(MaskCollider{start.x, start.y, end.x, end.y});
        start = end;
    }
}

void GatherMaskColliders(const PF_InData* in_data, const PF_PathQuerySuite1& query,
                         const PF_PathDataSuite1& data, PF_PathID chosenPathId, bool useAllMasks,
                         A_long time, A_long timeStep, std::vector<MaskCollider>& edges) {
    PF_ProgPtr effect = in_data->effect_ref;
    // No failure here reaches the caller: a mask the host cannot give only stops
    // colliding, and the frame still renders with the others.
    A_long masks = 0;
    if (query.PF_NumPaths(effect, &masks) != PF_Err_NONE) {
        masks = 0;
    }
    for (A_long i = 0; i < masks; ++i) {
        PF_PathID id = 0;
        if (query.PF_PathInfo(effect, i, &id) != PF_Err_NONE) {
            continue;  // skipped, as above
        }
        if (!useAllMasks && id != chosenPathId) {
            continue;
        }
        // Checked in at the end of this iteration, before the next mask is read.
        const CheckedOutPath path(in_data, query, id, time, timeStep);
        if (path.Ok()) {  // a refused checkout is skipped, as above
            AppendOutline(in_data, data, path.Outline(), edges);
        }
    }
}

}  // namespace tarsivel
