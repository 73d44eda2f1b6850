#pragma once
// The synthesiser behind the recipes: oscillators, noise, envelopes,
// filters, a note sequencer for the music and a small stereo reverb. All in
// double precision, seeded, with no clock: the same recipe gives the same
// samples on every run.

#include <cstdint>
#include <string>
#include <vector>

#include "soundgen/recipe.h"

namespace soundgen {

// Rendered sound in −1..1, interleaved when stereo.
struct Pcm {
  int rate = 0;
  int channels = 1;
  std::vector<float> samples;
  size_t frames() const {
    return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0;
  }
};

// Renders one layer, mono, adding into out[0 .. out_len). `offset` is the
// sample where the layer's time 0 falls (may be negative: the layer began
// earlier). note_hz is the pitch of the note (0 for an effect); gate_s the
// seconds after which the release starts (negative: never). With loop_len > 0
// every source is periodic in loop_len samples (pitches rounded to whole
// cycles per loop, the envelope and the noise repeating), for seamless loops.
void RenderLayer(const Layer& layer, double note_hz, int rate, double gate_s, int64_t offset,
                 size_t loop_len, double gain, float* out, size_t out_len);

// Seconds a layer sounds for a note held gate_s seconds (start, envelope and release).
double LayerSeconds(const Layer& layer, double gate_s);

// An effect: its layers mixed, scaled so the loudest sample is `peak`.
// A looping effect is exactly `length` long and periodic.
Pcm RenderEffect(const EffectRecipe& recipe);

// A piece of music. False with a reason for a chord, note or pattern that
// cannot be read. A looping piece is exactly its bars long and periodic
// (note tails and reverb wrap round from the end to the start).
bool RenderMusic(const MusicRecipe& recipe, Pcm& out, std::string* error);

// MIDI note number of a name like "C4", "F#5", "Bb3" (C4 = 60); −1 if unreadable.
int NoteNumber(const std::string& name);
// Semitone intervals of a chord name like "Am7", "Fmaj7", "G7sus4", "C/E"
// (root as a pitch class 0..11, bass class for a slash chord); false if unreadable.
struct Chord {
  int root = 0;
  int bass = 0;
  std::vector<int> intervals;
};
bool ParseChord(const std::string& name, Chord& out);

}  // namespace soundgen
