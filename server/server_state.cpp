#include "server/server_state.h"

#include <optional>

#include "server/base/secure_random.h"
#include "server/library/photo_library.h"

namespace wharfling::server {
namespace {

class FilesAndMemoryState final : public ServerState {
 public:
  bool Open(const UploadStore& store, std::string&) override {
    photos_.emplace(store);
    return true;
  }
  PhotoCatalog& photos() override { return *photos_; }
  SessionStore& sessions() override { return sessions_; }
  BrakeCounters& brake() override { return brake_; }
  std::string csrfKey() override { return key_; }

 private:
  std::optional<PhotoLibrary> photos_;
  SessionTable sessions_;
  LoginBrake brake_;
  const std::string key_ = *FromHex(RandomHex(32));
};

}  // namespace

std::unique_ptr<ServerState> MakeFilesAndMemoryState() { return std::make_unique<FilesAndMemoryState>(); }

}  // namespace wharfling::server
