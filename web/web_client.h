#pragma once
// The one way the drivers talk to web sites: page requests (HttpExchange) and photo uploads
// (SendUpload), each one complete synchronous request whose response replaces LastResponse. One
// object serves the whole process, so its LastResponse is the process-wide store.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text_codec.h"
#include "web/http_transport.h"
#include "web/last_response.h"
#include "web/photo_preparation.h"
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
  // the photo, read whole just before the send; the file name sent is its text form. False, with nothing
  // sent and LastResponse empty, when the URL cannot be split or the file cannot be read; otherwise as
  // HttpExchange. The Mixi confirmation sender reads no file and ignores filePath.
  bool SendUpload(UploadSender sender, std::string_view url, std::uint32_t requestFlags,
                  std::optional<std::string_view> extraHeader, const std::string& filePath,
                  std::string_view value1, std::string_view value2, std::string_view value3);

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

  const LastResponse& lastResponse() const { return lastResponse_; }
  // Why the latest exchange or upload send failed, in the transport's words where it got that far;
  // empty after one that succeeded. For reports only: no driver reads it.
  const std::string& lastError() const { return lastError_; }
  // The current page text and header text: the joined lists.
  Text PageText() const;
  Text HeaderText() const;

 private:
  bool Perform(HttpRequest& request, const RequestProfile& profile, std::string_view contentTypeLine,
               std::optional<std::string_view> extraHeader);
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
};

}  // namespace wharfling
