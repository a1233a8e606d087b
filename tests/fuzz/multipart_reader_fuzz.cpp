// The multipart reader fed a body in random pieces: it hands on no more bytes than it was fed, reads
// the same whatever the pieces, and once the closing delimiter is read hands on nothing more.

#include <string>
#include <vector>

#include "server/engine/multipart_reader.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using wharfling::fuzz::Check;
using wharfling::fuzz::FuzzInput;
namespace server = wharfling::server;

struct Outcome {
  std::vector<std::string> parts;
  bool complete = false;
  bool fed = true;
  std::size_t bytes = 0;  // handed on as parts' bytes
};

Outcome Read(std::string_view body, const std::vector<std::size_t>& pieces) {
  Outcome outcome;
  server::MultipartReader reader(
      "b0undary",
      [&](std::string_view name, std::string_view file) {
        outcome.parts.push_back(std::string(name) + "/" + std::string(file) + ":");
        return true;
      },
      [&](const char* data, std::size_t size) {
        Check(!outcome.parts.empty() && !outcome.complete);
        outcome.parts.back().append(data, size);
        outcome.bytes += size;
        return true;
      });
  std::size_t at = 0;
  for (std::size_t i = 0; at < body.size() && outcome.fed; ++i) {
    const std::size_t take =
        std::min(body.size() - at, pieces.empty() ? body.size() : pieces[i % pieces.size()]);
    outcome.fed = reader.Feed(body.data() + at, take);
    at += take;
    outcome.complete = outcome.complete || reader.complete();
  }
  outcome.complete = reader.complete();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  std::vector<std::size_t> pieces;
  for (std::size_t count = input.Byte() % 8; count > 0; --count) pieces.push_back(1 + input.Byte() % 64);
  const std::string_view body = input.rest();
  const Outcome whole = Read(body, {});
  const Outcome pieced = Read(body, pieces);
  Check(whole.parts == pieced.parts && whole.complete == pieced.complete && whole.fed == pieced.fed);
  Check(whole.bytes <= body.size());
  return 0;
}
