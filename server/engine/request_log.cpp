#include "server/engine/request_log.h"

#include <algorithm>
#include <ctime>

namespace wharfling::server {

std::string LogSafe(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

std::string LogQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string LogField(std::string_view text) {
  const bool bare = !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F || c == '"' || c == '\\' || c == '=';
  });
  return bare ? std::string(text) : LogQuoted(text);
}

std::string RequestLogLine(std::chrono::system_clock::time_point when, std::string_view client,
                           std::string_view method, std::string_view path, int status,
                           std::string_view outcome) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::string line = stamp;
  line += ' ';
  line += LogSafe(client);
  line += ' ';
  line += LogField(method);
  line += ' ';
  line += LogField(path);
  line += ' ';
  line += std::to_string(status);
  if (!outcome.empty()) {
    line += ' ';
    line += LogSafe(outcome);
  }
  return line;
}

}  // namespace wharfling::server
