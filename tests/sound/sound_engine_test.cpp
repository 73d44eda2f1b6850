#include "sound/sound_engine.h"

#include <gtest/gtest.h>

#include <map>

#include "sound/sound_fixtures.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"

namespace sound {
namespace {

// An engine on a device that does not pull, with a short tone in a few slots.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.Open(&device));
    std::vector<int16_t> tone(4410);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>((i % 50) * 100);
    wave = WriteWave(tone, 44100, 1);
    for (int s : {3, 5, 45, 58, 60, 200}) Load(s);
  }
  void Load(int s) {
    MemorySoundFile f(wave);
    ASSERT_TRUE(engine.LoadSlot(s, false, "T.WAV", f));
  }
  void Advance(int frames) {
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    engine.Render(out);
  }
  VoiceState State(int s) { return engine.mixer().State(s); }

  NullAudioDevice device;
  SoundEngine engine;
  std::vector<uint8_t> wave;
};

TEST(PositionalLaw, VolumeAndPanAcrossTheTable) {
  SoundTuning t;
  struct Case {
    int w, h;
    float x, y;
    bool with_speed;
    float speed;
    int pan, volume;
  };
  const Case cases[] = {
      {800, 1680, 400, 1680, false, 0, 0, -3},    // bottom of a 1680-pixel table
      {800, 1680, 400, 0, false, 0, 0, -53},      // top: −0.03 × 1780
      {800, 1514, 0, 1514, false, 0, -1600, -3},  // far left
      {801, 1514, 800, 0, false, 0, 1600, -48},   // W/2 is truncated
      {0, 0, 400, 1614, false, 0, 0, 0},          // no playfield yet: 400 and 1614
      {0, 0, 800, 0, false, 0, 1600, -48},
      {800, 1514, 600, 0, true, -20, 800, -68},  // with an impact term
      {800, 1514, 600, 0, true, 500, 800, 0},    // a positive result is clamped to 0
  };
  for (const Case& c : cases) {
    PanVolume pv = PositionalLaw(t, c.w, c.h, c.x, c.y, c.with_speed ? &c.speed : nullptr);
    EXPECT_EQ(pv.pan, c.pan) << c.x << "," << c.y;
    EXPECT_EQ(pv.volume, c.volume) << c.x << "," << c.y;
  }
  t.speed_scale = 2;
  float speed = -20;
  EXPECT_EQ(PositionalLaw(t, 800, 1514, 400, 1614, &speed).volume, -40);
}

TEST_F(EngineTest, GameLevelNineOrSoundOffSilencesGameSoundsNotMusic) {
  for (int variant = 0; variant < 2; ++variant) {
    engine.StopAll();
    engine.settings = {};
    if (variant == 0)
      engine.settings.game_level = 9;
    else
      engine.settings.sound_on = 0;
    EXPECT_TRUE(engine.PlayAt(5, 400, 0, true, false));
    EXPECT_TRUE(engine.PlayAt(60, 400, 800, true, false));
    EXPECT_FALSE(engine.IsPlaying(5)) << variant;
    EXPECT_TRUE(engine.IsPlaying(60)) << variant;
  }
  engine.StopAll();
  engine.settings = {};
  engine.settings.music_on = 0;
  engine.PlayAt(5, 400, 0, true, false);
  engine.PlayAt(200, 400, 0, true, true);
  EXPECT_TRUE(engine.IsPlaying(5));
  EXPECT_FALSE(engine.IsPlaying(200));
}

TEST_F(EngineTest, LevelsAttenuateInSixDecibelSteps) {
  engine.SetPlayfieldSize(800, 1680);
  engine.settings.game_level = 2;
  engine.settings.music_level = 1;
  engine.PlayAt(3, 400, 0, true, false);
  engine.PlayAt(60, 400, 1680, true, false);
  EXPECT_EQ(State(3).volume, -53 - 1200);
  EXPECT_EQ(State(60).volume, -3 - 600);
  // A positive law plays at full volume less the level.
  engine.PlayAtWithSpeed(5, 0, 1680, 1000, true, false);
  EXPECT_EQ(State(5).volume, -1200);
  EXPECT_EQ(State(5).pan, -1600);
  // Pan and volume are clamped to what the mixer takes.
  engine.settings.game_level = 0;
  engine.Play(45, -20000, -20000, true, false);
  EXPECT_EQ(State(45).pan, -10000);
  EXPECT_EQ(State(45).volume, -10000);
}

