#include "server/pages/gallery_routes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <memory>
#include <thread>

#include "server/base/unique_fd.h"
#include "server/engine/form_decoding.h"
#include "server/engine/request_bodies.h"
#include "server/library/browser_upload.h"
#include "server/library/folder_files.h"
#include "server/library/thumbnails.h"
#include "server/pages/gallery_assets.h"
#include "server/pages/gallery_messages.h"
#include "server/pages/gallery_pages.h"
#include "server/pages/pages.h"
#include "server/pages/response_headers.h"
#include "server/state/wall_clock.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxFormBody = 8192;
constexpr std::string_view kSvgType = "image/svg+xml";

void AnswerHtml(HttpResponse& res, int status, const std::string& html) {
  res.status = status;
  res.SetContent(html, kUtf8HtmlContentType);
}

void AnswerStatus(HttpResponse& res, int status, std::string_view text) {
  AnswerHtml(res, status,
             "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + std::string(text) +
                 "</title><link rel=\"stylesheet\" href=\"gallery.css\"></head>\n<body><main><p>" +
                 std::string(text) +
                 "</p><p><a href=\"menu.asp\">Back to the photos</a></p></main></body></html>\n");
}

// After a change: the browser goes to the page with GET, so a reload does not repeat the change.
void SeeOther(HttpResponse& res, const std::string& location) {
  res.status = 303;
  res.SetHeader("Location", location);
  res.SetContent("", "text/plain");
}

// Answers with the stored file itself, sent from disk: a large photo is never held in memory.
bool AnswerFile(HttpResponse& res, int folder, const std::string& name, const std::string& type) {
  UniqueFd file(OpenForReading(folder, name));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) return false;
  res.status = 200;
  res.SetFile(std::move(file), static_cast<std::uint64_t>(info.st_size), type);
  return true;
}

int PageNumber(const HttpRequest& req) {
  const std::string text = req.Param("page");
  int page = 1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), page);
  return ec == std::errc() && end == text.data() + text.size() && page >= 1 ? page : 1;
}

// A thumbnail or the tile that stands for good is kept a day; a tile standing in for a thumbnail not
// made yet is not kept, so that the browser asks again.
constexpr std::string_view kKeptImage = "private, max-age=86400";
constexpr std::string_view kPassingImage = "no-store";
// How a request waiting for the thumbnail another one is making looks for it.
constexpr auto kThumbnailPoll = std::chrono::milliseconds(50);
constexpr auto kClaimAgainEvery = std::chrono::milliseconds(500);

void AnswerTile(HttpResponse& res, bool kept) {
  res.SetHeader("Cache-Control", std::string(kept ? kKeptImage : kPassingImage));
  res.SetContent(std::string(NeutralTileSvg()), kSvgType);
}

// Written whole (renamed into place) by whichever server made it, so a file found is complete.
bool AnswerThumbnailFile(int folder, const std::string& name, HttpResponse& res) {
  if (!AnswerFile(res, folder, name, "image/jpeg")) return false;
  res.SetHeader("Cache-Control", std::string(kKeptImage));
  return true;
}

PhotoRecord ToRecord(state::PhotoEntry&& entry) {
  return {std::move(entry.id), std::move(entry.storedName),  entry.size,
          entry.uploadedMs,    std::move(entry.contentType), std::move(entry.thumbnail)};
}

}  // namespace

GalleryRoutes::GalleryRoutes(state::LibraryState& library, const UploadStore& store, const CsrfTokens& csrf,
                             GallerySettings settings)
    : library_(library), store_(store), csrf_(csrf), settings_(settings) {}

std::optional<PhotoRecord> GalleryRoutes::Find(const SignedIn& user, std::string_view id) {
  state::PhotoEntry entry;
  if (!IsPhotoId(id) || library_.FindPhoto(user.account, id, entry) != state::Outcome::kDone)
    return std::nullopt;
  return ToRecord(std::move(entry));
}

