#include "host/tarsivel/record_json.h"

#include <charconv>
#include <cmath>

namespace tarsivel::cli {
namespace {

void AppendFloat(std::string& out, float v, int& nonFinite) {
    if (!std::isfinite(v)) {
        out += "null";
        ++nonFinite;
        return;
    }
    out += ShortestFloat(v);
}

void AppendList(std::string& out, const char* key, std::span<const float> values, int& nonFinite) {
    out += ", \"";
    out += key;
    out += "\": [";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        AppendFloat(out, values[i], nonFinite);
    }
    out += "]";
}

void AppendScalar(std::string& out, const char* key, float v, int& nonFinite) {
    out += ", \"";
    out += key;
    out += "\": ";
    AppendFloat(out, v, nonFinite);
}

void AppendBool(std::string& out, const char* key, bool v) {
    out += ", \"";
    out += key;
    out += v ? "\": true" : "\": false";
}

}  // namespace

int CountNonFinite(const RecordLists& record) {
    int count = 0;
    for (std::span<const float> list :
         {record.points, record.segThickness, record.nodePoints, record.nodeThickness}) {
        for (float v : list) {
            count += !std::isfinite(v);
        }
    }
    for (float v : {record.thicknessStart, record.thicknessEnd, record.colorA, record.colorR,
                    record.colorG, record.colorB}) {
        count += !std::isfinite(v);
    }
    return count;
}

std::string NonFiniteWarning(int count) {
    return std::to_string(count) + (count == 1 ? " value of the record is not finite"
                                               : " values of the record are not finite");
}

std::string ShortestFloat(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string RecordJson(const RecordLists& record, int32_t frame, int32_t currentTime,
                       uint32_t timeScale, int& nonFinite) {
    std::string out = "{\"format\": \"tarsivel-record/1\", \"frame\": " + std::to_string(frame) +
                      ", \"current_time\": " + std::to_string(currentTime) +
                      ", \"time_scale\": " + std::to_string(timeScale);
    AppendList(out, "points", record.points, nonFinite);
    AppendList(out, "segThickness", record.segThickness, nonFinite);
    AppendList(out, "nodePoints", record.nodePoints, nonFinite);
    AppendList(out, "nodeThickness", record.nodeThickness, nonFinite);
    AppendBool(out, "showNodes", record.showNodes);
    AppendBool(out, "compositeOnOriginal", record.compositeOnOriginal);
    AppendScalar(out, "thicknessStart", record.thicknessStart, nonFinite);
    AppendScalar(out, "thicknessEnd", record.thicknessEnd, nonFinite);
    AppendScalar(out, "colorA", record.colorA, nonFinite);
    AppendScalar(out, "colorR", record.colorR, nonFinite);
    AppendScalar(out, "colorG", record.colorG, nonFinite);
    AppendScalar(out, "colorB", record.colorB, nonFinite);
    out += "}\n";
    return out;
}

}  // namespace tarsivel::cli
