#pragma once
// Pictures of a built pack as the game composes it (its own loaders, table
// drawing and compositor): the tilted table, the flippers raised over a lit
// lamp, and a close-up of the flippers at 640 × 480.

#include <string>

namespace tablegen {

// Writes tilt-1024.png, flippers-up-lit-1024.png and flippers-640.png into
// `dir`. False with a reason in `error`.
bool WriteGameShots(const std::string& pack, const std::string& dir, std::string& error);

}  // namespace tablegen
