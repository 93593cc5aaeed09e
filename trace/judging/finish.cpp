// Attribute, measure, check.

#include "trace/judging/finish.h"

#include <chrono>
#include <set>
#include <utility>

#include "trace/judging/check.h"

FinishedRun finish(RunRecord record) {
  const auto began = std::chrono::steady_clock::now();
  FinishedRun run;
  run.record = std::move(record);
  run.attribution =
      attribute(run.record.roster, run.record.end == RunEnd::kClosed, &run.record.events);
  run.story = tellStory(run.record);
  run.analysis = analyse(run.record, run.story);
  run.verdict = checkRun(run.record, run.story, run.analysis, run.attribution);
  run.numbered = numberedStory(run.record, run.verdict);
  run.judgedMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
  return run;
}

std::string verdictHeadline(const Verdict& verdict) {
  if (verdict.holds()) return "every rule holds";
  std::set<std::string> rules;
  for (const Finding& finding : verdict.broken) rules.insert(finding.rule);
  std::string text;
  if (!rules.empty()) {
    text = std::to_string(rules.size()) + (rules.size() == 1 ? " rule broken" : " rules broken");
  }
  if (!verdict.complete) {
    text += std::string(text.empty() ? "" : "; ") +
            (verdict.stuck ? "the run got stuck" : "the run did not finish");
  }
  return text;
}
