// Addresses handed to the command named by GFALL_URL_OPENER.

#include "platform/open_url.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string WaitForFile(const std::filesystem::path& p) {
  for (int i = 0; i < 100; ++i) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    if (s.str().find('\n') != std::string::npos) return s.str();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return {};
}

TEST(OpenUrl, TheOpenerGetsTheAddressAsOneArgumentNeverAsShellText) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("gfall_opener_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto out = dir / "opened.txt";
  const auto pwned = dir / "pwned";
  const std::string command = "printf '%s\\n' >" + out.string();
  const std::string url =
      "http://h/p?a=1&b='$(touch " + pwned.string() + ")';touch " + pwned.string() + " \"x\"";
  std::string error;
  ASSERT_TRUE(platform::OpenUrlWith(command, url, error)) << error;
  EXPECT_EQ(WaitForFile(out), url + "\n");
  EXPECT_FALSE(std::filesystem::exists(pwned));

  // OpenUrl takes the command from the environment.
  std::filesystem::remove(out);
  setenv("GFALL_URL_OPENER", command.c_str(), 1);
  EXPECT_EQ(platform::UrlOpenerCommand(), command);
  ASSERT_TRUE(platform::OpenUrl("http://127.0.0.1:8087/", error)) << error;
  EXPECT_EQ(WaitForFile(out), "http://127.0.0.1:8087/\n");
  unsetenv("GFALL_URL_OPENER");
  EXPECT_FALSE(platform::OpenUrlWith(command, "", error));
  std::filesystem::remove_all(dir);
}

}  // namespace
