// Two parvault-server processes over one storage folder and one PostgreSQL database behave as one
// server: a session, a photo, a delete and the quota made through one hold on the other.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/state/private_postgres.h"
#include "tests/support/command_run.h"
#include "tests/support/gallery_browser.h"
#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_photos.h"

namespace wharfling::testing {
namespace {

// A browser signed in on one instance that may send its cookie to any.
struct Session {
  std::string cookie;
  std::string csrf;
};

Session SignIn(int port) {
  HttpTestClient client(port);
  const auto login = client.Post("/ParvaultAsp2/logincheck2.asp", "username=alice&password=secret",
                                 "application/x-www-form-urlencoded");
  if (!login) return {};
  const std::string setCookie = login->Header("Set-Cookie");
  Session session{setCookie.substr(0, setCookie.find(';')), ""};
  const auto menu = client.Get("/ParvaultAsp2/menu.asp", {{"Cookie", session.cookie}});
  const auto tokens = ValuesAfter(menu ? menu->body : "", "name=\"csrf\" value=\"");
  if (!tokens.empty()) session.csrf = tokens[0];
  return session;
}

std::vector<std::string> GalleryIds(int port, const Session& session) {
  HttpTestClient client(port);
  const auto menu = client.Get("/ParvaultAsp2/menu.asp", {{"Cookie", session.cookie}});
  return ValuesAfter(menu ? menu->body : "", "class=\"photo\" href=\"photo.asp?id=");
}

int UploaderPost(int port, const Session& session, const std::string& name, const std::string& bytes) {
  HttpTestClient client(port);
  const auto answer =
      client.Post("/ParvaultAsp2/InsertFile.asp", {{"Cookie", session.cookie}},
                  UploaderBody("C:\\photos\\" + name, bytes), std::string(kUploaderContentType));
  return answer ? answer->status : -1;
}

int UploaderPost(int port, const Session& session, const std::string& name, std::size_t bytes) {
  return UploaderPost(port, session, name, std::string(bytes, 'p'));
}

// --database for a schema of its own in the private cluster; "" with error when it cannot be made.
std::string DatabaseUri(const std::string& schema, std::string& error) {
  if (PrivatePostgresSchema(schema, error).empty()) return "";
  return std::string("postgresql://wharfling@/postgres?host=") + std::getenv("WHARFLING_TEST_POSTGRES") +
         "&options=-c%20search_path%3D" + schema;
}

// An instance's options over the storage folder in `dir` and `database`, with alice's account.
std::vector<std::string> SharedArgs(const TempDir& dir, const std::string& database,
                                    const std::vector<std::string>& more = {}) {
  std::vector<std::string> args{"--listen",   "127.0.0.1:0", "--storage", (dir.path() / "storage").string(),
                                "--database", database,      "--user",    "alice",
                                "--password", "secret"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(ParvaultServersTest, TwoInstancesOverOneDatabaseAreOneServer) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string database = DatabaseUri("parvault_servers", error);
  ASSERT_FALSE(database.empty()) << error;
  TempDir dir;
  const auto instance = [&] {
    return SharedArgs(dir, database, {"--quota", "3000", "--user", "bob", "--password", "bob-pw"});
  };
  ServerProcess a(PARVAULT_SERVER, instance());
  ServerProcess b(PARVAULT_SERVER, instance());
  ASSERT_GT(a.port(), 0) << a.Errors();
  ASSERT_GT(b.port(), 0) << b.Errors();

  const Session session = SignIn(a.port());
  ASSERT_FALSE(session.csrf.empty()) << "signed in on A";
  ASSERT_EQ(UploaderPost(b.port(), session, "harbour.jpg", 1000), 200) << "A's session on B";
  const auto ids = GalleryIds(a.port(), session);
  ASSERT_EQ(ids.size(), 1u) << "B's upload in A's gallery";

  // The quota counts what both instances stored: 1000 bytes held, 2000 more fit, then nothing.
  struct Step {
    ServerProcess& through;
    const char* name;
    std::size_t bytes;
    int status;
  };
  for (const Step& step : {Step{a, "quay.jpg", 1500, 200}, Step{b, "pier.jpg", 600, 302},
                           Step{b, "buoy.jpg", 500, 200}, Step{a, "mast.jpg", 1, 302}}) {
    EXPECT_EQ(UploaderPost(step.through.port(), session, step.name, step.bytes), step.status) << step.name;
  }
  EXPECT_EQ(GalleryIds(b.port(), session).size(), 3u);

  HttpTestClient onB(b.port());
  const auto deleted = onB.Post("/ParvaultAsp2/delete.asp", {{"Cookie", session.cookie}},
                                "id=" + ids[0] + "&csrf=" + session.csrf + "&confirm=yes",
                                "application/x-www-form-urlencoded");
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->status, 303) << "A's form token on B";
  const auto left = GalleryIds(a.port(), session);
  EXPECT_EQ(std::count(left.begin(), left.end(), ids[0]), 0) << "deleted on B, gone on A";
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "storage" / "alice" / "harbour.jpg"));

