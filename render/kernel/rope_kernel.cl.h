// The rope coverage kernel: one work item per output pixel. It starts from the
// input pixel (or transparent black), takes the largest coverage over all rope
// pieces, blends the rope colour over the pixel, lays the node markers on top
// and writes the pixel once.
//
// A piece or marker far from a 16 x 16 work-group's tile gives each of its
// pixels coverage exactly 0, which changes no maximum and lays no marker. So
// each work-group first lists, in local memory and in their original order,
// the pieces and markers that can reach its tile, and its work items then loop
// over that list only. Long lists are made and used in chunks. Pieces and
// markers with a coordinate or width that is not finite are left out.
//
// This one text is both CUDA source (compiled into the library by nvcc) and
// OpenCL C (embedded as text and built per device after a line defining
// GF_OPENCL_SUPPORTS_16F). The sections under __CUDACC__ hold what differs.
// Every floating constant carries an f suffix: CUDA would widen a bare 0.5 to
// double, and the kernel works in single precision throughout.
#ifndef TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CL_H
#define TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CL_H

#if defined(__CUDACC__)

#include <cuda_runtime.h>

#ifndef GF_OPENCL_SUPPORTS_16F
#define GF_OPENCL_SUPPORTS_16F 0
#endif

#define GF_KERNEL extern "C" __global__ void
#define GF_DEVICE_FUNCTION static __device__ __forceinline__
#define GF_GLOBAL
#define GF_READ_ONLY_GLOBAL const
#define GF_GLOBAL_ID_X (blockIdx.x * blockDim.x + threadIdx.x)
#define GF_GLOBAL_ID_Y (blockIdx.y * blockDim.y + threadIdx.y)
#define GF_LOCAL_ID_X threadIdx.x
#define GF_LOCAL_ID_Y threadIdx.y
#define GF_GROUP_X0 (blockIdx.x * blockDim.x)
#define GF_GROUP_Y0 (blockIdx.y * blockDim.y)
#define GF_LOCAL_ARRAY __shared__
#define GF_LOCAL_POINTER
#define GF_BARRIER() __syncthreads()
#define GF_FLOAT_BITS(v) __float_as_uint(v)
#define GF_LOAD4(index, pointer) (reinterpret_cast<const float4*>(pointer)[(index)])
#define GF_MAKE_FLOAT4(x, y, z, w) make_float4((x), (y), (z), (w))
#define GF_SQRT(v) sqrtf(v)
#define GF_ABS(v) fabsf(v)
#define GF_MIN(a, b) fminf((a), (b))
#define GF_MAX(a, b) fmaxf((a), (b))

#else

#define GF_KERNEL __kernel void
#define GF_DEVICE_FUNCTION
#define GF_GLOBAL __global
#define GF_READ_ONLY_GLOBAL __global const
#define GF_GLOBAL_ID_X ((unsigned int)get_global_id(0))
#define GF_GLOBAL_ID_Y ((unsigned int)get_global_id(1))
#define GF_LOCAL_ID_X ((unsigned int)get_local_id(0))
#define GF_LOCAL_ID_Y ((unsigned int)get_local_id(1))
#define GF_GROUP_X0 ((unsigned int)(get_group_id(0) * get_local_size(0)))
#define GF_GROUP_Y0 ((unsigned int)(get_group_id(1) * get_local_size(1)))
#define GF_LOCAL_ARRAY __local
#define GF_LOCAL_POINTER __local
#define GF_BARRIER() barrier(CLK_LOCAL_MEM_FENCE)
#define GF_FLOAT_BITS(v) as_uint(v)
#define GF_LOAD4(index, pointer) vload4((size_t)(index), (pointer))
#define GF_MAKE_FLOAT4(x, y, z, w) ((float4)((x), (y), (z), (w)))
#define GF_SQRT(v) sqrt(v)
#define GF_ABS(v) fabs(v)
#define GF_MIN(a, b) fmin((a), (b))
#define GF_MAX(a, b) fmax((a), (b))

