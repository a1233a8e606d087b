// wharfling exchange: one page request as a driver makes it, printed as JSON.

#include <optional>
#include <string>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/json_output.h"
#include "apps/wharfling/response_json.h"
#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "web/web_client.h"

namespace wharfling::cli {
namespace {

constexpr Option kOptions[] = {
    {"--profile", "msie6|msie7", "the client identity and header set (default msie6)"},
    {"--method", "GET|POST", "the request method (default GET)"},
    {"--body", "TEXT", "the request body, sent as CP932"},
    {"--header", "LINE", "one more request header line"},
    {"--secure", "", "use TLS (the https flag of the exchange)"},
    {"--system-proxy", "", "use the system's proxy settings instead of a direct connection"},
};

int Run(const ParsedArgs& args) {
  const RequestProfile* profile = &Msie6Profile();
  if (const auto name = args.Value("--profile")) {
    if (*name == "msie7") {
      profile = &Msie7Profile();
    } else if (*name != "msie6") {
      return UsageError(kExchangeCommand, "--profile takes msie6 or msie7");
    }
  }
  Method method = Method::kGet;
  if (const auto name = args.Value("--method")) {
    if (*name == "POST") {
      method = Method::kPost;
    } else if (*name != "GET") {
      return UsageError(kExchangeCommand, "--method takes GET or POST");
    }
  }
  const std::string body = posix::Utf8ToCp932(args.Value("--body").value_or(""));
  std::optional<std::string> header;
  if (const auto line = args.Value("--header")) header = posix::Utf8ToCp932(*line);
  std::uint32_t flags = kFlagNoAutoRedirect;
  if (args.Has("--secure")) flags |= kFlagSecure;
  const AccessMode access = args.Has("--system-proxy") ? AccessMode::kSystemSettings : AccessMode::kDirect;

  posix::CurlTransport transport;
  posix::PosixTextCodec codec;
  WebClient client(transport, codec);
  const bool ok =
      client.HttpExchange(*profile, posix::Utf8ToCp932(args.operands[0]), method, flags, body,
                          header ? std::optional<std::string_view>(*header) : std::nullopt, access);
  // A reply to a request whose body broke off is shown, but the exchange did not succeed.
  const bool whole = ok && !client.trouble().incompleteSend;
  WriteResponseJson(stdout, whole, client.lastError(), client.lastResponse());
  return whole ? 0 : 1;
}

}  // namespace

const Command kExchangeCommand{
    "exchange",
    "URL",
    "make one page request as a driver does and print the response as JSON",
    kOptions,
    "Redirects are not followed. Exit status: 0 when the request went out whole and a response\n"
    "came back, 1 when the exchange failed or the request went out incomplete (the reply is still\n"
    "shown), 64 for bad usage.",
    Run};

}  // namespace wharfling::cli
