#include "server/accounts/accounts.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <charconv>
#include <fstream>

#include "platform/posix/encoding.h"
#include "server/base/secure_random.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kSaltBytes = kMinSaltBytes;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kHashBytes = 32;

}  // namespace

std::string DerivePasswordHash(std::string_view password, std::string_view salt, int iterations) {
  std::string out(kHashBytes, '\0');
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                    reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                    iterations, EVP_sha256(), static_cast<int>(out.size()),
                    reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

bool IsValidAccountName(std::string_view utf8Name, std::string& why) {
  if (utf8Name.empty() || utf8Name.size() > kMaxAccountNameBytes) {
    why = "an account name has 1 to " + std::to_string(kMaxAccountNameBytes) + " bytes";
    return false;
  }
  if (utf8Name.front() == '.') {
    why = "an account name may not start with '.'";
    return false;
  }
  for (const char c : utf8Name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) {
      why = "an account name may not hold '/', '\\', ':' or control characters";
      return false;
    }
  }
  return true;
}

Account MakeAccount(std::string_view utf8Name, std::string_view utf8Password) {
  Account account;
  account.name = std::string(utf8Name);
  account.loginName = posix::Utf8ToCp932(utf8Name);
  account.salt = *FromHex(RandomHex(kSaltBytes));
  account.hash = DerivePasswordHash(posix::Utf8ToCp932(utf8Password), account.salt, kPasswordHashIterations);
  return account;
}

std::string AccountLine(const Account& account) {
  return account.name + ":" + ToHex(account.salt) + ":" + ToHex(account.hash) + ":" +
         std::to_string(account.iterations);
}

std::optional<Account> ParseAccountLine(std::string_view line, std::string& why) {
  const std::size_t first = line.find(':');
  const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
  const std::size_t third = second == std::string_view::npos ? second : line.find(':', second + 1);
  if (second == std::string_view::npos ||
      (third != std::string_view::npos && line.find(':', third + 1) != std::string_view::npos)) {
    why = "expected name:salt:hash:iterations";
    return std::nullopt;
  }
  Account account;
  account.name = std::string(line.substr(0, first));
  if (!IsValidAccountName(account.name, why)) return std::nullopt;
  auto salt = FromHex(line.substr(first + 1, second - first - 1));
  auto hash = FromHex(line.substr(second + 1, third == std::string_view::npos ? third : third - second - 1));
  if (!salt || salt->empty()) {
    why = "the salt is not hex";
    return std::nullopt;
  }
  if (salt->size() < kMinSaltBytes) {
    why = "the salt has fewer than " + std::to_string(kMinSaltBytes) + " bytes";
    return std::nullopt;
  }
  if (third != std::string_view::npos) {
    const std::string_view count = line.substr(third + 1);
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), account.iterations);
    if (count.empty() || ec != std::errc() || end != count.data() + count.size() ||
        account.iterations < kMinPasswordHashIterations || account.iterations > kMaxPasswordHashIterations) {
      why = "the iteration count is not a number from " + std::to_string(kMinPasswordHashIterations) +
            " to " + std::to_string(kMaxPasswordHashIterations);
      return std::nullopt;
    }
  }
  if (!hash || hash->size() != kHashBytes) {
    why = "the hash is not " + std::to_string(kHashBytes * 2) + " hex digits";
    return std::nullopt;
  }
  account.loginName = posix::Utf8ToCp932(account.name);
  account.salt = std::move(*salt);
  account.hash = std::move(*hash);
  return account;
}

bool LoadAccountsFile(const std::filesystem::path& path, std::vector<Account>& accounts, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.string();
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (number == 1 && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    std::string why;
    auto account = ParseAccountLine(line, why);
    if (!account) {
      error = path.string() + ":" + std::to_string(number) + ": " + why;
      return false;
    }
    accounts.push_back(std::move(*account));
  }
  return true;
}

bool AccountTable::Add(Account account, std::string& error) {
  if (byLoginName_.contains(account.loginName)) {
    error = "the account " + account.name + " is given twice";
    return false;
  }
  std::string key = account.loginName;
  byLoginName_.emplace(std::move(key), std::move(account));
  return true;
}

const Account* AccountTable::Verify(std::string_view loginName, std::string_view password) const {
  static const std::string kDummySalt(kSaltBytes, '\0');
  const auto found = byLoginName_.find(loginName);
  const Account* account = found == byLoginName_.end() ? nullptr : &found->second;
  const std::string hash = DerivePasswordHash(password, account ? account->salt : kDummySalt,
                                              account ? account->iterations : kPasswordHashIterations);
  if (account == nullptr || account->hash.size() != hash.size()) return nullptr;
  return CRYPTO_memcmp(hash.data(), account->hash.data(), hash.size()) == 0 ? account : nullptr;
}

const Account* AccountTable::Find(std::string_view name) const {
  for (const auto& [key, account] : byLoginName_) {
    if (account.name == name) return &account;
  }
  return nullptr;
}

const Account* AccountTable::FindByLoginName(std::string_view loginName) const {
  const auto found = byLoginName_.find(loginName);
  return found == byLoginName_.end() ? nullptr : &found->second;
}

std::vector<const Account*> AccountTable::all() const {
  std::vector<const Account*> out;
  for (const auto& entry : byLoginName_) out.push_back(&entry.second);
  return out;
}

}  // namespace wharfling::server
