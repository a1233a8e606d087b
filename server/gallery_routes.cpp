#include "server/gallery_routes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "server/browser_upload.h"
#include "server/folder_files.h"
#include "server/form_decoding.h"
#include "server/gallery_assets.h"
#include "server/gallery_messages.h"
#include "server/gallery_pages.h"
#include "server/http_connection.h"
#include "server/pages.h"
#include "server/response_headers.h"
#include "server/thumbnails.h"
#include "server/unique_fd.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxFormBody = 8192;
constexpr std::string_view kSvgType = "image/svg+xml";

void AnswerHtml(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_content(html, std::string(kUtf8HtmlContentType));
}

void AnswerStatus(httplib::Response& res, int status, std::string_view text) {
  AnswerHtml(res, status,
             "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + std::string(text) +
                 "</title><link rel=\"stylesheet\" href=\"gallery.css\"></head>\n<body><main><p>" +
                 std::string(text) +
                 "</p><p><a href=\"menu.asp\">Back to the photos</a></p></main></body></html>\n");
}

// After a change: the browser goes to the page with GET, so a reload does not repeat the change.
void SeeOther(httplib::Response& res, const std::string& location) {
  res.status = 303;
  res.set_header("Location", location);
  res.set_content("", "text/plain");
}

// Streams the stored file from disk, so a large photo is never held in memory whole.
bool AnswerFile(httplib::Response& res, int folder, const std::string& name, const std::string& type) {
  auto file = std::make_shared<UniqueFd>(OpenForReading(folder, name));
  struct stat info {};
  if (!file->valid() || ::fstat(file->get(), &info) != 0) return false;
  res.status = 200;
  res.set_content_provider(static_cast<std::size_t>(info.st_size), type,
                           [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             std::array<char, 65536> buffer{};
                             const ssize_t got =
                                 ::pread(file->get(), buffer.data(), std::min(length, buffer.size()),
                                         static_cast<off_t>(offset));
                             if (got <= 0) return false;
                             return sink.write(buffer.data(), static_cast<std::size_t>(got));
                           });
  return true;
}

int PageNumber(const httplib::Request& req) {
  const std::string text = req.get_param_value("page");
  int page = 1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), page);
  return ec == std::errc() && end == text.data() + text.size() && page >= 1 ? page : 1;
}

// The body of a small url-encoded form; nothing when it is larger than any form of these pages.
std::optional<std::string> ReadSmallForm(const httplib::Request& req, const httplib::ContentReader& reader) {
  std::string body;
  if (req.is_multipart_form_data()) return std::nullopt;
  const bool complete = reader([&](const char* data, std::size_t size) {
    body.append(data, size);
    return body.size() <= kMaxFormBody;
  });
  if (!complete) return std::nullopt;
  return body;
}

}  // namespace

GalleryRoutes::GalleryRoutes(PhotoLibrary& library, const CsrfTokens& csrf, GallerySettings settings)
    : library_(library), csrf_(csrf), settings_(settings) {}

bool GalleryRoutes::IsGetPage(std::string_view page) {
  return page == "menu.asp" || page == "photo.asp" || page == "image.asp" || page == "download.asp" ||
         page == "thumb.asp" || page == "delete.asp" || page == "gallery.css";
}

bool GalleryRoutes::IsPostPage(std::string_view page) { return page == "upload.asp" || page == "delete.asp"; }

std::uint64_t GalleryRoutes::BodyCap(std::string_view page) const {
  if (page == "upload.asp") return kMaxBrowserFiles * (settings_.maxFileSize + kEnvelopeAllowance);
  return kMaxFormBody;
}

