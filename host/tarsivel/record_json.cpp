#include "host/tarsivel/record_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>

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

// One object, either on one line or, pretty, a key a line with each list
// broken into a line per piece or node.
class ObjectWriter {
  public:
    ObjectWriter(std::string& out, bool pretty, int& nonFinite)
        : out_(out), pretty_(pretty), nonFinite_(nonFinite) {
        out_ += pretty_ ? "{\n  " : "{";
    }
    void Key(const char* key) {
        if (!first_) {
            out_ += pretty_ ? ",\n  " : ", ";
        }
        first_ = false;
        out_ += "\"";
        out_ += key;
        out_ += "\": ";
    }
    void Integer(const char* key, int64_t v) {
        Key(key);
        out_ += std::to_string(v);
    }
    void String(const char* key, const char* v) {
        Key(key);
        out_ += "\"";
        out_ += v;
        out_ += "\"";
    }
    void Bool(const char* key, bool v) {
        Key(key);
        out_ += v ? "true" : "false";
    }
    void Scalar(const char* key, float v) {
        Key(key);
        AppendFloat(out_, v, nonFinite_);
    }
    // `group`: the values of one piece or node, a line of their own when pretty.
    void List(const char* key, std::span<const float> values, std::size_t group) {
        Key(key);
        out_ += "[";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (pretty_ && i % group == 0) {
                out_ += i == 0 ? "\n    " : ",\n    ";
            } else if (i > 0) {
                out_ += ", ";
            }
            AppendFloat(out_, values[i], nonFinite_);
        }
        out_ += pretty_ && !values.empty() ? "\n  ]" : "]";
    }
    void End() { out_ += pretty_ ? "\n}\n" : "}\n"; }

  private:
    std::string& out_;
    bool pretty_;
    int& nonFinite_;
    bool first_ = true;
};

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
                       uint32_t timeScale, int& nonFinite, bool pretty) {
    std::string out;
    ObjectWriter json(out, pretty, nonFinite);
    json.String("format", "tarsivel-record/1");
    json.Integer("frame", frame);
    json.Integer("current_time", currentTime);
    json.Integer("time_scale", timeScale);
    json.List("points", record.points, 4);
    json.List("segThickness", record.segThickness, 2);
    json.List("nodePoints", record.nodePoints, 2);
    json.List("nodeThickness", record.nodeThickness, 1);
    json.Bool("showNodes", record.showNodes);
    json.Bool("compositeOnOriginal", record.compositeOnOriginal);
    json.Scalar("thicknessStart", record.thicknessStart);
    json.Scalar("thicknessEnd", record.thicknessEnd);
    json.Scalar("colorA", record.colorA);
    json.Scalar("colorR", record.colorR);
    json.Scalar("colorG", record.colorG);
    json.Scalar("colorB", record.colorB);
    json.End();
    return out;
}

}  // namespace tarsivel::cli
