// barbershop-trace: the command line, then a session over the program or one of the tools.

#include <cstdio>

#include "trace/cli/options.h"
#include "trace/cli/tool.h"

int main(int argc, char** argv) {
  TraceOptions options = parseOptions(argc, argv);
  return runTool(options);
}
