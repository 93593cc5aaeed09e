// The documents keep up with the companion's tables: every scenario is in the manual page and the
// README, every rule the verdict can name has a glossary entry, and every glossary term is in the
// manual page's GLOSSARY and on every run page.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "trace/common/glossary.h"
#include "trace/files/page.h"
#include "trace/judging/finish.h"
#include "trace/judging/rules.h"
#include "trace/reading/roster.h"

namespace {

std::string fileText(const std::string& path) {
  std::ifstream file(std::string(BARBERSHOP_SOURCE_DIR) + "/" + path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A section of the manual page, with roff's "\-" read as "-".
std::string manualSection(const std::string& name) {
  std::string page = fileText("man/barbershop-trace.1");
  for (std::size_t at; (at = page.find("\\-")) != std::string::npos;) page.erase(at, 1);
  const std::size_t from = page.find("\n.SH " + name + "\n");
  if (from == std::string::npos) return "";
  return page.substr(from, page.find("\n.SH ", from + 1) - from);
}

TEST(Manual, ListsEveryScenario) {
  const std::string manual = manualSection("SCENARIOS"), readme = fileText("README.md");
  for (const Scenario& scenario : scenarios()) {
    EXPECT_NE(manual.find("\n.B " + scenario.name + "\n"), std::string::npos) << scenario.name;
    EXPECT_NE(readme.find("- `" + scenario.name + "`: "), std::string::npos) << scenario.name;
  }
}

TEST(Glossary, ExplainsEveryRuleOnTheManualPageAndTheRunPage) {
  for (const Rule& rule : rules()) {
    bool found = false;
    for (const GlossaryEntry& entry : glossary())
      found = found || entry.term == std::string(rule.name);
    EXPECT_TRUE(found) << rule.name << " has no glossary entry";
  }
  const std::string manual = manualSection("GLOSSARY");
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
