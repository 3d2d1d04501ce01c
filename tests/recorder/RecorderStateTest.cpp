#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "RecorderState.h"

namespace {

using qorv::recorder::RecorderState;

// Set in the child that RecorderStateLoad runs; its value is the test's name.
constexpr const char* kFreshProcessVariable = "QORV_RECORDER_STATE_FRESH_PROCESS";
constexpr const char* kTestName = "RecorderStateLoad.IsOneZeroedRecordPerProcess";

struct TChildResult {
  int Status = -1;
  std::string Output;
};

// Runs this test program again with only this test and the marker set; the
// child's gtest variables are dropped, so a shuffled, repeated or reported
// parent run does not change what the child does or overwrite its report.
TChildResult RunInFreshProcess() {
  const std::string marker = std::string(kFreshProcessVariable) + "=" + kTestName;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "GTEST_", 6) != 0) env.push_back(*e);
  env.push_back(const_cast<char*>(marker.c_str()));
  env.push_back(nullptr);
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::string filter = std::string("--gtest_filter=") + kTestName;
  char* argv[] = {self.data(), filter.data(), nullptr};

  TChildResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  pid_t pid;
  const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.Output.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(fds[0]);
  while (::waitpid(pid, &result.Status, 0) < 0 && errno == EINTR) {
  }
  return result;
}

// What the process-wide record must hold before anything touched it.
void ExpectZeroedRecord() {
  auto& state = RecorderState();
  EXPECT_EQ(&state, &RecorderState());
  EXPECT_EQ(state.LineLength, 0);
  EXPECT_EQ(state.FrameLength, 0);
  EXPECT_EQ(state.AudioIndex, 0);
  EXPECT_EQ(state.Line, 0);
  EXPECT_EQ(state.PortNumber, 0);
  EXPECT_EQ(state.OpenPort, 0);
  EXPECT_EQ(state.SetTime, 0);
  EXPECT_TRUE(state.SavePath.empty());
  EXPECT_TRUE(state.CallerID.empty());
  EXPECT_TRUE(state.Date.empty());
  EXPECT_EQ(state.AudioBuffer[1], 0);
  EXPECT_EQ(state.AudioBuffer[qorv::recorder::kAudioBufferSize], 0);
  EXPECT_EQ(state.AudioBuffer.Size(), 50'000'000);
}

// The process-wide record is one object, zero from load: no creation
// defaults yet, positions 0, strings empty, the whole audio buffer zero.
// Other tests of this program use the record, and a run may put them first,
// so the record is looked at in a process of its own that runs nothing else.
TEST(RecorderStateLoad, IsOneZeroedRecordPerProcess) {
  const char* marker = std::getenv(kFreshProcessVariable);
  if (marker != nullptr && std::string(marker) == kTestName) {
    ExpectZeroedRecord();
    return;
  }
  const TChildResult child = RunInFreshProcess();
  ASSERT_TRUE(WIFEXITED(child.Status)) << "status " << child.Status << "\n" << child.Output;
  EXPECT_EQ(WEXITSTATUS(child.Status), 0) << child.Output;
  EXPECT_NE(child.Output.find("[  PASSED  ] 1 test."), std::string::npos) << child.Output;
}

}  // namespace