#if GF_OPENCL_SUPPORTS_16F
#pragma OPENCL EXTENSION cl_khr_fp16 : enable
#endif

#endif

#define GF_MIN_INT(a, b) ((a) < (b) ? (a) : (b))

// One pixel: x = blue, y = green, z = red, w = alpha. In half-float mode a pixel
// is four halves in the same order; the element index still counts pixels.
GF_DEVICE_FUNCTION float4 ReadFloat4(GF_READ_ONLY_GLOBAL float4* image, int index, int in16f) {
#if GF_OPENCL_SUPPORTS_16F
    if (in16f != 0) {
        return vload_half4((size_t)index, (GF_READ_ONLY_GLOBAL half*)image);
    }
#endif
    (void)in16f;
    return image[index];
}

GF_DEVICE_FUNCTION void WriteFloat4(float4 pixel, GF_GLOBAL float4* image, int index, int in16f) {
#if GF_OPENCL_SUPPORTS_16F
    if (in16f != 0) {
        vstore_half4(pixel, (size_t)index, (GF_GLOBAL half*)image);
        return;
    }
#endif
    (void)in16f;
    image[index] = pixel;
}

GF_DEVICE_FUNCTION float ClampUnit(float value) {
    return GF_MIN(GF_MAX(value, 0.0f), 1.0f);
}

GF_DEVICE_FUNCTION float Distance(float ax, float ay, float bx, float by) {
    float dx = ax - bx;
    float dy = ay - by;
    return GF_SQRT(dx * dx + dy * dy);
}

// Coverage of the pixel centre (px, py) by one tapered piece with round ends.
// A piece shorter than the threshold (on its squared length) is a dot at its
// start with the start width.
GF_DEVICE_FUNCTION float PieceCoverage(float px, float py, float ax, float ay, float bx, float by,
                                       float thickStart, float thickEnd) {
    float dx = bx - ax;
    float dy = by - ay;
    float lenSq = dx * dx + dy * dy;
    float tAlong = 0.0f;
    float dist = 0.0f;
    if (lenSq < 1e-6f) {
        dist = Distance(px, py, ax, ay);
    } else {
        float t = ((px - ax) * dx + (py - ay) * dy) / lenSq;
        t = ClampUnit(t);
        tAlong = t;
        dist = Distance(px, py, ax + t * dx, ay + t * dy);
    }
    float hw = ((1.0f - tAlong) * thickStart + tAlong * thickEnd) * 0.5f;
    return ClampUnit(hw + 0.5f - dist);
}

// The rope colour over the pixel at the pixel's coverage (0 leaves it alone).
GF_DEVICE_FUNCTION float4 BlendRope(float4 pixel, float maxCov, float inColorR, float inColorG,
                                    float inColorB, float inColorA) {
    if (maxCov > 0.0f) {
        float srcA = inColorA * maxCov;
        float oneMinusSrcA = 1.0f - srcA;
        float dstA = pixel.w;
        float outA = srcA + dstA * oneMinusSrcA;
        if (outA > 0.0f) {
            pixel.x = (inColorB * srcA + pixel.x * oneMinusSrcA) / outA;
            pixel.y = (inColorG * srcA + pixel.y * oneMinusSrcA) / outA;
            pixel.z = (inColorR * srcA + pixel.z * oneMinusSrcA) / outA;
        }
        pixel.w = outA;
    }
    return pixel;
}

// One opaque red marker disc over the pixel.
GF_DEVICE_FUNCTION float4 LayMarker(float4 pixel, float px, float py, float nx, float ny,
                                    float nodeRadius) {
    float nodeCov = ClampUnit(nodeRadius + 0.5f - Distance(px, py, nx, ny));
    if (nodeCov > 0.0f) {
        float invA = 1.0f - nodeCov;
        pixel.x = pixel.x * invA;
        pixel.y = pixel.y * invA;
        pixel.z = nodeCov + pixel.z * invA;
        pixel.w = nodeCov + pixel.w * invA;
    }
    return pixel;
}

