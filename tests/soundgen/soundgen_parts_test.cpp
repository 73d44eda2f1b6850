// The pieces of the sound builder: recipe reading and its errors, chord and
// note names, the music sequencer, loop rendering and the encoder's handling
// of loops and formats.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "sound/compressed_sound.h"
#include "sound/sound_file.h"
#include "soundgen/det_math.h"
#include "soundgen/encode.h"
#include "soundgen/recipe.h"
#include "soundgen/soundgen.h"
#include "soundgen/synth.h"

namespace soundgen {
namespace {

std::string ParseError(const std::string& text) {
  RecipeBook book;
  std::string error;
  EXPECT_FALSE(ParseRecipes(text, "test.json", book, &error)) << text;
  EXPECT_TRUE(book.effects.empty() && book.music.empty()) << "a failed parse leaves the book alone";
  return error;
}

TEST(DetMath, AgreesWithTheMathsLibrary) {
  for (double x = -60; x < 60; x += 0.0173) {
    EXPECT_NEAR(DetExp(x), std::exp(x), std::exp(x) * 1e-14) << x;
    EXPECT_NEAR(DetTanh(x / 10), std::tanh(x / 10), 1e-14) << x;
  }
  EXPECT_EQ(DetExp(-800), 0.0);
  EXPECT_EQ(DetExp(0), 1.0);
  for (double turns = -2.5; turns < 2.5; turns += 0.000731) {
    EXPECT_NEAR(DetSinTurns(turns), std::sin(2 * std::numbers::pi * turns), 1e-14) << turns;
    EXPECT_NEAR(DetCosTurns(turns), std::cos(2 * std::numbers::pi * turns), 1e-14) << turns;
  }
  for (double x = 0.001; x < 1.45; x += 0.0017) {
    EXPECT_NEAR(DetTan(x), std::tan(x), std::tan(x) * 1e-13) << x;
  }
  EXPECT_EQ(DetExp2(10), 1024.0);
}

TEST(Recipes, ErrorsNameTheFileTheFieldAndTheProblem) {
  const std::string e = R"({"effects": [{"file": "RES\\WAVE\\MECH\\F_UP.WAC", )";
  struct Case {
    std::string text;
    std::string expect;
  };
  const Case cases[] = {
      {e + R"("layers": [{"wave": "sine", "frq": 100}]}]})", "unknown field \"frq\""},
      {e + R"("layers": [{"wave": "squiggle"}]}]})", "wave \"squiggle\""},
      {e + R"("peak": 2, "layers": [{}]}]})", "\"peak\" = 2 is outside"},
      {e + R"("length": "long", "layers": [{}]}]})", "\"length\" must be a number"},
      {e + R"("length": 0.1}]})", "\"layers\" is missing"},
      {e + R"("layers": [{"wave": "partials"}]}]})", "needs \"partials\""},
      {e + R"("layers": [{"filter": {"type": "notch"}}]}]})", "filter type \"notch\""},
      {R"({"music": [{"file": "M", "chords": "C", "instruments": {}, "tracks": [{"play": "notes", "instrument": "x", "notes": "C4"}]}]})",
       "no instrument \"x\""},
      {R"({"music": [{"file": "M", "chords": "C", "instruments": {}, "tracks": [{"play": "dance", "instrument": "x"}]}]})",
       "\"play\" must be"},
      {R"({"music": [{"file": "M", "loop_start": 2, "chords": "C", "instruments": {}, "tracks": []}]})",
       "\"loop_start\" is for a looping piece"},
      {R"({"effects": [ )", "test.json"},
  };
  for (const Case& c : cases) {
    std::string error = ParseError(c.text);
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    EXPECT_NE(error.find("test.json"), std::string::npos) << error;
  }
  // The file is named when it is known.
  EXPECT_NE(ParseError(e + R"("layers": [{"gain": -1}]}]})").find("F_UP.WAC"), std::string::npos);
}

TEST(Recipes, ReadsDefaultsAndOverrides) {
  RecipeBook book;
  std::string error;
  ASSERT_TRUE(ParseRecipes(R"({
    // comments are allowed
    "format": {"rate": 24000, "kbps": 48},
    "effects": [
      {"file": "A", "layers": [{"wave": "noise", "decay": 0.1}]},
      {"file": "B", "format": {"wave": true, "rate": 22050}, "loop": true,
       "layers": [{"wave": "sine", "freq": 60, "attack": 0}]}
    ]})",
                           "t.json", book, &error))
      << error;
  ASSERT_EQ(book.effects.size(), 2u);
  EXPECT_EQ(book.effects[0].format.rate, 24000);
  EXPECT_EQ(book.effects[0].format.kbps, 48);
  EXPECT_EQ(book.effects[0].layers[0].sustain, 0.0) << "a decaying layer decays to silence";
  EXPECT_TRUE(book.effects[1].format.wave);
  EXPECT_EQ(book.effects[1].format.rate, 22050);
  EXPECT_EQ(book.effects[1].layers[0].sustain, 1.0) << "a layer without decay holds";
  EXPECT_TRUE(book.effects[1].loop);
}