void GalleryRoutes::Get(std::string_view page, const std::optional<SignedIn>& user,
                        const httplib::Request& req, httplib::Response& res, std::string& outcome) {
  if (page == "gallery.css") {
    res.set_content(std::string(GalleryStylesheet()), "text/css; charset=UTF-8");
    return;
  }
  if (!user) {
    // A page goes to the sign-in (the gallery shows it); a picture is simply not there.
    if (page == "photo.asp" || page == "delete.asp") {
      SeeOther(res, "menu.asp");
    } else {
      AnswerStatus(res, 404, "Not found.");
    }
    outcome = "not signed in";
    return;
  }
  outcome = "user=" + user->account;
  if (page == "menu.asp") return Gallery(*user, req, res);
  const auto photo = library_.Find(user->account, req.get_param_value("id"));
  if (!photo) {
    AnswerStatus(res, 404, "There is no such photo.");
    outcome += " no such photo";
    return;
  }
  const std::string csrf = csrf_.For(user->sessionToken);
  if (page == "photo.asp") {
    AnswerHtml(res, 200, PhotoPage(user->account, csrf, *photo));
  } else if (page == "delete.asp") {
    AnswerHtml(res, 200, DeleteConfirmPage(user->account, csrf, *photo));
  } else if (page == "thumb.asp") {
    Thumbnail(*user, *photo, res);
  } else {
    std::string error;
    const UniqueFd folder = library_.store().OpenFolder(user->account, false, error);
    const bool shownInline = page == "image.asp" && !photo->contentType.empty();
    const std::string type = shownInline ? photo->contentType : "application/octet-stream";
    if (!folder.valid() || !AnswerFile(res, folder.get(), photo->name, type)) {
      AnswerStatus(res, 404, "There is no such photo.");
      return;
    }
    if (!shownInline) res.set_header("Content-Disposition", AttachmentDisposition(photo->name));
    res.set_header("Cache-Control", "private, no-cache");
  }
}

void GalleryRoutes::Gallery(const SignedIn& user, const httplib::Request& req, httplib::Response& res) {
  const auto photos = library_.List(user.account);
  GalleryView view;
  view.account = user.account;
  view.csrf = csrf_.For(user.sessionToken);
  view.totalCount = photos.size();
  for (const auto& photo : photos) view.totalBytes += photo.size;
  const std::size_t perPage = static_cast<std::size_t>(std::max(settings_.photosPerPage, 1));
  view.pageCount = static_cast<int>(std::max<std::size_t>(1, (photos.size() + perPage - 1) / perPage));
  view.page = std::min(PageNumber(req), view.pageCount);
  const std::size_t first = static_cast<std::size_t>(view.page - 1) * perPage;
  const std::size_t last = std::min(photos.size(), first + perPage);
  view.photos.assign(photos.begin() + static_cast<std::ptrdiff_t>(first),
                     photos.begin() + static_cast<std::ptrdiff_t>(last));
  view.message = GalleryMessage(req.params, settings_.maxFileSize, settings_.quota.value_or(0));
  AnswerHtml(res, 200, GalleryPage(view));
}

void GalleryRoutes::Thumbnail(const SignedIn& user, const PhotoRecord& photo, httplib::Response& res) {
  std::string error;
  const UniqueFd folder = library_.store().OpenFolder(user.account, false, error);
  res.set_header("Cache-Control", "private, max-age=86400");
  if (folder.valid() && !photo.contentType.empty() && photo.thumbnail != kNoThumbnail) {
    const std::string name = ThumbnailNameFor(photo.id);
    if (AnswerFile(res, folder.get(), name, "image/jpeg")) return;
    // Not made yet (or removed by hand): made now, kept beside the photo.
    const UniqueFd original(OpenForReading(folder.get(), photo.name));
    std::string why;
    const auto bytes = original.valid() ? MakeThumbnail(original.get(), kThumbnailSize, why) : std::nullopt;
    if (bytes && WriteFileAtomically(folder.get(), name, *bytes, error)) {
      library_.SetThumbnail(user.account, photo.id, name);
      // Deleted while its thumbnail was being made: the thumbnail goes too.
      if (!library_.Find(user.account, photo.id)) ::unlinkat(folder.get(), name.c_str(), 0);
      res.set_content(*bytes, "image/jpeg");
      return;
    }
    if (original.valid() && !bytes) library_.SetThumbnail(user.account, photo.id, kNoThumbnail);
  }
  res.set_content(std::string(NeutralTileSvg()), std::string(kSvgType));
}

