#include "platform/posix/encoding.h"

#include <iconv.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

namespace wharfling::posix {
namespace {

// Converts as much of input as converts; returns the bytes consumed.
std::size_t ConvertPrefix(iconv_t cd, std::string_view input, std::string& out) {
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  // A fixed area, refilled as often as needed: its size must not follow the input's, which may be a
  // page of tens of megabytes converted again after every byte that does not convert.
  std::array<char, 16384> buffer;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
  }
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // flush any shift state
  out.append(buffer.data(), buffer.size() - outLeft);
  return input.size() - inLeft;
}

class Converter {
 public:
  Converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts input, passing each byte that does not convert to onFailure and going on after it.
template <typename OnFailure>
std::string ConvertLenient(std::string_view input, const char* from, const char* to, OnFailure onFailure) {
  Converter converter(from, to);
  std::string out;
  if (!converter.ok()) return std::string(input);
  while (!input.empty()) {
    const std::size_t used = ConvertPrefix(converter.get(), input, out);
    input.remove_prefix(used);
    if (!input.empty()) {
      onFailure(static_cast<unsigned char>(input.front()), out);
      input.remove_prefix(1);
    }
  }
  return out;
}

// iconv's transliteration (its best-fit: "é" to "e", "?" where nothing fits) follows the calling
// thread's locale, and the C locale has no transliteration table; C.UTF-8 has one. Used only
// around a conversion, so the program's own locale stays as it is.
class TransliterationLocale {
 public:
  TransliterationLocale() {
    static const locale_t withTable = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (withTable != static_cast<locale_t>(nullptr)) previous_ = uselocale(withTable);
  }
  ~TransliterationLocale() {
    if (previous_ != static_cast<locale_t>(nullptr)) uselocale(previous_);
  }
  TransliterationLocale(const TransliterationLocale&) = delete;
  TransliterationLocale& operator=(const TransliterationLocale&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(nullptr);
};

// The length of the UTF-8 sequence a lead byte starts; 1 for a byte that starts none.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

std::optional<std::string> ConvertEncoding(std::string_view input, const char* from, const char* to) {
  Converter converter(from, to);
  if (!converter.ok()) return std::nullopt;
  std::string out;
  if (ConvertPrefix(converter.get(), input, out) != input.size()) return std::nullopt;
  return out;
}

Text Utf8ToCp932(std::string_view utf8) {
  if (auto whole = ConvertEncoding(utf8, "UTF-8", "CP932")) return *whole;
  return ConvertLenient(utf8, "UTF-8", "CP932",
                        [](unsigned char byte, std::string& out) { out += static_cast<char>(byte); });
}

Text Utf8ToCp932BestFit(std::string_view utf8) {
  const TransliterationLocale locale;
  Converter converter("UTF-8", "CP932//TRANSLIT");
  if (!converter.ok()) return Text(utf8.size(), '?');
  Text out;
  while (!utf8.empty()) {
    utf8.remove_prefix(ConvertPrefix(converter.get(), utf8, out));
    if (utf8.empty()) break;
    // Not UTF-8, or a character the conversion refused outright: one "?" for it.
    out += '?';
    utf8.remove_prefix(std::min(utf8.size(), Utf8SequenceLength(static_cast<unsigned char>(utf8.front()))));
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
  return ConvertLenient(cp932, "CP932", "UTF-8", [](unsigned char byte, std::string& out) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
  });
}

std::string EscapeControls(std::string_view utf8, bool keepLineBreaks) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    unsigned control = 0x100;  // none
    if ((byte < 0x20 && !(keepLineBreaks && byte == '\n')) || byte == 0x7F) {
      control = byte;
    } else if (byte == 0xC2 && at + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[at + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        control = next;
        ++at;
      }
    }
    if (control == 0x100) {
      out += utf8[at];
      continue;
    }
    char escaped[7];
    std::snprintf(escaped, sizeof escaped, "\\u%04X", control);
    out += escaped;
  }
  return out;
}

Text PosixTextCodec::PathToText(std::string_view nativePath) const { return Utf8ToCp932BestFit(nativePath); }

}  // namespace wharfling::posix
