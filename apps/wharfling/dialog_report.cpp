#include "apps/wharfling/dialog_report.h"

#include "apps/wharfling/destination.h"
#include "platform/posix/encoding.h"
#include "sites/status_texts.h"
#include "ui/controls.h"

namespace wharfling::cli {
namespace {

using posix::Cp932ToUtf8;

nlohmann::json SkippedJson(const std::vector<ExcludedPath>& excluded) {
  nlohmann::json skipped = nlohmann::json::array();
  for (const auto& path : excluded) {
    nlohmann::json entry = {
        {"path", path.path}, {"kind", ExclusionName(path.why)}, {"reason", Cp932ToUtf8(path.sentence)}};
    if (path.why == Exclusion::kOverSizeLimit) entry["size"] = path.size;
    skipped.push_back(entry);
  }
  return skipped;
}

// One line per skipped path, in words a newcomer reads without the dialog's message.
void PrintSkipped(std::FILE* out, const nlohmann::json& report) {
  for (const auto& entry : report["skipped"]) {
    const std::string kind = entry["kind"];
    std::string why = kind == "folder"       ? "a folder"
                      : kind == "unreadable" ? "cannot be read"
                      : kind == "not-jpeg"   ? "not a JPEG name (this destination takes JPEG only)"
                                             : "too large";
    if (kind == "too-large") {
      why += " (" + std::to_string(entry["size"].get<std::uint64_t>()) + " bytes, the limit is " +
             std::to_string(report["destination"]["max_file_size"].get<std::uint64_t>()) + ")";
    }
    std::fprintf(out, "skipped %s: %s\n", posix::EscapeControls(entry["path"].get<std::string>()).c_str(),
                 why.c_str());
  }
}

}  // namespace

nlohmann::json StatusResult(const Text& status) {
  const Text failed = StatusFailed();
  if (status == StatusSuccess()) return {{"result", "success"}};
  if (status.starts_with(failed)) {
    nlohmann::json result = {{"result", "failed"}};
    // "---失敗---[reason]"
    if (status.size() > failed.size() + 1 && status[failed.size()] == '[' && status.back() == ']') {
      result["reason"] = Cp932ToUtf8(status.substr(failed.size() + 1, status.size() - failed.size() - 2));
    }
    return result;
  }
  return {{"result", "pending"}};
}

nlohmann::json DialogReport(const UploadDialog& dialog, const TerminalView& view,
                            const std::vector<Text>& messages) {
  nlohmann::json rows = nlohmann::json::array();
  for (const auto& row : dialog.fileList().rows()) {
    const UploadItem& item = dialog.uploadList().at(row.item);
    nlohmann::json entry = {{"name", Cp932ToUtf8(row.cells[0])},
                            {"path", item.path},
                            {"size", item.size},
                            {"status", Cp932ToUtf8(row.cells[2])}};
    entry.update(StatusResult(row.cells[2]));
    if (const std::string& trouble = dialog.itemTrouble(row.item); !trouble.empty()) entry["error"] = trouble;
    rows.push_back(entry);
  }
  nlohmann::json shown = nlohmann::json::array();
  for (const auto& message : messages) shown.push_back(Cp932ToUtf8(message));
  const Destination destination = DestinationOf(dialog.settings());
  const auto button = view.control(control::kDestination);
  return {{"title", Cp932ToUtf8(view.title())},
          {"destination",
           {{"index", destination.index},
            {"caption", destination.caption},
            {"host", destination.host},
            {"max_file_size", dialog.settings().account.maxFileSize}}},
          {"rows", rows},
          {"skipped", SkippedJson(dialog.excluded())},
          {"messages", shown},
          {"button",
           {{"caption", Cp932ToUtf8(button.text)}, {"visible", button.visible}, {"enabled", button.enabled}}},
          {"blocked", dialog.blocked()}};
}

void PrintReport(std::FILE* out, const nlohmann::json& report) {
  // File names and statuses (a refusal's reason comes from a page) are escaped for the terminal.
  const auto shown = [](const nlohmann::json& text) {
    return posix::EscapeControls(text.get<std::string>());
  };
  std::fprintf(out, "%s\n", shown(report["title"]).c_str());
  for (const auto& row : report["rows"]) {
    std::fprintf(out, "  %-32s %12s  %s\n", shown(row["name"]).c_str(),
                 std::to_string(row["size"].get<std::uint64_t>()).c_str(), shown(row["status"]).c_str());
  }
  PrintSkipped(out, report);
  const auto& button = report["button"];
  std::fprintf(out, "button: %s (%s, %s)\n", shown(button["caption"]).c_str(),
               button["visible"].get<bool>() ? "visible" : "hidden",
               button["enabled"].get<bool>() ? "enabled" : "disabled");
}

}  // namespace wharfling::cli
