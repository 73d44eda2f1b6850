#include "physics/tuning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/angle.h"
#include "physics/world.h"

namespace physics {
namespace {

class TuningTest : public ::testing::Test {
 protected:
  bool Load(std::string_view text) { return LoadTuningText(world.tuning_targets(), text); }
  World world;
};

TEST_F(TuningTest, DefaultsBeforeAnyText) {
  const Tuning& t = world.tuning;
  EXPECT_EQ(t.bumpers_on_off, 1);
  EXPECT_FLOAT_EQ(t.plane_add_mu, 0.001f);
  EXPECT_FLOAT_EQ(t.random_angle, 0.125f * core::kPi / 180.0f);
  EXPECT_FLOAT_EQ(t.reflection_min_angle, 30.0f * core::kPi / 180.0f);
  EXPECT_EQ(t.ai_before_shot_time, 550);
  EXPECT_FLOAT_EQ(world.balls[0].speed_limit, 20.0f);
  EXPECT_FLOAT_EQ(world.balls[1].plane_friction, 0.006f);
  EXPECT_FLOAT_EQ(world.balls[1].plane_gravity, 0.03f);
  EXPECT_FLOAT_EQ(MaxNormalSpeed(world.surfaces, 40), 0.2f);
  EXPECT_FLOAT_EQ(WallRebound(world.surfaces, 40), 0.6f);
}

TEST_F(TuningTest, KeysAreCaseInsensitiveAndWriteBallFields) {
  EXPECT_TRUE(Load("muwall3 0.5\nPlaneMu 0.01\nplaneg 0.05\nbumpersonoff 0\n"));
  EXPECT_FLOAT_EQ(world.surfaces.wall_friction[3], 0.5f);
  EXPECT_FLOAT_EQ(WallFriction(world.surfaces, 3), 0.5f);
  for (const BallRecord& b : world.balls) {
    EXPECT_FLOAT_EQ(b.plane_friction, 0.01f);
    EXPECT_FLOAT_EQ(b.plane_gravity, 0.05f);
  }
  EXPECT_EQ(world.tuning.bumpers_on_off, 0);
}

TEST_F(TuningTest, CommentLinesAndNestedBlocks) {
  struct Case {
    const char* text;
    float plane_gravity;
    bool closed;  // false: a block is left open, which is reported
  } cases[] = {
      {"COMMENTBEGIN\nCOMMENTBEGIN\nCOMMENTEND\nPLANEG 0.4\n", 0.03f, false},
      {"COMMENTBEGIN\nCOMMENTBEGIN\nCOMMENTEND\nCOMMENTEND\nPLANEG 0.4\n", 0.4f, true},
      {"commentend\nPLANEG 0.4\n", 0.4f, true},  // no open block: depth stays at zero
      {"commentend\ncommentbegin\nPLANEG 0.4\n", 0.03f, false},
      {"//PLANEG 0.4\n/PLANEG 0.4\n", 0.03f, true},
      {"COMMENTBEGIN 1\nMUWALL3 0.5\nCOMMENTEND 1\nPLANEG 0.4", 0.4f, true},
  };
  for (const Case& c : cases) {
    World w;
    EXPECT_EQ(LoadTuningText(w.tuning_targets(), c.text), c.closed) << c.text;
    EXPECT_FLOAT_EQ(w.balls[0].plane_gravity, c.plane_gravity) << c.text;
    EXPECT_FLOAT_EQ(w.surfaces.wall_friction[3], -0.1f) << c.text;
  }
}

TEST_F(TuningTest, ConversionsByType) {
  EXPECT_TRUE(
      Load("MAXNUDGEDISTANCE 50\nAIPRESSTIME 499.5\nAIRELEASETIME 10.4\nMAXTILTCOUNTER 299.9\n"
           "MAXFLIPPERCOUNTER -2.7\nAIRANDOMK 7.5\nTREELAMPSHIFTED 0.6\nBUMPERSONOFF 0.5\n"
           "REFLECTIONMINANGLE 90\nMAXTANGENT 45\nMAXNORMALSPEED 0.7\nKREFLECTIONROLL 0.5\n"
           "AIMINAXISDIST -0.7\n"));
  const Tuning& t = world.tuning;
  EXPECT_FLOAT_EQ(t.max_nudge_distance, 200.0f);
  EXPECT_EQ(t.ai_press_time, 500);
  EXPECT_EQ(t.ai_release_time, 10);
  EXPECT_EQ(t.max_tilt_counter, 299);
  EXPECT_EQ(t.max_flipper_counter, -2);
  EXPECT_EQ(t.ai_random_k, 8);
  EXPECT_EQ(t.ai_min_axis_dist, 0);  // -0.7 + 0.5 truncates toward zero
  EXPECT_EQ(t.tree_lamp_shifted, 1);
  EXPECT_EQ(t.bumpers_on_off, 0);  // not above 0.5
  EXPECT_FLOAT_EQ(t.reflection_min_angle, core::kPi / 2);
  EXPECT_FLOAT_EQ(world.surfaces.max_tangent[255], core::kPi / 4);
  EXPECT_FLOAT_EQ(world.surfaces.max_normal_speed[255], 0.7f);
  EXPECT_FLOAT_EQ(t.k_reflection_roll, 0.5f);

  EXPECT_TRUE(Load("MAXNUDGEDISTANCE 500\n"));
  EXPECT_FLOAT_EQ(t.max_nudge_distance, 500.0f);
}

TEST_F(TuningTest, SurfaceDelayAndRandomMultiplierNegatives) {
  EXPECT_TRUE(Load("SURFACEDELAY12 -3\nRANDOMMULT12 -3\nRANDOMMULT255 7\nSURFACEDELAY5 4.9\n"));
  EXPECT_EQ(world.surfaces.surface_delay[12], 0);
  EXPECT_EQ(world.surfaces.random_multiplier[12], -3);
  EXPECT_EQ(RandomMultiplier(world.surfaces, 12), 7);  // negative: row 255's value
  EXPECT_EQ(SurfaceDelay(world.surfaces, 5), 4);
}

TEST_F(TuningTest, BallMaxSpeedOverwritesEveryThreshold) {
  EXPECT_TRUE(Load("SURFNONLINEARMINSPEED4 3\nBALLMAXSPEED 9\nSURFNONLINEARMINSPEED6 2\n"));
  EXPECT_FLOAT_EQ(world.surfaces.fast_impact_threshold[4], 9.0f);
  EXPECT_FLOAT_EQ(world.surfaces.fast_impact_threshold[6], 2.0f);
  EXPECT_FLOAT_EQ(world.surfaces.fast_impact_threshold[255], 9.0f);
  EXPECT_FLOAT_EQ(world.balls[0].speed_limit, 9.0f);
  EXPECT_FLOAT_EQ(world.balls[1].speed_limit, 9.0f);
}

TEST_F(TuningTest, SurfaceKeyCodesMatchExactly) {
  EXPECT_TRUE(
      Load("MUWALL0 0.1\nMUWALL255 0.2\nMUWALL256 0.3\nMUWALL07 0.4\nMUWALL00 0.5\n"
           "MUWALL-1 0.6\nMUWALL 0.7\nMAXNORMALSPEEDS9 1.5\nMAXNORMALSPEED9 2.5\n"
           "MAXTANGENT9 90\nGPLANE1 0.25\nKREFLECTION2 0.3\nSURFNONLINEARMINREFL2 1.5\n"
           "ABSREFLECTION2 0.05\nMUWALL+7 0.9\n"));
  const SurfaceTable& s = world.surfaces;
  EXPECT_FLOAT_EQ(s.wall_friction[0], 0.1f);
  EXPECT_FLOAT_EQ(s.wall_friction[255], 0.2f);
  EXPECT_FLOAT_EQ(s.wall_friction[7], -0.1f);
  for (int code = 1; code < 255; ++code) EXPECT_FLOAT_EQ(s.wall_friction[code], -0.1f) << code;
  EXPECT_FLOAT_EQ(s.max_normal_speed[9], 1.5f);
  EXPECT_FLOAT_EQ(s.max_normal_speed[255], 0.2f);  // MAXNORMALSPEED9 matches nothing
  EXPECT_FLOAT_EQ(s.max_tangent[9], core::kPi / 2);
  EXPECT_FLOAT_EQ(SlopeAcceleration(s, 1), 0.25f);
  EXPECT_FLOAT_EQ(FastImpactRebound(s, 2, 25.0f), 0.3f * 1.5f);  // at or above the threshold
  EXPECT_FLOAT_EQ(AbsoluteRebound(s, 2), 0.05f);
}

TEST_F(TuningTest, LineLengthLimit) {
  std::string ok = "PLANEG 0.4";
  ok.resize(250, ' ');
  std::string too_long = "PLANEMU 0.5";
  too_long.resize(251, ' ');
  EXPECT_TRUE(Load(ok + "\n"));
  EXPECT_FLOAT_EQ(world.balls[0].plane_gravity, 0.4f);
  // A long line is read as far as 250 characters and the load goes on.
  EXPECT_TRUE(Load("ADDGDOWN 0.2\n" + too_long + "\nPLANEADDMU 0.5\n"));
  EXPECT_FLOAT_EQ(world.tuning.add_g_down, 0.2f);
  EXPECT_FLOAT_EQ(world.balls[0].plane_friction, 0.5f);
  EXPECT_FLOAT_EQ(world.tuning.plane_add_mu, 0.5f);
  // A long comment, and a value beyond the 250th character (not read).
  std::string far_value = "BUMPERSPEED";
  far_value.resize(260, ' ');
  EXPECT_TRUE(Load("// " + std::string(400, 'x') + "\n" + far_value + "9\nREBOUNDSPEED 3\n"));
  EXPECT_FLOAT_EQ(world.tuning.bumper_speed, 4.0f);
  EXPECT_FLOAT_EQ(world.tuning.rebound_speed, 3.0f);
}

TEST_F(TuningTest, ValuesOutOfRangeAreRefusedAndNamed) {
  struct Case {
    std::string line;
    std::string named;
  };
  const Case cases[] = {
      {"KREFLECTION10 1e30", "line 2: KREFLECTION10 1e+30 is outside 0 to 2"},
      {"kreflection10 -0.5", "line 2: KREFLECTION10 -0.5 is outside 0 to 2"},
      {"BALLMAXSPEED 0", "line 2: BALLMAXSPEED 0 is outside 0.01 to 100"},
      {"PLANEG -0.3", "line 2: PLANEG -0.3 is outside 0.0001 to 10"},
      {"PLANEMU 5", "line 2: PLANEMU 5 is outside 0 to 1"},
      {"BALLSPEEDDECAY 3", "line 2: BALLSPEEDDECAY 3 is outside 0 to 1"},
      {"MAXTILTCOUNTER 1e9", "line 2: MAXTILTCOUNTER 1e+09 is outside -100000 to 100000"},
      {"AIPRESSTIME 1e12", "line 2: AIPRESSTIME 1e+12 is outside -600000 to 600000"},
      {"RANDOMANGLE 1000", "line 2: RANDOMANGLE 1000 is outside -360 to 360"},
      {"BUMPERSPEED 1e20", "line 2: BUMPERSPEED 1e+20 is outside -10000 to 10000"},
      // Values that are not finite decimal numbers.
      {"KREFLECTION10 abc", "line 2: KREFLECTION10 \"abc\" is not a finite decimal number"},
      {"PLANEMU nan", "line 2: PLANEMU \"nan\" is not a finite decimal number"},
      {"BUMPERSPEED inf", "line 2: BUMPERSPEED \"inf\" is not a finite decimal number"},
      {"BUMPERSPEED -1e400", "line 2: BUMPERSPEED \"-1e400\" is not a finite decimal number"},
      {"KREFLECTION10 0.55junk",
       "line 2: KREFLECTION10 \"0.55junk\" is not a finite decimal number"},
      {"MAXTILTCOUNTER 0x10", "line 2: MAXTILTCOUNTER \"0x10\" is not a finite decimal number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    World w;
    const World before;
    std::vector<std::string> refused;
    EXPECT_FALSE(LoadTuningText(w.tuning_targets(), "ADDGDOWN 0.2\r\n" + c.line + "\nNUDGEMULTI 3",
                                &refused));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0], c.named);
    // The refused line changed nothing; the lines around it were read.
    EXPECT_EQ(w.surfaces.wall_rebound, before.surfaces.wall_rebound);
    EXPECT_EQ(w.balls[0].speed_limit, before.balls[0].speed_limit);
    EXPECT_EQ(w.balls[0].plane_gravity, before.balls[0].plane_gravity);
    EXPECT_EQ(w.tuning.max_tilt_counter, before.tuning.max_tilt_counter);
    EXPECT_FLOAT_EQ(w.tuning.add_g_down, 0.2f);
    EXPECT_FLOAT_EQ(w.tuning.nudge_multi, 3.0f);
  }
  // Written as people write numbers, values are read.
  {
    World w;
    std::vector<std::string> refused;
    EXPECT_TRUE(LoadTuningText(w.tuning_targets(), "ADDGDOWN .25\nNUDGEMULTI +2E0\n", &refused));
    EXPECT_TRUE(refused.empty());
    EXPECT_FLOAT_EQ(w.tuning.add_g_down, 0.25f);
    EXPECT_FLOAT_EQ(w.tuning.nudge_multi, 2.0f);
  }
  // A comment block never closed hides the rest of the file: said, with its line.
  {
    World w;
    std::vector<std::string> refused;
    EXPECT_FALSE(
        LoadTuningText(w.tuning_targets(), "ADDGDOWN 0.2\nCOMMENTBEGIN\nNUDGEMULTI 3\n", &refused));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0], "line 2: COMMENTBEGIN is never closed by COMMENTEND");
    EXPECT_FLOAT_EQ(w.tuning.add_g_down, 0.2f);
  }
  // Line numbers count blank lines too.
  World w;
  std::vector<std::string> refused;
  EXPECT_FALSE(LoadTuningText(w.tuning_targets(), "\n\nPLANEMU 0.5\n\nPLANEMU 9\n", &refused));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].rfind("line 5: ", 0), 0u) << refused[0];
}

