#include "platform/posix/secret_service_store.h"

#include <gio/gio.h>
#include <libsecret/secret.h>

#include <cstdlib>
#include <filesystem>

#include "platform/posix/ini_text.h"
#include "session/keyring_settings.h"

namespace wharfling::posix {
namespace {

constexpr gint kCallTimeoutMs = 3000;
constexpr const char* kServiceName = "org.freedesktop.secrets";
// The passwords are CP932 text, kept byte for byte.
constexpr const char* kContentType = "text/plain; charset=Shift_JIS";

const SecretSchema* PasswordSchema() {
  static const SecretSchema schema = [] {
    SecretSchema s{};
    s.name = "com.ferrowind.Wharfling.Password";
    s.flags = SECRET_SCHEMA_NONE;
    s.attributes[0].name = "profile";
    s.attributes[0].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
    s.attributes[1].name = "value";
    s.attributes[1].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
    // The ID the password belongs to; items kept before IDs were recorded lack it.
    s.attributes[2].name = "account";
    s.attributes[2].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
    return s;
  }();
  return &schema;
}

// Owns a GError and says what it held.
struct Error {
  GError* error = nullptr;
  ~Error() { g_clear_error(&error); }
  std::string message() const { return error != nullptr ? error->message : "no answer"; }
};

// GLib falls back to $XDG_RUNTIME_DIR/bus, then to starting a bus of its own: only the first is a
// session bus worth asking.
bool SessionBusNamed() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != 0) {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  return runtime != nullptr && *runtime != 0 &&
         std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

// Pings the service, which starts it when the bus can; the time-out bounds the wait for one that
// hangs, since the calls that open the service afterwards wait as long as D-Bus lets them.
std::string PingService(GDBusConnection* bus) {
  Error error;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kServiceName, "/org/freedesktop/secrets", "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error.error);
  if (reply != nullptr) {
    g_variant_unref(reply);
    return "";
  }
  if (g_error_matches(error.error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
      g_error_matches(error.error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
    return "no Secret Service on the session bus";
  }
  return "the Secret Service did not answer (" + error.message() + ")";
}

// D-Bus carries UTF-8 only; the ID is CP932, written as the profile file writes it.
std::string AccountAttribute(std::string_view id) { return Cp932ToIniValue(id); }

class SecretServiceStore final : public SecretStore {
 public:
  SecretServiceStore(SecretService* service, std::string profileName)
      : service_(service), profile_(std::move(profileName)) {}
  ~SecretServiceStore() override { g_object_unref(service_); }
  SecretServiceStore(const SecretServiceStore&) = delete;
  SecretServiceStore& operator=(const SecretServiceStore&) = delete;

  std::optional<Text> Lookup(std::string_view valueName, std::string_view account) override {
    const std::string name(valueName);
    const std::string wanted = AccountAttribute(account);
    Error error;
    GList* found = secret_password_search_sync(
        PasswordSchema(), static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK), nullptr,
        &error.error, "profile", profile_.c_str(), "value", name.c_str(), nullptr);
    // The item of this ID; else, while no item records an ID, one kept before IDs were recorded.
    SecretRetrievable* exact = nullptr;
    SecretRetrievable* unrecorded = nullptr;
    bool anyRecorded = false;
    for (GList* at = found; at != nullptr; at = at->next) {
      auto* item = static_cast<SecretRetrievable*>(at->data);
      GHashTable* attributes = secret_retrievable_get_attributes(item);
      const auto* recorded = static_cast<const char*>(g_hash_table_lookup(attributes, "account"));
      anyRecorded = anyRecorded || recorded != nullptr;
      if (recorded == nullptr && unrecorded == nullptr) unrecorded = item;
      if (recorded != nullptr && wanted == recorded) exact = item;
      g_hash_table_unref(attributes);
    }
    if (anyRecorded) unrecorded = nullptr;
    std::optional<Text> password;
    if (SecretRetrievable* item = exact != nullptr ? exact : unrecorded) {
      Error readError;
      if (SecretValue* value = secret_retrievable_retrieve_secret_sync(item, nullptr, &readError.error)) {
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        password = Text(bytes, length);
        secret_value_unref(value);
      }
    }
    g_list_free_full(found, g_object_unref);
    return password;
  }

  bool Store(std::string_view valueName, std::string_view account, std::string_view password) override {
    const std::string name(valueName);
    const std::string recorded = AccountAttribute(account);
    const std::string label = "Wharfling password (" + profile_ + ", " + name + ", " + recorded + ")";
    SecretValue* value =
        secret_value_new(password.data(), static_cast<gssize>(password.size()), kContentType);
    Error error;
    const gboolean stored = secret_password_store_binary_sync(
        PasswordSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value, nullptr, &error.error, "profile",
        profile_.c_str(), "value", name.c_str(), "account", recorded.c_str(), nullptr);
    secret_value_unref(value);
    return stored != FALSE;
  }

 private:
  SecretService* service_;  // held so that every call goes through the one with our time-out
  std::string profile_;
};

}  // namespace

SecretServiceConnection ConnectSecretService(const std::string& profileId) {
  SecretServiceConnection connection;
  if (!SessionBusNamed()) {
    connection.absence = "no session bus";
    return connection;
  }
  Error error;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error.error);
  if (bus == nullptr) {
    connection.absence = "no session bus (" + error.message() + ")";
    return connection;
  }
  connection.absence = PingService(bus);
  g_object_unref(bus);
  if (!connection.absence.empty()) return connection;
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error.error);
  if (service == nullptr) {
    connection.absence = "the Secret Service did not answer (" + error.message() + ")";
    return connection;
  }
  // The shared service object, which the password calls use too.
  g_dbus_proxy_set_default_timeout(G_DBUS_PROXY(service), kCallTimeoutMs);
  connection.store = std::make_unique<SecretServiceStore>(service, profileId);
  return connection;
}

SecretServiceConnection OpenKeyringFor(SettingsStore& profile, const std::string& profileId) {
  if (!KeyringAllowed(profile)) return {nullptr, "[Mode] keyring=0"};
  return ConnectSecretService(profileId);
}

std::string PasswordPlace(const SecretServiceConnection& keyring) {
  if (keyring.store) return "desktop keyring (Secret Service)";
  return "profile file (" + keyring.absence + ")";
}

}  // namespace wharfling::posix
