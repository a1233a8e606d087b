#pragma once
// Turns a fuzzer's bytes into the pieces a target needs: lengths and texts taken off the front.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace wharfling::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  bool empty() const { return rest_.empty(); }
  std::string_view rest() const { return rest_; }

  // One byte as a number (0 when nothing is left).
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto value = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return value;
  }

  // A text of up to maxLength bytes, its length given by the next byte.
  std::string_view Text(std::size_t maxLength = 255) {
    const std::size_t length = Byte() % (maxLength + 1);
    const std::string_view text = rest_.substr(0, length);
    rest_.remove_prefix(text.size());
    return text;
  }

 private:
  std::string_view rest_;
};

// A broken property: the fuzzer reports the input that led here.
[[noreturn]] inline void Fail() { std::abort(); }

inline void Check(bool holds) {
  if (!holds) Fail();
}

}  // namespace wharfling::fuzz
