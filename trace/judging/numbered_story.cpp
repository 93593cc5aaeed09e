// The numbers of a numbered story's steps.

#include "trace/judging/numbered_story.h"

#include <string>

std::string stepNumber(int n) {
  // The circled digits ① (U+2460) to ⑳ (U+2473) share their first two bytes in UTF-8.
  if (n >= 1 && n <= 20) return std::string("\xE2\x91") + static_cast<char>(0xA0 + n - 1);
  return "(" + std::to_string(n) + ")";
}
