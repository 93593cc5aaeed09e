#ifndef BARBERSHOP_TRACE_LIVE_ACCESS_H_
#define BARBERSHOP_TRACE_LIVE_ACCESS_H_
// Where the live page listens and who may use it: --live's [ADDRESS:]PORT read, and the
// session's fresh random keys. Pure, but for the kernel's randomness.

#include <string>

struct ListenAddress {
  std::string host = "127.0.0.1";  // loopback unless an address is given
  int port = 0;                    // 0: any free port
};

// "8080", "0", "127.0.0.1:8080", "0.0.0.0:0", "localhost:8080"; false with `*error` else.
bool parseListenAddress(const std::string& text, ListenAddress* out, std::string* error);

// 32 lowercase hex digits from the kernel's randomness; empty when it has none to give.
std::string freshKey();

// Whether `given` is `key`, in a time that does not tell how much of it matched.
bool sameKey(const std::string& given, const std::string& key);

#endif  // BARBERSHOP_TRACE_LIVE_ACCESS_H_
