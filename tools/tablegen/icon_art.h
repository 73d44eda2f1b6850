#pragma once
// The game's icon, drawn with Cairo in the title picture's style: the night
// sky in a gold frame, snow, the moon, the logo's golden "G" and a ball.
#include <string>

namespace tablegen {

// Draws the icon at `size` × `size` pixels (8..1024) as an RGBA PNG at
// `path`. Small sizes leave out the details that would only blur. False with
// `error` set when the size is out of range, the font is missing or the file
// cannot be written.
bool WriteIcon(int size, const std::string& path, std::string& error);

// The icon of the Windows programs: a multi-size .ico at `path` holding the
// drawing at 16, 24, 32, 48, 64, 128 and 256 pixels, each as a PNG.
bool WriteIconFile(const std::string& path, std::string& error);

}  // namespace tablegen