TEST(Formats, OnlyExactlyEstimatedLayer3FormatsPass) {
  struct Case {
    int rate, kbps;
    bool ok;
  };
  const Case cases[] = {
      {48000, 96, true},  {48000, 128, true},  {32000, 64, true}, {24000, 48, true},
      {16000, 32, true},  {44100, 128, false},  // 417.96 bytes: frames padded now and then
      {22050, 64, false}, {11025, 32, false},   // MPEG-2.5: the estimate is wrong
      {32000, 8, false},                        // no such MPEG-1 bitrate
  };
  for (const Case& c : cases) {
    std::string why;
    Format f;
    f.rate = c.rate;
    f.kbps = c.kbps;
    EXPECT_EQ(CheckCompressedFormat(f, &why), c.ok) << c.rate << " " << c.kbps << " " << why;
    if (!c.ok) {
      EXPECT_FALSE(why.empty());
    }
  }
}

TEST(Music, ReadsChordAndNoteNames) {
  struct ChordCase {
    const char* name;
    int root, bass;
    std::vector<int> intervals;
  };
  const ChordCase chords[] = {
      {"C", 0, 0, {0, 4, 7}},    {"Am7", 9, 9, {0, 3, 7, 10}},    {"F#maj7", 6, 6, {0, 4, 7, 11}},
      {"Bb", 10, 10, {0, 4, 7}}, {"G7sus4", 7, 7, {0, 5, 7, 10}}, {"C/E", 0, 4, {0, 4, 7}},
  };
  for (const ChordCase& c : chords) {
    Chord got;
    ASSERT_TRUE(ParseChord(c.name, got)) << c.name;
    EXPECT_EQ(got.root, c.root) << c.name;
    EXPECT_EQ(got.bass, c.bass) << c.name;
    EXPECT_EQ(got.intervals, c.intervals) << c.name;
  }
  for (const char* bad : {"", "H", "Cxyz", "C/", "C/H", "am"}) {
    Chord got;
    EXPECT_FALSE(ParseChord(bad, got)) << bad;
  }
  EXPECT_EQ(NoteNumber("C4"), 60);
  EXPECT_EQ(NoteNumber("A4"), 69);
  EXPECT_EQ(NoteNumber("F#5"), 78);
  EXPECT_EQ(NoteNumber("Bb3"), 58);
  EXPECT_EQ(NoteNumber("C-1"), 0);
  for (const char* bad : {"C", "H4", "C10", "4", "C#"}) EXPECT_EQ(NoteNumber(bad), -1) << bad;
}