TEST_F(TuningTest, LineEndingsAndUnreadableLines) {
  std::string text = "ADDGDOWN 0.1\r\nPLANEADDMU 0.2\rBALLSPEEDDECAY 0.3\n\n\r\n";
  text += std::string("NUDGESPEED 0.4", 14) + '\0' + "NUDGEMULTI 5\n   \nSOUNDPANOSCALE\n";
  text += "SOUNDVOLUMESCALE nan\nSOUNDSPEEDSCALE inf\nMAXTILTCOUNTER 1e30\n\tBUMPERSPEED\t7";
  EXPECT_FALSE(Load(text));  // MAXTILTCOUNTER 1e30 is refused
  const Tuning& t = world.tuning;
  EXPECT_FLOAT_EQ(t.add_g_down, 0.1f);
  EXPECT_FLOAT_EQ(t.plane_add_mu, 0.2f);
  EXPECT_FLOAT_EQ(t.ball_speed_decay, 0.3f);
  EXPECT_FLOAT_EQ(t.nudge_speed, 0.4f);
  EXPECT_FLOAT_EQ(t.nudge_multi, 5.0f);
  EXPECT_FLOAT_EQ(t.sound_pano_scale, 4.0f);     // no number: skipped
  EXPECT_FLOAT_EQ(t.sound_volume_scale, 0.03f);  // not finite: skipped
  EXPECT_FLOAT_EQ(t.sound_speed_scale, 1.0f);
  EXPECT_EQ(t.max_tilt_counter, 300);     // refused: out of range
  EXPECT_FLOAT_EQ(t.bumper_speed, 7.0f);  // no trailing newline, tabs as blanks
  EXPECT_TRUE(Load(""));
}