// Tested on the bits: fast math may take every float to be finite.
GF_DEVICE_FUNCTION int IsFinite(float value) {
    return (GF_FLOAT_BITS(value) & 0x7f800000u) != 0x7f800000u;
}

// The work-group's tile, in pixel centres.
typedef struct {
    float left, top, right, bottom;
} TileBounds;

// Whether a box around the segment from (ax, ay) to (bx, by), grown by `reach`
// plus one pixel and 2^-10 of the coordinates' magnitude, meets the tile. What
// lies outside it is further than the reach even after fast-math rounding.
GF_DEVICE_FUNCTION int ReachesTile(float ax, float ay, float bx, float by, float reach,
                                   TileBounds tile) {
    float magnitude = GF_MAX(GF_MAX(GF_MAX(GF_ABS(ax), GF_ABS(ay)), GF_MAX(GF_ABS(bx), GF_ABS(by))),
                             GF_MAX(GF_MAX(tile.right, tile.bottom), GF_ABS(reach)));
    float grow = reach + 1.0f + magnitude * 0.0009765625f;
    return (GF_MIN(ax, bx) - grow <= tile.right) & (GF_MAX(ax, bx) + grow >= tile.left) &
           (GF_MIN(ay, by) - grow <= tile.bottom) & (GF_MAX(ay, by) + grow >= tile.top);
}

#define ROPE_GROUP_SIDE 16
#define ROPE_GROUP_SIZE 256
// Each work item tests this many consecutive pieces, or markers, of a chunk:
// both take the same loads, four coordinate vectors and two width vectors.
#define ROPE_PER_WORK_ITEM 4
#define ROPE_MARKERS_PER_WORK_ITEM 8
// Chunks up to this long are listed by one work item.
#define ROPE_SERIAL_LIMIT 64
#define ROPE_CHUNK (ROPE_GROUP_SIZE * ROPE_PER_WORK_ITEM)
#define ROPE_MARKER_CHUNK (ROPE_GROUP_SIZE * ROPE_MARKERS_PER_WORK_ITEM)
// Floats a listed piece takes: ax, ay, bx, by, thickStart, thickEnd; a listed
// marker: x, y, radius. A chunk of either fills the list.
#define ROPE_ENTRY_FLOATS 6
#define ROPE_MARKER_FLOATS 3
// The scan: a place per work item, then one per row of the group, the total
// and the count of markers listed with the pieces.
#define ROPE_MARKER_COUNT (ROPE_GROUP_SIZE + ROPE_GROUP_SIDE + 1)
#define ROPE_SCAN_INTS (ROPE_MARKER_COUNT + 1)
// Where markers listed with a short chunk of pieces start in the list.
#define ROPE_MARKER_LIST (ROPE_SERIAL_LIMIT * ROPE_ENTRY_FLOATS)

// Whether piece i (marker i when `markers` is non-zero) is finite and can
// reach the tile. Without branches, so that work items can run it in step.
GF_DEVICE_FUNCTION int EntryReaches(int i, int markers, GF_READ_ONLY_GLOBAL float* coordinates,
                                    GF_READ_ONLY_GLOBAL float* widths, TileBounds tile) {
    if (markers != 0) {
        float nx = coordinates[2 * i], ny = coordinates[2 * i + 1], radius = widths[i];
        return IsFinite(nx) & IsFinite(ny) & IsFinite(radius) &
               ReachesTile(nx, ny, nx, ny, radius + 0.5f, tile);
    }
    float ax = coordinates[4 * i], ay = coordinates[4 * i + 1];
    float bx = coordinates[4 * i + 2], by = coordinates[4 * i + 3];
    float thickStart = widths[2 * i], thickEnd = widths[2 * i + 1];
    return IsFinite(ax) & IsFinite(ay) & IsFinite(bx) & IsFinite(by) & IsFinite(thickStart) &
           IsFinite(thickEnd) &
           ReachesTile(ax, ay, bx, by, GF_MAX(thickStart, thickEnd) * 0.5f + 0.5f, tile);
}