TEST_F(EngineTest, CounterIsNotRestartedOtherSlotsAre) {
  engine.PlayAt(58, 400, 0, false, false);
  Advance(1000);
  EXPECT_EQ(State(58).position, 1000u);
  engine.PlayAt(58, 400, 0, false, false);
  EXPECT_EQ(State(58).position, 1000u);
  EXPECT_TRUE(engine.IsPlaying(58));

  engine.PlayAt(45, 400, 0, true, false);
  Advance(1000);
  engine.PlayAt(45, 100, 0, true, false);
  EXPECT_EQ(State(45).position, 0u);
  EXPECT_EQ(State(45).pan, -1200);  // the restart takes the new position
  EXPECT_TRUE(engine.IsPlaying(45));
}

TEST_F(EngineTest, LoopingAndStopping) {
  engine.PlayAt(200, 400, 0, false, true);
  Advance(10000);  // more than twice the sound
  EXPECT_TRUE(engine.IsPlaying(200));
  // A restart of a looping sound keeps it looping.
  engine.PlayAt(200, 400, 0, true, true);
  EXPECT_TRUE(State(200).looping);
  engine.PlayAt(3, 400, 0, false, false);
  Advance(5000);
  EXPECT_FALSE(engine.IsPlaying(3));
  engine.PlayAt(3, 400, 0, false, false);
  Advance(100);
  engine.Stop(3);
  EXPECT_FALSE(engine.IsPlaying(3));
  EXPECT_EQ(State(3).position, 0u);
  engine.StopAll();
  EXPECT_FALSE(engine.IsPlaying(200));
}

TEST_F(EngineTest, SlotsOutOfRangeAndEmptySlots) {
  EXPECT_FALSE(engine.Play(256, 0, 0, true, false));
  EXPECT_FALSE(engine.Play(-1, 0, 0, true, false));
  EXPECT_TRUE(engine.Play(4, 0, 0, true, false));  // no sound loaded: silent success
  EXPECT_FALSE(engine.IsPlaying(4));
  EXPECT_FALSE(engine.IsPlaying(300));
  engine.Stop(300);
}

TEST(SoundEngine, WithoutDevicePlaysSucceedSilently) {
  AbsentAudioDevice absent;
  SoundEngine engine;
  EXPECT_FALSE(engine.Open(&absent));
  EXPECT_FALSE(engine.device_present());
  EXPECT_TRUE(engine.Play(3, 0, 0, true, false));
  EXPECT_TRUE(engine.Play(999, 0, 0, true, false));
  EXPECT_FALSE(engine.IsPlaying(3));
}

// The whole list from a pack-like set of files: compressed files for every
// row and the plain wave file for the flipper hum.
TEST(SoundEngine, LoadsTheSoundList) {
  soundtest::SineSpec spec;
  spec.frames = 4410;
  auto wac = soundtest::Stored(soundtest::EncodeSine(spec));
  std::vector<int16_t> hum(2205, 500);
  auto wav = WriteWave(hum, 22050, 1);
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& row : kSoundList) {
    files[std::string(row.file)] = row.compressed ? wac : wav;
  }
  SoundFileOpener opener = [&](const std::string& name) -> std::unique_ptr<SoundFile> {
    auto it = files.find(name);
    if (it == files.end()) return nullptr;
    return std::make_unique<MemorySoundFile>(it->second);
  };
  NullAudioDevice device;
  SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  EXPECT_TRUE(engine.LoadSounds(opener));
  EXPECT_EQ(kSoundList.front().slot, kMenuMusicSlot);
  for (const auto& row : kSoundList) {
    const SoundSlot& s = engine.slot(row.slot);
    EXPECT_FALSE(s.buffer.empty()) << row.slot;
    EXPECT_EQ(s.file_name, row.file);
    EXPECT_EQ(s.size, s.buffer.size() * 2);
  }
  EXPECT_EQ(engine.slot(20).sample_rate, 22050);
  EXPECT_EQ(engine.slot(58).sample_rate, 44100);
  EXPECT_EQ(engine.slot(58).decoded.layer, 3);
  // The menu music starts looping as soon as it is loaded.
  EXPECT_TRUE(engine.IsPlaying(kMenuMusicSlot));
  EXPECT_TRUE(engine.mixer().State(kMenuMusicSlot).looping);
  EXPECT_EQ(engine.mixer().PlayingCount(), 1);

  // One file missing, one broken: those slots stay silent, the rest load.
  files.erase("RES\\WAVE\\MECH\\SP019.WAC");
  files["RES\\WAVE\\MECH\\F_BUZZ.WAV"] = {'R', 'I', 'F', 'F'};
  EXPECT_FALSE(engine.LoadSounds(opener));
  EXPECT_TRUE(engine.slot(41).buffer.empty());
  EXPECT_TRUE(engine.slot(20).buffer.empty());
  EXPECT_TRUE(engine.slot(23).buffer.empty());
  EXPECT_FALSE(engine.slot(42).buffer.empty());
  EXPECT_TRUE(engine.Play(41, 0, 0, true, false));
  EXPECT_FALSE(engine.IsPlaying(41));

  engine.Close();
  EXPECT_FALSE(engine.device_present());
  EXPECT_TRUE(engine.slot(42).buffer.empty());
}

