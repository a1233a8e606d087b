#include "apps/wharfling/command_line.h"

#include <charconv>

namespace wharfling::cli {
namespace {

constexpr Option kHelpOption{"--help", "", "show this help and exit"};

struct OperandShape {
  std::vector<std::string_view> required;  // names of the operands that must be given
  bool repeats = false;                    // the last one may be given any number of times
  std::size_t optional = 0;                // how many bracketed operands may follow
};

OperandShape ShapeOf(std::string_view operands) {
  OperandShape shape;
  while (!operands.empty()) {
    const std::size_t space = operands.find(' ');
    std::string_view word = operands.substr(0, space);
    operands = space == std::string_view::npos ? std::string_view() : operands.substr(space + 1);
    if (word.starts_with('[')) {
      ++shape.optional;
    } else if (word.ends_with("...")) {
      shape.required.push_back(word.substr(0, word.size() - 3));
      shape.repeats = true;
    } else {
      shape.required.push_back(word);
    }
  }
  return shape;
}

const Option* FindOption(const Command& command, std::string_view name) {
  for (const Option& option : command.options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(std::string_view option) const {
  const auto found = values.find(option);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> ParsedArgs::Values(std::string_view option) const {
  const auto found = repeats.find(option);
  return found == repeats.end() ? std::vector<std::string>() : found->second;
}

std::optional<ParsedArgs> ParseArgs(const Command& command, std::span<char* const> args, std::string& error) {
  ParsedArgs parsed;
  parsed.command = &command;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || !arg.starts_with('-')) {
      parsed.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const Option* option = name.starts_with("--") ? FindOption(command, name) : nullptr;
    if (option == nullptr) {
      error = "unknown option " + std::string(name);
      return std::nullopt;
    }
    if (option->value.empty()) {
      if (equals != std::string_view::npos) {
        error = std::string(name) + " takes no value";
        return std::nullopt;
      }
      parsed.values[std::string(name)] = "";
    } else if (equals != std::string_view::npos || i + 1 < args.size()) {
      std::string value = equals != std::string_view::npos ? std::string(arg.substr(equals + 1)) : args[++i];
      parsed.repeats[std::string(name)].push_back(value);
      parsed.values[std::string(name)] = std::move(value);
    } else {
      error = std::string(name) + " needs " + std::string(option->value);
      return std::nullopt;
    }
  }
  if (parsed.help) return parsed;  // asking for help is never a usage error

  const OperandShape shape = ShapeOf(command.operands);
  if (parsed.operands.size() < shape.required.size()) {
    error = "missing " + std::string(shape.required[parsed.operands.size()]);
    return std::nullopt;
  }
  if (!shape.repeats && parsed.operands.size() > shape.required.size() + shape.optional) {
    error = "unexpected argument " + parsed.operands[shape.required.size() + shape.optional];
    return std::nullopt;
  }
  return parsed;
}

void PrintHelp(std::FILE* out, const Command& command) {
  const std::string operands = command.operands.empty() ? "" : " " + std::string(command.operands);
  std::fprintf(out, "usage: wharfling %.*s%s%s\n\n%.*s\n\noptions:\n", static_cast<int>(command.name.size()),
               command.name.data(), command.options.empty() ? "" : " [OPTIONS]", operands.c_str(),
               static_cast<int>(command.summary.size()), command.summary.data());
  const auto printOption = [out](const Option& option, std::string_view shortForm) {
    std::string left = std::string(shortForm) + std::string(option.name);
    if (!option.value.empty()) left += " " + std::string(option.value);
    std::fprintf(out, "  %-22s %.*s\n", left.c_str(), static_cast<int>(option.help.size()),
                 option.help.data());
  };
  for (const Option& option : command.options) printOption(option, "");
  printOption(kHelpOption, "-h, ");
  if (!command.details.empty()) {
    std::fprintf(out, "\n%.*s\n", static_cast<int>(command.details.size()), command.details.data());
  }
}

int UsageError(const Command& command, std::string_view message) {
  std::fprintf(stderr, "wharfling %.*s: %.*s\nTry 'wharfling %.*s --help'.\n",
               static_cast<int>(command.name.size()), command.name.data(), static_cast<int>(message.size()),
               message.data(), static_cast<int>(command.name.size()), command.name.data());
  return kUsageError;
}

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace wharfling::cli
