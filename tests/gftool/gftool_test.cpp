// Runs the built gftool binary on packs and containers made in a temporary folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/byte_io.h"
#include "res/pack.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << s;
}

struct Result {
  int status;
  std::string out, err;
};

class GftoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("GFALL_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "GFALL_BUILD_DIR is not set";
    tool_ = fs::path(build) / "tools/gftool/gftool";
    ASSERT_TRUE(fs::exists(tool_)) << tool_;
    std::string tmpl = (fs::temp_directory_path() / "gfall_gftool_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Runs gftool with `args` (single-quoted for the shell).
  Result Gftool(const std::vector<std::string>& args) {
    std::string cmd = "'" + tool_.string() + "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " >'" + (dir_ / "stdout").string() + "' 2>'" + (dir_ / "stderr").string() + "'";
    const int raw = std::system(cmd.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(dir_ / "stdout"),
             ReadText(dir_ / "stderr")};
    fs::remove(dir_ / "stdout");
    fs::remove(dir_ / "stderr");
    return r;
  }
  std::string P(const std::string& rel) const { return (dir_ / rel).string(); }

  fs::path tool_, dir_;
};

TEST_F(GftoolTest, PackListCatAndExtractRoundTrip) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"res/ui/MmNew.j24", "menu picture"},
      {"res/wave/all_bytes.wac", binary},
      {"GFALL.CDC", "tuning"},
      {"res/empty", ""},
  };
  for (const auto& [rel, data] : files) WriteText(dir_ / "tree" / rel, data);

  Result r = Gftool({"pack", P("GFALL.DAT"), P("tree")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = Gftool({"list", P("GFALL.DAT")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "GFALL.CDC 6\n"
            "RES\\EMPTY 0\n"
            "RES\\UI\\MMNEW.J24 12\n"
            "RES\\WAVE\\ALL_BYTES.WAC 256\n");

  // cat finds every entry as the game would (any letter case) and gives it byte-exact.
  for (const auto& [rel, data] : files) {
    std::string name = rel;
    std::replace(name.begin(), name.end(), '/', '\\');
    r = Gftool({"cat", P("GFALL.DAT"), name});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, data) << name;
  }

  r = Gftool({"extract", P("GFALL.DAT"), P("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(dir_ / "out/RES/WAVE/ALL_BYTES.WAC"), binary);
  EXPECT_EQ(ReadText(dir_ / "out/RES/UI/MMNEW.J24"), "menu picture");
  EXPECT_TRUE(fs::is_regular_file(dir_ / "out/RES/EMPTY"));

  // The extracted tree packs to the very same bytes.
  r = Gftool({"pack", P("AGAIN.DAT"), P("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(dir_ / "AGAIN.DAT"), ReadText(dir_ / "GFALL.DAT"));
}

TEST_F(GftoolTest, CDataEncodeDecodeRoundTrip) {
  WriteText(dir_ / "tuning.txt", "GRAVITY 0.25\nMUWALL3 0.5\n");
  Result r = Gftool({"cdata-encode", P("tuning.txt"), P("GFALL.CDC"), "--key", "0xA1B2C3D4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string c = ReadText(dir_ / "GFALL.CDC");
  ASSERT_EQ(c.size(), 20u + 25u);
  EXPECT_EQ(core::LoadU32(reinterpret_cast<const uint8_t*>(c.data()) + 12), 0xA1B2C3D4u);
  r = Gftool({"cdata-decode", P("GFALL.CDC"), P("back.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(dir_ / "back.txt"), "GRAVITY 0.25\nMUWALL3 0.5\n");

  // Without --key the key is derived from the input: repeatable.
  ASSERT_EQ(Gftool({"cdata-encode", P("tuning.txt"), P("a.cdc")}).status, 0);
  ASSERT_EQ(Gftool({"cdata-encode", P("tuning.txt"), P("b.cdc")}).status, 0);
  EXPECT_EQ(ReadText(dir_ / "a.cdc"), ReadText(dir_ / "b.cdc"));
  r = Gftool({"cdata-decode", P("a.cdc"), "-"});
  EXPECT_EQ(r.out, "GRAVITY 0.25\nMUWALL3 0.5\n");
}

TEST_F(GftoolTest, TuningPrintsKeysThenChangedSurfaces) {
  WriteText(dir_ / "t.txt", "planeg 0.05\nMUWALL3 0.5\nMAXTANGENT 20\n");
  Result plain = Gftool({"tuning", P("t.txt")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.out.find("\nPLANEG 0.05\n"), std::string::npos);
  EXPECT_NE(plain.out.find("\nMAXTANGENT 20\n"), std::string::npos);  // degrees, as written
  EXPECT_EQ(plain.out.rfind("BUMPERSONOFF 1\n", 0), 0u);              // the first key
  // Surface entries follow every single key.
  EXPECT_GT(plain.out.find("MUWALL3 0.5\n"), plain.out.find("BUMPERSONOFF"));

  // The same text inside a container gives the same report.
  ASSERT_EQ(Gftool({"cdata-encode", P("t.txt"), P("t.cda"), "--key", "77"}).status, 0);
  Result boxed = Gftool({"tuning", P("t.cda")});
  ASSERT_EQ(boxed.status, 0) << boxed.err;
  EXPECT_EQ(boxed.out, plain.out);

  // A container that fails its CRC is refused with one line.
  std::string damaged = ReadText(dir_ / "t.cda");
  damaged.back() ^= 1;
  WriteText(dir_ / "bad.cda", damaged);
  Result bad = Gftool({"tuning", P("bad.cda")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  EXPECT_EQ(bad.out, "");
}

TEST_F(GftoolTest, InfoDescribesWaveFilesByContentOrName) {
  // A 16-bit mono 22 050 Hz RIFF file with 4 samples.
  core::ByteWriter w;
  w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("RIFF"), 4));
  w.U32(36 + 8);
  w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("WAVEfmt "), 8));
  w.U32(16);
  w.U16(1);
  w.U16(1);
  w.U32(22050);
  w.U32(44100);
  w.U16(2);
  w.U16(16);
  w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("data"), 4));
  w.U32(8);
  for (int i = 0; i < 8; ++i) w.U8(0);
  WriteText(dir_ / "buzz.bin", std::string(w.bytes().begin(), w.bytes().end()));
  Result r = Gftool({"info", P("buzz.bin")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("22050"), std::string::npos) << r.out;

  // A ".WAC" name that holds no sound is refused, not described as something else.
  WriteText(dir_ / "junk.wac", "");
  EXPECT_EQ(Gftool({"info", P("junk.wac")}).status, 1);
}

TEST_F(GftoolTest, BadInputGivesOneLineAndNoOutputFile) {
  WriteText(dir_ / "tree/A", "a");
  WriteText(dir_ / "tree/sub/B", "b");
  ASSERT_EQ(Gftool({"pack", P("good.dat"), P("tree")}).status, 0);
  const std::string good = ReadText(dir_ / "good.dat");
  WriteText(dir_ / "truncated.dat", good.substr(0, good.size() / 2));
  std::string noise;
  for (int i = 0; i < 1000; ++i) noise.push_back(static_cast<char>(i * 131 + 7));
  WriteText(dir_ / "noise.dat", noise);
  // A pack whose last entry claims more bytes than the file holds.
  std::string longer = good;
  {
    auto* dir = reinterpret_cast<uint8_t*>(longer.data()) + 280;
    res::PackScrambleDirectory(std::span<uint8_t>(dir, 2 * 96));
    core::StoreU32(dir + 96 + 72, 1000000);
    res::PackScrambleDirectory(std::span<uint8_t>(dir, 2 * 96));
  }
  WriteText(dir_ / "longer.dat", longer);
  fs::create_directories(dir_ / "emptytree/sub");
  WriteText(dir_ / ("longname/" + std::string(60, 'n') + "/file"), "x");
  WriteText(dir_ / "clash/name.txt", "1");
  WriteText(dir_ / "clash/NAME.TXT", "2");
  WriteText(dir_ / "c20", std::string("CDATA\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0", 20));
  {
    std::vector<uint8_t> evil = {'x'};
    res::PackItem item{"..\\ESCAPE", evil};
    std::optional<std::vector<uint8_t>> pack = res::PackBuild(std::span(&item, 1));
    ASSERT_TRUE(pack.has_value());
    WriteText(dir_ / "evil.dat", std::string(pack->begin(), pack->end()));
  }

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string output;  // a file that must not exist afterwards
  };
  const std::vector<Case> cases = {
      {{"list", P("missing.dat")}, 1, ""},
      {{"list", P("truncated.dat")}, 1, ""},
      {{"list", P("noise.dat")}, 1, ""},
      {{"list", P("tree")}, 1, ""},
      {{"cat", P("good.dat"), "NOPE"}, 1, ""},
      {{"cat", P("good.dat"), "SUB/B"}, 1, ""},
      {{"cat", P("longer.dat"), "SUB\\B"}, 1, ""},
      {{"extract", P("longer.dat"), P("x1")}, 1, P("x1/A")},
      {{"extract", P("evil.dat"), P("x2")}, 1, P("ESCAPE")},
      {{"extract", P("noise.dat"), P("x3")}, 1, P("x3")},
      {{"pack", P("o1.dat"), P("emptytree")}, 1, P("o1.dat")},
      {{"pack", P("o2.dat"), P("missing")}, 1, P("o2.dat")},
      {{"pack", P("o3.dat"), P("longname")}, 1, P("o3.dat")},
      {{"pack", P("o4.dat"), P("clash")}, 1, P("o4.dat")},
      {{"pack", P("nofolder/o5.dat"), P("tree")}, 1, P("nofolder/o5.dat")},
      {{"cdata-decode", P("c20"), P("o6")}, 1, P("o6")},
      {{"cdata-decode", P("good.dat"), P("o7")}, 1, P("o7")},
      {{"cdata-decode", P("missing"), P("o8")}, 1, P("o8")},
      {{"cdata-encode", P("missing"), P("o9")}, 1, P("o9")},
      {{"cdata-encode", P("tree"), P("o10")}, 1, P("o10")},
      {{"list"}, 2, ""},
      {{"cat", P("good.dat")}, 2, ""},
      {{"pack", P("o11.dat"), P("tree"), "extra"}, 2, P("o11.dat")},
      {{"cdata-encode", P("good.dat"), P("o12"), "--key", "nine"}, 2, P("o12")},
      {{"cdata-encode", P("good.dat"), P("o13"), "--key", "4294967296"}, 2, P("o13")},
      {{"cdata-encode", P("good.dat"), P("o14"), "--key"}, 2, P("o14")},
  };
  for (const Case& c : cases) {
    std::string what;
    for (const std::string& a : c.args) what += a + " ";
    Result r = Gftool(c.args);
    EXPECT_EQ(r.status, c.status) << what << r.err;
    EXPECT_EQ(r.out, "") << what;
    if (c.status == 1) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << r.err;
      EXPECT_EQ(r.err.rfind("gftool: ", 0), 0u) << what << r.err;
    }
    if (!c.output.empty()) {
      EXPECT_FALSE(fs::exists(c.output)) << what;
    }
  }
  // No temporary file is left behind anywhere in the folder.
  for (const auto& e : fs::recursive_directory_iterator(dir_)) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

}  // namespace
