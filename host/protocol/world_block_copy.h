// Copies a block of pixels between two CPU worlds of any depths, converting
// every channel with the host's one set of conversions. Rows are addressed
// through rowbytes and channels are read and written byte-wise, so neither
// padding nor alignment is assumed.
#ifndef TARSIVEL_HOST_PROTOCOL_WORLD_BLOCK_COPY_H
#define TARSIVEL_HOST_PROTOCOL_WORLD_BLOCK_COPY_H

#include <cstdint>

#include "host/protocol/image_world.h"
#include "hostapi/pf_world.h"

namespace tarsivel::host {

struct WorldBlock {
    const PF_EffectWorld* world;
    PixelDepth depth;
    int32_t left;
    int32_t top;
};

// Copies width × height pixels from `source` to `target`; the caller has
// checked both blocks lie inside their worlds. The source may be the target.
void CopyWorldBlock(const WorldBlock& source, const WorldBlock& target, int32_t width,
                    int32_t height);

}  // namespace tarsivel::host

#endif
