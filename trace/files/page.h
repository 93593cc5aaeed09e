#ifndef BARBERSHOP_TRACE_FILES_PAGE_H_
#define BARBERSHOP_TRACE_FILES_PAGE_H_
// A run as one self-contained page (run-N.html): the verdict at the top (with the change of a
// broken variant beside it), the shop drawn as it stood when the run ended, swim lanes drawn as
// SVG (the barber, each customer, the queue) over a time axis in ms with the exact schedule
// outlined behind the measured bars (and, for a controlled run, the locks held, the waits and
// what ended each, with its numbered story under the title), the whole narration, each line
// linked to its mark, and the summary table. Its own small script turns it into a player: a time
// cursor that plays, steps and scrubs through the run, the shop redrawn for every instant, the
// lanes zoomed around the cursor and the instant kept in the address (#t=MS). Without the script
// the page reads the same, as a still picture of the run's end. No network, no external style or
// font; colours told apart by colour-blind readers, with patterns for print. Pure.

#include <string>
#include <vector>

#include "trace/judging/finish.h"

// A run still going (RunRecord::going, which the live view draws as it goes) says so where the
// verdict will be, and nothing of it is judged yet: no finding, no marked lane, no story.
std::string htmlPage(const FinishedRun& run);

// The verdict: its findings, the story of a run that never ended and the notes, every instant
// they name a link to it (files/page_verdict.cpp).
std::string verdictSection(const FinishedRun& run);

// A controlled run's failing moment as numbered steps under the title, each a link to its
// instant; empty when FinishedRun::numbered is (files/page_verdict.cpp).
std::string numberedCaption(const FinishedRun& run);

// The lanes section alone: legend and SVG, its description ending with the verdict's headline
// (files/page_lanes.cpp).
std::string lanesSection(const FinishedRun& run, const std::string& headline);

// The shop when the run ended, the player's controls, and the player's data: the time of each
// line and the run's story of its shop (files/page_shop.cpp).
std::string shopSection(const FinishedRun& run);
std::string playerBar(const FinishedRun& run);
std::string playerData(const FinishedRun& run);

#endif  // BARBERSHOP_TRACE_FILES_PAGE_H_
