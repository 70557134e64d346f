#pragma once
// Internal: the clamp both spin boxes share.
namespace osc {

// Clamps v to min..max (no limits when they are equal). True when the shown text must
// be rewritten at once: raised to a negative min, or lowered to a positive max. A value
// below a positive min is left as typed, since more digits may still follow.
template <class T>
bool ClampToLimits(T& v, T min, T max) {
  if (min == max) return false;
  if (v < min) {
    v = min;
    return min < 0;
  }
  if (v > max) {
    v = max;
    return max > 0;
  }
  return false;
}

}  // namespace osc
