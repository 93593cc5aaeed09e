#ifndef BARBERSHOP_SCHEDULER_RECORDS_H_
#define BARBERSHOP_SCHEDULER_RECORDS_H_
// The record writer: text lines for barbershop-trace (scheduler/protocol.h), gathered in one
// static buffer and written to the control descriptor with raw write system calls.
// Used only by the thread holding the baton (scheduler/baton.h), so it needs no lock.

#include <cstdint>

namespace sched {

void recordsOpen(int fd);  // before the first record; -1 leaves the writer closed

// One line is built from pieces: begin, fields, end. A field is preceded by a space, except
// the first one.
void recordBegin(const char* kind);
void recordText(const char* text);
void recordNumber(std::int64_t value);
void recordHex(std::uint64_t value);
void recordEnd();

// Appends without a separator, for a field made of parts ("T:OP:OBJ:ARG:G").
void recordAppend(const char* text);
void recordAppendNumber(std::int64_t value);

void recordsFlush();
// After a print of `bytes`: the records go out once the prints since the last flush could
// otherwise fill the output's pipe before the companion is told of them.
void recordsAfterPrint(long bytes);

}  // namespace sched

#endif  // BARBERSHOP_SCHEDULER_RECORDS_H_
