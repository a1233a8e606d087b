#include "tests/support/site_walk.h"

namespace wharfling::testing {

Lines SiteWalk::Step(int index, const std::string& name) const {
  return Replaced(Replaced(photo, "{n}", std::to_string(firstNumber + index * numberStep)), "{name}", name);
}

Lines SiteWalk::Over(const std::vector<std::string>& names) const {
  Lines lines = start;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Lines step = Step(static_cast<int>(i), names[i]);
    lines.insert(lines.end(), step.begin(), step.end());
  }
  lines.insert(lines.end(), end.begin(), end.end());
  return lines;
}

Lines Joined(std::initializer_list<Lines> parts) {
  Lines lines;
  for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

Lines Replaced(Lines lines, std::string_view from, std::string_view to) {
  for (auto& line : lines) {
    for (auto at = line.find(from); at != std::string::npos; at = line.find(from, at + to.size())) {
      line.replace(at, from.size(), to);
    }
  }
  return lines;
}

}  // namespace wharfling::testing
