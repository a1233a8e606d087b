// Peak memory of the client's two large paths, each measured in a child process of its own so that
// the high-water mark is that path's alone: uploading one large photo (the photo should be held once,
// inside the body) and a server sending a body without end (the reply cap must stop it).

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "platform/posix/curl_transport.h"
#include "text/text_codec.h"
#include "web/web_client.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

double PeakRssMiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0 / kMiB;
}

// Runs work in a child and returns its peak RSS in MiB, or -1 when the child failed.
template <typename Work>
double ChildPeakRss(Work work) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const bool ok = work();
    const double peak = ok ? PeakRssMiB() : -1;
    if (::write(fds[1], &peak, sizeof peak) != sizeof peak) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  double peak = -1;
  if (child < 0 || ::read(fds[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return peak;
}

// Takes the body as a transport does, reading every byte, and answers 200.
class ReadingTransport final : public wharfling::HttpTransport {
 public:
  wharfling::HttpResponse Perform(const wharfling::HttpRequest& request) override {
    unsigned sum = 0;
    for (const char c : request.body) sum += static_cast<unsigned char>(c);
    benchmark::DoNotOptimize(sum);
    return {true, "HTTP/1.1 200 OK\r\n", "ok", ""};
  }
};

void BM_UploadPeakMemory(benchmark::State& state) {
  const auto photoBytes = static_cast<std::size_t>(state.range(0));
  const std::string path = "/tmp/wharfling-bench-photo-" + std::to_string(::getpid()) + ".jpg";
  {
    std::ofstream out(path, std::ios::binary);
    const std::string block(1 << 20, '\xAB');
    for (std::size_t written = 0; written < photoBytes; written += block.size()) {
      out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), photoBytes - written)));
    }
  }
  double peak = 0;
  const double baseline = ChildPeakRss([] { return true; });
  for (auto _ : state) {
    peak = ChildPeakRss([&path] {
      ReadingTransport transport;
      wharfling::IdentityTextCodec codec;
      wharfling::WebClient client(transport, codec);
      return client.SendUpload(wharfling::UploadSender::kParvault, "http://www.example.test/InsertFile.asp",
                               wharfling::kFlagNoAutoRedirect, std::nullopt, path);
    });
    if (peak < 0) state.SkipWithError("the upload failed");
  }
  std::remove(path.c_str());
  const double photo = static_cast<double>(photoBytes) / kMiB;
  state.counters["photo_MiB"] = photo;
  state.counters["peak_rss_MiB"] = peak;
  state.counters["baseline_rss_MiB"] = baseline;
  // The target: at most 1.2 times the photo plus 16 MiB.
  state.counters["target_MiB"] = 1.2 * photo + 16;
}
BENCHMARK(BM_UploadPeakMemory)->Arg(30'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A server on 127.0.0.1 that answers one request with a header block and then an endless body.
class EndlessServer {
 public:
  EndlessServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listenFd_, 4);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EndlessServer() {
    ::shutdown(listenFd_, SHUT_RDWR);
    ::close(listenFd_);
    thread_.join();
  }
  std::uint16_t port() const { return port_; }

 private:
  void Serve() {
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) return;
    char request[4096];
    if (::read(fd, request, sizeof request) <= 0) return;
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    const std::string piece(64 * 1024, 'x');
    bool open = ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
    while (open) open = ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) > 0;
    ::close(fd);
  }

  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

void BM_EndlessBodyPeakMemory(benchmark::State& state) {
  double peak = 0;
  for (auto _ : state) {
    peak = ChildPeakRss([] {
      EndlessServer server;
      wharfling::posix::CurlTransportOptions options;
      options.ownCookieStore = true;
      wharfling::posix::CurlTransport transport(options);
      wharfling::IdentityTextCodec codec;
      wharfling::WebClient client(transport, codec);
      const bool sent = client.HttpExchange(wharfling::Msie6Profile(),
                                            "http://127.0.0.1:" + std::to_string(server.port()) + "/",
                                            wharfling::Method::kGet, wharfling::kFlagNoAutoRedirect, "",
                                            std::nullopt, wharfling::AccessMode::kDirect);
      return !sent && client.lastError() == "the reply is larger than 32 MiB";
    });
    if (peak < 0) state.SkipWithError("the endless body was not refused at the cap");
  }
  state.counters["peak_rss_MiB"] = peak;
  state.counters["target_MiB"] = 100;
}
BENCHMARK(BM_EndlessBodyPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
