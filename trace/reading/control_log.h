#ifndef BARBERSHOP_TRACE_READING_CONTROL_LOG_H_
#define BARBERSHOP_TRACE_READING_CONTROL_LOG_H_
// A controlled run's part of the event log (docs/report-format.md): three header fields, then a
// line for each thread, object, step and choice, written and read back exactly. Readers throw a
// LogFault (trace/reading/log_fields.h) for a line that is not such a part. Pure.

#include <string>

#include "trace/common/json_text.h"
#include "trace/reading/control.h"

// Adds `controlled`, `plan` and `program_digest` to the header of a controlled run's log.
void putControlHeader(const ControlRecord& control, Json* header);
void readControlHeader(const Json& header, ControlRecord* control);

// The record's lines, each ending with a newline; empty for a real-time run.
std::string controlLogLines(const ControlRecord& control);
// Reads `object` into `control` when it is a thread, object, step or choice line; false when it
// is none of these.
bool readControlLine(const Json& object, ControlRecord* control);

#endif  // BARBERSHOP_TRACE_READING_CONTROL_LOG_H_
