#ifndef BARBERSHOP_TRACE_CLI_VERSION_H_
#define BARBERSHOP_TRACE_CLI_VERSION_H_
// The companion's version, as --version prints it and as its files record who wrote them.

constexpr char kTraceVersion[] = "barbershop-trace 0.2.0";

#endif  // BARBERSHOP_TRACE_CLI_VERSION_H_
