// A logged run measured and checked again, and what the trace and the page share.

#include "trace/judging/finish.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "trace/judging/schedule.h"

ReportRun measured(LoggedRun logged) {
  ReportRun run;
  run.logged = std::move(logged);
  run.analysis = analyse(run.logged.record, exactSchedule(run.logged.record.roster));
  run.verdict = checkRun(run.logged.record, run.analysis);
  return run;
}

std::int64_t usOf(double ms) { return std::llround(ms * 1000.0); }

std::string msText(double ms) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

std::optional<std::size_t> lineAt(const RunRecord& record, const std::string& id, double ms,
                                  std::initializer_list<Kind> kinds) {
  const std::int64_t us = usOf(ms);
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    const Event& event = record.events[i];
    if (event.us != us || event.customer != id) continue;
    if (kinds.size() == 0 ? event.actor == Actor::kCustomer
                          : std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end()) {
      return i;
    }
  }
  return std::nullopt;
}

std::string verdictHeadline(const ReportRun& run) {
  const Verdict& verdict = run.verdict;
  if (verdict.holds()) return "every rule holds";
  std::string text;
  if (!verdict.broken.empty()) {
    text = std::to_string(verdict.broken.size()) +
           (verdict.broken.size() == 1 ? " rule broken" : " rules broken");
  }
  if (!verdict.complete) text += std::string(text.empty() ? "" : "; ") + "the run did not finish";
  return text;
}
