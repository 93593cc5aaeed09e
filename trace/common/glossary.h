#ifndef BARBERSHOP_TRACE_COMMON_GLOSSARY_H_
#define BARBERSHOP_TRACE_COMMON_GLOSSARY_H_
// The companion's glossary: each word a student meets in the summary, the verdict and the pages,
// and each of the shop's rules by its name, in one or two plain sentences. Every run page ends
// with it, and the manual page's GLOSSARY says the same. Pure.

#include <vector>

struct GlossaryEntry {
  const char* term;     // as the summary and the pages write it: "late", "one-in-chair"
  const char* meaning;  // one or two plain sentences, ASCII
};

// The words of a run first, then the rules in the order the verdict lists them.
const std::vector<GlossaryEntry>& glossary();

#endif  // BARBERSHOP_TRACE_COMMON_GLOSSARY_H_