// Whether any of the run of four consecutive pieces (eight markers) from
// `own`, a multiple of the run's length, may reach the tile: the box around
// the whole run, grown by its largest reach, meets it. A run holding a value
// that is not finite is left to the tests one by one.
GF_DEVICE_FUNCTION int RunMayReach(int own, int markers, GF_READ_ONLY_GLOBAL float* coordinates,
                                   GF_READ_ONLY_GLOBAL float* widths, TileBounds tile) {
    float4 c0, c1, c2, c3, w0, w1;
    if (markers != 0) {
        c0 = GF_LOAD4(own / 2, coordinates);
        c1 = GF_LOAD4(own / 2 + 1, coordinates);
        c2 = GF_LOAD4(own / 2 + 2, coordinates);
        c3 = GF_LOAD4(own / 2 + 3, coordinates);
        w0 = GF_LOAD4(own / 4, widths);
        w1 = GF_LOAD4(own / 4 + 1, widths);
    } else {
        c0 = GF_LOAD4(own, coordinates);
        c1 = GF_LOAD4(own + 1, coordinates);
        c2 = GF_LOAD4(own + 2, coordinates);
        c3 = GF_LOAD4(own + 3, coordinates);
        w0 = GF_LOAD4(own / 2, widths);
        w1 = GF_LOAD4(own / 2 + 1, widths);
    }
    // Pieces are x, y, x, y; markers x, y and the next marker's x, y.
    float minX = GF_MIN(GF_MIN(GF_MIN(c0.x, c0.z), GF_MIN(c1.x, c1.z)),
                        GF_MIN(GF_MIN(c2.x, c2.z), GF_MIN(c3.x, c3.z)));
    float maxX = GF_MAX(GF_MAX(GF_MAX(c0.x, c0.z), GF_MAX(c1.x, c1.z)),
                        GF_MAX(GF_MAX(c2.x, c2.z), GF_MAX(c3.x, c3.z)));
    float minY = GF_MIN(GF_MIN(GF_MIN(c0.y, c0.w), GF_MIN(c1.y, c1.w)),
                        GF_MIN(GF_MIN(c2.y, c2.w), GF_MIN(c3.y, c3.w)));
    float maxY = GF_MAX(GF_MAX(GF_MAX(c0.y, c0.w), GF_MAX(c1.y, c1.w)),
                        GF_MAX(GF_MAX(c2.y, c2.w), GF_MAX(c3.y, c3.w)));
    float widest = GF_MAX(GF_MAX(GF_MAX(w0.x, w0.y), GF_MAX(w0.z, w0.w)),
                          GF_MAX(GF_MAX(w1.x, w1.y), GF_MAX(w1.z, w1.w)));
    int finite = IsFinite(c0.x) & IsFinite(c0.y) & IsFinite(c0.z) & IsFinite(c0.w) &
                 IsFinite(c1.x) & IsFinite(c1.y) & IsFinite(c1.z) & IsFinite(c1.w) &
                 IsFinite(c2.x) & IsFinite(c2.y) & IsFinite(c2.z) & IsFinite(c2.w) &
                 IsFinite(c3.x) & IsFinite(c3.y) & IsFinite(c3.z) & IsFinite(c3.w) &
                 IsFinite(w0.x) & IsFinite(w0.y) & IsFinite(w0.z) & IsFinite(w0.w) &
                 IsFinite(w1.x) & IsFinite(w1.y) & IsFinite(w1.z) & IsFinite(w1.w);
    // A marker's radius is its reach less the half-pixel ramp; a piece's half
    // width the same.
    float reach = (markers != 0 ? widest : widest * 0.5f) + 0.5f;
    return (finite == 0) | ReachesTile(minX, minY, maxX, maxY, reach, tile);
}

