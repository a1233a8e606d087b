#pragma once
// The dialog's visible state for the command line: as JSON (texts in UTF-8) or as plain text.
// The fields are documented in docs/cli-json.md.

#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/wharfling/terminal_view.h"
#include "ui/upload_dialog.h"

namespace wharfling::cli {

// {"title", "destination", "rows": [{"name","path","size","status","result"[,"reason"]}],
//  "skipped": [{"path","kind","reason"[,"size"]}], "messages", "button": {...}, "blocked"}
nlohmann::json DialogReport(const UploadDialog& dialog, const TerminalView& view,
                            const std::vector<Text>& messages);

// A row's status as a script reads it: {"result": "pending"|"success"|"failed"[, "reason"]}.
nlohmann::json StatusResult(const Text& status);

void PrintReport(std::FILE* out, const nlohmann::json& report);

}  // namespace wharfling::cli
