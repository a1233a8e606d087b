// wharfling send-upload: one photo upload through a site's sender, printed as JSON.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/response_json.h"
#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "web/web_client.h"

namespace wharfling::cli {
namespace {

int SendUploadUsage() {
  std::fprintf(stderr,
               "usage: wharfling send-upload --sender NAME [--secure] [--header LINE] [--value1 T]\n"
               "                             [--value2 T] [--value3 T] URL FILE\n"
               "senders: parvault zorg hatena creativepeople photohito mixi-photo mixi-confirm olio\n"
               "         iiiro mypicturetown fueru rakuten picmate snapfish\n"
               "FILE is an empty argument for mixi-confirm, which reads no file\n");
  return kUsageError;
}

}  // namespace

int RunSendUpload(std::span<char*> args) {
  std::optional<UploadSender> sender;
  std::uint32_t flags = kFlagNoAutoRedirect;
  std::optional<std::string> header;
  std::string values[3];
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--sender" && hasValue) {
      sender = UploadSenderFromName(args[++i]);
      if (!sender) return SendUploadUsage();
    } else if (arg == "--secure") {
      flags |= kFlagSecure;
    } else if (arg == "--header" && hasValue) {
      header = posix::Utf8ToCp932(args[++i]);
    } else if (arg == "--value1" && hasValue) {
      values[0] = posix::Utf8ToCp932(args[++i]);
    } else if (arg == "--value2" && hasValue) {
      values[1] = posix::Utf8ToCp932(args[++i]);
    } else if (arg == "--value3" && hasValue) {
      values[2] = posix::Utf8ToCp932(args[++i]);
    } else if (!arg.starts_with("--")) {
      positional.emplace_back(arg);
    } else {
      return SendUploadUsage();
    }
  }
  if (!sender || positional.size() != 2) return SendUploadUsage();

  posix::CurlTransport transport;
  posix::PosixTextCodec codec;
  WebClient client(transport, codec);
  const bool ok = client.SendUpload(*sender, posix::Utf8ToCp932(positional[0]), flags,
                                    header ? std::optional<std::string_view>(*header) : std::nullopt,
                                    positional[1], values[0], values[1], values[2]);
  WriteResponseJson(stdout, ok, client.lastError(), client.lastResponse());
  return ok ? 0 : 1;
}

}  // namespace wharfling::cli
