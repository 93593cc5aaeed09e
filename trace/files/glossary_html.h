#ifndef BARBERSHOP_TRACE_FILES_GLOSSARY_HTML_H_
#define BARBERSHOP_TRACE_FILES_GLOSSARY_HTML_H_
// The glossary (trace/common/glossary.h) as a section of a page: closed until a reader opens it,
// so it costs the page no room. Pure.

#include <string>

// A <details> element holding every term and its meaning as a definition list.
std::string glossarySection();

#endif  // BARBERSHOP_TRACE_FILES_GLOSSARY_HTML_H_
