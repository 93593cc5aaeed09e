// The glossary: every rule the verdict can name is explained, and every term is in the manual
// page's GLOSSARY and on every run page.

#include "trace/common/glossary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "trace/files/page.h"
#include "trace/judging/finish.h"
#include "trace/judging/rules.h"

namespace {

// The text of the manual page's GLOSSARY section, with roff's "\-" read as "-".
std::string manualGlossary() {
  std::ifstream file(std::string(BARBERSHOP_SOURCE_DIR) + "/man/barbershop-trace.1");
  std::stringstream text;
  text << file.rdbuf();
  std::string page = text.str();
  for (std::size_t at; (at = page.find("\\-")) != std::string::npos;) page.erase(at, 1);
  const std::size_t from = page.find("\n.SH GLOSSARY\n");
  if (from == std::string::npos) return "";
  return page.substr(from, page.find("\n.SH ", from + 1) - from);
}

TEST(Glossary, ExplainsEveryRuleOnTheManualPageAndTheRunPage) {
  for (const Rule& rule : rules()) {
    bool found = false;
    for (const GlossaryEntry& entry : glossary())
      found = found || entry.term == std::string(rule.name);
    EXPECT_TRUE(found) << rule.name << " has no glossary entry";
  }
  const std::string manual = manualGlossary();
  RunRecord record;
  record.roster = {{"Ann", 0, 500}};
  const std::string page = htmlPage(finish(record));
  const std::size_t glossaryAt = page.find("<details id=\"glossary\">");
  ASSERT_NE(glossaryAt, std::string::npos);
  for (const GlossaryEntry& entry : glossary()) {
    EXPECT_NE(manual.find(entry.term), std::string::npos) << entry.term << " is not in the manual";
    EXPECT_NE(page.find(std::string("<b>") + entry.term + "</b>", glossaryAt), std::string::npos)
        << entry.term;
  }
}

}  // namespace
