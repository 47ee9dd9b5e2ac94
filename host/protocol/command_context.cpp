#include "host/protocol/command_context.h"

#include <cstddef>
#include <cstring>

#include "host/protocol/effect_instance.h"
#include "host/protocol/host_callbacks.h"

namespace tarsivel::host {
namespace {
thread_local CommandContext* currentCommand = nullptr;

struct RecordField {
    std::size_t offset;
    std::size_t size;
    const char* name;
    // PF_OutData: whether the effect may write the field (the version and flags
    // at global set-up, the parameter count at parameter set-up, the message
    // and its flag whenever it reports an error).
    bool effectWrites = false;
};

#define TARSIVEL_FIELD(RECORD, FIELD, ...)                                                \
    RecordField {                                                                         \
        offsetof(RECORD, FIELD), sizeof(RECORD::FIELD), #FIELD __VA_OPT__(, ) __VA_ARGS__ \
    }

constexpr RecordField kInDataFields[] = {
    TARSIVEL_FIELD(PF_InData, inter),
    TARSIVEL_FIELD(PF_InData, utils),
    TARSIVEL_FIELD(PF_InData, effect_ref),
    TARSIVEL_FIELD(PF_InData, quality),
    TARSIVEL_FIELD(PF_InData, version),
    TARSIVEL_FIELD(PF_InData, serial_num),
    TARSIVEL_FIELD(PF_InData, appl_id),
    TARSIVEL_FIELD(PF_InData, num_params),
    TARSIVEL_FIELD(PF_InData, reserved),
    TARSIVEL_FIELD(PF_InData, what_cpu),
    TARSIVEL_FIELD(PF_InData, what_fpu),
    TARSIVEL_FIELD(PF_InData, current_time),
    TARSIVEL_FIELD(PF_InData, time_step),
    TARSIVEL_FIELD(PF_InData, total_time),
    TARSIVEL_FIELD(PF_InData, local_time_step),
    TARSIVEL_FIELD(PF_InData, time_scale),
    TARSIVEL_FIELD(PF_InData, field),
    TARSIVEL_FIELD(PF_InData, shutter_angle),
    TARSIVEL_FIELD(PF_InData, width),
    TARSIVEL_FIELD(PF_InData, height),
    TARSIVEL_FIELD(PF_InData, extent_hint),
    TARSIVEL_FIELD(PF_InData, output_origin_x),
    TARSIVEL_FIELD(PF_InData, output_origin_y),
    TARSIVEL_FIELD(PF_InData, downsample_x),
    TARSIVEL_FIELD(PF_InData, downsample_y),
    TARSIVEL_FIELD(PF_InData, pixel_aspect_ratio),
    TARSIVEL_FIELD(PF_InData, in_flags),
    TARSIVEL_FIELD(PF_InData, global_data),
    TARSIVEL_FIELD(PF_InData, sequence_data),
    TARSIVEL_FIELD(PF_InData, frame_data),
    TARSIVEL_FIELD(PF_InData, start_sampL),
    TARSIVEL_FIELD(PF_InData, dur_sampL),
    TARSIVEL_FIELD(PF_InData, total_sampL),
    TARSIVEL_FIELD(PF_InData, src_snd),
    TARSIVEL_FIELD(PF_InData, pica_basicP),
    TARSIVEL_FIELD(PF_InData, pre_effect_source_origin_x),
    TARSIVEL_FIELD(PF_InData, pre_effect_source_origin_y),
    TARSIVEL_FIELD(PF_InData, shutter_phase),
};

constexpr RecordField kOutDataFields[] = {
    TARSIVEL_FIELD(PF_OutData, my_version, true), TARSIVEL_FIELD(PF_OutData, name),
    TARSIVEL_FIELD(PF_OutData, global_data),      TARSIVEL_FIELD(PF_OutData, num_params, true),
    TARSIVEL_FIELD(PF_OutData, sequence_data),    TARSIVEL_FIELD(PF_OutData, flat_sdata_size),
    TARSIVEL_FIELD(PF_OutData, frame_data),       TARSIVEL_FIELD(PF_OutData, width),
    TARSIVEL_FIELD(PF_OutData, height),           TARSIVEL_FIELD(PF_OutData, origin),
    TARSIVEL_FIELD(PF_OutData, out_flags, true),  TARSIVEL_FIELD(PF_OutData, return_msg, true),
    TARSIVEL_FIELD(PF_OutData, start_sampL),      TARSIVEL_FIELD(PF_OutData, dur_sampL),
    TARSIVEL_FIELD(PF_OutData, dest_snd),         TARSIVEL_FIELD(PF_OutData, out_flags2, true),
};

#undef TARSIVEL_FIELD

template <class Record, std::size_t N>
void NoteChangedFields(const char* recordName, const Record& before, const Record& after,
                       const RecordField (&fields)[N], std::vector<std::string>& changes) {
    const auto* a = reinterpret_cast<const unsigned char*>(&before);
    const auto* b = reinterpret_cast<const unsigned char*>(&after);
    for (const RecordField& field : fields) {
        if (!field.effectWrites &&
            std::memcmp(a + field.offset, b + field.offset, field.size) != 0) {
            changes.push_back(std::string("the effect changed ") + recordName + "." + field.name +
                              ", which it may not write");
        }
    }
}

// The layer's size at the command's downsample, rounded up as the host's
// worlds are.
A_long Downsampled(A_long size, const PF_RationalScale& scale) {
    if (scale.den == 0) {
        return size;
    }
    const long long num = static_cast<long long>(size) * scale.num;
    return A_long((num + scale.den - 1) / scale.den);
}

}  // namespace

CommandContext::CommandContext(EffectInstance& instance, const CommandSettings& settings)
    : instance_(instance),
      settings_(settings),
      failures_(settings.failures),
      utils_(UtilCallbacks()),
      previous_(currentCommand) {
    // Every field is filled, the ones the effect does not read included, with
    // the values docs/reference-host.md lists.
    in_.inter = InteractCallbacks();
    in_.utils = &utils_;
    in_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    in_.quality = PF_Quality_HI;
    in_.version = PF_SpecVersion{PF_AE_PLUG_IN_VERSION, PF_AE_PLUG_IN_SUBVERS};
    in_.serial_num = 0;
    in_.appl_id = settings.applId;
    in_.num_params = instance.DeclaredParamCount();
    in_.what_cpu = 0;
    in_.what_fpu = 0;
    in_.current_time = settings.currentTime;
    in_.time_step = settings.timeStep;
    in_.total_time = settings.totalTime;
    in_.local_time_step = settings.localTimeStep;
    in_.time_scale = settings.timeScale;
    in_.field = PF_Field_FRAME;
    in_.shutter_angle = 0;
    in_.width = instance.LayerWidth();
    in_.height = instance.LayerHeight();
    in_.extent_hint = PF_Rect{0, 0, Downsampled(in_.width, settings.downsampleX),
                              Downsampled(in_.height, settings.downsampleY)};
    in_.output_origin_x = settings.outputOriginX;
    in_.output_origin_y = settings.outputOriginY;
    in_.downsample_x = settings.downsampleX;
    in_.downsample_y = settings.downsampleY;
    in_.pixel_aspect_ratio = PF_RationalScale{1, 1};
    in_.in_flags = PF_InFlag_NONE;
    in_.global_data = instance.GlobalData();
    in_.sequence_data = nullptr;
    in_.frame_data = nullptr;
    in_.pica_basicP = BasicSuite();
    in_.pre_effect_source_origin_x = 0;
    in_.pre_effect_source_origin_y = 0;
    in_.shutter_phase = 0;
    out_.global_data = instance.GlobalData();
    inGuard_.fill(kGuardByte);
    outGuard_.fill(kGuardByte);
    inHandedOver_ = in_;
    outHandedOver_ = out_;
    currentCommand = this;
}

CommandContext::~CommandContext() {
    currentCommand = previous_;
    magic_ = 0;
}

std::vector<std::string> CommandContext::RecordChanges() const {
    std::vector<std::string> changes;
    NoteChangedFields("PF_InData", inHandedOver_, in_, kInDataFields, changes);
    NoteChangedFields("PF_OutData", outHandedOver_, out_, kOutDataFields, changes);
    const auto intact = [](const std::array<unsigned char, kGuardBytes>& guard) {
        for (unsigned char byte : guard) {
            if (byte != kGuardByte) {
                return false;
            }
        }
        return true;
    };
    if (!intact(inGuard_)) {
        changes.emplace_back("the effect wrote past the end of PF_InData");
    }
    if (!intact(outGuard_)) {
        changes.emplace_back("the effect wrote past the end of PF_OutData");
    }
    return changes;
}

CommandContext* CommandContext::FromEffectRef(PF_ProgPtr effect_ref) {
    auto* context = reinterpret_cast<CommandContext*>(effect_ref);
    return context != nullptr && context->magic_ == kMagic ? context : nullptr;
}

CommandContext* CommandContext::Current() {
    return currentCommand;
}

}  // namespace tarsivel::host
