#ifndef BARBERSHOP_CORE_NARRATION_H_
#define BARBERSHOP_CORE_NARRATION_H_
// Every line the simulation threads print, the labels of the state block and a customer's lines
// in the customer list: written once, here, for the code that prints them and for
// barbershop-trace, which reads them back. Each customer and barber line carries one ID as its only
// "%s".

// The barber (sim/barber.cpp).
constexpr char kBarberToBed[] = "\n[[Barber going to bed]]\n";
constexpr char kBarberWokenUp[] = "\n[[Barber woken up]]\n";
constexpr char kStartCutting[] = "\n[[start cutting: customer %s]]\n";
constexpr char kFinishCutting[] = "\n[[finish cutting: customer %s]]\n";

// A customer's visit (sim/customer_visit.cpp) and its wait for the cut (core/customer.cpp).
constexpr char kSeeSleeping[] = "\n<<Customer %s: see Barber sleeping>>\n";
constexpr char kTryToWake[] = "\n<<Customer %s: try to wake up barber>>\n";
constexpr char kWokeBarber[] = "\n<<Customer %s: woken up barber successfully>>\n";
constexpr char kFailedToWake[] = "\n<<Customer %s: failed to wake up barber>>\n";
constexpr char kSeeNotSleeping[] = "\n<<Customer %s: see Barber not sleeping>>\n";
constexpr char kQueueFull[] = "\n<<Customer %s: see WaitQueue full, go away>>\n";
constexpr char kTryForChair[] =
    "\n<<Customer %s: see WaitQueue not full, try to get a chair to sit down>>\n";
constexpr char kGotChair[] = "\n<<Customer %s: got a chair successfully>>\n";
constexpr char kNoChair[] = "\n<<Customer %s: failed to get a chair, go away>>\n";
constexpr char kWaiting[] = "\n<<Customer %s : waiting>>\n";
constexpr char kLeaveCut[] = "\n<<Customer %s: go away after being cut>>\n";

// The three lines of a customer's display() (core/customer.cpp), as the customer list shows them.
constexpr char kDisplayId[] = "ID: %s\n";
constexpr char kDisplayDelay[] = "delay: %d miniseconds\n";
constexpr char kDisplayCuttingTime[] = "cuttingTime: %d miniSeconds\n";

// The end of a run (sim/simulation.cpp).
constexpr char kClosing[] = "\nFinished all customers.\n";

// The state block (sim/state_display.cpp): the chair as "{ID}", every list entry as "[ID]".
constexpr char kCurrLabel[] = "Curr: ";
constexpr char kWaitLabel[] = "Wait Queue: ";
constexpr char kFinishedLabel[] = "Finished: ";
constexpr char kGoneLabel[] = "Go away: ";
constexpr char kBlockRule[] = "------------------------\n";

#endif  // BARBERSHOP_CORE_NARRATION_H_
