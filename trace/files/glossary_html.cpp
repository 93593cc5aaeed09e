// The glossary written as HTML.

#include "trace/files/glossary_html.h"

#include <string_view>

#include "trace/common/glossary.h"
#include "trace/files/html.h"

namespace {

// An anchor for a term, so a page can link to it: its first name, "vs plan" as "term-vs-plan".
std::string anchorOf(std::string_view term) {
  std::string out = "term-";
  for (char c : term.substr(0, term.find(','))) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    out += plain ? c : '-';
  }
  return out;
}

}  // namespace

std::string glossarySection() {
  // Written for a page without style sheet rules of its own: a heading that stays on the
  // summary's line, terms in bold.
  std::string out =
      "<details id=\"glossary\">\n<summary><h2 style=\"display:inline\">Glossary</h2>: what the "
      "words on this page mean</summary>\n<dl>\n";
  for (const GlossaryEntry& entry : glossary()) {
    out += "<dt id=\"" + anchorOf(entry.term) + "\"><b>" + esc(entry.term) + "</b></dt><dd>" +
           esc(entry.meaning) + "</dd>\n";
  }
  return out + "</dl>\n</details>\n";
}
