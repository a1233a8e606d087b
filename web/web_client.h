#pragma once
// The one way the drivers talk to web sites: page requests (HttpExchange) and photo uploads
// (SendUpload), each one complete synchronous request whose response replaces LastResponse. One
// object serves the whole process, so its LastResponse is the process-wide store.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "photo/photo_preparation.h"
#include "session/cancel_request.h"
#include "text/text_codec.h"
#include "web/http_transport.h"
#include "web/last_response.h"
#include "web/request.h"
#include "web/upload_sender.h"

namespace wharfling {

class WebClient {
 public:
  WebClient(HttpTransport& transport, const TextCodec& codec);

  // One request with the profile's identity, over the secure channel when requestFlags holds
  // kFlagSecure or the URL's scheme is https. True when the request was sent and the response read
  // into LastResponse, whatever its status; false, with LastResponse empty, when the URL cannot be split
  // or the request could not be sent. extraHeader is one header line without CRLF (a "Referer: " line),
  // added last. A POST carries the form-urlencoded Content-Type line, also with an empty body.
  bool HttpExchange(const RequestProfile& profile, std::string_view url, Method method,
                    std::uint32_t requestFlags, std::string_view body,
                    std::optional<std::string_view> extraHeader, AccessMode access);

  // One multipart upload POST through the sender's form, in direct mode. filePath is the native path of
  // the photo, read whole just before the send; the file name sent is its text form. fields are the
  // values the form takes from the driver, by field name. False, with nothing sent and LastResponse
  // empty, when the URL cannot be split, a field is not one the form takes or the file cannot be read;
  // otherwise as HttpExchange. The Mixi confirmation sender reads no file and ignores filePath.
  bool SendUpload(UploadSender sender, std::string_view url, std::uint32_t requestFlags,
                  std::optional<std::string_view> extraHeader, const std::string& filePath,
                  const FormFields& fields = {});

  // The adapter that changes photos' bytes (none: every photo is sent as its file holds it) and the
  // rules it applies to every later upload send.
  void SetPhotoPreparer(PhotoPreparer* preparer) { preparer_ = preparer; }
  bool CanPreparePhotos() const { return preparer_ != nullptr; }
  void SetPhotoRules(const PhotoRules& rules) { photoRules_ = rules; }
  // Whether a photo over the size limit is shrunk to fit rather than sent as it is.
  bool ShrinksToFit() const { return preparer_ != nullptr && photoRules_.fit; }

  // The photo the latest upload send refused to send, and why in its row's words; empty path when
  // it refused none.
  struct PhotoRefusal {
    std::string path;
    Text reason;
  };
  const PhotoRefusal& photoRefusal() const { return photoRefusal_; }

  // Exchanges look at cancel while they run and fail once it is requested, also halfway through a
  // send; none when null. Not owned.
  void SetCancelRequest(const CancelRequest* cancel) { cancel_ = cancel; }
  const CancelRequest* cancelRequest() const { return cancel_; }
  // Exchanges must end by the deadline; none when empty.
  void SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) { deadline_ = deadline; }
  const std::optional<std::chrono::steady_clock::time_point>& deadline() const { return deadline_; }
  // Told, as an upload send's body goes out, the photo's path, the bytes the site has taken and the
  // body's size.
  using UploadProgress =
      std::function<void(const std::string& path, std::uint64_t sent, std::uint64_t total)>;
  void SetUploadProgress(UploadProgress progress) { uploadProgress_ = std::move(progress); }

  // What went wrong in the exchanges and upload sends since the last ClearTrouble: whether a request's
  // body broke off although a reply came (the reply is in LastResponse, and the exchange returned
  // true), and the first failure's reason in the transport's words.
  struct Trouble {
    bool incompleteSend = false;
    std::string reason;
  };
  const Trouble& trouble() const { return trouble_; }
  void ClearTrouble() { trouble_ = {}; }

  const LastResponse& lastResponse() const { return lastResponse_; }
  // Why the latest exchange or upload send failed or went out incomplete, in the transport's words
  // where it got that far; empty after one that succeeded. For reports only: no driver reads it.
  const std::string& lastError() const { return lastError_; }
  // The current page text and header text: the joined lists.
  Text PageText() const;
  Text HeaderText() const;

 private:
  bool Perform(HttpRequest& request, const RequestProfile& profile, std::string_view contentTypeLine,
               std::optional<std::string_view> extraHeader, const std::string* photoPath = nullptr);
  // Keeps why as lastError; false.
  bool Fail(std::string_view why);

  // The photo's content as the body takes it; false, with lastError and any refusal kept, when the
  // photo cannot be sent.
  bool PhotoContent(const std::string& filePath, std::string& prepared, FileContent& file);

  HttpTransport& transport_;
  PhotoPreparer* preparer_ = nullptr;
  PhotoRules photoRules_;
  PhotoRefusal photoRefusal_;
  const TextCodec& codec_;
  LastResponse lastResponse_;
  std::string lastError_;
  const CancelRequest* cancel_ = nullptr;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  UploadProgress uploadProgress_;
  Trouble trouble_;
};

}  // namespace wharfling
