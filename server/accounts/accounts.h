#pragma once
// The accounts a server accepts: a name and a salted PBKDF2-HMAC-SHA256 hash of the password.
// Names and passwords arrive from the uploader as CP932 bytes; the accounts file and the command
// line are UTF-8, so both are turned into CP932 before they are compared or hashed.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::server {

inline constexpr int kPasswordHashIterations = 100000;
// What an accounts-file line may ask for: fewer would make guessing cheap, more would let one
// login hold the server.
inline constexpr int kMinPasswordHashIterations = 10000;
inline constexpr int kMaxPasswordHashIterations = 10000000;
inline constexpr std::size_t kMinSaltBytes = 16;
inline constexpr std::size_t kMaxAccountNameBytes = 64;

// The 32-byte PBKDF2-HMAC-SHA256 of password with salt.
std::string DerivePasswordHash(std::string_view password, std::string_view salt, int iterations);

struct Account {
  std::string name;       // UTF-8; also the name of the account's storage folder
  std::string loginName;  // the CP932 bytes the uploader sends
  std::string salt;       // raw bytes
  std::string hash;       // raw bytes
  int iterations = kPasswordHashIterations;
};

// True when name can be an account and a folder name: 1 to kMaxAccountNameBytes bytes, no '/',
// '\', ':', control bytes or leading dot. Otherwise why says what is wrong.
bool IsValidAccountName(std::string_view utf8Name, std::string& why);

// An account with a fresh salt for a password given in the clear (UTF-8).
Account MakeAccount(std::string_view utf8Name, std::string_view utf8Password);

// The accounts-file line of an account: "name:salt:hash:iterations", salt and hash in hex.
std::string AccountLine(const Account& account);

// One accounts-file line; nothing, with why, when it is not valid. A line without its iteration
// count (written before it was stored) has kPasswordHashIterations; the salt has at least
// kMinSaltBytes.
std::optional<Account> ParseAccountLine(std::string_view line, std::string& why);

// Every account of a file: one line each, blank lines and lines starting with '#' ignored; a UTF-8
// byte-order mark at its start is skipped.
bool LoadAccountsFile(const std::filesystem::path& path, std::vector<Account>& accounts, std::string& error);

class AccountTable {
 public:
  // False, with error, when an account of that name is already present.
  bool Add(Account account, std::string& error);
  // The account whose CP932 name and password these are, or null. An unknown name costs the same
  // hashing as a known one, so the answer's timing does not tell which names exist.
  const Account* Verify(std::string_view loginName, std::string_view password) const;
  const Account* Find(std::string_view name) const;
  // The account of the CP932 login name, or null; no password is checked.
  const Account* FindByLoginName(std::string_view loginName) const;
  std::size_t size() const { return byLoginName_.size(); }
  std::vector<const Account*> all() const;

 private:
  std::map<std::string, Account, std::less<>> byLoginName_;
};

}  // namespace wharfling::server