// The two spinner slots share one file; the odd one plays it a fourth lower,
// so alternate revolutions are heard as two different ticks.
TEST(SoundEngine, SpinnerSlotsPlayTheOneTickAtTwoPitches) {
  soundtest::SineSpec spec;
  spec.frames = 8820;
  const auto wac = soundtest::Stored(soundtest::EncodeSine(spec));
  NullAudioDevice device;
  SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  for (int s : {kSpinnerEvenSlot, kSpinnerOddSlot}) {
    MemorySoundFile f(wac);
    ASSERT_TRUE(engine.LoadSlot(s, true, "SP.WAC", f));
  }
  // The slot still reports the file's own rate.
  EXPECT_EQ(engine.slot(kSpinnerOddSlot).sample_rate, engine.slot(kSpinnerEvenSlot).sample_rate);
  // Zero crossings of the left channel over the same stretch of output, and
  // how far into its buffer each voice got.
  auto measure = [&](int s, int& crossings, uint32_t& position) {
    ASSERT_TRUE(engine.Play(s, 0, 0, true, false));
    std::vector<int16_t> out(2 * 4096);
    engine.Render(out);
    position = engine.mixer().State(s).position;
    engine.Stop(s);
    crossings = 0;
    for (size_t i = 2 * 2048 + 2; i < out.size(); i += 2)
      crossings += (out[i] >= 0) != (out[i - 2] >= 0);
  };
  int even = 0, odd = 0;
  uint32_t even_pos = 0, odd_pos = 0;
  measure(kSpinnerEvenSlot, even, even_pos);
  measure(kSpinnerOddSlot, odd, odd_pos);
  ASSERT_GT(even, 50);  // the 1 kHz tone: about 93 crossings in 2048 frames
  EXPECT_NEAR(static_cast<double>(odd) / even, 0.75, 0.05);
  EXPECT_EQ(even_pos, 4096u);
  EXPECT_NEAR(static_cast<double>(odd_pos), 3072.0, 1.0);
  // Every other slot plays its buffer at the file's rate.
  for (const auto& row : kSoundList)
    if (row.slot != kSpinnerOddSlot) {
      EXPECT_EQ(SlotPlaybackRate(row.slot, 44100), 44100u);
    }
}

TEST(SoundEngine, ImplementsTableSound) {
  NullAudioDevice device;
  SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  std::vector<int16_t> tone(100, 1000);
  auto wav = WriteWave(tone, 22050, 1);
  MemorySoundFile f(wav);
  ASSERT_TRUE(engine.LoadSlot(21, false, "F_UP", f));
  core::TableSound& ts = engine;
  ts.PlayTableSound(21, 300, 0, true, false);
  EXPECT_TRUE(ts.IsPlaying(21));
  EXPECT_EQ(engine.mixer().State(21).pan, -400);
  ts.StopSound(21);
  EXPECT_FALSE(ts.IsPlaying(21));
  ts.PlayTableSoundWithSpeed(21, 400, 1614, -50, true, false);
  EXPECT_EQ(engine.mixer().State(21).volume, -50);
}

}  // namespace
}  // namespace sound
