#ifndef BARBERSHOP_TRACE_RELAY_OUTPUT_H_
#define BARBERSHOP_TRACE_RELAY_OUTPUT_H_
// Standard output, written by one writer: the program's relayed bytes, the typed answers, every
// summary, digest line, aggregate and listing. The first failed write is told once on standard
// error and nothing more is written; a reader that went away is told nothing, as SIGPIPE tells
// nothing. Single-threaded: the companion has one thread.

#include <csignal>
#include <string_view>

enum class OutputState {
  kOk,
  kReaderGone,  // EPIPE: whoever read standard output has gone (`| head -1`)
  kFailed,      // any other failure (a full disk, /dev/full), already told
};

// The status of a companion whose reader went away: that of a process killed by SIGPIPE.
constexpr int kExitReaderGone = 128 + SIGPIPE;

// Writes all of `bytes` to standard output, waiting while it is full. False once any write has
// failed, this one or an earlier one.
bool writeOutput(std::string_view bytes);
OutputState outputState();
// Writes all of `bytes` to standard error, as far as it takes them: if standard error fails there
// is nowhere left to say so.
void writeErrors(std::string_view bytes);
// `status` unless standard output failed: then kExitReaderGone, or 1 as for the program alone.
int statusAfterOutput(int status);

#endif  // BARBERSHOP_TRACE_RELAY_OUTPUT_H_
