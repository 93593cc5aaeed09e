// A time written the one way: through words.h's rule for milliseconds.

#include "trace/common/micros.h"

#include "trace/common/words.h"

std::string msText(Micros t) { return ms(t.ms()); }

std::string msNumberText(Micros t) { return fixed(t.ms(), 1); }
