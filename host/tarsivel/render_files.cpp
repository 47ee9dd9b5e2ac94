#include "host/tarsivel/render_files.h"

#include <unordered_map>

#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/output_files.h"

namespace tarsivel::cli {

void RefuseClashes(const std::vector<RenderFile>& files) {
    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string key = FileKey(files[i].path);
        if (key.empty()) {
            continue;
        }
        const auto [at, added] = seen.emplace(key, i);
        if (added) {
            continue;
        }
        const RenderFile& first = files[at->second];
        const RenderFile& second = files[i];
        if (!first.output && !second.output) {
            continue;
        }
        const RenderFile& written = second.output ? second : first;
        const RenderFile& other = second.output ? first : second;
        const std::string both = written.path + " (" + written.role + ") and " + other.path + " (" +
                                 other.role + ") are the same file";
        throw ExitError(kExitUsage,
                        both + (other.output ? "; one output would overwrite the other: give "
                                               "each its own name"
                                             : "; the render would overwrite what it reads: "
                                               "name the output another file"));
    }
}

}  // namespace tarsivel::cli
