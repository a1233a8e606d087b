#include "tests/state/private_postgres.h"

#include <cstdlib>
#include <filesystem>

#include "server/state/pg_connection.h"

namespace wharfling::testing {
namespace {

std::string ClusterFolder() {
  const char* folder = std::getenv("WHARFLING_TEST_POSTGRES");
  return folder != nullptr ? folder : "";
}

std::string Conninfo(const std::string& schema) {
  std::string conninfo = "host=" + ClusterFolder() + " user=wharfling dbname=postgres";
  if (!schema.empty()) conninfo += " options='-c search_path=" + schema + "'";
  return conninfo;
}

}  // namespace

std::string PrivatePostgresMissing() {
  const std::string folder = ClusterFolder();
  if (folder.empty()) return "no private PostgreSQL cluster: run these tests through ctest";
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(folder) / ".s.PGSQL.5432", ec)) {
    return "no private PostgreSQL cluster in " + folder + " (is PostgreSQL installed?)";
  }
  return "";
}

bool PostgresRequired() {
  const char* required = std::getenv("WHARFLING_REQUIRE_POSTGRES");
  return required != nullptr && std::string(required) == "1";
}

std::string PrivatePostgresSchema(const std::string& name, std::string& error) {
  try {
    server::state::PgConnection connection(Conninfo(""));
    connection.Exec("CREATE SCHEMA IF NOT EXISTS \"" + name + "\"");
  } catch (const server::state::PgError& e) {
    error = e.what();
    return "";
  }
  return Conninfo(name);
}

}  // namespace wharfling::testing
