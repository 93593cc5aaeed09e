#ifndef BARBERSHOP_SIM_SIMULATION_H_
#define BARBERSHOP_SIM_SIMULATION_H_
// One run of the simulation over the whole roster. run() is called by the console thread only,
// which shows nothing else until it returns.

// Starts every roster customer on its own thread, waits for all of them, then destroys them
// and empties the roster, the go-away list and the finished list.
void run();

#endif  // BARBERSHOP_SIM_SIMULATION_H_
