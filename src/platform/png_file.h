#pragma once
// Screenshots: RGB pictures written to and read from PNG files.

#include <string>

#include "platform/sdl_display_device.h"

namespace platform {

// Writes an RGB frame (3 bytes per pixel, rows without padding) as an 8-bit RGB PNG.
bool WritePng(const std::string& path, const RgbFrame& frame);
// Reads any PNG as RGB; false (frame empty) when the file is missing or bad.
bool ReadPng(const std::string& path, RgbFrame& frame);

}  // namespace platform
