#pragma once
// Port: a place for passwords outside the profile (the desktop keyring). Each password is kept
// under the name of the profile value that would otherwise hold it ("ParvaultW", "Pw002", ...) and
// the ID it belongs to, so that a profile whose save was cut short, still naming the ID it had,
// never reads the password saved for the next one.

#include <optional>
#include <string_view>

#include "text/text.h"

namespace wharfling {

class SecretStore {
 public:
  virtual ~SecretStore() = default;
  // The password kept under valueName for the ID account (CP932); nothing when none is kept or the
  // store did not answer.
  virtual std::optional<Text> Lookup(std::string_view valueName, std::string_view account) = 0;
  // False when the password could not be kept.
  virtual bool Store(std::string_view valueName, std::string_view account, std::string_view password) = 0;
};

}  // namespace wharfling
