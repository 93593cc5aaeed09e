#include <string>
#include "trace/files/live_page.h"
std::string livePage() { return "<!DOCTYPE html><title>live</title>"; }
