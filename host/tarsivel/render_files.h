// The files a render reads and writes, checked together before the first
// frame: a render that would overwrite its own scene, its background or one
// of its outputs with another is refused before any work, naming both.
#ifndef TARSIVEL_HOST_TARSIVEL_RENDER_FILES_H
#define TARSIVEL_HOST_TARSIVEL_RENDER_FILES_H

#include <string>
#include <vector>

namespace tarsivel::cli {

struct RenderFile {
    std::string path;
    std::string role;  // what it is to the user: "the contact sheet (--contact-sheet)"
    bool output;
};

// Throws ExitError (usage) when an output of `files` is the same file as an
// input or as another output, once links are followed (by device and inode
// where the file exists). Devices and pipes are written through rather than
// replaced, so they may be named more than once.
void RefuseClashes(const std::vector<RenderFile>& files);

}  // namespace tarsivel::cli

#endif
