#ifndef BARBERSHOP_TRACE_JUDGING_RULES_H_
#define BARBERSHOP_TRACE_JUDGING_RULES_H_
// The shop's rules, one function each, over an attributed run and its facts. Only these make a
// run broken: one way out each, one in the chair, at most six waiting, served in sitting order,
// everyone seated is cut, nobody released before the finish, no torn line. (A run that got stuck
// is not finished, which the verdict says apart.) Pure.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "trace/judging/facts.h"
#include "trace/judging/verdict.h"
#include "trace/reading/run_record.h"

// The findings so far; the same sentence under the same rule is kept once.
class Findings {
 public:
  void add(const char* rule, std::string what, std::vector<std::size_t> events,
           std::vector<int> who);
  std::vector<Finding>& list() { return list_; }

 private:
  std::vector<Finding> list_;
  std::set<std::pair<std::string, std::string>> seen_;
};

// The rule a tear breaks; when it is broken the text is no evidence for the others.
constexpr char kTornRule[] = "no-torn-line";

struct Rule {
  const char* name;
  const char* words;  // the rule in a sentence, for people
  void (*check)(const RunRecord& run, const RunFacts& facts, Findings* findings);
};

// Every rule, in the order the verdict lists what they find.
const std::vector<Rule>& rules();

#endif  // BARBERSHOP_TRACE_JUDGING_RULES_H_
