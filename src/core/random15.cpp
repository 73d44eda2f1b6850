#include "core/random15.h"

namespace core {

int Random15::Below(int n) {
  if (n < 1) return 0;
  return Next() % n;
}

float Random15::UpTo(float a) { return static_cast<float>(Next()) * a / 32767.0f; }

float Random15::Within(float a) { return a - static_cast<float>(Next()) * (2.0f * a) / 32767.0f; }

}  // namespace core