// The file goes first, then its record: a photo is never left on disk without one, where it
// would take room nobody could free.
bool GalleryRoutes::Remove(const SignedIn& user, std::string_view id, std::string& detail) {
  const auto photo = Find(user, id);
  if (!photo) return false;
  const UniqueFd folder = store_.OpenFolder(user.account, false, detail);
  if (!folder.valid()) return false;
  if (::unlinkat(folder.get(), photo->name.c_str(), 0) != 0 && errno != ENOENT) {
    detail = "cannot remove the file";
    return false;
  }
  state::PhotoEntry removed;
  if (library_.RemovePhoto(user.account, photo->id, removed) == state::Outcome::kFailed) {
    detail = "cannot remove the record";
    return false;
  }
  ::unlinkat(folder.get(), ThumbnailNameFor(photo->id).c_str(), 0);
  return true;
}

bool GalleryRoutes::IsGetPage(std::string_view page) {
  return page == "menu.asp" || page == "photo.asp" || page == "image.asp" || page == "download.asp" ||
         page == "thumb.asp" || page == "delete.asp" || page == "gallery.css";
}

bool GalleryRoutes::IsPostPage(std::string_view page) { return page == "upload.asp" || page == "delete.asp"; }

std::uint64_t GalleryRoutes::BodyCap(std::string_view page) const {
  if (page == "upload.asp") return kMaxBrowserFiles * (settings_.maxFileSize + kEnvelopeAllowance);
  return kMaxFormBody;
}

void GalleryRoutes::Get(std::string_view page, const std::optional<SignedIn>& user, Exchange& ex) {
  HttpResponse& res = ex.response;
  if (page == "gallery.css") {
    res.SetContent(std::string(GalleryStylesheet()), "text/css; charset=UTF-8");
    return;
  }
  if (!user) {
    // A page goes to the sign-in (the gallery shows it); a picture is simply not there.
    if (page == "photo.asp" || page == "delete.asp") {
      SeeOther(res, "menu.asp");
    } else {
      AnswerStatus(res, 404, "Not found.");
    }
    ex.outcome = "not signed in";
    return;
  }
  ex.outcome = "user=" + user->account;
  if (page == "menu.asp") return Gallery(*user, ex);
  const auto photo = Find(*user, ex.request.Param("id"));
  if (!photo) {
    AnswerStatus(res, 404, "There is no such photo.");
    ex.outcome += " no such photo";
    return;
  }
  const std::string csrf = csrf_.For(user->sessionToken);
  if (page == "photo.asp") {
    AnswerHtml(res, 200, PhotoPage(user->account, csrf, *photo));
  } else if (page == "delete.asp") {
    AnswerHtml(res, 200, DeleteConfirmPage(user->account, csrf, *photo));
  } else if (page == "thumb.asp") {
    Thumbnail(*user, *photo, ex);
  } else {
    std::string error;
    const UniqueFd folder = store_.OpenFolder(user->account, false, error);
    const bool shownInline = page == "image.asp" && !photo->contentType.empty();
    const std::string type = shownInline ? photo->contentType : "application/octet-stream";
    if (!folder.valid() || !AnswerFile(res, folder.get(), photo->name, type)) {
      AnswerStatus(res, 404, "There is no such photo.");
      return;
    }
    if (!shownInline) res.SetHeader("Content-Disposition", AttachmentDisposition(photo->name));
    res.SetHeader("Cache-Control", "private, no-cache");
  }
}