TEST(SurfaceTable, ResetAndFallBack) {
  SurfaceTable s;
  for (int code : {-1, 256, 100000}) {
    EXPECT_FLOAT_EQ(WallRebound(s, code), 0.6f);
    EXPECT_FLOAT_EQ(WallFriction(s, code), 0.001f);
    EXPECT_FLOAT_EQ(MaxNormalSpeed(s, code), 0.2f);
    EXPECT_FLOAT_EQ(FastImpactRebound(s, code, 100.0f), 0.6f);
  }
  s.wall_friction[3] = 0.5f;
  s.wall_rebound[255] = 0.9f;
  s.fast_impact_threshold[3] = 7.0f;
  s.surface_delay[3] = 4;
  s.max_tangent[255] = 1.0f;
  ResetSurfaceTable(s);
  EXPECT_FLOAT_EQ(s.wall_friction[3], -0.1f);
  EXPECT_FLOAT_EQ(s.wall_rebound[255], 0.6f);
  // Not touched by the reset.
  EXPECT_FLOAT_EQ(s.fast_impact_threshold[3], 7.0f);
  EXPECT_EQ(s.surface_delay[3], 4);
  EXPECT_FLOAT_EQ(s.max_tangent[255], 1.0f);
  // Multiplier and threshold read straight from the row: 1.0 from row 3 at speed 7.
  EXPECT_FLOAT_EQ(FastImpactRebound(s, 3, 7.0f), 0.6f);
  s.fast_impact_multiplier[3] = 2.0f;
  EXPECT_FLOAT_EQ(FastImpactRebound(s, 3, 6.9f), 0.6f);
  EXPECT_FLOAT_EQ(FastImpactRebound(s, 3, 7.0f), 1.2f);
}

