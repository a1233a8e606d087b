// The upload receiver fed a random sequence of parts and bytes: it never writes more than its limit,
// and whatever the outcome no temporary file stays behind.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "server/library/upload_receiver.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using wharfling::fuzz::Check;
using wharfling::fuzz::FuzzInput;
namespace server = wharfling::server;
namespace fs = std::filesystem;

constexpr std::uint64_t kMaxFileSize = 4096;

struct Storage {
  Storage() {
    char pattern[] = "/tmp/upload-receiver-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) std::abort();
    root = made;
    std::string error;
    if (!store.Open(root, error)) std::abort();
  }
  fs::path root;
  server::UploadStore store;
};

Storage& TheStorage() {
  static Storage storage;
  return storage;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Storage& storage = TheStorage();
  FuzzInput input(data, size);
  std::uint64_t fileBytes = 0;
  {
    server::UploadReceiver receiver(storage.store, "fuzz", kMaxFileSize);
    bool reading = true;
    while (reading && !input.empty()) {
      const std::uint8_t op = input.Byte();
      if (op % 4 == 0) {
        const std::string_view name = op & 0x80 ? std::string_view(server::kFileFieldName) : input.Text(12);
        reading = receiver.BeginPart(name, input.Text(64));
      } else {
        // Lengths up to 64 KiB from two bytes, so the size limit is reached now and then.
        const std::size_t length = (std::size_t{input.Byte()} << 8 | input.Byte()) % 8192;
        const std::string bytes(length, static_cast<char>(op));
        reading = receiver.Append(bytes.data(), bytes.size());
      }
    }
    const server::UploadOutcome outcome = receiver.Finish(input.Byte() % 2 == 0);
    if (!outcome.refusal) {
      fileBytes = outcome.size;
      Check(fileBytes <= kMaxFileSize);
      Check(fs::file_size(storage.root / "fuzz" / outcome.storedName) == fileBytes);
      fs::remove(storage.root / "fuzz" / outcome.storedName);
    }
  }
  std::error_code noFolderYet;
  for (const auto& entry : fs::directory_iterator(storage.root / "fuzz", noFolderYet)) {
    Check(!entry.path().filename().string().starts_with(server::kTemporaryPrefix));
  }
  return 0;
}
