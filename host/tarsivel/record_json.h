// The pre-render record as JSON, for `tarsivel dump`: keys in a fixed order and
// every float in its shortest form that reads back to the same 32-bit value
// (the fields are described in docs/scenes.md).
#ifndef TARSIVEL_HOST_TARSIVEL_RECORD_JSON_H
#define TARSIVEL_HOST_TARSIVEL_RECORD_JSON_H

#include <cstdint>
#include <string>

#include "host/tarsivel/record_lists.h"

namespace tarsivel::cli {

// Non-finite values are written as null and counted in `nonFinite`. One
// line, or `pretty`: a key a line and a line per piece or node of each list.
std::string RecordJson(const RecordLists& record, int32_t frame, int32_t currentTime,
                       uint32_t timeScale, int& nonFinite, bool pretty = false);

// How many of the record's float values are not finite.
int CountNonFinite(const RecordLists& record);
// The warning about `count` non-finite values of a record.
std::string NonFiniteWarning(int count);

// The shortest decimal text of a float that reads back to it.
std::string ShortestFloat(float value);

}  // namespace tarsivel::cli

#endif
