#ifndef BARBERSHOP_TRACE_SHOWING_TIMELINE_H_
#define BARBERSHOP_TRACE_SHOWING_TIMELINE_H_
// The terminal timeline's lines, drawn inside the summary's frame:
// a lane for the barber, one per customer (when `customers`), the queue, the time axis. Pure.

#include <cstddef>
#include <vector>

#include "trace/judging/finish.h"
#include "trace/showing/text.h"

std::vector<Line> timelineLines(const FinishedRun& run, std::size_t width, const ViewStyle& style,
                                bool customers);
// The legend: what each glyph and colour of the lanes means.
std::vector<Line> legendLines(std::size_t width, const ViewStyle& style);

#endif  // BARBERSHOP_TRACE_SHOWING_TIMELINE_H_
