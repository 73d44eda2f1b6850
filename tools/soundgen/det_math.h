#pragma once
// Elementary functions built only from IEEE additions, multiplications and
// exact operations (rounding to integers, scaling by powers of two), so the
// synthesiser gives the same bits on every machine: the system's maths
// library picks different code paths by processor and may differ in the last
// bit, which would change the encoded files.

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace soundgen {

// e^x (0 below −700).
inline double DetExp(double x) {
  if (x < -700) return 0;
  if (x > 700) x = 700;
  constexpr double kInvLn2 = 1.44269504088896338700e+00;
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const double k = std::round(x * kInvLn2);
  const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| ≤ 0.35
  double p = 1.0 / 479001600;                      // Taylor series to r^12
  for (double d :
       {39916800.0, 3628800.0, 362880.0, 40320.0, 5040.0, 720.0, 120.0, 24.0, 6.0, 2.0, 1.0, 1.0}) {
    p = p * r + 1.0 / d;
  }
  // 2^k built exactly from its bits (k stays within the normal range here).
  const auto bits = static_cast<uint64_t>(static_cast<int64_t>(k) + 1023) << 52;
  return p * std::bit_cast<double>(bits);
}

namespace detail {
// sin and cos on |t| ≤ π/4 by their Taylor series.
inline double SinSmall(double t) {
  const double t2 = t * t;
  double p = -1.0 / 1307674368000;  // −t^15/15!
  for (double c :
       {1.0 / 6227020800, -1.0 / 39916800, 1.0 / 362880, -1.0 / 5040, 1.0 / 120, -1.0 / 6}) {
    p = p * t2 + c;
  }
  return t + t * t2 * p;
}
inline double CosSmall(double t) {
  const double t2 = t * t;
  double p = 1.0 / 20922789888000;  // t^16/16!
  for (double c : {-1.0 / 87178291200, 1.0 / 479001600, -1.0 / 3628800, 1.0 / 40320, -1.0 / 720,
                   1.0 / 24, -1.0 / 2}) {
    p = p * t2 + c;
  }
  return 1.0 + t2 * p;
}
}  // namespace detail

// sin(2π·turns).
inline double DetSinTurns(double turns) {
  constexpr double kHalfPi = 1.57079632679489661923;
  const double q = turns - std::floor(turns);  // 0 ≤ q < 1
  const double x = q * 4;
  int quadrant = static_cast<int>(x);
  if (quadrant > 3) quadrant = 3;
  const double f = x - quadrant;  // position in the quadrant, 0..1
  const bool mirrored = f > 0.5;
  const double t = (mirrored ? 1.0 - f : f) * kHalfPi;
  const double s = detail::SinSmall(t), c = detail::CosSmall(t);
  const double sin_f = mirrored ? c : s;  // sin(f·π/2)
  const double cos_f = mirrored ? s : c;  // cos(f·π/2)
  switch (quadrant) {
    case 0:
      return sin_f;
    case 1:
      return cos_f;
    case 2:
      return -sin_f;
    default:
      return -cos_f;
  }
}

inline double DetCosTurns(double turns) { return DetSinTurns(turns + 0.25); }

// tan(x) for 0 ≤ x < π/2.
inline double DetTan(double x) {
  constexpr double kInvTwoPi = 0.15915494309189533577;
  return DetSinTurns(x * kInvTwoPi) / DetCosTurns(x * kInvTwoPi);
}

inline double DetTanh(double x) {
  if (x > 20) return 1;
  if (x < -20) return -1;
  const double e = DetExp(2 * x);
  return (e - 1) / (e + 1);
}

// 2^x.
inline double DetExp2(double x) { return DetExp(x * 0.69314718055994530942); }

}  // namespace soundgen
