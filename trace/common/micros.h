#ifndef BARBERSHOP_TRACE_COMMON_MICROS_H_
#define BARBERSHOP_TRACE_COMMON_MICROS_H_
// A moment of a run, or a stretch of one, in whole microseconds: the unit every line is stamped
// with as it arrives, so no moment the companion keeps is rounded. Milliseconds, the program's
// own unit for delays and cuts, come in through ofMs() and go out through ms() and msText(),
// here and nowhere else. Pure.

#include <cstdint>
#include <string>

struct Micros {
  std::int64_t count = 0;

  static constexpr Micros ofMs(std::int64_t ms) { return Micros{ms * 1000}; }
  // For a scale or a column that wants a fraction of a millisecond.
  constexpr double ms() const { return static_cast<double>(count) / 1000.0; }

  constexpr Micros operator+(Micros other) const { return Micros{count + other.count}; }
  constexpr Micros operator-(Micros other) const { return Micros{count - other.count}; }
  constexpr bool operator==(Micros other) const { return count == other.count; }
  constexpr bool operator!=(Micros other) const { return count != other.count; }
  constexpr bool operator<(Micros other) const { return count < other.count; }
  constexpr bool operator<=(Micros other) const { return count <= other.count; }
  constexpr bool operator>(Micros other) const { return count > other.count; }
  constexpr bool operator>=(Micros other) const { return count >= other.count; }
};

// "203.1 ms", as every view writes a time.
std::string msText(Micros t);
// "203.1", for a column headed in ms.
std::string msNumberText(Micros t);

#endif  // BARBERSHOP_TRACE_COMMON_MICROS_H_
