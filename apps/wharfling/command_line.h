#pragma once
// The shape of a subcommand's command line, the parsing every subcommand shares, and its help.
//
// Options are long ("--name", "--name VALUE" or "--name=VALUE") plus "-h" for "--help". Every other
// argument starting with "-" is an unknown option; after "--" every argument is an operand.

#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::cli {

// Exit status for bad usage (sysexits' EX_USAGE) and for settings that stop a run (EX_CONFIG).
inline constexpr int kUsageError = 64;
inline constexpr int kConfigError = 78;

struct Option {
  std::string_view name;   // "--json"
  std::string_view value;  // what it takes, as shown in the help ("ID"); empty for a flag
  std::string_view help;
};

struct ParsedArgs;

struct Command {
  std::string_view name;
  // The operands as the usage line shows them: "PATH..." (one or more), "[COMMAND]" (optional),
  // "URL FILE" (exactly two) or empty (none).
  std::string_view operands;
  std::string_view summary;  // one line, for the program's command list
  std::span<const Option> options;
  std::string_view details;  // more help text, printed after the options; may be empty
  int (*run)(const ParsedArgs& args);
};

struct ParsedArgs {
  const Command* command = nullptr;
  std::map<std::string, std::string, std::less<>> values;  // option name -> last value ("" for a flag)
  std::map<std::string, std::vector<std::string>, std::less<>> repeats;  // option name -> every value
  std::vector<std::string> operands;
  bool help = false;

  bool Has(std::string_view option) const { return values.find(option) != values.end(); }
  std::optional<std::string> Value(std::string_view option) const;
  // Every value of an option that may be given more than once, in order.
  std::vector<std::string> Values(std::string_view option) const;
};

// The arguments after the command's name; on bad usage, nothing and error says what was wrong.
std::optional<ParsedArgs> ParseArgs(const Command& command, std::span<char* const> args, std::string& error);

// The command's help: usage line, summary, options and details.
void PrintHelp(std::FILE* out, const Command& command);

// Prints "wharfling COMMAND: message" and a pointer to the help on stderr; returns kUsageError.
int UsageError(const Command& command, std::string_view message);

// A whole decimal number in [low, high], or nothing.
std::optional<int> ParseNumber(std::string_view text, int low, int high);

}  // namespace wharfling::cli