void GalleryRoutes::Gallery(const SignedIn& user, Exchange& ex) {
  const std::uint64_t perPage = static_cast<std::uint64_t>(std::max(settings_.photosPerPage, 1));
  int page = PageNumber(ex.request);
  state::PhotoPage found;
  auto outcome =
      library_.Photos(user.account, static_cast<std::uint64_t>(page - 1) * perPage, perPage, found);
  const auto pageCount = [&] {
    return std::max<std::uint64_t>(1, (found.usage.photos + perPage - 1) / perPage);
  };
  if (outcome == state::Outcome::kDone && static_cast<std::uint64_t>(page) > pageCount()) {
    page = static_cast<int>(pageCount());  // past the last page: the last one
    outcome = library_.Photos(user.account, static_cast<std::uint64_t>(page - 1) * perPage, perPage, found);
  }
  if (outcome != state::Outcome::kDone) {
    AnswerStatus(ex.response, 503, "The photos cannot be listed just now. Please try again.");
    ex.outcome += " cannot list the photos";
    return;
  }
  GalleryView view;
  view.account = user.account;
  view.csrf = csrf_.For(user.sessionToken);
  view.totalCount = found.usage.photos;
  view.totalBytes = found.usage.storedBytes;
  view.pageCount = static_cast<int>(pageCount());
  view.page = page;
  view.maxFileSize = settings_.maxFileSize;
  view.maxFiles = kMaxBrowserFiles;
  for (auto& photo : found.photos) view.photos.push_back(ToRecord(std::move(photo)));
  view.message = GalleryMessage(ex.request.query, settings_.maxFileSize, settings_.quota.value_or(0));
  AnswerHtml(ex.response, 200, GalleryPage(view));
}

