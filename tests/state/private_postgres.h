#pragma once
// The private PostgreSQL cluster a test run starts (start_private_postgres.sh, as a ctest fixture
// that passes its folder in WHARFLING_TEST_POSTGRES): a connection string for a schema of one's
// own in it, so that tests running side by side never see each other's tables.

#include <string>

namespace wharfling::testing {

// Why the cluster cannot be used ("" when it can): not started by this run, or PostgreSQL missing.
std::string PrivatePostgresMissing();
// Whether a missing cluster is a failure rather than a reason to skip (WHARFLING_REQUIRE_POSTGRES=1).
bool PostgresRequired();

// A connection string for the schema `name` (made when missing); "" with error when the cluster
// does not answer.
std::string PrivatePostgresSchema(const std::string& name, std::string& error);

}  // namespace wharfling::testing

// In a test or its SetUp: skip, or fail where the test command wants PostgreSQL, when the cluster
// is not there.
#define WHARFLING_NEED_POSTGRES()                                            \
  do {                                                                       \
    const std::string why_ = ::wharfling::testing::PrivatePostgresMissing(); \
    if (!why_.empty()) {                                                     \
      if (::wharfling::testing::PostgresRequired()) FAIL() << why_;          \
      GTEST_SKIP() << why_;                                                  \
    }                                                                        \
  } while (false)
