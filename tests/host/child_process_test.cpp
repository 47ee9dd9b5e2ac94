// The helper programs behind movies: found on PATH, run with one pipe, their
// last message kept.
#include "host/scenes/child_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarsivel::host {
namespace {

namespace fs = std::filesystem;

class ChildProcessTest : public ::testing::Test {
  protected:
    ChildProcessTest()
        : dir(fs::temp_directory_path() / ("tarsivel_child_" + std::to_string(::getpid()))) {
        fs::create_directories(dir / "first");
        fs::create_directories(dir / "second");
        const char* path = std::getenv("PATH");
        savedPath = path != nullptr ? path : "";
    }
    ~ChildProcessTest() override {
        ::setenv("PATH", savedPath.c_str(), 1);
        fs::remove_all(dir);
    }
    void Script(const fs::path& file, const std::string& body, bool executable = true) {
        std::ofstream(file) << "#!/bin/sh\n" << body;
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
    }

    fs::path dir;
    std::string savedPath;
};

// A folder or a file that cannot run is passed over for the next one on PATH.
TEST_F(ChildProcessTest, FindsTheFirstProgramThatCanRun) {
    fs::create_directories(dir / "first/tool");
    Script(dir / "second/tool", "", false);
    ::setenv("PATH", (dir / "first").string().append(":").append((dir / "second").string()).c_str(),
             1);
    EXPECT_EQ(FindOnPath("tool"), "");
    Script(dir / "second/tool", "");
    EXPECT_EQ(FindOnPath("tool"), (dir / "second/tool").string());
    EXPECT_EQ(FindOnPath("none"), "");
}

// The output comes whole, the messages' last line alone, and an interrupt
// handler is told the child while it runs.
TEST_F(ChildProcessTest, ARunGivesItsOutputItsLastMessageAndItsStatus) {
    Script(dir / "talk", "echo one\necho first >&2\necho two\nprintf 'last\\n\\n' >&2\nexit 3\n");
    std::vector<long> watched;
    const ProgramRun run =
        RunProgram({(dir / "talk").string()}, [&](long pid) { watched.push_back(pid); });
    EXPECT_EQ(run.output, "one\ntwo\n");
    EXPECT_EQ(run.message, "last");
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    ASSERT_EQ(watched.size(), 2u);
    EXPECT_GT(watched[0], 0);
    EXPECT_EQ(watched[1], -1);

    // A program that cannot be executed ends as the shell would say, 127.
    const ProgramRun missing = RunProgram({(dir / "none").string()});
    EXPECT_EQ(missing.startError, 0);
    ASSERT_TRUE(WIFEXITED(missing.status));
    EXPECT_EQ(WEXITSTATUS(missing.status), 127);
}

// Frames go in on one side, come out on the other; a child still running is
// killed when it is ended so, and its log keeps what it said.
TEST_F(ChildProcessTest, PipesGoBothWaysAndAChildCanBeStopped) {
    const int log = AnonymousLog(dir.string());
    ASSERT_GE(log, 0);
    // Nothing but the two folders: the log has no name.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    Script(dir / "copy", "cat > \"$1\"\necho copied >&2\n");
    Child in = StartChild({(dir / "copy").string(), (dir / "copied").string()}, ChildPipe::kInput,
                          log, true);
    ASSERT_GT(in.pid, 0);
    ASSERT_EQ(::write(in.pipe, "frame", 5), 5);
    const int status = EndChild(in, false);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(in.pid, -1);
    EXPECT_EQ(in.pipe, -1);
    std::string copied;
    std::getline(std::ifstream(dir / "copied"), copied);
    EXPECT_EQ(copied, "frame");
    EXPECT_EQ(LastLine(log, ": "), ": copied");

    Script(dir / "forever", "echo frame\nexec sleep 600\n");
    Child out = StartChild({(dir / "forever").string()}, ChildPipe::kOutput, -1);
    char bytes[7] = {};
    EXPECT_EQ(ReadFully(out.pipe, bytes, 6), 6u);
    EXPECT_STREQ(bytes, "frame\n");
    const int killed = EndChild(out, true);
    EXPECT_TRUE(WIFSIGNALED(killed) && WTERMSIG(killed) == SIGKILL);
    EXPECT_EQ(EndChild(out, true), 0);  // nothing left to end
    ::close(log);
}

}  // namespace
}  // namespace tarsivel::host
