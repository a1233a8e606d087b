#include "platform/posix/ini_file.h"

#include "platform/posix/ini_value.h"

namespace wharfling::posix {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool ValidSectionName(std::string_view name) {
  return !name.empty() && Trim(name) == name && !HasLineBreak(name) &&
         name.find(']') == std::string_view::npos;
}

bool ValidValueName(std::string_view name) {
  return !name.empty() && Trim(name) == name && !HasLineBreak(name) &&
         name.find('=') == std::string_view::npos && name.front() != ';' && name.front() != '#' &&
         name.front() != '[';
}

}  // namespace

std::optional<IniDocument> IniDocument::Parse(std::string_view text, IniError* error) {
  IniDocument document;
  if (text.starts_with(kByteOrderMark)) {
    document.byteOrderMark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  const auto fail = [&](std::size_t number, std::string reason) -> std::optional<IniDocument> {
    if (error != nullptr) *error = {number, std::move(reason)};
    return std::nullopt;
  };
  bool inSection = false;
  std::size_t at = 0;
  while (at < text.size()) {
    Line line;
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      line.text = text.substr(at);
      at = text.size();
    } else {
      line.text = text.substr(at, end - at);
      line.eol = "\n";
      at = end + 1;
      if (!line.text.empty() && line.text.back() == '\r') {
        line.text.pop_back();
        line.eol = "\r\n";
      }
    }
    const std::size_t number = document.lines_.size() + 1;
    const std::string_view content = Trim(line.text);
    if (content.empty()) {
      line.kind = Kind::kBlank;
    } else if (content.front() == ';' || content.front() == '#') {
      line.kind = Kind::kComment;
    } else if (content.front() == '[') {
      if (content.back() != ']') return fail(number, "a section header must end with ']'");
      line.kind = Kind::kSection;
      line.key = Trim(content.substr(1, content.size() - 2));
      if (line.key.empty()) return fail(number, "a section header needs a name");
      inSection = true;
    } else if (const std::size_t equals = line.text.find('='); equals != std::string::npos) {
      line.kind = Kind::kValue;
      line.key = Trim(std::string_view(line.text).substr(0, equals));
      line.valueStart = equals + 1;
      while (line.valueStart < line.text.size() && IsBlank(line.text[line.valueStart])) ++line.valueStart;
      if (line.key.empty()) return fail(number, "a value needs a name before '='");
      if (!inSection) return fail(number, "a value comes before any [Section] header");
    } else {
      return fail(number, "not a [Section] header, a Name=value line or a comment (';' or '#')");
    }
    if (document.lines_.empty() && !line.eol.empty()) document.newline_ = line.eol;
    document.lines_.push_back(std::move(line));
  }
  return document;
}

std::optional<std::size_t> IniDocument::FindValue(std::string_view section, std::string_view name) const {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kSection) {
      inSection = SameName(line.key, section);
    } else if (inSection && line.kind == Kind::kValue && SameName(line.key, name)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::GetEscaped(std::string_view section, std::string_view name) const {
  const auto index = FindValue(section, name);
  if (!index) return std::nullopt;
  const Line& line = lines_[*index];
  return std::string(Trim(std::string_view(line.text).substr(line.valueStart)));
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view name) const {
  auto escaped = GetEscaped(section, name);
  if (!escaped) return std::nullopt;
  return UnescapeIniValue(*escaped);
}

std::vector<IniEntry> IniDocument::Entries(std::string_view section) const {
  std::vector<IniEntry> entries;
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kSection) {
      inSection = SameName(line.key, section);
      continue;
    }
    if (!inSection || line.kind != Kind::kValue) continue;
    bool seen = false;
    for (const auto& entry : entries) seen = seen || SameName(entry.name, line.key);
    if (!seen) entries.push_back(EntryAt(i));
  }
  return entries;
}

IniEntry IniDocument::EntryAt(std::size_t index) const {
  const Line& line = lines_[index];
  std::string escaped(Trim(std::string_view(line.text).substr(line.valueStart)));
  return {line.key, UnescapeIniValue(escaped), index + 1, escaped};
}

std::optional<IniEntry> IniDocument::Find(std::string_view section, std::string_view name) const {
  const auto index = FindValue(section, name);
  if (!index) return std::nullopt;
  return EntryAt(*index);
}

std::vector<IniSection> IniDocument::Sections() const {
  std::vector<IniSection> sections;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection) sections.push_back({lines_[i].key, i + 1});
  }
  return sections;
}

bool IniDocument::Set(std::string_view section, std::string_view name, std::string_view value) {
  return SetEscaped(section, name, EscapeIniValue(value));
}

void IniDocument::InsertLine(std::size_t at, Line line) {
  // Only the last line can lack an ending; it gets one before anything follows it. A CR of its own at
  // its end would read back as part of a CRLF ending, so that line ends in CRLF and keeps its CR.
  if (at > 0 && lines_[at - 1].eol.empty()) {
    lines_[at - 1].eol = lines_[at - 1].text.ends_with('\r') ? "\r\n" : newline_;
  }
  line.eol = newline_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool IniDocument::SetEscaped(std::string_view section, std::string_view name, std::string_view escaped) {
  if (!ValidSectionName(section) || !ValidValueName(name) || HasLineBreak(escaped)) return false;
  if (Trim(escaped) != escaped) return false;
  if (const auto index = FindValue(section, name)) {
    Line& line = lines_[*index];
    line.text.replace(line.valueStart, std::string::npos, escaped);
    return true;
  }
  Line value{Kind::kValue, std::string(name) + "=" + std::string(escaped), "", std::string(name),
             name.size() + 1};
  // After the last value of the first matching section, or right after its header.
  std::optional<std::size_t> insertAfter;
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kSection) {
      if (inSection) break;
      inSection = !insertAfter && SameName(line.key, section);
      if (inSection) insertAfter = i;
    } else if (inSection && line.kind == Kind::kValue) {
      insertAfter = i;
    }
  }
  if (insertAfter) {
    InsertLine(*insertAfter + 1, std::move(value));
    return true;
  }
  if (!lines_.empty() && lines_.back().kind != Kind::kBlank) InsertLine(lines_.size(), Line{});
  InsertLine(lines_.size(),
             Line{Kind::kSection, "[" + std::string(section) + "]", "", std::string(section), 0});
  InsertLine(lines_.size(), std::move(value));
  return true;
}

bool IniDocument::Remove(std::string_view section, std::string_view name) {
  bool inSection = false;
  const auto removed = std::erase_if(lines_, [&](const Line& line) {
    if (line.kind == Kind::kSection) inSection = SameName(line.key, section);
    return inSection && line.kind == Kind::kValue && SameName(line.key, name);
  });
  return removed > 0;
}

std::string IniDocument::Serialize() const {
  std::string out;
  if (byteOrderMark_) out += kByteOrderMark;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

}  // namespace wharfling::posix
