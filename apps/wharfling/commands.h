#pragma once
// The subcommands of the wharfling program, one file each.

#include "apps/wharfling/command_line.h"

namespace wharfling::cli {

extern const Command kScreenCommand;
extern const Command kUploadCommand;
extern const Command kConfigCommand;
extern const Command kEndpointsCommand;
extern const Command kExchangeCommand;
extern const Command kSendUploadCommand;
extern const Command kRegisterCommand;
extern const Command kUnregisterCommand;

}  // namespace wharfling::cli