GF_DEVICE_FUNCTION int RunLength(int markers) {
    return markers != 0 ? ROPE_MARKERS_PER_WORK_ITEM : ROPE_PER_WORK_ITEM;
}

GF_DEVICE_FUNCTION int EntryFloats(int markers) {
    return markers != 0 ? ROPE_MARKER_FLOATS : ROPE_ENTRY_FLOATS;
}

// Copies piece (or marker) i into a list entry.
GF_DEVICE_FUNCTION void CopyEntry(GF_LOCAL_POINTER float* entry, int i, int markers,
                                  GF_READ_ONLY_GLOBAL float* coordinates,
                                  GF_READ_ONLY_GLOBAL float* widths) {
    if (markers != 0) {
        entry[0] = coordinates[2 * i];
        entry[1] = coordinates[2 * i + 1];
        entry[2] = widths[i];
    } else {
        entry[0] = coordinates[4 * i];
        entry[1] = coordinates[4 * i + 1];
        entry[2] = coordinates[4 * i + 2];
        entry[3] = coordinates[4 * i + 3];
        entry[4] = widths[2 * i];
        entry[5] = widths[2 * i + 1];
    }
}

// The work item's place in its group, taken afresh where it is used rather
// than kept across barriers.
GF_DEVICE_FUNCTION int WorkItem() {
    return (int)(GF_LOCAL_ID_Y * ROPE_GROUP_SIDE + GF_LOCAL_ID_X);
}

// Lists, in order, the pieces (markers when `markers` is non-zero) first …
// count − 1 that reach the tile into `list`, by one work item, and returns how
// many. A run whose common box misses the tile is passed over with one test,
// as in the parallel listing.
GF_DEVICE_FUNCTION int ListSerially(GF_LOCAL_POINTER float* list, int first, int count, int markers,
                                    GF_READ_ONLY_GLOBAL float* coordinates,
                                    GF_READ_ONLY_GLOBAL float* widths, TileBounds tile) {
    int total = 0;
    int runLength = RunLength(markers);
    for (int run = first; run < count; run += runLength) {
        if (run + runLength <= count && !RunMayReach(run, markers, coordinates, widths, tile)) {
            continue;
        }
        int end = GF_MIN_INT(run + runLength, count);
        for (int i = run; i < end; ++i) {
            if (EntryReaches(i, markers, coordinates, widths, tile)) {
                CopyEntry(list + total * EntryFloats(markers), i, markers, coordinates, widths);
                ++total;
            }
        }
    }
    return total;
}