  // The uploader against A, as against a single server; the room the delete freed takes it.
  dir.WriteFile("config/wharfling.ini",
                "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\nUrl002=http://127.0.0.1:" +
                    std::to_string(a.port()) + "/ParvaultAsp2\n");
  const auto photo = dir.WriteFile("photos/sail.jpg", std::string(900, 's'));
  const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()),
                              WHARFLING_CLI, "upload --json " + ShellQuote(photo));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(GalleryIds(b.port(), session).size(), 3u);

  // Guesses at bob's password count on both: five wrong ones, spread over A and B, brake the sixth.
  const std::vector<int> guessedOn = {a.port(), b.port(), a.port(), b.port(), a.port(), b.port()};
  for (std::size_t i = 0; i < guessedOn.size(); ++i) {
    HttpTestClient client(guessedOn[i]);
    const auto guess =
        client.Post("/ParvaultAsp2/logincheck2.asp", "username=bob&password=guess" + std::to_string(i),
                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(guess);
    EXPECT_EQ(guess->status, i < 5 ? 302 : 429) << "guess " << i;
  }
}

// Both instances asked at once for the thumbnail of a photo that has none yet: one makes it (each
// server logs the thumbnails it made), the other waits for its file, and both answer the JPEG.
TEST(ParvaultServersTest, AThumbnailAskedOfBothInstancesAtOnceIsMadeOnce) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string database = DatabaseUri("parvault_thumbnails", error);
  ASSERT_FALSE(database.empty()) << error;
  TempDir dir;
  std::optional<TestResponse> answers[2];
  std::string logs;
  {
    ServerProcess a(PARVAULT_SERVER, SharedArgs(dir, database));
    ServerProcess b(PARVAULT_SERVER, SharedArgs(dir, database));
    ASSERT_GT(a.port(), 0) << a.Errors();
    ASSERT_GT(b.port(), 0) << b.Errors();
    const Session session = SignIn(a.port());
    // Large enough that its making takes a while, so that the two requests meet.
    PhotoRecipe recipe;
    recipe.width = 2400;
    recipe.height = 1600;
    recipe.grain = 4;
    ASSERT_EQ(UploaderPost(a.port(), session, "harbour.jpg", MakeJpeg(recipe)), 200);
    const auto ids = GalleryIds(b.port(), session);
    ASSERT_EQ(ids.size(), 1u);
    std::latch together(2);
    std::vector<std::thread> askers;
    for (const int port : {a.port(), b.port()}) {
      askers.emplace_back([&, port] {
        HttpTestClient client(port);
        together.arrive_and_wait();
        answers[port == a.port() ? 0 : 1] =
            client.Get("/ParvaultAsp2/thumb.asp?id=" + ids[0], {{"Cookie", session.cookie}});
      });
    }
    for (auto& asker : askers) asker.join();
    a.Stop();
    b.Stop();  // both stopped: their logs are complete
    logs = a.Errors() + b.Errors();
  }
  for (const auto& answer : answers) {
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->Header("Content-Type"), "image/jpeg");
    EXPECT_EQ(answer->body, answers[0]->body);
  }
  std::size_t made = 0;
  for (auto at = logs.find("thumbnail made"); at != std::string::npos;
       at = logs.find("thumbnail made", at + 1))
    ++made;
  EXPECT_EQ(made, 1u) << logs;
}

TEST(ParvaultServersTest, ALibraryMovesToPostgresqlWithItsIds) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string database = DatabaseUri("parvault_moved", error);
  ASSERT_FALSE(database.empty()) << error;
  TempDir dir;
  const std::string storage = (dir.path() / "storage").string();
  const std::string sqlite = "sqlite:" + storage + "/.parvault-state.db";
  const auto serve = [&](const std::string& where) {
    return std::vector<std::string>{"--listen", "127.0.0.1:0", "--storage", storage,      "--database",
                                    where,      "--user",      "alice",     "--password", "secret"};
  };
  std::vector<std::string> ids;
  {
    ServerProcess before(PARVAULT_SERVER, serve(sqlite));
    const Session session = SignIn(before.port());
    ASSERT_EQ(UploaderPost(before.port(), session, "harbour.jpg", 100), 200);
    ids = GalleryIds(before.port(), session);
  }
  ASSERT_EQ(ids.size(), 1u);
  struct Copy {
    std::string from, to;
    int status;
    const char* says;
  };
  const std::vector<Copy> copies = {
      {sqlite, database, 0, "copied 1 photo record(s)"},
      {sqlite, database, 0, "holds this library already"},
      {"sqlite:" + storage + "/missing.db", database, 1, "no database file"},
  };
  for (const auto& copy : copies) {
    const auto run = RunCommand("", PARVAULT_SERVER,
                                "--copy-database " + ShellQuote(copy.from) + " " + ShellQuote(copy.to));
    EXPECT_EQ(run.status, copy.status) << copy.from;
    EXPECT_NE((run.out + run.err).find(copy.says), std::string::npos) << run.out << run.err;
  }
  ServerProcess after(PARVAULT_SERVER, serve(database));
  EXPECT_EQ(GalleryIds(after.port(), SignIn(after.port())), ids) << "the photo keeps its id";
}

}  // namespace
}  // namespace wharfling::testing