// Every listed key is accepted by the loader and lands where the listing reads it.
TEST_F(TuningTest, EveryListedKeyLoadsAndLists) {
  std::vector<TuningEntry> keys = ListTuning(world.tuning, world.surfaces, world.balls);
  ASSERT_EQ(keys.size(), 72u);
  // A distinct value inside each key's range; whole numbers where large.
  auto value_for = [&](size_t i) {
    if (keys[i].type == TuningType::kBool) return keys[i].value > 0.5 ? 0.0 : 1.0;
    TuningRange r{};
    EXPECT_TRUE(RangeOfTuningKey(keys[i].key, r)) << keys[i].key;
    const double v = r.low + (r.high - r.low) * (0.3 + 0.005 * static_cast<double>(i));
    return std::fabs(v) > 50 || keys[i].type != TuningType::kReal ? std::round(v)
                                                                  : std::round(v * 1000) / 1000;
  };
  std::string text;
  for (size_t i = 0; i < keys.size(); ++i) {
    text += std::string(keys[i].key) + " " + std::to_string(value_for(i)) + "\n";
  }
  std::vector<std::string> refused;
  EXPECT_TRUE(LoadTuningText(world.tuning_targets(), text, &refused))
      << (refused.empty() ? "" : refused[0]);
  std::vector<TuningEntry> after = ListTuning(world.tuning, world.surfaces, world.balls);
  ASSERT_EQ(after.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const double expected = value_for(i);
    EXPECT_NEAR(after[i].value, expected, 1e-3 + 1e-6 * std::fabs(expected)) << keys[i].key;
  }
}

