// gftool replay FILE [--all]: what a recorded game holds, as text that shows
// in a diff: its setup, its length and the state digest at every ball end,
// game end and the last frame (with --all also the periodic checks). The
// regression corpus keeps this listing beside each recording.

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "replay/reader.h"

namespace gftool {
namespace {

// The digest's parts folded into one value (each part's 8 bytes in turn).
uint64_t DigestHash(const replay::StateDigest& d) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint64_t part : d) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(part >> (8 * i));
    h = replay::HashBytes(bytes, h);
  }
  return h;
}

int Run(Args args) {
  if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--all")) {
    return Usage("replay");
  }
  const bool all = args.size() == 2;
  const replay::ReadResult read = replay::ReadRecordingFile(args[0]);
  if (!read.playable()) return Fail(args[0] + ": " + read.error);
  const replay::Recording& r = read.recording;
  const replay::Header& h = r.header;
  std::printf("pack %016" PRIx64 "  tuning %016" PRIx64 "\n", h.pack_hash, h.tuning_hash);
  std::printf("seed %" PRIu32 "  players %" PRId32 "  %s  %s %" PRId32 "x%" PRId32 "\n", h.seed,
              h.players, h.run_mode.c_str(), h.display_mode.c_str(), h.display_width,
              h.display_height);
  std::printf("frames %zu  game time %.0f ms  %s\n", r.frames.size(), r.DurationMs(),
              read.complete() ? "complete" : read.error.c_str());
  for (const replay::Checkpoint& c : r.checkpoints) {
    if (c.kind == replay::CheckKind::kInterval && !all) continue;
    std::printf("frame %7" PRIu32 "  %-14.*s %016" PRIx64 "  scores", c.frame,
                static_cast<int>(replay::CheckKindName(c.kind).size()),
                replay::CheckKindName(c.kind).data(), DigestHash(c.digest));
    for (int32_t s : c.scores) std::printf(" %" PRId32, s);
    std::printf("\n");
  }
  return 0;
}

const Registrar kReg({"replay", "replay FILE.gfrec [--all]", Run});

}  // namespace
}  // namespace gftool
