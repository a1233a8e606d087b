#pragma once
// The server's log: one line per request on standard error, saying who asked for what and what
// came of it. Passwords never appear: neither the login body nor the logout query is logged.

#include <chrono>
#include <string>
#include <string_view>

namespace wharfling::server {

// A text from the network made safe for one log line: control bytes become '?', so that no
// client can break a line or forge one.
std::string LogSafe(std::string_view text);

// A client-supplied text as one field of a log line: as it is when it is made of printable bytes
// other than blank, '"', '\\' and '='; otherwise in double quotes, with '"' and '\\' escaped by a
// backslash and control bytes written \xNN. No client can add a field (a fake "user=") or a line.
std::string LogField(std::string_view text);
// The same, always in double quotes.
std::string LogQuoted(std::string_view text);

// "2024-05-01T09:30:00Z 127.0.0.1:50312 POST /ParvaultAsp2/InsertFile.asp 200 <outcome>"
std::string RequestLogLine(std::chrono::system_clock::time_point when, std::string_view client,
                           std::string_view method, std::string_view path, int status,
                           std::string_view outcome);

}  // namespace wharfling::server
