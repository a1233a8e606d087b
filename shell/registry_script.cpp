#include "shell/registry_script.h"

#include <cctype>
#include <charconv>

namespace wharfling::shell {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
  bool Is(std::string_view word) const { return !quoted && text == word; }
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Whitespace separates tokens; a quoted token runs to its closing quote, with '' standing for one
// quote. Braces count as tokens only where they stand alone, so "{GUID}" is a name.
std::optional<std::vector<Token>> Tokenize(std::string_view script) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < script.size()) {
    if (IsSpace(script[i])) {
      ++i;
      continue;
    }
    Token token;
    if (script[i] == '\'') {
      token.quoted = true;
      for (++i;; ++i) {
        if (i >= script.size()) return std::nullopt;
        if (script[i] == '\'') {
          if (i + 1 < script.size() && script[i + 1] == '\'') {
            token.text += '\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        token.text += script[i];
      }
    } else {
      while (i < script.size() && !IsSpace(script[i])) token.text += script[i++];
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, const std::vector<std::pair<std::string, std::string>>& replacements)
      : tokens_(std::move(tokens)), replacements_(replacements) {}

  ParsedScript Parse() {
    ParsedScript parsed;
    while (!AtEnd() && error_.empty()) {
      ScriptRoot root;
      root.name = Next().text;
      if (!Expect("{")) break;
      ParseEntries(root.keys, nullptr);
      if (!error_.empty()) break;
      parsed.roots.push_back(std::move(root));
    }
    if (!error_.empty()) parsed.roots.clear();
    parsed.error = error_;
    return parsed;
  }

 private:
  bool AtEnd() const { return position_ >= tokens_.size(); }
  const Token& Peek() const { return tokens_[position_]; }
  Token Next() { return tokens_[position_++]; }

  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  bool Expect(std::string_view word) {
    if (AtEnd() || !Peek().Is(word)) return Fail("expected '" + std::string(word) + "'");
    ++position_;
    return true;
  }

  // Replaces the placeholders of one token.
  std::optional<std::string> Expand(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '%') {
        out += text[i];
        continue;
      }
      const auto end = text.find('%', i + 1);
      if (end == std::string::npos) return std::nullopt;
      const std::string name = text.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out += '%';
      } else {
        bool found = false;
        for (const auto& [placeholder, value] : replacements_) {
          if (placeholder == name) {
            out += value;
            found = true;
            break;
          }
        }
        if (!found) return std::nullopt;
      }
      i = end;
    }
    return out;
  }

  std::optional<std::string> Word() {
    if (AtEnd()) {
      Fail("unexpected end of script");
      return std::nullopt;
    }
    const Token token = Next();
    auto expanded = Expand(token.text);
    if (!expanded) Fail("unknown placeholder in '" + token.text + "'");
    return expanded;
  }

  std::optional<ScriptValue> Value() {
    if (AtEnd()) {
      Fail("missing value type");
      return std::nullopt;
    }
    const Token type = Next();
    auto text = Word();
    if (!text) return std::nullopt;
    ScriptValue value;
    if (type.Is("s")) {
      value.text = *text;
      return value;
    }
    if (type.Is("d")) {
      value.type = ScriptValue::Type::kDword;
      const char* first = text->data();
      const char* last = first + text->size();
      const bool hex = text->starts_with("0x") || text->starts_with("0X");
      const auto result = std::from_chars(hex ? first + 2 : first, last, value.dword, hex ? 16 : 10);
      if (text->empty() || result.ec != std::errc() || result.ptr != last) {
        Fail("bad number '" + *text + "'");
        return std::nullopt;
      }
      return value;
    }
    Fail("unknown value type '" + type.text + "'");
    return std::nullopt;
  }

  // Entries up to the closing brace of the block.
  void ParseEntries(std::vector<ScriptKey>& keys, ScriptKey* parent) {
    while (error_.empty()) {
      if (AtEnd()) {
        Fail("missing '}'");
        return;
      }
      if (Peek().Is("}")) {
        ++position_;
        return;
      }
      if (Peek().Is("val")) {
        ++position_;
        if (parent == nullptr) {
          Fail("a value needs a key");
          return;
        }
        ScriptNamedValue named;
        auto name = Word();
        if (!name || !Expect("=")) return;
        named.name = *name;
        auto value = Value();
        if (!value) return;
        named.value = *value;
        parent->entries.emplace_back(std::move(named));
        continue;
      }
      ScriptKey key;
      if (Peek().Is("NoRemove")) key.mark = ScriptKey::Mark::kNoRemove;
      if (Peek().Is("ForceRemove")) key.mark = ScriptKey::Mark::kForceRemove;
      if (Peek().Is("Delete")) key.mark = ScriptKey::Mark::kDelete;
      if (key.mark != ScriptKey::Mark::kNone) ++position_;
      auto name = Word();
      if (!name) return;
      key.name = *name;
      if (!AtEnd() && Peek().Is("=")) {
        ++position_;
        key.defaultValue = Value();
        if (!key.defaultValue) return;
      }
      if (!AtEnd() && Peek().Is("{")) {
        ++position_;
        std::vector<ScriptKey> ignored;
        ParseEntries(ignored, &key);
      }
      if (parent != nullptr) {
        parent->entries.emplace_back(std::move(key));
      } else {
        keys.push_back(std::move(key));
      }
    }
  }

  std::vector<Token> tokens_;
  const std::vector<std::pair<std::string, std::string>>& replacements_;
  std::size_t position_ = 0;
  std::string error_;
};

}  // namespace

ParsedScript ParseRegistryScript(std::string_view script,
                                 const std::vector<std::pair<std::string, std::string>>& replacements) {
  auto tokens = Tokenize(script);
  if (!tokens) return {{}, "unterminated quoted text"};
  return Parser(std::move(*tokens), replacements).Parse();
}

}  // namespace wharfling::shell
