#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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
  EXPECT_NE(error.find("gfall.lock"), std::string::npos);
}

}  // namespace
}  // namespace platform
