// The sentences, from the story and the analysis.

#include "trace/judging/telling.h"

#include "trace/common/micros.h"
#include "trace/common/words.h"

std::string raceSentence(const FinishedRun& run, const Race& race) {
  const std::string winner = customerName(run.record.roster, race.winner);
  return winner + " and " + customerName(run.record.roster, race.loser) + " arrived together and " +
         winner + " was served first, though listed later";
}

std::vector<std::string> totalsParts(const FinishedRun& run) {
  const Story& s = run.story;
  const Analysis& a = run.analysis;
  const std::string length = s.closing ? "run length " + msText(*s.closing) : "did not finish";
  std::vector<std::string> parts = {"cut " + std::to_string(s.cut),
                                    "sent away " + std::to_string(s.sentAway)};
  if (s.leftEarly > 0)
    parts.push_back("left before the cut was done " + std::to_string(s.leftEarly));
  parts.insert(parts.end(), {"barber busy " + fixed(s.busyShare * 100, 0) + " %",
                             "longest queue " + std::to_string(s.longestQueue),
                             length + " (exact schedule " + fixed(a.exactLengthMs, 0) + " ms)",
                             "furthest from the exact schedule " + ms(a.worstDeviationMs)});
  return parts;
}

std::string outcomeWords(const FinishedRun& run, int who, bool brief) {
  const Visit& v = run.story.visits[static_cast<std::size_t>(who)];
  if (v.outcome == Outcome::kWaited && v.sat && v.cutStart) {
    return "waited " + fixed((v.cutStart->at - v.sat->at).ms(), 0) + " ms" +
           (brief ? "" : " in the queue");
  }
  if (brief) return wordsOf(v.outcome).brief;
  return std::string(wordsOf(v.outcome).words) +
         (v.leftEarly ? "; left before the cut was done" : "");
}
