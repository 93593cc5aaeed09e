// The glossary's one table.

#include "trace/common/glossary.h"

#include <iterator>

namespace {

const GlossaryEntry kEntries[] = {
    {"plan, exact schedule",
     "What the roster would do if the shop's own steps took no time: when each customer "
     "arrives, whether it wakes the barber, waits or is sent away, and when its cut starts and "
     "ends. Every run is measured against it; barbershop-trace schedule prints it."},
    {"late",
     "How much later (+) or earlier (-) a cut started than the plan says. Where the run went "
     "another way the column says what was planned: \"plan: cut\" for a customer the plan "
     "cuts, \"plan: away\" for one it sends away."},
    {"deviation",
     "How far a moment of the run (a cut's start or end, the last customer leaving) came from "
     "the same moment in the plan. A few ms are the cost of threads on a busy machine; \"at "
     "most 4.2 ms from the plan\" gives the largest."},
    {"race",
     "Customers who arrive within a millisecond of each other are put in order by the machine, "
     "not by the roster. The summary says who was served first; a race breaks no rule and "
     "counts as no deviation."},
    {"note",
     "Something worth knowing that breaks no rule: a race, an outcome the exact schedule did "
     "not plan (a thread that woke late on a busy machine finds the shop as it is then), or a "
     "finding not counted because of namesakes or a torn line."},
    {"namesakes",
     "Customers with the same ID, which the program allows; they are told apart by their "
     "place on the roster (A #1, A #2). The program prints the same lines for both, so where "
     "the text cannot tell whose line is whose, what it seems to show is a note, not a broken "
     "rule."},
    {"torn line",
     "A narration line or state block with another thread's text inside it: two actors "
     "printed at once. It breaks no-torn-line, and as such text no longer shows the shop "
     "faithfully, whatever the other rules seem to find in that run is only a note."},
    {"stuck",
     "Every thread of the program is waiting (for a lock, a semaphore or another thread) and "
     "nothing has moved for well past the exact schedule's end, so nobody can ever move again; "
     "in a controlled run, as soon as every thread waits with no deadline ahead. The summary "
     "says who waits for what; the program is ended and the exit status is 1."},
    {"controlled run",
     "A run of the unchanged program under the companion's scheduler: one thread at a time, "
     "changing hands only at a lock, a semaphore, a sleep, a print or a thread's start and end, "
     "on a virtual clock. It is what the program does when the machine does exactly what the "
     "scheduler says, and the same plan gives the same run every time; a real-time run is what "
     "a real machine did."},
    {"switch",
     "In a controlled run, a choice where the scheduler let go another thread than the plain "
     "order would (the running thread while it can, else the next by number). A failing "
     "schedule is told with the fewest switches that still make it fail."},
    {"not finished",
     "A run that never printed its closing line, \"Finished all customers.\": it got stuck, "
     "the program died, or the run was interrupted (Ctrl-C). Its summary shows what happened "
     "until then and says why it stopped."},
    {"woke the barber",
     "The customer found the barber asleep and woke him, so it went straight into the "
     "barber's chair without waiting."},
    {"waited",
     "The customer found the barber busy, sat on one of the six waiting chairs and was cut in "
     "its turn; \"waited 400 ms\" is the time from sitting down to the start of its cut."},
    {"sent away, went away",
     "The customer found every waiting chair taken, or saw one free but another customer sat "
     "in it first (\"lost the last chair\"), and left without a cut. That is the shop working "
     "as it should: it has six chairs."},
    {"left early",
     "A customer that goes away after its cut before the barber has said he finished it, or "
     "before it is on the finished list. The shop forbids it: released-after-finish catches "
     "it."},
    {"still in the shop, never came in",
     "Where a run stopped before everyone had left: a customer that came in but never left, "
     "or one that printed no line at all."},
    {"barber busy", "The share of the run the barber spent cutting."},
    {"one-way-out",
     "Every customer's visit is one story that ends exactly once, one way: cut and let go, or "
     "sent away. Broken when a customer's lines cannot follow each other, when it never "
     "leaves, or when a line names someone not on the roster."},
    {"one-in-chair",
     "The barber cuts one customer at a time. Broken when a cut starts while another customer "
     "is still in the chair, or a state block shows someone else in the chair during a cut."},
    {"queue-capacity",
     "The shop has six waiting chairs, so never more than six wait. Broken when a state block "
     "shows seven or more waiting, as when two customers take the last chair at once."},
    {"served-in-order",
     "Waiting customers are cut in the order they sat down. Broken when one who sat first is "
     "cut later, or when the barber went to bed with a customer waiting (a lost wake-up) and "
     "only a later customer woke him."},
    {"everyone-seated-is-cut",
     "Everyone who woke the barber or sat down is cut, exactly once, and nobody who went away "
     "is cut. Broken when a hand-over to the barber is lost, or a customer is cut twice."},
    {"released-after-finish",
     "A customer leaves after its cut only once the barber has said he finished it and put it "
     "on the finished list. Broken when a customer leaves early, while it is still being "
     "cut."},
    {"no-torn-line",
     "Every narration line and state block is printed whole, one at a time. Broken when two "
     "threads print at once and one's text runs into another's (a torn line)."},
};

}  // namespace

const std::vector<GlossaryEntry>& glossary() {
  static const std::vector<GlossaryEntry> kGlossary(std::begin(kEntries), std::end(kEntries));
  return kGlossary;
}
