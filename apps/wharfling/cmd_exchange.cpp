// wharfling exchange: one page request as a driver makes it, printed as JSON.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/response_json.h"
#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "web/web_client.h"

namespace wharfling::cli {
namespace {

int ExchangeUsage() {
  std::fprintf(stderr,
               "usage: wharfling exchange [--profile msie6|msie7] [--method GET|POST] [--body TEXT]\n"
               "                          [--header LINE] [--secure] [--system-proxy] URL\n");
  return kUsageError;
}

}  // namespace

int RunExchange(std::span<char*> args) {
  const RequestProfile* profile = &Msie6Profile();
  Method method = Method::kGet;
  std::string body;
  std::optional<std::string> header;
  std::uint32_t flags = kFlagNoAutoRedirect;
  AccessMode access = AccessMode::kDirect;
  std::optional<std::string> url;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--profile" && hasValue) {
      const std::string_view name = args[++i];
      if (name == "msie6") {
        profile = &Msie6Profile();
      } else if (name == "msie7") {
        profile = &Msie7Profile();
      } else {
        return ExchangeUsage();
      }
    } else if (arg == "--method" && hasValue) {
      const std::string_view name = args[++i];
      if (name == "GET") {
        method = Method::kGet;
      } else if (name == "POST") {
        method = Method::kPost;
      } else {
        return ExchangeUsage();
      }
    } else if (arg == "--body" && hasValue) {
      body = posix::Utf8ToCp932(args[++i]);
    } else if (arg == "--header" && hasValue) {
      header = posix::Utf8ToCp932(args[++i]);
    } else if (arg == "--secure") {
      flags |= kFlagSecure;
    } else if (arg == "--system-proxy") {
      access = AccessMode::kSystemSettings;
    } else if (!arg.starts_with("--") && !url) {
      url = posix::Utf8ToCp932(arg);
    } else {
      return ExchangeUsage();
    }
  }
  if (!url) return ExchangeUsage();

  posix::CurlTransport transport;
  posix::PosixTextCodec codec;
  WebClient client(transport, codec);
  const bool ok =
      client.HttpExchange(*profile, *url, method, flags, body,
                          header ? std::optional<std::string_view>(*header) : std::nullopt, access);
  WriteResponseJson(stdout, ok, client.lastError(), client.lastResponse());
  return ok ? 0 : 1;
}

}  // namespace wharfling::cli
