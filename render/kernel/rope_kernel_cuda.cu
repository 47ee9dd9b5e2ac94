// The CUDA device code of the rope kernel: only the shared kernel source. It
// is compiled at build time, by nvcc into machine code and by clang into PTX,
// and the images are combined into the fatbin that the binaries embed.
#include "rope_kernel.cl.h"
