// wharfling send-upload: one photo upload through a site's sender, printed as JSON.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/json_output.h"
#include "apps/wharfling/response_json.h"
#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "web/web_client.h"

namespace wharfling::cli {
namespace {

constexpr Option kOptions[] = {
    {"--sender", "NAME", "the site's upload sender (required; see below)"},
    {"--secure", "", "use TLS"},
    {"--header", "LINE", "one more request header line"},
    {"--field", "NAME=TEXT", "a field of the sender's form and its value (once per field)"},
};

// The senders' forms' fields that take a value, as the help lists them.
std::string FieldsText(UploadSender sender) {
  std::string text;
  for (const std::string_view name : FieldsTakenBy(sender)) text += " " + std::string(name);
  return text.empty() ? " none" : text;
}

int Run(const ParsedArgs& args) {
  const auto name = args.Value("--sender");
  if (!name) return UsageError(kSendUploadCommand, "missing --sender NAME");
  const std::optional<UploadSender> sender = UploadSenderFromName(*name);
  if (!sender) return UsageError(kSendUploadCommand, "unknown sender " + *name);
  std::uint32_t flags = kFlagNoAutoRedirect;
  if (args.Has("--secure")) flags |= kFlagSecure;
  std::optional<std::string> header;
  if (const auto line = args.Value("--header")) header = posix::Utf8ToCp932(*line);
  // The texts the fields point into.
  std::vector<std::pair<std::string, std::string>> given;
  for (const std::string& field : args.Values("--field")) {
    const std::size_t equals = field.find('=');
    if (equals == std::string::npos)
      return UsageError(kSendUploadCommand, "--field needs NAME=TEXT: " + field);
    std::string fieldName = field.substr(0, equals);
    if (!SenderTakesField(*sender, fieldName)) {
      return UsageError(kSendUploadCommand, "the " + *name + " form has no field " + fieldName +
                                                " (its fields:" + FieldsText(*sender) + ")");
    }
    given.emplace_back(std::move(fieldName), posix::Utf8ToCp932(field.substr(equals + 1)));
  }
  FormFields fields;
  for (const auto& [fieldName, value] : given) fields.push_back({fieldName, value});

  posix::CurlTransport transport;
  posix::PosixTextCodec codec;
  WebClient client(transport, codec);
  const bool ok = client.SendUpload(*sender, posix::Utf8ToCp932(args.operands[0]), flags,
                                    header ? std::optional<std::string_view>(*header) : std::nullopt,
                                    args.operands[1], fields);
  // A reply to a request whose body broke off is shown, but the exchange did not succeed.
  const bool whole = ok && !client.trouble().incompleteSend;
  WriteResponseJson(stdout, whole, client.lastError(), client.lastResponse());
  return whole ? 0 : 1;
}

}  // namespace

const Command kSendUploadCommand{
    "send-upload",
    "URL FILE",
    "upload one file through a site's sender and print the response as JSON",
    kOptions,
    "senders: parvault zorg hatena creativepeople photohito mixi-photo mixi-confirm olio\n"
    "         iiiro mypicturetown fueru rakuten picmate snapfish\n"
    "FILE is an empty argument ('') for mixi-confirm, which reads no file.\n"
    "A field of the form not given is sent empty; a NAME the form lacks is refused with those it has.\n"
    "Exit status: 0 when the body went out whole and a response came back, 1 when the send failed\n"
    "or broke off (a reply that came all the same is still shown), 64 for bad usage.",
    Run};

}  // namespace wharfling::cli
