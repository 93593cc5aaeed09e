#ifndef BARBERSHOP_SIM_CUSTOMER_VISIT_H_
#define BARBERSHOP_SIM_CUSTOMER_VISIT_H_
// The entry of a customer's thread during a run; the visit itself is Customer::Run, defined
// beside it in sim/customer_visit.cpp.

// Thread entry for one customer (the argument): its visit. Returns null.
void* RunCustomer(void* customer);

#endif  // BARBERSHOP_SIM_CUSTOMER_VISIT_H_
