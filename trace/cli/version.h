#ifndef BARBERSHOP_TRACE_CLI_VERSION_H_
#define BARBERSHOP_TRACE_CLI_VERSION_H_
// The companion's version, as --version prints it and as its files record who wrote them. The
// number is the project's, set once in the top CMakeLists.txt, which the package uses too.

#ifndef BARBERSHOP_VERSION
#error "the build defines BARBERSHOP_VERSION"
#endif

constexpr char kTraceVersion[] = "barbershop-trace " BARBERSHOP_VERSION;

#endif  // BARBERSHOP_TRACE_CLI_VERSION_H_