MusicRecipe SmallPiece(bool loop) {
  MusicRecipe m;
  m.file = "M";
  m.format.rate = 16000;
  m.format.stereo = false;
  m.loop = loop;
  m.tempo = 120;  // two seconds a bar
  m.tail = 1.0;
  m.chords = "C:4";
  Layer tone;
  tone.wave = Wave::kSine;
  tone.attack = 0.01;
  tone.release = 1.2;  // rings well past the end of the bar
  m.instruments["tone"].layers = {tone};
  Track t;
  t.kind = TrackKind::kNotes;
  t.instrument = "tone";
  t.notes = "r:3 A4:1";
  t.gate = 1.0;
  m.tracks = {t};
  return m;
}

double Rms(const std::vector<float>& s, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(Music, LoopingPieceIsExactlyItsBarsAndWrapsItsTails) {
  Pcm once, loop;
  std::string error;
  ASSERT_TRUE(RenderMusic(SmallPiece(false), once, &error)) << error;
  ASSERT_TRUE(RenderMusic(SmallPiece(true), loop, &error)) << error;
  EXPECT_EQ(once.frames(), 48000u) << "two seconds and the one-second tail";
  ASSERT_EQ(loop.frames(), 32000u) << "exactly the bar";
  // Played once, the start is silent; looping, the last note's ring carries
  // over the seam into the start.
  EXPECT_LT(Rms(once.samples, 0, 1600), 1e-6);
  EXPECT_GT(Rms(loop.samples, 0, 1600), 0.05);
  const double seam = std::fabs(loop.samples[0] - loop.samples[31999]);
  double steps = 0;
  for (size_t i = 1; i < 200; ++i)
    steps = std::max<double>(steps, std::fabs(loop.samples[i] - loop.samples[i - 1]));
  EXPECT_LE(seam, steps * 1.01);

  // Begun on the last beat, the file is the same loop turned round; a start
  // outside the piece is refused.
  MusicRecipe late = SmallPiece(true);
  late.loop_start = 3;
  Pcm turned;
  ASSERT_TRUE(RenderMusic(late, turned, &error)) << error;
  ASSERT_EQ(turned.frames(), 32000u);
  for (size_t i = 0; i < 32000; i += 97) {
    ASSERT_NEAR(turned.samples[i], loop.samples[(i + 24000) % 32000], 1e-6) << i;
  }
  late.loop_start = 4;
  EXPECT_FALSE(RenderMusic(late, turned, &error));
  EXPECT_NE(error.find("loop_start"), std::string::npos) << error;
}

TEST(Music, ReportsWhatCannotBeRead) {
  struct Case {
    std::string chords, notes, expect;
  };
  const Case cases[] = {
      {"C:4", "C5:5", "longer than the chords"},
      {"Q7", "C5:1", "bad chord \"Q7\""},
      {"C:4", "C5:x", "bad note \"C5:x\""},
      {"C:4", "Z5:1", "bad note name \"Z5\""},
  };
  for (const Case& c : cases) {
    MusicRecipe m = SmallPiece(false);
    m.chords = c.chords;
    m.tracks[0].notes = c.notes;
    Pcm out;
    std::string error;
    EXPECT_FALSE(RenderMusic(m, out, &error));
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
  }
  MusicRecipe m = SmallPiece(false);
  m.tracks[0].kind = TrackKind::kBass;
  m.tracks[0].pattern = "1:1 9x:1";
  Pcm out;
  std::string error;
  EXPECT_FALSE(RenderMusic(m, out, &error));
  EXPECT_NE(error.find("bad chord tone \"9x\""), std::string::npos) << error;
}

TEST(Effects, LoopingEffectIsPeriodicEvenForAnOddPitch) {
  EffectRecipe e;
  e.file = "E";
  e.format.rate = 22050;
  e.loop = true;
  e.length = 0.5;
  Layer hum;
  hum.wave = Wave::kSaw;
  hum.freq = 61.37;  // not a whole number of cycles in half a second: rounded to one
  hum.attack = 0;
  hum.filter.type = FilterType::kLowpass;
  hum.filter.freq = 900;
  Layer hiss;
  hiss.wave = Wave::kNoise;
  hiss.attack = 0;
  hiss.gain = 0.2;
  e.layers = {hum, hiss};
  Pcm p = RenderEffect(e);
  ASSERT_EQ(p.frames(), 11025u);
  std::vector<int16_t> pcm = ToInt16(p.samples);
  EXPECT_LE(SeamStep(pcm, 1), StepsNearSeam(pcm, 1, 256));
  // And a one-shot effect ends in silence.
  e.loop = false;
  Pcm once = RenderEffect(e);
  EXPECT_EQ(once.samples.back(), 0.0f);
}

// A 480 Hz tone, 12 000 samples at 48 kHz: 120 whole cycles, so it loops
// seamlessly as a signal; the question is what the codec does to the seam.
// A cosine starts at its crest: a hard edge for a stream that begins in silence.
Pcm LoopTone() {
  Pcm p;
  p.rate = 48000;
  p.channels = 1;
  for (int i = 0; i < 12000; ++i) {
    p.samples.push_back(
        static_cast<float>(0.5 * std::cos(2 * std::numbers::pi * 480 * i / 48000.0)));
  }
  return p;
}

double EdgeError(const std::vector<int16_t>& decoded, const Pcm& source, size_t edge) {
  double worst = 0;
  for (size_t k = 0; k < edge; ++k) {
    for (size_t i : {k, source.samples.size() - 1 - k}) {
      worst = std::max(worst, std::fabs(decoded[i] - source.samples[i] * 32767.0));
    }
  }
  return worst;
}

TEST(Encoder, DecodesToExactlyTheSamplesEncodedAndLoopsJoin) {
  const Pcm tone = LoopTone();
  std::vector<int16_t> decoded[2];
  for (bool loop : {false, true}) {
    std::vector<uint8_t> plain;
    std::string why;
    ASSERT_TRUE(EncodeLayer3(tone, 96, loop, plain, &why)) << why;
    Format f;
    f.rate = 48000;
    f.kbps = 96;
    ASSERT_TRUE(CheckFrames(plain, FrameBytes(f), &why)) << why;
    sound::XorWithReadKey(plain);
    sound::DecodedSound d;
    ASSERT_TRUE(VerifyCompressed(plain, tone, loop, d, &why)) << loop << " " << why;
    ASSERT_EQ(d.samples.size(), tone.samples.size());
    decoded[loop] = d.samples;
  }
  // Encoded as a loop, the ends are coded in the context they play in: they
  // follow the tone closely where the plainly encoded sound starts from and
  // ends in silence.
  const double plain_edge = EdgeError(decoded[0], tone, 32);
  const double loop_edge = EdgeError(decoded[1], tone, 32);
  EXPECT_LT(loop_edge, 1000) << "a few per cent of the tone's amplitude";
  EXPECT_GT(plain_edge, 2 * loop_edge);
  EXPECT_LE(SeamStep(decoded[1], 1), StepsNearSeam(decoded[1], 1, 256));
}

TEST(Encoder, LoopShorterThanItsPreRollStillJoins) {
  Pcm tone;
  tone.rate = 48000;
  tone.channels = 2;
  for (int i = 0; i < 1000; ++i) {  // ten cycles of 480 Hz
    const double v = 0.4 * std::cos(2 * std::numbers::pi * 480 * i / 48000.0);
    tone.samples.push_back(static_cast<float>(v));
    tone.samples.push_back(static_cast<float>(-v));
  }
  ASSERT_LT(tone.frames(), static_cast<size_t>(kLoopPreRoll));
  std::vector<uint8_t> plain;
  std::string why;
  ASSERT_TRUE(EncodeLayer3(tone, 128, true, plain, &why)) << why;
  sound::XorWithReadKey(plain);
  sound::DecodedSound d;
  ASSERT_TRUE(VerifyCompressed(plain, tone, true, d, &why)) << why;
  EXPECT_EQ(d.samples.size(), 2000u);
}

TEST(Encoder, VerifyRefusesASoundThatClipsWhenDecoded) {
  // A square wave at full scale: the codec's band limit makes it overshoot.
  Pcm square;
  square.rate = 48000;
  square.channels = 1;
  for (int i = 0; i < 9600; ++i) square.samples.push_back((i / 120) % 2 ? 0.999f : -0.999f);
  std::vector<uint8_t> plain;
  std::string why;
  ASSERT_TRUE(EncodeLayer3(square, 96, false, plain, &why)) << why;
  sound::XorWithReadKey(plain);
  sound::DecodedSound d;
  EXPECT_FALSE(VerifyCompressed(plain, square, false, d, &why));
  EXPECT_NE(why.find("clips"), std::string::npos) << why;
}

TEST(Encoder, FrameCheckRefusesTagsAndTruncation) {
  const Pcm tone = LoopTone();
  std::vector<uint8_t> plain;
  std::string why;
  ASSERT_TRUE(EncodeLayer3(tone, 64, false, plain, &why)) << why;
  Format f;
  f.rate = 48000;
  f.kbps = 64;
  EXPECT_TRUE(CheckFrames(plain, FrameBytes(f), &why)) << why;
  std::vector<uint8_t> tagged = plain;
  for (char c : std::string("TAG") + std::string(125, ' '))
    tagged.push_back(static_cast<uint8_t>(c));
  EXPECT_FALSE(CheckFrames(tagged, FrameBytes(f), &why));
  std::vector<uint8_t> cut(plain.begin(), plain.end() - 10);
  EXPECT_FALSE(CheckFrames(cut, FrameBytes(f), &why));
  EXPECT_FALSE(CheckFrames(plain, FrameBytes(f) + 1, &why)) << "frame size other than expected";
}

TEST(Builder, RefusesBooksThatDoNotMatchTheSoundList) {
  RecipeBook book;
  std::string error;
  const char* kCounter =
      R"("file": "RES\\WAVE\\MECH\\COUNTER.WAC", "layers": [{"wave": "noise", "decay": 0.01}], "length": 0.05)";
  ASSERT_TRUE(ParseRecipes(
      std::string(R"({"format": {"rate": 48000, "kbps": 96}, "effects": [{)") + kCounter + "}]}",
      "a.json", book, &error))
      << error;
  BuiltSound one;
  EXPECT_TRUE(BuildSound(book, "RES\\WAVE\\MECH\\COUNTER.WAC", one, &error)) << error;
  std::vector<BuiltSound> all;
  EXPECT_FALSE(BuildSounds(book, all, &error));
  EXPECT_NE(error.find("MENU.WAC: has no recipe"), std::string::npos) << error;

  RecipeBook twice = book;
  twice.effects.push_back(book.effects[0]);
  EXPECT_FALSE(BuildSounds(twice, all, &error));
  EXPECT_NE(error.find("has two recipes"), std::string::npos) << error;

  RecipeBook stranger = book;
  stranger.effects[0].file = "RES\\WAVE\\MECH\\NOPE.WAC";
  EXPECT_FALSE(BuildSounds(stranger, all, &error));
  EXPECT_NE(error.find("NOPE.WAC: is not a file of the sound list"), std::string::npos) << error;

  RecipeBook padded = book;
  padded.effects[0].format.rate = 44100;
  padded.effects[0].format.kbps = 128;
  EXPECT_FALSE(BuildSound(padded, "RES\\WAVE\\MECH\\COUNTER.WAC", one, &error));
  EXPECT_NE(error.find("fractional"), std::string::npos) << error;

  RecipeBook buzz = book;
  buzz.effects[0].file = "RES\\WAVE\\MECH\\F_BUZZ.WAV";
  EXPECT_FALSE(BuildSound(buzz, "RES\\WAVE\\MECH\\F_BUZZ.WAV", one, &error));
  EXPECT_NE(error.find("\"wave\": true"), std::string::npos) << error;
}

}  // namespace
}  // namespace soundgen
