// The in-house server under load, run as its own process so that its memory is its own: an upload's
// round trip on a kept-alive connection, parallel photo uploads, memory under floods, a crowd of
// connections, and the stop. Run: build/release/bench/wharfling_bench --benchmark_filter=Server
#ifdef PARVAULT_SERVER

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/state/pg_connection.h"
#include "tests/support/test_photos.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::string_view kBoundary = "---------------------------7d432817150952";

// A parvault-server process on a free loopback port with a storage folder of its own.
class ServerProcess {
 public:
  // `under`: the folder the storage goes in (/dev/shm: in memory, where a flush costs nothing).
  // `prepare` fills the storage folder before the server starts. Accounts "bench" and "other".
  // `storage`, when given, is the storage folder instead of one of its own; `extra` more options.
  explicit ServerProcess(const std::string& under = "/tmp",
                         const std::function<void(const std::filesystem::path&)>& prepare = {},
                         const std::vector<std::string>& extra = {}, std::string storage = {}) {
    std::string pattern = under + "/server-bench-XXXXXX";
    dir_ = ::mkdtemp(pattern.data());
    std::ofstream(dir_ + "/password") << "bench pass\n";
    if (storage.empty()) storage = dir_ + "/storage";
    if (prepare) prepare(storage);
    std::vector<std::string> args = {
        PARVAULT_SERVER, "--listen",        "127.0.0.1:0",     "--storage",        storage,
        "--user",        "bench",           "--password-file", dir_ + "/password", "--user",
        "other",         "--password-file", dir_ + "/password"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/log").c_str(), O_WRONLY | O_CREAT, 0600);
    if (posix_spawn(&pid_, PARVAULT_SERVER, &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    port_ = std::atoi(line.substr(line.rfind(':') + 1).c_str());
  }
  ~ServerProcess() {
    if (pid_ > 0) Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  int port() const { return port_; }
  // A field of /proc/PID/status in MB: "VmRSS", "VmHWM" (the peak).
  double MemoryMb(const char* field) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with(field)) return std::atof(line.substr(line.find(':') + 1).c_str()) / 1024.0;
    }
    return 0;
  }
  // SIGTERM; the seconds until the process has ended.
  double Stop() {
    const auto start = Clock::now();
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int port_ = -1;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
  if (out != nullptr) static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// One exchange on a kept handle; returns the status (0: no answer) and the body and head.
long Exchange(CURL* curl, const std::string& url, const std::string* body, const std::string& type,
              const std::string& cookie, std::string* page = nullptr, std::string* head = nullptr) {
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, page);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, head);
  curl_slist* lines = curl_slist_append(nullptr, "Expect:");
  if (!cookie.empty()) lines = curl_slist_append(lines, ("Cookie: " + cookie).c_str());
  if (body != nullptr) {
    lines = curl_slist_append(lines, ("Content-Type: " + type).c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
  long status = 0;
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(lines);
  return status;
}

std::string Url(int port, const std::string& page) {
  return "http://127.0.0.1:" + std::to_string(port) + "/ParvaultAsp2/" + page;
}

std::string SignIn(int port, const std::string& user = "bench") {
  CURL* curl = curl_easy_init();
  std::string head;
  const std::string form = "username=" + user + "&password=bench+pass&x=52&y=15";
  Exchange(curl, Url(port, "logincheck2.asp"), &form, "application/x-www-form-urlencoded", "", nullptr,
           &head);
  curl_easy_cleanup(curl);
  const std::size_t at = head.find("PVSESSION=");
  return at == std::string::npos ? "" : head.substr(at, head.find(';', at) - at);
}

// The uploader's body for one photo.
std::string UploadBody(const std::string& name, const std::string& bytes) {
  return "--" + std::string(kBoundary) +
         "\r\nContent-Disposition: form-data; name=\"DataFile\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n--" + std::string(kBoundary) +
         "--\r\n";
}
const std::string kUploadType = "multipart/form-data; boundary=" + std::string(kBoundary);

// `window`: a small receive buffer, for a client that reads nothing and so holds the answer back.
int Connect(int port, const char* from, int window = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (window > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (from != nullptr) {
    ::inet_pton(AF_INET, from, &address.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

// One request from `from` on its own connection; the whole answer.
std::string RawExchange(int port, const char* from, const std::string& request) {
  const int fd = Connect(port, from);
  if (fd < 0) return {};
  SendAll(fd, request);
  std::string answer;
  char buffer[65536];
  pollfd entry{fd, POLLIN, 0};
  while (::poll(&entry, 1, 5000) > 0) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return answer;
}

std::string RawPost(const std::string& page, const std::string& headers, const std::string& body) {
  return "POST /ParvaultAsp2/" + page + " HTTP/1.1\r\nHost: b\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// On disk, every stored upload waits for two flushes (the file and its folder); in memory they cost
// nothing, which leaves the exchange itself.
void ServerUploadRoundTrip(benchmark::State& state) {
  ServerProcess server(state.range(0) == 0 ? "/tmp" : "/dev/shm");
  state.SetLabel(state.range(0) == 0 ? "storage on disk" : "storage in memory");
  const std::string cookie = SignIn(server.port());
  const std::string body = UploadBody("C:\\p\\small.jpg", std::string(1024, 's'));
  CURL* curl = curl_easy_init();
  for (auto _ : state) {
    if (Exchange(curl, Url(server.port(), "InsertFile.asp"), &body, kUploadType, cookie) != 200) {
      state.SkipWithError("upload refused");
      break;
    }
  }
  curl_easy_cleanup(curl);
}
BENCHMARK(ServerUploadRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::unique_ptr<ServerProcess> g_shared;
std::string g_cookie;

void ServerParallelPhotoUploads(benchmark::State& state) {
  if (state.thread_index() == 0) {
    g_shared = std::make_unique<ServerProcess>();
    g_cookie = SignIn(g_shared->port());
  }
  const std::string body = UploadBody("C:\\p\\photo.jpg", std::string(4000000, 'p'));
  CURL* curl = curl_easy_init();
  for (auto _ : state) {
    if (Exchange(curl, Url(g_shared->port(), "InsertFile.asp"), &body, kUploadType, g_cookie) != 200) {
      state.SkipWithError("upload refused");
      break;
    }
  }
  curl_easy_cleanup(curl);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4000000);
  if (state.thread_index() == 0) {
    state.counters["server_peak_MB"] = g_shared->MemoryMb("VmHWM");
    g_shared.reset();
  }
}
BENCHMARK(ServerParallelPhotoUploads)->Threads(8)->UseRealTime()->MinTime(20)->Unit(benchmark::kMillisecond);

// A schema of its own, dropped at the end, in the PostgreSQL database that WHARFLING_BENCH_POSTGRES_URI
// names (a postgresql:// URI, such as postgresql://wharfling@/postgres?host=DIR for the private
// cluster tests/state/start_private_postgres.sh DIR starts); database() is the --database for it.
class BenchSchema {
 public:
  explicit BenchSchema(const std::string& name) {
    const char* uri = std::getenv("WHARFLING_BENCH_POSTGRES_URI");
    if (uri == nullptr) {
      why_ = "no PostgreSQL: set WHARFLING_BENCH_POSTGRES_URI to a postgresql:// URI";
      return;
    }
    try {
      wharfling::server::state::PgConnection(uri).Exec("CREATE SCHEMA " + name);
    } catch (const wharfling::server::state::PgError& e) {
      why_ = std::string("no PostgreSQL at WHARFLING_BENCH_POSTGRES_URI: ") + e.what();
      return;
    }
    uri_ = uri;
    name_ = name;
    database_ =
        uri_ + (uri_.find('?') == std::string::npos ? "?" : "&") + "options=-c%20search_path%3D" + name;
  }
  ~BenchSchema() {
    if (name_.empty()) return;
    try {
      wharfling::server::state::PgConnection(uri_).Exec("DROP SCHEMA " + name_ + " CASCADE");
    } catch (const wharfling::server::state::PgError&) {
    }
  }
  BenchSchema(const BenchSchema&) = delete;
  BenchSchema& operator=(const BenchSchema&) = delete;
  // "" when there is none; why() says why.
  const std::string& database() const { return database_; }
  const std::string& why() const { return why_; }

 private:
  std::string uri_, name_, database_, why_;
};

// The same 8 uploaders spread over 1 or 2 instances that share one storage folder and one PostgreSQL
// database (a BenchSchema). The time is the wall time per upload of all; upload_ms one upload's
// latency; bytes_per_second the throughput of all.
std::vector<std::unique_ptr<ServerProcess>> g_instances;
std::unique_ptr<BenchSchema> g_instancesSchema;
std::string g_instancesFolder;

void ServerUploadsOverInstances(benchmark::State& state) {
  if (state.thread_index() == 0) {
    g_instancesSchema = std::make_unique<BenchSchema>("parvault_instances_" + std::to_string(::getpid()) +
                                                      "_" + std::to_string(state.range(0)));
    if (g_instancesSchema->database().empty()) {
      state.SkipWithError(g_instancesSchema->why().c_str());
    } else {
      std::string pattern = "/tmp/server-bench-shared-XXXXXX";
      g_instancesFolder = ::mkdtemp(pattern.data());
      for (int i = 0; i < state.range(0); ++i) {
        g_instances.push_back(std::make_unique<ServerProcess>(
            "/tmp", nullptr, std::vector<std::string>{"--database", g_instancesSchema->database()},
            g_instancesFolder));
      }
      g_cookie = SignIn(g_instances[0]->port());
    }
  }
  int port = -1;  // once every thread is past the start, where thread 0 has started the servers
  const std::string body = UploadBody("C:\\p\\photo.jpg", std::string(4000000, 'p'));
  CURL* curl = curl_easy_init();
  Clock::duration spent{};
  for (auto _ : state) {
    const auto start = Clock::now();
    if (port < 0 && g_instances.empty()) {
      state.SkipWithError("the servers did not start");
      break;
    }
    if (port < 0)
      port = g_instances[static_cast<std::size_t>(state.thread_index()) % g_instances.size()]->port();
    if (Exchange(curl, Url(port, "InsertFile.asp"), &body, kUploadType, g_cookie) != 200) {
      state.SkipWithError("upload refused");
      break;
    }
    spent += Clock::now() - start;
  }
  curl_easy_cleanup(curl);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4000000);
  // One upload's round trip as its uploader waits for it, averaged over the uploaders.
  state.counters["upload_ms"] =
      benchmark::Counter(std::chrono::duration<double, std::milli>(spent).count() /
                             static_cast<double>(std::max<std::int64_t>(state.iterations(), 1)),
                         benchmark::Counter::kAvgThreads);
  if (state.thread_index() == 0) {
    g_instances.clear();
    std::error_code ignored;
    if (!g_instancesFolder.empty()) std::filesystem::remove_all(g_instancesFolder, ignored);
    g_instancesSchema.reset();
  }
}
BENCHMARK(ServerUploadsOverInstances)
    ->Arg(1)
    ->Arg(2)
    ->Threads(8)
    ->UseRealTime()
    ->MinTime(10)
    ->Unit(benchmark::kMillisecond);

// 32 connections ask for the stylesheet with an 8 KB many-range header and do not read; 30 uploads
// on each upload route carry 53 MB after their closing line.
void ServerFloodsKeepMemoryFlat(benchmark::State& state) {
  for (auto _ : state) {
    ServerProcess server;
    const std::string cookie = SignIn(server.port());
    CURL* curl = curl_easy_init();
    std::string menu;
    Exchange(curl, Url(server.port(), "menu.asp"), nullptr, "", cookie, &menu);
    curl_easy_cleanup(curl);
    const std::size_t at = menu.find("name=\"csrf\" value=\"") + 19;
    const std::string csrf = menu.substr(at, menu.find('"', at) - at);
    const double before = server.MemoryMb("VmRSS");
    std::string ranges = "bytes=0-";
    while (ranges.size() < 8000) ranges += ",0-";
    std::vector<int> flood;
    for (int i = 0; i < 32; ++i) {
      const int fd = Connect(server.port(), "127.0.0.3");
      SendAll(fd, "GET /ParvaultAsp2/gallery.css HTTP/1.1\r\nHost: b\r\nRange: " + ranges + "\r\n\r\n");
      flood.push_back(fd);
    }
    const std::string epilogue(53u << 20, 'e');
    const std::string uploader = UploadBody("C:\\p\\a.jpg", "tiny") + epilogue;
    const std::string browser = "--" + std::string(kBoundary) +
                                "\r\nContent-Disposition: form-data; name=\"csrf\"\r\n\r\n" + csrf + "\r\n" +
                                UploadBody("b.jpg", "tiny") + epilogue;
    std::atomic<double> peak{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 60; ++i) {
      senders.emplace_back([&, i] {
        const std::string headers = "Content-Type: " + kUploadType + "\r\nCookie: " + cookie + "\r\n";
        RawExchange(
            server.port(), nullptr,
            RawPost(i % 2 == 0 ? "InsertFile.asp" : "upload.asp", headers, i % 2 == 0 ? uploader : browser));
      });
    }
    std::atomic<bool> done{false};
    std::thread sampler([&] {
      while (!done) {
        peak = std::max(peak.load(), server.MemoryMb("VmRSS"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    for (auto& sender : senders) sender.join();
    done = true;
    sampler.join();
    for (const int fd : flood) ::close(fd);
    state.counters["rss_before_MB"] = before;
    state.counters["rss_growth_MB"] = peak - before;
  }
}
BENCHMARK(ServerFloodsKeepMemoryFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// 300 idle and 50 slow-header connections from 127.0.0.1, 1,100 idle ones from 40 other addresses;
// meanwhile a user from yet another address signs in, uploads and signs out.
void ServerCrowdLeavesRoomForAUser(benchmark::State& state) {
  for (auto _ : state) {
    ServerProcess server;
    std::vector<int> crowd;
    for (int i = 0; i < 350; ++i) {
      const int fd = Connect(server.port(), nullptr);
      if (fd >= 0 && i >= 300) SendAll(fd, "GET / HTTP/1.1\r\nHost: b\r\n");
      crowd.push_back(fd);
    }
    for (int i = 0; i < 1100; ++i) {
      const std::string from = "127.0.1." + std::to_string(1 + i % 40);
      crowd.push_back(Connect(server.port(), from.c_str()));
    }
    const char* user = "127.0.2.1";
    const auto start = Clock::now();
    const std::string signIn =
        RawExchange(server.port(), user,
                    RawPost("logincheck2.asp", "Content-Type: application/x-www-form-urlencoded\r\n",
                            "username=bench&password=bench+pass&x=52&y=15"));
    const std::size_t at = signIn.find("PVSESSION=");
    const std::string cookie = at == std::string::npos ? "" : signIn.substr(at, signIn.find(';', at) - at);
    const std::string upload = RawExchange(
        server.port(), user,
        RawPost("InsertFile.asp", "Content-Type: " + kUploadType + "\r\nCookie: " + cookie + "\r\n",
                UploadBody("C:\\p\\user.jpg", std::string(100000, 'u'))));
    RawExchange(server.port(), user,
                "GET /ParvaultAsp2/logout2.asp HTTP/1.1\r\nHost: b\r\nCookie: " + cookie +
                    "\r\nConnection: close\r\n\r\n");
    state.counters["user_s"] = std::chrono::duration<double>(Clock::now() - start).count();
    if (cookie.empty() || upload.find("200 OK") == std::string::npos)
      state.SkipWithError("the user was shut out");
    for (const int fd : crowd) {
      if (fd >= 0) ::close(fd);
    }
  }
}
BENCHMARK(ServerCrowdLeavesRoomForAUser)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A picture of plain pixels, quick to store and slow to decode.
std::string LargePng(int side) {
  VipsImage* black = nullptr;
  void* buffer = nullptr;
  std::size_t length = 0;
  vips_black(&black, side, side, "bands", 3, nullptr);
  vips_pngsave_buffer(black, &buffer, &length, "compression", 1, nullptr);
  g_object_unref(black);
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

// Downloads to clients that do not read and 12 thumbnails of large pictures under way: SIGTERM, then
// the stop takes the grace (5 s) at most, and a little more.
void ServerStopsWithinItsGrace(benchmark::State& state) {
  if (VIPS_INIT("server_bench") != 0) state.SkipWithError("libvips did not start");
  for (auto _ : state) {
    ServerProcess server;
    const std::string cookie = SignIn(server.port());
    CURL* curl = curl_easy_init();
    const std::string big = UploadBody("C:\\p\\big.bin", std::string(3900000, 'b'));
    Exchange(curl, Url(server.port(), "InsertFile.asp"), &big, kUploadType, cookie);
    const std::string png = LargePng(7000);
    for (int i = 0; i < 12; ++i) {
      const std::string body = UploadBody("C:\\p\\large" + std::to_string(i) + ".png", png);
      Exchange(curl, Url(server.port(), "InsertFile.asp"), &body, kUploadType, cookie);
    }
    std::string menu;
    Exchange(curl, Url(server.port(), "menu.asp"), nullptr, "", cookie, &menu);
    curl_easy_cleanup(curl);
    std::vector<std::string> ids;
    for (std::size_t at = menu.find("photo.asp?id="); at != std::string::npos;
         at = menu.find("photo.asp?id=", at + 1)) {
      ids.push_back(menu.substr(at + 13, 32));
    }
    std::vector<int> stuck;
    for (const auto& id : ids) {
      for (const char* page : {"download.asp", "thumb.asp"}) {
        const int fd = Connect(server.port(), nullptr, 4096);
        SendAll(fd, std::string("GET /ParvaultAsp2/") + page + "?id=" + id +
                        " HTTP/1.1\r\nHost: b\r\nCookie: " + cookie + "\r\n\r\n");
        stuck.push_back(fd);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    state.counters["stop_s"] = server.Stop();
    for (const int fd : stuck) ::close(fd);
  }
}
BENCHMARK(ServerStopsWithinItsGrace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// One account of 100,000 photos, as files in its folder that the server's start gives records
// (the 24 newest are small JPEGs, the rest a few bytes each): the time to start, the first view of
// the gallery page with its 24 thumbnails (made then), each later view (the figure), another
// account's page meanwhile, and the server's peak memory. The state in SQLite in the storage
// folder, or in PostgreSQL (a BenchSchema).
void ServerLargeGallery(benchmark::State& state, bool postgres) {
  std::optional<BenchSchema> schema;
  std::vector<std::string> extra;
  if (postgres) {
    schema.emplace("parvault_gallery_" + std::to_string(::getpid()));
    if (schema->database().empty()) {
      state.SkipWithError(schema->why().c_str());
      return;
    }
    extra = {"--database", schema->database()};
  }
  constexpr int kPhotos = 100000;
  constexpr int kPage = 24;
  wharfling::testing::PhotoRecipe recipe;
  recipe.width = 320;
  recipe.height = 240;
  const std::string jpeg = wharfling::testing::MakeJpeg(recipe);
  Clock::time_point filled;
  const auto fill = [&](const std::filesystem::path& storage) {
    const auto folder = storage / "bench";
    std::filesystem::create_directories(folder);
    const auto newest = std::filesystem::file_time_type::clock::now();
    for (int i = 0; i < kPhotos; ++i) {
      const auto name = folder / ("p" + std::to_string(i) + ".jpg");
      std::ofstream(name, std::ios::binary) << (i >= kPhotos - kPage ? jpeg : "x" + std::to_string(i));
      std::filesystem::last_write_time(name, newest - std::chrono::seconds(kPhotos - i));
    }
    filled = Clock::now();
  };
  ServerProcess server("/tmp", fill, extra);
  state.counters["start_s"] = std::chrono::duration<double>(Clock::now() - filled).count();
  const std::string cookie = SignIn(server.port());
  const std::string otherCookie = SignIn(server.port(), "other");
  CURL* curl = curl_easy_init();
  const auto view = [&](double& ms) {
    const auto begin = Clock::now();
    std::string page;
    if (Exchange(curl, Url(server.port(), "menu.asp"), nullptr, "", cookie, &page) != 200) return false;
    int thumbs = 0;
    for (std::size_t at = page.find("thumb.asp?id="); at != std::string::npos;
         at = page.find("thumb.asp?id=", at + 1), ++thumbs) {
      const std::string id = page.substr(at + 13, 32);
      if (Exchange(curl, Url(server.port(), "thumb.asp?id=" + id), nullptr, "", cookie) != 200) return false;
    }
    ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    return thumbs == kPage;
  };
  double firstMs = 0;
  if (!view(firstMs)) state.SkipWithError("the gallery page or its thumbnails failed");
  state.counters["first_view_ms"] = firstMs;
  CURL* other = curl_easy_init();
  double otherMs = 0;
  int otherViews = 0;
  for (auto _ : state) {
    double ms = 0;
    if (!view(ms)) {
      state.SkipWithError("the gallery page or its thumbnails failed");
      break;
    }
    state.SetIterationTime(ms / 1000.0);
    const auto begin = Clock::now();
    if (Exchange(other, Url(server.port(), "menu.asp"), nullptr, "", otherCookie) != 200) {
      state.SkipWithError("another account's page failed");
      break;
    }
    otherMs += std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    ++otherViews;
  }
  state.counters["other_page_ms"] = otherViews > 0 ? otherMs / otherViews : 0;
  state.counters["peak_mb"] = server.MemoryMb("VmHWM");
  curl_easy_cleanup(other);
  curl_easy_cleanup(curl);
}
BENCHMARK_CAPTURE(ServerLargeGallery, sqlite, false)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ServerLargeGallery, postgres, true)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

#endif  // PARVAULT_SERVER
