#pragma once
// An INI document that keeps every line as it was read (comments, blank lines, unknown sections and
// values, their order, line endings, a leading byte-order mark), so that changing one value rewrites
// that line only and everything else written by hand survives.
//
// Each line is blank, a comment (first non-blank character ';' or '#'), a "[Section]" header, or
// "Name=value" below a header. Section and value names compare without regard to ASCII case, as the
// registry's keys do; where a name repeats, the first occurrence counts. A value is what follows the
// first '=', without the blanks around it, and holds the escapes of ini_value.h (which escape blanks
// that belong to the value).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::posix {

// Why a text is not an INI document: the 1-based line and what is wrong with it.
struct IniError {
  std::size_t line = 0;
  std::string reason;
};

struct IniEntry {
  std::string name;
  std::string value;     // unescaped
  std::size_t line = 0;  // 1-based, where the value stands
  std::string escaped;   // as the file holds it
};

struct IniSection {
  std::string name;
  std::size_t line = 0;  // 1-based, where its header stands
};

class IniDocument {
 public:
  IniDocument() = default;

  // The document held in text, or nothing (and error filled in) when a line fits none of the forms.
  static std::optional<IniDocument> Parse(std::string_view text, IniError* error = nullptr);

  // The value, unescaped; nothing when the section or the value is absent.
  std::optional<std::string> Get(std::string_view section, std::string_view name) const;
  // The value as the file holds it, escapes and all.
  std::optional<std::string> GetEscaped(std::string_view section, std::string_view name) const;
  // The value with the line it stands on; nothing when the section or the value is absent.
  std::optional<IniEntry> Find(std::string_view section, std::string_view name) const;
  // The section's values in file order, unescaped, each name once (its first occurrence).
  std::vector<IniEntry> Entries(std::string_view section) const;
  // Every section header in file order, repeated names included.
  std::vector<IniSection> Sections() const;

  // Stores value (escaped here) under name: an existing value line keeps its place and everything up
  // to the value ("Name = "); a new one goes after the last value of its section, a missing section
  // goes at the end.
  // False, changing nothing, when the names could not be read back as written (empty, line breaks,
  // '=' in a value name, ']' in a section name, outer blanks, a name that would read as a comment
  // or header).
  bool Set(std::string_view section, std::string_view name, std::string_view value);
  // As Set, for a value already escaped; false as well when it holds a line break or starts or ends
  // with a blank (it would not read back).
  bool SetEscaped(std::string_view section, std::string_view name, std::string_view escaped);

  // Removes every line of the value in every section of that name; false when there was none.
  bool Remove(std::string_view section, std::string_view name);

  // The document's bytes: unchanged lines exactly as read.
  std::string Serialize() const;

 private:
  enum class Kind { kBlank, kComment, kSection, kValue };
  struct Line {
    Kind kind = Kind::kBlank;
    std::string text;            // without its line ending
    std::string eol;             // "\n", "\r\n", or empty for a last line without one
    std::string key;             // the section name of a header, the name of a value
    std::size_t valueStart = 0;  // past the '=' and the blanks after it
  };

  std::optional<std::size_t> FindValue(std::string_view section, std::string_view name) const;
  IniEntry EntryAt(std::size_t index) const;
  void InsertLine(std::size_t at, Line line);

  bool byteOrderMark_ = false;
  std::string newline_ = "\n";  // for added lines: the ending the document already uses
  std::vector<Line> lines_;
};

}  // namespace wharfling::posix