// Lists, in order, the pieces (markers when `markers` is non-zero) first …
// first + ROPE_CHUNK − 1 (ROPE_MARKER_CHUNK − 1 for markers) that reach the
// tile, and returns how many. Every work item of the group must call it: it
// holds barriers. Between calls no barrier is needed: a call writes the list
// only after a barrier that no work item passes before all have used the
// previous list, and reads of the scan come before the last barrier of the
// call that wrote them.
//
// A short chunk of pieces may bring `alsoMarkers` markers along (its count is
// at most ROPE_SERIAL_LIMIT, and so is theirs): they are listed from
// ROPE_MARKER_LIST on, and their count is left in scan[ROPE_MARKER_COUNT].
GF_DEVICE_FUNCTION int ListChunk(GF_LOCAL_POINTER float* list, GF_LOCAL_POINTER int* scan,
                                 int first, int count, int markers,
                                 GF_READ_ONLY_GLOBAL float* coordinates,
                                 GF_READ_ONLY_GLOBAL float* widths, TileBounds tile,
                                 int alsoMarkers, GF_READ_ONLY_GLOBAL float* markerCoordinates,
                                 GF_READ_ONLY_GLOBAL float* markerRadii) {
    // A short chunk is listed by the first work item alone: that costs less
    // than the compaction's barriers.
    if (count - first <= ROPE_SERIAL_LIMIT) {
        GF_BARRIER();
        if (WorkItem() == 0) {
            scan[ROPE_GROUP_SIZE + ROPE_GROUP_SIDE] =
                ListSerially(list, first, count, markers, coordinates, widths, tile);
            scan[ROPE_MARKER_COUNT] = ListSerially(list + ROPE_MARKER_LIST, 0, alsoMarkers, 1,
                                                   markerCoordinates, markerRadii, tile);
        }
        GF_BARRIER();
        return scan[ROPE_GROUP_SIZE + ROPE_GROUP_SIDE];
    }

    int runLength = RunLength(markers);
    int own = first + WorkItem() * runLength;
    int keep = 0;
    int kept = 0;
    // Most runs lie far from the tile: one test of their common box rules
    // the whole run out.
    int mayReach = own < count;
    if (own + runLength <= count) {
        mayReach = RunMayReach(own, markers, coordinates, widths, tile);
    }
    if (mayReach) {
        for (int k = 0; k < runLength; ++k) {
            int i = own + k;
            // Past the end the last entry is read again, and not kept.
            int reaches = (i < count) & EntryReaches(i < count ? i : count - 1, markers,
                                                     coordinates, widths, tile);
            keep |= reaches << k;
            kept += reaches;
        }
    }

    // In-order compaction: each work item's place is the number kept by the
    // work items before it. The first work item of each row of the group sums
    // its row (a loop run by single work items: one that every work item ran
    // alike could make the OpenCL compiler split the work-group at each turn),
    // then every work item adds up the rows before its own.
    scan[WorkItem()] = kept;
    GF_BARRIER();
    if (WorkItem() % ROPE_GROUP_SIDE == 0) {
        int sum = 0;
        for (int k = 0; k < ROPE_GROUP_SIDE; ++k) {
            int itemKept = scan[WorkItem() + k];
            scan[WorkItem() + k] = sum;
            sum += itemKept;
        }
        scan[ROPE_GROUP_SIZE + WorkItem() / ROPE_GROUP_SIDE] = sum;
    }
    GF_BARRIER();
    int row = WorkItem() / ROPE_GROUP_SIDE;
    int slot = scan[WorkItem()];
    int total = 0;
#pragma unroll
    for (int r = 0; r < ROPE_GROUP_SIDE; ++r) {
        int rowKept = scan[ROPE_GROUP_SIZE + r];
        slot += r < row ? rowKept : 0;
        total += rowKept;
    }
    own = first + WorkItem() * runLength;
    for (int k = 0; k < runLength; ++k) {
        if ((keep & (1 << k)) != 0) {
            CopyEntry(list + slot * EntryFloats(markers), own + k, markers, coordinates, widths);
            ++slot;
        }
    }
    // The list is complete, and every work item has read the scan, before any
    // work item reads the list.
    GF_BARRIER();
    return total;
}

// The listed markers over the pixel, in list order.
GF_DEVICE_FUNCTION float4 LayListedMarkers(float4 pixel, float px, float py,
                                           GF_LOCAL_POINTER float* list, int listed) {
    for (int n = 0; n < listed; ++n) {
        GF_LOCAL_POINTER float* node = list + n * ROPE_MARKER_FLOATS;
        pixel = LayMarker(pixel, px, py, node[0], node[1], node[2]);
    }
    return pixel;
}

