#ifndef BARBERSHOP_CONSOLE_INPUT_H_
#define BARBERSHOP_CONSOLE_INPUT_H_
// Reading the console's answers from a stream: numbers the way "%d" and "%u" read them followed
// by one consumed character, and ID lines. Used by the console thread only.

#include <cstddef>
#include <cstdio>

enum class InputResult {
  kValue,      // a number was read
  kNotNumber,  // the next text is not a number; it has not been consumed
  kEnd,        // the input has ended
};

// Skips blanks and newlines, reads a signed decimal number and consumes the character after
// it. A number beyond the 32-bit range reads as the nearest limit.
InputResult readInt(FILE* in, int* value);
// As readInt, for an unsigned number; a minus sign wraps around, so "-1" reads as 4294967295.
InputResult readUnsigned(FILE* in, unsigned* value);
// Reads one line of at most size - 1 characters and drops its last character (normally the
// newline). The rest of a longer line is discarded. False when the input has ended first.
bool readIdLine(FILE* in, char* id, std::size_t size);
// Consumes everything up to and including the next newline.
void discardLine(FILE* in);

#endif  // BARBERSHOP_CONSOLE_INPUT_H_
