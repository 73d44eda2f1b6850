#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {
namespace {

std::string TempDir() {
  std::string d = std::filesystem::temp_directory_path().string() + "/gfall_instance_" +
                  std::to_string(::getpid());
  std::filesystem::remove_all(d);
  return d;
}

TEST(SingleInstance, SecondCopyRaisesTheFirstAndTheLockGoesWithTheFirst) {
  std::string dir = TempDir();
  std::string error;
  SingleInstance first, second, third;
  ASSERT_EQ(AcquireSingleInstance(first, dir, true, 0, error), InstanceResult::kFirst) << error;
  EXPECT_FALSE(PollRaiseRequest(first));
  EXPECT_EQ(AcquireSingleInstance(second, dir, true, 0, error), InstanceResult::kRaisedOther);
  EXPECT_TRUE(PollRaiseRequest(first));
  EXPECT_FALSE(PollRaiseRequest(first));
  // A restart does not ask; it finds the lock still held.
  EXPECT_EQ(AcquireSingleInstance(second, dir, false, 40, error), InstanceResult::kOtherRunning);
  ReleaseSingleInstance(first);
  EXPECT_EQ(AcquireSingleInstance(third, dir, false, 0, error), InstanceResult::kFirst);
  ReleaseSingleInstance(third);
  std::filesystem::remove_all(dir);
}

TEST(SingleInstance, UnusableFolderIsAnError) {
  std::string error;
  SingleInstance s;
  EXPECT_EQ(AcquireSingleInstance(s, "/proc/no_such_place", true, 0, error),
            InstanceResult::kError);
  EXPECT_NE(error.find("/proc/no_such_place"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST(SingleInstance, FolderIsPrivateAndSocketOwnerOnlyWhateverTheUmask) {
  const std::string dir = TempDir() + "_umask/a/b";
  const mode_t old = ::umask(0);
  std::string error;
  SingleInstance s;
  const InstanceResult r = AcquireSingleInstance(s, dir, true, 0, error);
  ::umask(old);
  ASSERT_EQ(r, InstanceResult::kFirst) << error;
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((TempDir() + "_umask/a").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(s.socket_path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ReleaseSingleInstance(s);
  std::filesystem::remove_all(TempDir() + "_umask");
}

TEST(SingleInstance, LockFolderFollowsTheChoiceThenTheRuntimeFolder) {
  EXPECT_EQ(InstanceFolder(true, "/cfg", "/run/user/1"), "/cfg");
  EXPECT_EQ(InstanceFolder(false, "/data", "/run/user/1"), "/run/user/1/gfall");
  EXPECT_EQ(InstanceFolder(false, "/data", "relative"), "/data");
  EXPECT_EQ(InstanceFolder(false, "/data", ""), "/data");
  EXPECT_EQ(InstanceFolder(false, "/data", nullptr), "/data");
  EXPECT_EQ(InstanceFolder(false, "", nullptr), "");
  std::string error;
  SingleInstance s;
  EXPECT_EQ(AcquireSingleInstance(s, "", true, 0, error), InstanceResult::kError);
}

int Connect(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  return fd;
}

TEST(SingleInstance, SilentClientsNeverStallThePoll) {
  const std::string dir = TempDir() + "_silent";
  std::string error;
  SingleInstance s;
  ASSERT_EQ(AcquireSingleInstance(s, dir, true, 0, error), InstanceResult::kFirst) << error;
  // Three at a time: the listen queue holds only a few.
  std::vector<int> silent;
  std::chrono::steady_clock::duration took{};
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 3; ++i) silent.push_back(Connect(s.socket_path));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PollRaiseRequest(s));
    took += std::chrono::steady_clock::now() - start;
  }
  // A poll that waited for each silent client (50 ms apiece) would take 600 ms
  // here; a poll that never waits takes microseconds. The bound leaves room
  // for a loaded or sanitized run.
  EXPECT_LT(took, std::chrono::milliseconds(250));
  EXPECT_LE(s.clients.size(), kRaiseClients);
  // A client that speaks late is still heard on a later poll.
  const int late = silent[0];
  ASSERT_EQ(::write(late, "raise\n", 6), 6);
  bool raised = false;
  for (int i = 0; i < 5 && !raised; ++i) raised = PollRaiseRequest(s);
  EXPECT_TRUE(raised);
  for (int fd : silent) ::close(fd);
  // Silent clients are given up after kRaisePolls polls.
  for (int i = 0; i < kRaisePolls + 5; ++i) PollRaiseRequest(s);
  EXPECT_TRUE(s.clients.empty());
  ReleaseSingleInstance(s);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform
