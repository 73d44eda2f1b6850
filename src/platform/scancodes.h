#pragma once
// SDL scancodes and the DirectInput scan-code set the bindings are stored in.

#include <cstdint>

namespace platform {

// The DirectInput code of an SDL scancode; 0 when the key has none.
uint8_t DiCodeOfScancode(int sdl_scancode);
// The SDL scancode of a DirectInput code; 0 (unknown) when there is none.
int ScancodeOfDiCode(int di_code);

}  // namespace platform
