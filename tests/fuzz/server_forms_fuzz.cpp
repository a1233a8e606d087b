// What the server reads of a request's small texts: form fields, cookies and the client's file
// names. A stored name never leaves the account's folder.

#include "server/engine/form_decoding.h"
#include "server/library/client_file_name.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using wharfling::fuzz::Check;
using wharfling::fuzz::FuzzInput;
namespace server = wharfling::server;

void CheckStoredName(std::string_view clientPath) {
  const std::string_view base = server::ClientBaseName(clientPath);
  Check(clientPath.ends_with(base));
  const server::StoredName stored = server::StoredNameFor(clientPath);
  if (stored.problem != server::NameProblem::kNone) return;
  const std::string& name = stored.utf8;
  Check(!name.empty() && name.size() <= server::kMaxStoredNameBytes);
  Check(name.front() != '.');
  Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
  for (const char c : name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  const std::string numbered = server::NumberedName(name, 9999);
  Check(numbered.find('/') == std::string::npos && numbered.front() != '.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view name = input.Text(16);
  const std::string_view text = input.rest();
  Check(server::DecodeFormText(text).size() <= text.size());
  if (const auto field = server::FindFormField(text, name)) Check(field->size() <= text.size());
  if (const auto cookie = server::FindCookie(text, name)) {
    Check(cookie->data() >= text.data() && cookie->data() + cookie->size() <= text.data() + text.size());
  }
  CheckStoredName(text);
  return 0;
}
