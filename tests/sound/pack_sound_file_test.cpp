#include "sound/pack_sound_file.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "res/pack.h"
#include "sound/sound_engine.h"
#include "sound/sound_fixtures.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"

namespace sound {
namespace {

// A resource layer with one pack built in memory.
class PackTest : public ::testing::Test {
 protected:
  void Open(const std::vector<res::PackItem>& items) {
    auto built = res::PackBuild(items);
    ASSERT_TRUE(built.has_value());
    pack = std::move(*built);
    res::FilePtr stream(fmemopen(pack.data(), pack.size(), "rb"));
    ASSERT_TRUE(stream);
    layer.loose_files = false;
    ASSERT_TRUE(res::PackOpenStream(layer, std::move(stream), "GFALL.DAT"));
  }
  res::ResourceLayer layer;
  std::vector<uint8_t> pack;
};

TEST_F(PackTest, DecodesByNameThroughTheXorRead) {
  auto ten = soundtest::Stored(soundtest::FirstFrames(soundtest::EncodeSine({}), 10));
  std::vector<uint8_t> other = {1, 2, 3};
  Open({{"RES\\OTHER.BIN", other}, {"RES\\WAVE\\MECH\\COUNTER.WAC", ten}});
  DitherRandom rng;
  DecodedSound d;
  ASSERT_TRUE(DecodeFile(layer, "res\\wave\\mech\\counter.wac", false, rng, d));
  EXPECT_EQ(d.samples.size(), 11520u);
  EXPECT_NEAR(d.duration_ms, 261.224, 1e-9);
  EXPECT_FALSE(DecodeFile(layer, "RES\\WAVE\\MECH\\NONE.WAC", false, rng, d));
  EXPECT_FALSE(DecodeFile(layer, "RES\\OTHER.BIN", false, rng, d));
  EXPECT_EQ(d.channels, 0);
}

TEST_F(PackTest, EngineLoadsItsListFromThePack) {
  soundtest::SineSpec spec;
  spec.frames = 4410;
  auto wac = soundtest::Stored(soundtest::EncodeSine(spec));
  std::vector<int16_t> hum(2205, 500);
  // A chunk before the data, as wave editors write them.
  auto wav = WriteWave(hum, 22050, 1);
  std::vector<uint8_t> with_list(wav.begin(), wav.begin() + 36);
  const std::vector<uint8_t> list = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  with_list.insert(with_list.end(), list.begin(), list.end());
  with_list.insert(with_list.end(), wav.begin() + 36, wav.end());
  std::vector<res::PackItem> items;
  for (const auto& row : kSoundList) {
    std::string name(row.file);
    bool seen = false;
    for (const auto& i : items) seen = seen || i.name == name;
    if (!seen) items.push_back({name, row.compressed ? std::span<const uint8_t>(wac) : with_list});
  }
  Open(items);
  NullAudioDevice device;
  SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  EXPECT_TRUE(engine.LoadSounds(PackSoundFiles(layer)));
  EXPECT_EQ(engine.slot(23).buffer, hum);
  EXPECT_EQ(engine.slot(57).buffer.size(), engine.slot(56).buffer.size());
  EXPECT_TRUE(engine.IsPlaying(kMenuMusicSlot));
}

}  // namespace
}  // namespace sound
