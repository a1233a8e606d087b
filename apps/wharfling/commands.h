#pragma once
// The subcommands of the wharfling program, one file each.

#include <span>
#include <string>

namespace wharfling::cli {

// Each takes the arguments after the subcommand's name and returns the exit status.
int RunScreen(std::span<char*> args);
int RunUpload(std::span<char*> args);
int RunEndpoints(std::span<char*> args);
int RunExchange(std::span<char*> args);
int RunSendUpload(std::span<char*> args);
int RunRegister(std::span<char*> args);
int RunUnregister(std::span<char*> args);

// Exit status for bad usage (sysexits' EX_USAGE).
inline constexpr int kUsageError = 64;

}  // namespace wharfling::cli
