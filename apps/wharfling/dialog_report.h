#pragma once
// The dialog's visible state for the command line: as JSON (texts in UTF-8) or as plain text.

#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/wharfling/terminal_view.h"
#include "ui/upload_dialog.h"

namespace wharfling::cli {

// {"title", "rows": [{"name","size","status"}], "messages", "button": {...}, "blocked"}
nlohmann::json DialogReport(const UploadDialog& dialog, const TerminalView& view,
                            const std::vector<Text>& messages);

void PrintReport(std::FILE* out, const nlohmann::json& report);

}  // namespace wharfling::cli