// The work item's input pixel (or transparent black) with the rope over it.
// The launch grid is rounded up to whole work-groups: the excess work items
// take part in listing (every work item must reach every barrier) but read
// and write no pixel.
GF_DEVICE_FUNCTION float4 RopeOverInput(GF_READ_ONLY_GLOBAL float4* inSrc, int inSrcPitch,
                                        int in16f, unsigned int inWidth, unsigned int inHeight,
                                        int inCompositeOnOriginal, float maxCov, float inColorR,
                                        float inColorG, float inColorB, float inColorA) {
    unsigned int x = GF_GLOBAL_ID_X;
    unsigned int y = GF_GLOBAL_ID_Y;
    float4 pixel = GF_MAKE_FLOAT4(0.0f, 0.0f, 0.0f, 0.0f);
    if (x < inWidth && y < inHeight && inCompositeOnOriginal != 0) {
        pixel = ReadFloat4(inSrc, (int)y * inSrcPitch + (int)x, in16f);
    }
    return BlendRope(pixel, maxCov, inColorR, inColorG, inColorB, inColorA);
}

// One work item's pixel of a work-group whose pieces and markers are listed
// against `tile`: every one that can reach the tile must be listed, and more
// may be. `list` and `scan` are the group's local memory.
GF_DEVICE_FUNCTION void RenderRopeTile(
    GF_READ_ONLY_GLOBAL float4* inSrc, GF_GLOBAL float4* outDst, int inSrcPitch, int inDstPitch,
    int in16f, unsigned int inWidth, unsigned int inHeight, GF_READ_ONLY_GLOBAL float* inPoints,
    int inNumSegments, GF_READ_ONLY_GLOBAL float* inSegThickness, float inColorR, float inColorG,
    float inColorB, float inColorA, GF_READ_ONLY_GLOBAL float* inNodePoints,
    GF_READ_ONLY_GLOBAL float* inNodeThickness, int inNumNodePoints, int inShowNodes,
    int inCompositeOnOriginal, TileBounds tile, GF_LOCAL_POINTER float* list,
    GF_LOCAL_POINTER int* scan) {
    // Little lives across the barriers below: an OpenCL compiler for CPUs runs
    // each stretch between barriers as a loop over the group's work items and
    // keeps whatever crosses a barrier in memory, one copy per work item. So
    // positions and the input pixel are taken where they are used.
    //
    // A short rope with few markers lists them with its pieces, which saves the
    // markers their own listing and its barriers.
    int markersWithPieces = inShowNodes != 0 && inNumSegments > 0 &&
                                    inNumSegments <= ROPE_SERIAL_LIMIT &&
                                    inNumNodePoints <= ROPE_SERIAL_LIMIT
                                ? inNumNodePoints
                                : 0;
    // Overlapping pieces must not add up: the largest coverage wins.
    float maxCov = 0.0f;
    for (int first = 0; first < inNumSegments; first += ROPE_CHUNK) {
        int listed = ListChunk(list, scan, first, inNumSegments, 0, inPoints, inSegThickness, tile,
                               markersWithPieces, inNodePoints, inNodeThickness);
        for (int n = 0; n < listed; ++n) {
            GF_LOCAL_POINTER float* piece = list + n * ROPE_ENTRY_FLOATS;
            float cov = PieceCoverage((float)GF_GLOBAL_ID_X, (float)GF_GLOBAL_ID_Y, piece[0],
                                      piece[1], piece[2], piece[3], piece[4], piece[5]);
            if (cov > maxCov) {
                maxCov = cov;
            }
            // Not needed for the result: it keeps the work items in step, which
            // lets an OpenCL compiler for CPUs run the loop for the whole group
            // in vector lanes. On a GPU it costs a few cycles a listed piece.
            GF_BARRIER();
        }
    }

    // Opaque red discs over the rope, later nodes over earlier ones. The
    // pixel is read and the rope blended after the first chunk of markers is
    // listed, so that no pixel outlives its barriers unless there are more.
    float4 pixel = GF_MAKE_FLOAT4(0.0f, 0.0f, 0.0f, 0.0f);
    if (markersWithPieces > 0) {
        pixel = RopeOverInput(inSrc, inSrcPitch, in16f, inWidth, inHeight, inCompositeOnOriginal,
                              maxCov, inColorR, inColorG, inColorB, inColorA);
        pixel = LayListedMarkers(pixel, (float)GF_GLOBAL_ID_X, (float)GF_GLOBAL_ID_Y,
                                 list + ROPE_MARKER_LIST, scan[ROPE_MARKER_COUNT]);
    } else if (inShowNodes != 0 && inNumNodePoints > 0 && inNumNodePoints <= ROPE_MARKER_CHUNK) {
        int listed = ListChunk(list, scan, 0, inNumNodePoints, 1, inNodePoints, inNodeThickness,
                               tile, 0, inNodePoints, inNodeThickness);
        pixel = RopeOverInput(inSrc, inSrcPitch, in16f, inWidth, inHeight, inCompositeOnOriginal,
                              maxCov, inColorR, inColorG, inColorB, inColorA);
        pixel = LayListedMarkers(pixel, (float)GF_GLOBAL_ID_X, (float)GF_GLOBAL_ID_Y, list, listed);
    } else if (inShowNodes != 0 && inNumNodePoints > 0) {
        // Only records made by hand hold more markers than a rope has nodes.
        for (int first = 0; first < inNumNodePoints; first += ROPE_MARKER_CHUNK) {
            int listed = ListChunk(list, scan, first, inNumNodePoints, 1, inNodePoints,
                                   inNodeThickness, tile, 0, inNodePoints, inNodeThickness);
            if (first == 0) {
                pixel = RopeOverInput(inSrc, inSrcPitch, in16f, inWidth, inHeight,
                                      inCompositeOnOriginal, maxCov, inColorR, inColorG, inColorB,
                                      inColorA);
            }
            pixel =
                LayListedMarkers(pixel, (float)GF_GLOBAL_ID_X, (float)GF_GLOBAL_ID_Y, list, listed);
        }
    } else {
        pixel = RopeOverInput(inSrc, inSrcPitch, in16f, inWidth, inHeight, inCompositeOnOriginal,
                              maxCov, inColorR, inColorG, inColorB, inColorA);
    }

    if (GF_GLOBAL_ID_X < inWidth && GF_GLOBAL_ID_Y < inHeight) {
        WriteFloat4(pixel, outDst, (int)GF_GLOBAL_ID_Y * inDstPitch + (int)GF_GLOBAL_ID_X, in16f);
    }
}

