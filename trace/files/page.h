#ifndef BARBERSHOP_TRACE_FILES_PAGE_H_
#define BARBERSHOP_TRACE_FILES_PAGE_H_
// A run as one self-contained page (run-N.html): the verdict at the top, swim lanes drawn as SVG
// (the barber, each customer, the queue) over a time axis in ms with the exact schedule outlined
// behind the measured bars, a tooltip on every bar and mark, the summary table, and the whole
// narration below, each line linked to its mark. No network, no external style or font; colours
// told apart by colour-blind readers, with patterns for print. Pure.

#include <string>

#include "trace/judging/finish.h"

std::string htmlPage(const FinishedRun& run);

// The lanes section alone: legend and SVG (files/page_lanes.cpp).
std::string lanesSection(const FinishedRun& run);

#endif  // BARBERSHOP_TRACE_FILES_PAGE_H_