void GalleryRoutes::Post(std::string_view page, const std::optional<SignedIn>& user,
                         const httplib::Request& req, httplib::Response& res,
                         const httplib::ContentReader& reader, std::string& outcome) {
  if (!user) {
    AnswerStatus(res, 403, "Please sign in first.");
    ConnectionServer::CloseAfterResponse(true);
    outcome = "not signed in";
    return;
  }
  outcome = "user=" + user->account;
  if (page == "upload.asp") {
    Upload(*user, req, res, reader, outcome);
  } else {
    Delete(*user, req, res, reader, outcome);
  }
}

void GalleryRoutes::Upload(const SignedIn& user, const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& reader, std::string& outcome) {
  if (!req.is_multipart_form_data()) {
    AnswerStatus(res, 400, "That was not an upload form.");
    ConnectionServer::CloseAfterResponse();
    outcome += " not a form";
    return;
  }
  std::optional<std::uint64_t> room;
  if (settings_.quota) room = *settings_.quota - std::min(*settings_.quota, library_.BytesUsed(user.account));
  BrowserUploadReceiver receiver(
      library_.store(), user.account, settings_.maxFileSize, room,
      [&](std::string_view token) { return csrf_.Matches(user.sessionToken, token); });
  const bool complete = reader(
      [&](const httplib::MultipartFormData& part) { return receiver.BeginPart(part.name, part.filename); },
      [&](const char* data, std::size_t size) { return receiver.Append(data, size); });
  if (!complete) ConnectionServer::CloseAfterResponse();
  const auto result = receiver.Finish(complete);
  if (!result.csrfOk) {
    AnswerStatus(res, 403, "This form has expired. Please reload the page and try again.");
    outcome += " refused: no CSRF token";
    return;
  }
  UploadTally tally;
  tally.leftOut = result.leftOut;
  for (const auto& file : result.files) {
    if (file.refusal) {
      ++tally.refused;
      if (!tally.firstRefusal) tally.firstRefusal = file.refusal;
      continue;
    }
    library_.NotePublished(user.account, file.storedName);
    ++tally.stored;
  }
  SeeOther(res, "menu.asp" + UploadTallyQuery(tally));
  outcome += " stored " + std::to_string(tally.stored) + ", refused " + std::to_string(tally.refused);
}

void GalleryRoutes::Delete(const SignedIn& user, const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& reader, std::string& outcome) {
  const auto body = ReadSmallForm(req, reader);
  if (!body) {
    AnswerStatus(res, 400, "That was not a delete form.");
    ConnectionServer::CloseAfterResponse();
    outcome += " unreadable form";
    return;
  }
  const std::string token = FindFormField(*body, kCsrfField).value_or("");
  if (!csrf_.Matches(user.sessionToken, token)) {
    AnswerStatus(res, 403, "This form has expired. Please reload the page and try again.");
    outcome += " refused: no CSRF token";
    return;
  }
  const std::string id = FindFormField(*body, "id").value_or("");
  if (FindFormField(*body, "confirm").value_or("") != "yes") {
    if (!IsPhotoId(id)) {
      AnswerStatus(res, 404, "There is no such photo.");
      return;
    }
    SeeOther(res, "delete.asp?id=" + id);
    return;
  }
  if (!library_.Remove(user.account, id)) {
    AnswerStatus(res, 404, "There is no such photo.");
    outcome += " no such photo";
    return;
  }
  SeeOther(res, "menu.asp?deleted=1");
  outcome += " deleted " + id;
}

}  // namespace wharfling::server
