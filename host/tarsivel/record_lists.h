// The plug-in's pre-render record as plain lists. Smart pre-render hands the
// record over as an opaque pointer; this is the one place the host reads it
// through the plug-in's own header, so everything else sees only lists.
#ifndef TARSIVEL_HOST_TARSIVEL_RECORD_LISTS_H
#define TARSIVEL_HOST_TARSIVEL_RECORD_LISTS_H

#include <span>

namespace tarsivel::cli {

// Views into the record, valid for as long as the record lives.
struct RecordLists {
    std::span<const float> points;         // 4 per piece
    std::span<const float> segThickness;   // 2 per piece
    std::span<const float> nodePoints;     // 2 per node
    std::span<const float> nodeThickness;  // 1 per node
    bool showNodes = false;
    bool compositeOnOriginal = false;
    float thicknessStart = 0.0f;
    float thicknessEnd = 0.0f;
    float colorA = 0.0f;
    float colorR = 0.0f;
    float colorG = 0.0f;
    float colorB = 0.0f;
};

// The lists of a record smart pre-render handed over (not null).
RecordLists ReadRecord(const void* record);

}  // namespace tarsivel::cli

#endif
