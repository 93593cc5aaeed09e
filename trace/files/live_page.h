#ifndef BARBERSHOP_TRACE_FILES_LIVE_PAGE_H_
#define BARBERSHOP_TRACE_FILES_LIVE_PAGE_H_
#include <string>
std::string livePage();
#endif
