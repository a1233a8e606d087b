#include "web/web_client.h"

#include <algorithm>
#include <limits>

#include "session/file_bytes.h"
#include "web/multipart_body.h"
#include "web/page_tools.h"
#include "web/request_headers.h"
#include "web/response_chunks.h"
#include "web/url_parts.h"

namespace wharfling {
namespace {

constexpr std::string_view kFormContentTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr std::string_view kUnreadableFile = "the photo cannot be read";
constexpr std::string_view kUnsplittableUrl =
    "the URL cannot be split (not http or https, or a part too long)";

// The request's place on the network; nothing when the URL cannot be split.
std::optional<HttpRequest> Address(std::string_view url, Method method, std::uint32_t requestFlags,
                                   AccessMode access) {
  const auto parts = SplitUrl(url);
  if (!parts) return std::nullopt;
  HttpRequest request;
  // An https URL is never sent in clear: its scheme asks for the secure channel as the flag does.
  request.secure = (requestFlags & kFlagSecure) != 0 || parts->scheme == "https";
  request.host = parts->host;
  request.port = parts->port;
  request.method = method;
  request.target = parts->Target();
  request.access = access;
  return request;
}

}  // namespace

WebClient::WebClient(HttpTransport& transport, const TextCodec& codec)
    : transport_(transport), codec_(codec) {}

bool WebClient::HttpExchange(const RequestProfile& profile, std::string_view url, Method method,
                             std::uint32_t requestFlags, std::string_view body,
                             std::optional<std::string_view> extraHeader, AccessMode access) {
  lastResponse_ = {};
  auto request = Address(url, method, requestFlags, access);
  if (!request) return Fail(kUnsplittableUrl);
  if (method == Method::kPost) request->body = body;
  return Perform(*request, profile, method == Method::kPost ? kFormContentTypeLine : std::string_view(),
                 extraHeader);
}

bool WebClient::SendUpload(UploadSender sender, std::string_view url, std::uint32_t requestFlags,
                           std::optional<std::string_view> extraHeader, const std::string& filePath,
                           const FormFields& fields) {
  lastResponse_ = {};
  auto request = Address(url, Method::kPost, requestFlags, AccessMode::kDirect);
  if (!request) return Fail(kUnsplittableUrl);
  // A value under a name the form lacks would be dropped without a trace.
  for (const FormField& field : fields) {
    if (!SenderTakesField(sender, field.name)) {
      return Fail("the " + std::string(UploadSenderName(sender)) + " form has no field \"" +
                  std::string(field.name) + "\"");
    }
  }
  // The photo is read whole just before the send, straight into its place in the body, so that it is
  // held once; a file gone or unreadable since screening fails the send rather than posting a body
  // with missing bytes.
  const bool sendsFile = SenderSendsFile(sender);
  FileContent file;
  std::string prepared;
  if (sendsFile && !PhotoContent(filePath, prepared, file)) return false;
  const Text pathText = sendsFile ? codec_.PathToText(filePath) : Text();
  const std::optional<MultipartBody> body = BuildUploadBody(sender, pathText, file, fields);
  if (!body) return Fail(kUnreadableFile);
  request->body = body->bytes();
  return Perform(*request, UploadProfileOf(sender), kMultipartContentTypeLine, extraHeader,
                 sendsFile ? &filePath : nullptr);
}

bool WebClient::PhotoContent(const std::string& filePath, std::string& prepared, FileContent& file) {
  photoRefusal_ = {};
  std::uint64_t size = 0;
  if (!ReadFileBytes(filePath, size) || size > std::numeric_limits<std::size_t>::max()) {
    return Fail(kUnreadableFile);
  }
  if (preparer_ != nullptr && AnyPhotoRule(photoRules_)) {
    PreparedPhoto photo = PreparePhoto(*preparer_, filePath, size, photoRules_);
    if (photo.failed) {
      if (!photo.reason.empty()) photoRefusal_ = {filePath, photo.reason};
      return Fail(photo.detail);
    }
    if (photo.bytes) {
      // A changed photo is held twice for a moment: here and in the body.
      prepared = std::move(*photo.bytes);
      file.size = prepared.size();
      file.fill = [&prepared](std::span<char> place) {
        std::copy(prepared.begin(), prepared.end(), place.begin());
        return true;
      };
      return true;
    }
  }
  file.size = static_cast<std::size_t>(size);
  file.fill = [&filePath](std::span<char> place) { return ReadFileInto(filePath, place); };
  return true;
}

bool WebClient::Perform(HttpRequest& request, const RequestProfile& profile, std::string_view contentTypeLine,
                        std::optional<std::string_view> extraHeader, const std::string* photoPath) {
  // A run already stopped sends nothing more.
  if (cancel_ != nullptr && cancel_->requested()) return Fail("cancelled");
  RequestHeaders headers;
  for (const auto line : profile.headerLines) headers.Add(line);
  if (!contentTypeLine.empty()) headers.Add(contentTypeLine);
  if (extraHeader) headers.Add(*extraHeader);
  request.userAgent = profile.userAgent;
  request.headerLines = headers.lines();
  request.cancel = cancel_;
  request.deadline = deadline_;
  if (photoPath != nullptr && uploadProgress_) {
    request.onBodyProgress = [this, photoPath](std::uint64_t sent, std::uint64_t total) {
      uploadProgress_(*photoPath, sent, total);
    };
  }

  HttpResponse response = transport_.Perform(request);
  if (!response.sent) return Fail(response.error.empty() ? "not sent" : response.error);
  lastError_.clear();
  if (response.requestIncomplete) {
    // The reply stays readable (a refusal keeps its reason), but the send is not whole.
    Fail(response.error.empty() ? "the request went out incomplete" : response.error);
    trouble_.incompleteSend = true;
  }
  lastResponse_.HeaderBlocks.push_back(std::move(response.headerBlock));
  lastResponse_.BodyChunks = SplitIntoReads(response.body);
  return true;
}

bool WebClient::Fail(std::string_view why) {
  lastError_ = why;
  if (trouble_.reason.empty()) trouble_.reason = why;
  return false;
}

Text WebClient::PageText() const {
  Text text;
  JoinChunks(lastResponse_.BodyChunks, text);
  return text;
}

Text WebClient::HeaderText() const {
  Text text;
  JoinChunks(lastResponse_.HeaderBlocks, text);
  return text;
}

}  // namespace wharfling