// A thumbnail missing from the folder is made by the one request that claims it in the state,
// whichever server it reached; the others wait for its file.
void GalleryRoutes::Thumbnail(const SignedIn& user, const PhotoRecord& photo, Exchange& ex) {
  if (photo.contentType.empty() || photo.thumbnail == kNoThumbnail) return AnswerTile(ex.response, true);
  std::string error;
  const UniqueFd folder = store_.OpenFolder(user.account, false, error);
  const std::string name = ThumbnailNameFor(photo.id);
  if (!folder.valid()) return AnswerTile(ex.response, false);
  if (AnswerThumbnailFile(folder.get(), name, ex.response)) return;
  const auto deadline = std::chrono::steady_clock::now() + settings_.thumbnailWait;
  while (!thumbnails_.cancelled()) {
    state::ThumbnailTurn turn = state::ThumbnailTurn::kAnothers;
    const auto claimed = library_.ClaimThumbnail(user.account, photo.id, state::NowMs(), turn);
    if (claimed != state::Outcome::kDone) break;
    if (turn == state::ThumbnailTurn::kNoPicture) return AnswerTile(ex.response, true);
    if (turn == state::ThumbnailTurn::kYours) {
      // Made by another request between the first look and the claim: nothing to make.
      if (AnswerThumbnailFile(folder.get(), name, ex.response)) {
        library_.ReleaseThumbnail(user.account, photo.id);
        return;
      }
      return MakeThumbnailFor(user, photo, folder.get(), ex);
    }
    // Another request is making it: its file is looked for often, the claim now and then, in case
    // that request gave up or its server died.
    const auto next = std::min(std::chrono::steady_clock::now() + kClaimAgainEvery, deadline);
    while (std::chrono::steady_clock::now() < next && !thumbnails_.cancelled()) {
      std::this_thread::sleep_for(kThumbnailPoll);
      if (AnswerThumbnailFile(folder.get(), name, ex.response)) {
        ex.outcome += " thumbnail waited for";
        return;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
  }
  ex.outcome += " thumbnail not ready";
  AnswerTile(ex.response, false);
}

void GalleryRoutes::MakeThumbnailFor(const SignedIn& user, const PhotoRecord& photo, int folder,
                                     Exchange& ex) {
  const std::string name = ThumbnailNameFor(photo.id);
  const UniqueFd original(OpenForReading(folder, photo.name));
  std::string why, error;
  bool unreadable = false;
  const auto bytes = original.valid()
                         ? MakeThumbnail(original.get(), kThumbnailSize, why, &thumbnails_, &unreadable)
                         : std::nullopt;
  if (bytes && WriteFileAtomically(folder, name, *bytes, error)) {
    // Deleted while its thumbnail was being made: the thumbnail goes too.
    if (library_.SetThumbnail(user.account, photo.id, name) == state::Outcome::kNotFound) {
      ::unlinkat(folder, name.c_str(), 0);
    }
    ex.response.SetHeader("Cache-Control", std::string(kKeptImage));
    ex.response.SetContent(*bytes, "image/jpeg");
    ex.outcome += " thumbnail made";
    return;
  }
  // A picture that cannot be read shows the tile from now on; one cut short by a stop, by a
  // thumbnailer that is missing or overrun, or whose file could not be written, is made later.
  if (unreadable) {
    library_.SetThumbnail(user.account, photo.id, kNoThumbnail);
    return AnswerTile(ex.response, true);
  }
  library_.ReleaseThumbnail(user.account, photo.id);
  AnswerTile(ex.response, false);
}

std::unique_ptr<RequestBody> GalleryRoutes::Post(std::string_view page, const std::optional<SignedIn>& user,
                                                 Exchange& ex) {
  if (!user) {
    AnswerStatus(ex.response, 403, "Please sign in first.");
    ex.response.drainBriefly = true;
    ex.outcome = "not signed in";
    return nullptr;
  }
  ex.outcome = "user=" + user->account;
  if (page == "upload.asp") return Upload(*user, ex);
  return Delete(*user, ex);
}

std::unique_ptr<RequestBody> GalleryRoutes::Upload(const SignedIn& user, Exchange& ex) {
  const auto boundary = MultipartBoundary(ex.request.Header("Content-Type"));
  if (!boundary) {
    AnswerStatus(ex.response, 400, "That was not an upload form.");
    ex.outcome += " not a form";
    return nullptr;
  }
  const std::string session = user.sessionToken;
  auto receiver = std::make_shared<BrowserUploadReceiver>(
      store_, user.account, settings_.maxFileSize, &library_, settings_.quota,
      [this, session](std::string_view token) { return csrf_.Matches(session, token); });
  return std::make_unique<MultipartBody>(
      *boundary,
      [receiver](std::string_view name, std::string_view fileName) {
        return receiver->BeginPart(name, fileName);
      },
      [receiver](const char* data, std::size_t size) { return receiver->Append(data, size); },
      [this, &ex, receiver](bool complete) {
        const auto result = receiver->Finish(complete);
        if (!result.csrfOk) {
          AnswerStatus(ex.response, 403, "This form has expired. Please reload the page and try again.");
          ex.outcome += " refused: no CSRF token";
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
          ++tally.stored;
        }
        SeeOther(ex.response, "menu.asp" + UploadTallyQuery(tally));
        ex.outcome +=
            " stored " + std::to_string(tally.stored) + ", refused " + std::to_string(tally.refused);
      });
}

std::unique_ptr<RequestBody> GalleryRoutes::Delete(const SignedIn& user, Exchange& ex) {
  if (ex.request.IsMultipart()) {
    DeleteWith(user, ex, std::nullopt);
    return nullptr;
  }
  const SignedIn who = user;
  return std::make_unique<SmallBody>(
      kMaxFormBody, [this, who, &ex](std::optional<std::string> body) { DeleteWith(who, ex, body); });
}

void GalleryRoutes::DeleteWith(const SignedIn& user, Exchange& ex, const std::optional<std::string>& body) {
  HttpResponse& res = ex.response;
  if (!body) {
    AnswerStatus(res, 400, "That was not a delete form.");
    ex.outcome += " unreadable form";
    return;
  }
  const std::string token = FindFormField(*body, kCsrfField).value_or("");
  if (!csrf_.Matches(user.sessionToken, token)) {
    AnswerStatus(res, 403, "This form has expired. Please reload the page and try again.");
    ex.outcome += " refused: no CSRF token";
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
  std::string detail;
  if (!Remove(user, id, detail)) {
    const bool failed = !detail.empty();
    AnswerStatus(res, failed ? 500 : 404,
                 failed ? "The photo could not be deleted. Please try again." : "There is no such photo.");
    ex.outcome += failed ? " cannot delete: " + detail : " no such photo";
    return;
  }
  SeeOther(res, "menu.asp?deleted=1");
  ex.outcome += " deleted " + id;
}

}  // namespace wharfling::server
