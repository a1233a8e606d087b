#include "apps/wharfling/dialog_report.h"

#include "platform/posix/encoding.h"
#include "ui/controls.h"

namespace wharfling::cli {

using posix::Cp932ToUtf8;

nlohmann::json DialogReport(const UploadDialog& dialog, const TerminalView& view,
                            const std::vector<Text>& messages) {
  nlohmann::json rows = nlohmann::json::array();
  for (const auto& row : dialog.fileList().rows()) {
    rows.push_back({{"name", Cp932ToUtf8(row.cells[0])},
                    {"size", Cp932ToUtf8(row.cells[1])},
                    {"status", Cp932ToUtf8(row.cells[2])}});
  }
  nlohmann::json shown = nlohmann::json::array();
  for (const auto& message : messages) shown.push_back(Cp932ToUtf8(message));
  const auto button = view.control(control::kDestination);
  return {{"title", Cp932ToUtf8(view.title())},
          {"rows", rows},
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
    std::fprintf(out, "  %-32s %12s  %s\n", shown(row["name"]).c_str(), shown(row["size"]).c_str(),
                 shown(row["status"]).c_str());
  }
  const auto& button = report["button"];
  std::fprintf(out, "button: %s (%s, %s)\n", shown(button["caption"]).c_str(),
               button["visible"].get<bool>() ? "visible" : "hidden",
               button["enabled"].get<bool>() ? "enabled" : "disabled");
}

}  // namespace wharfling::cli
