#pragma once
// What the server remembers beside the photos' files: the photo catalog, the sessions, the login
// brake's counts and the key its CSRF tokens are made with. The server reaches them only through
// this seam, so that a database can keep them instead of today's index files and memory.

#include <memory>
#include <string>

#include "server/accounts/login_brake.h"
#include "server/accounts/sessions.h"
#include "server/library/photo_catalog.h"
#include "server/library/upload_store.h"

namespace wharfling::server {

class ServerState {
 public:
  virtual ~ServerState() = default;

  // Opens what is kept for the storage folder; false, with error, when it cannot be.
  virtual bool Open(const UploadStore& store, std::string& error) = 0;
  virtual PhotoCatalog& photos() = 0;
  virtual SessionStore& sessions() = 0;
  virtual BrakeCounters& brake() = 0;
  // The key of the CSRF tokens (32 raw bytes).
  virtual std::string csrfKey() = 0;
};

// Today's: an index file beside each account's photos; sessions, brake counts and a key drawn at
// start in memory (a restart signs everybody out).
std::unique_ptr<ServerState> MakeFilesAndMemoryState();

}  // namespace wharfling::server
