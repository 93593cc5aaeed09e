#ifndef BARBERSHOP_TRACE_FILES_LIVE_PAGE_H_
#define BARBERSHOP_TRACE_FILES_LIVE_PAGE_H_
// The live page's shell: the bar with the session's state and its runs, the challenge, the drive
// panel, the start view and the viewer that frames the run's own page. The same bytes for every
// session and every key: its script fills it from the session's event stream and reads its key
// from its own address. Pure.

#include <string>

std::string livePage();

#endif  // BARBERSHOP_TRACE_FILES_LIVE_PAGE_H_
