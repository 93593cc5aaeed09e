// --live's address and the session's keys.

#include "trace/live/access.h"

#include <arpa/inet.h>
#include <sys/random.h>

#include <cstdint>

bool parseListenAddress(const std::string& text, ListenAddress* out, std::string* error) {
  const std::size_t colon = text.rfind(':');
  const std::string host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
  const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
    *error = "--live takes [ADDRESS:]PORT, PORT a number from 0 (any free port) to 65535, not \"" +
             text + "\"";
    return false;
  }
  in_addr parsed{};
  if (host != "localhost" && inet_pton(AF_INET, host.c_str(), &parsed) != 1) {
    *error =
        "--live's ADDRESS is an IPv4 address of this machine (127.0.0.1, 0.0.0.0 for every "
        "one) or localhost, not \"" +
        host + "\"";
    return false;
  }
  out->host = host == "localhost" ? "127.0.0.1" : host;
  out->port = std::stoi(port);
  return true;
}

std::string freshKey() {
  std::uint8_t bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return "";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string key;
  for (std::uint8_t byte : bytes) {
    key += kHex[byte >> 4];
    key += kHex[byte & 15];
  }
  return key;
}

bool sameKey(const std::string& given, const std::string& key) {
  if (given.size() != key.size() || key.empty()) return false;
  unsigned char differs = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    differs |= static_cast<unsigned char>(given[i] ^ key[i]);
  }
  return differs == 0;
}
