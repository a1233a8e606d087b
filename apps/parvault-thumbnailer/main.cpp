// parvault-thumbnailer: the thumbnail of the picture on standard input, as a JPEG on standard
// output. parvault-server runs it for each thumbnail it makes, so that decoding what people upload
// happens in a small process under tight limits and never in the server.

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "server/thumbnailer/confinement.h"
#include "server/thumbnailer/exit_codes.h"
#include "server/thumbnailer/picture_thumbnail.h"

namespace {

using wharfling::server::kPictureUnreadable;
using wharfling::server::kThumbnailerFailed;
using wharfling::server::kThumbnailMade;

constexpr int kUsage = 64;
constexpr int kLargestSize = 4096;

void PrintHelp() {
  std::printf(
      "usage: parvault-thumbnailer [--size N] < PICTURE > THUMBNAIL.jpg\n"
      "\n"
      "Writes a JPEG of the picture on standard input (JPEG, PNG, GIF, WebP, TIFF...) whose longer\n"
      "side is N pixels (default 320, at most %d), turned as its EXIF orientation says, transparency\n"
      "on white, without metadata. parvault-server runs it for the gallery's thumbnails; it links\n"
      "the image decoders so that the server does not.\n"
      "\n"
      "Before reading, it closes every descriptor but the standard three and limits itself to\n"
      "%llu MiB of address space, %llu seconds of CPU time, files of %llu MiB and no core file.\n"
      "A picture of more than 200 million pixels is refused unread.\n"
      "\n"
      "  --size N     the longer side of the thumbnail\n"
      "  --version    print the version and exit\n"
      "  -h, --help   show this help and exit\n"
      "\n"
      "Exit status: 0 thumbnail written, 1 the picture cannot be read (the reason on standard\n"
      "error), 2 the thumbnailer could not work, 64 bad usage.\n",
      kLargestSize, static_cast<unsigned long long>(wharfling::server::kThumbnailerAddressSpace >> 20),
      static_cast<unsigned long long>(wharfling::server::kThumbnailerCpuSeconds),
      static_cast<unsigned long long>(wharfling::server::kThumbnailerFileSize >> 20));
}

bool ParseSize(std::string_view text, int& size) {
  int value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || value < 1 ||
      value > kLargestSize) {
    return false;
  }
  size = value;
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int size = 320;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      PrintHelp();
      return 0;
    }
    if (argument == "--version") {
      std::printf("parvault-thumbnailer %s\n", WHARFLING_VERSION);
      return 0;
    }
    if (argument == "--size" && i + 1 < argc && ParseSize(argv[i + 1], size)) {
      ++i;
      continue;
    }
    std::fprintf(stderr, "parvault-thumbnailer: bad usage at %s (see --help)\n", argv[i]);
    return kUsage;
  }
  std::string why;
  if (!wharfling::server::ConfineThumbnailer(why)) {
    std::fprintf(stderr, "parvault-thumbnailer: %s\n", why.c_str());
    return kThumbnailerFailed;
  }
  if (!wharfling::server::StartImageLibrary(argv[0])) {
    std::fputs("parvault-thumbnailer: libvips did not start\n", stderr);
    return kThumbnailerFailed;
  }
  const auto thumbnail = wharfling::server::ThumbnailOf(STDIN_FILENO, size, why);
  if (!thumbnail) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return kPictureUnreadable;
  }
  return WriteAll(STDOUT_FILENO, *thumbnail) ? kThumbnailMade : kThumbnailerFailed;
}