GF_KERNEL RenderRopeKernel(GF_READ_ONLY_GLOBAL float4* inSrc, GF_GLOBAL float4* outDst,
                           int inSrcPitch, int inDstPitch, int in16f, unsigned int inWidth,
                           unsigned int inHeight, GF_READ_ONLY_GLOBAL float* inPoints,
                           int inNumSegments, GF_READ_ONLY_GLOBAL float* inSegThickness,
                           float inColorR, float inColorG, float inColorB, float inColorA,
                           GF_READ_ONLY_GLOBAL float* inNodePoints,
                           GF_READ_ONLY_GLOBAL float* inNodeThickness, int inNumNodePoints,
                           int inShowNodes, int inCompositeOnOriginal) {
    GF_LOCAL_ARRAY float list[ROPE_CHUNK * ROPE_ENTRY_FLOATS];
    GF_LOCAL_ARRAY int scan[ROPE_SCAN_INTS];
    TileBounds tile;
    tile.left = (float)GF_GROUP_X0;
    tile.top = (float)GF_GROUP_Y0;
    tile.right = tile.left + (float)(ROPE_GROUP_SIDE - 1);
    tile.bottom = tile.top + (float)(ROPE_GROUP_SIDE - 1);
    RenderRopeTile(inSrc, outDst, inSrcPitch, inDstPitch, in16f, inWidth, inHeight, inPoints,
                   inNumSegments, inSegThickness, inColorR, inColorG, inColorB, inColorA,
                   inNodePoints, inNodeThickness, inNumNodePoints, inShowNodes,
                   inCompositeOnOriginal, tile, list, scan);
}

#endif