TEST_F(TuningTest, ReportListsKeysThenChangedSurfaces) {
  std::string fresh = FormatTuningReport(world.tuning, world.surfaces, world.balls);
  EXPECT_NE(fresh.find("PLANEG 0.03\n"), std::string::npos);
  EXPECT_NE(fresh.find("REFLECTIONMINANGLE 30\n"), std::string::npos);
  EXPECT_NE(fresh.find("RANDOMANGLE 0.125\n"), std::string::npos);
  EXPECT_NE(fresh.find("MAXTILTCOUNTER 300\n"), std::string::npos);
  EXPECT_NE(fresh.find("MAXNORMALSPEED 0.2\n"), std::string::npos);
  EXPECT_EQ(fresh.find("MUWALL"), std::string::npos);

  EXPECT_TRUE(Load("MUWALL3 0.5\nMAXTANGENT7 15\nRANDOMMULT9 -2\n"));
  std::string report = FormatTuningReport(world.tuning, world.surfaces, world.balls);
  size_t muwall = report.find("MUWALL3 0.5\n");
  size_t tangent = report.find("MAXTANGENT7 15\n");
  ASSERT_NE(muwall, std::string::npos);
  ASSERT_NE(tangent, std::string::npos);
  EXPECT_LT(muwall, tangent);
  EXPECT_NE(report.find("RANDOMMULT9 -2\n"), std::string::npos);
  EXPECT_GT(muwall, report.find("SOUNDSPEEDSCALE 1\n"));
  EXPECT_EQ(ListChangedSurfaces(world.surfaces).size(), 3u);
}

}  // namespace
}  // namespace physics
