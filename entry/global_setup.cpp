#include "entry/global_setup.h"

#include "entry/effect_info.h"
#include "entry/scoped_suite.h"
#include "hostapi/pf_suites.h"

namespace tarsivel {

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = kPackedVersion;
    out_data->out_flags = kOutFlags;
    out_data->out_flags2 = kOutFlags2WithoutGpu;
    if (in_data->appl_id == A_long(PF_APPL_ID_PRMR)) {
        // That host is not told of GPU rendering and takes one pixel format.
        ScopedSuite<PF_PixelFormatSuite1> formats(in_data, kPFPixelFormatSuite,
                                                  kPFPixelFormatSuiteVersion1, out_data);
        formats->ClearSupportedPixelFormats(in_data->effect_ref);
        formats->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_VUYA_4444_8u);
    } else {
        out_data->out_flags2 = kOutFlags2;
    }
    return PF_Err_NONE;
}

}  // namespace tarsivel
