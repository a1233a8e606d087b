#include "server/pages/gallery_pages.h"

#include <cstdio>
#include <ctime>
#include <iterator>

#include "platform/posix/encoding.h"
#include "server/pages/pages.h"
#include "text/text.h"
#include "wharfling/texts.h"

namespace wharfling::server {
namespace {

std::string Title() { return EscapeHtml(posix::Cp932ToUtf8(texts::kCaptionInHouseParvault)); }

std::string Hidden(std::string_view name, std::string_view value) {
  return "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + EscapeHtml(value) + "\">";
}

// Signing out changes state: a POST with the form's token, so that another site cannot do it.
std::string Page(std::string_view account, std::string_view csrf, std::string_view heading,
                 std::string_view main) {
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>" + std::string(heading) + " - " + Title() + "</title>\n";
  page += "<link rel=\"stylesheet\" href=\"gallery.css\">\n</head>\n<body>\n";
  page += "<header><a class=\"home\" href=\"menu.asp\">" + Title() + "</a>";
  page += "<span class=\"account\">" + EscapeHtml(account) + "</span>";
  page += "<form class=\"signout\" method=\"post\" action=\"logout2.asp\">" + Hidden("csrf", csrf) +
          "<button id=\"signout\" type=\"submit\">Sign out</button></form></header>\n<main>\n";
  page += main;
  page += "</main>\n</body>\n</html>\n";
  return page;
}

std::string Meta(const PhotoRecord& photo) {
  return "<span class=\"meta\">" + ShortSize(photo.size) + " &middot; <time>" + ShortTime(photo.uploadedMs) +
         "</time></span>";
}

std::string Tile(const PhotoRecord& photo) {
  const std::string name = EscapeHtml(ShownName(photo.name));
  return "<li class=\"tile\"><a class=\"photo\" href=\"photo.asp?id=" + photo.id +
         "\"><img class=\"thumb\" src=\"thumb.asp?id=" + photo.id + "\" alt=\"" + name +
         "\" loading=\"lazy\"><span class=\"name\">" + name + "</span></a>" + Meta(photo) + "</li>\n";
}

std::string PageLinks(int page, int pageCount) {
  if (pageCount <= 1) return {};
  std::string nav = "<nav class=\"pages\">";
  if (page > 1) nav += "<a rel=\"prev\" href=\"menu.asp?page=" + std::to_string(page - 1) + "\">Newer</a>";
  nav += "<span>Page " + std::to_string(page) + " of " + std::to_string(pageCount) + "</span>";
  if (page < pageCount)
    nav += "<a rel=\"next\" href=\"menu.asp?page=" + std::to_string(page + 1) + "\">Older</a>";
  return nav + "</nav>\n";
}

}  // namespace

std::string ShortSize(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string ShortTime(std::int64_t milliseconds) {
  const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
  std::tm utc{};
  if (::gmtime_r(&seconds, &utc) == nullptr) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
  return text;
}

std::string GalleryPage(const GalleryView& view) {
  std::string main;
  if (!view.message.empty())
    main += "<p id=\"message\" class=\"message\">" + EscapeHtml(view.message) + "</p>\n";
  main += "<form id=\"upload\" method=\"post\" action=\"upload.asp\" enctype=\"multipart/form-data\">" +
          Hidden("csrf", view.csrf) +
          "<label>Add photos <input type=\"file\" name=\"photos\" multiple></label>"
          "<button type=\"submit\">Upload</button><span class=\"limit\">Up to " +
          std::to_string(view.maxFiles) + " photos at once, each up to " + ShortSize(view.maxFileSize) +
          "</span></form>\n";
  main += "<p id=\"totals\">" + std::to_string(view.totalCount) +
          (view.totalCount == 1 ? " photo, " : " photos, ") + ShortSize(view.totalBytes) + "</p>\n";
  if (view.photos.empty()) {
    main += "<p class=\"empty\">No photos yet. Upload some with the form above.</p>\n";
  } else {
    main += "<ul class=\"grid\">\n";
    for (const auto& photo : view.photos) main += Tile(photo);
    main += "</ul>\n";
  }
  main += PageLinks(view.page, view.pageCount);
  return Page(view.account, view.csrf, "Photos", main);
}

std::string PhotoPage(std::string_view account, std::string_view csrf, const PhotoRecord& photo) {
  const std::string name = EscapeHtml(ShownName(photo.name));
  // A file that is no image has no picture to show: its tile stands in.
  const std::string source = (photo.contentType.empty() ? "thumb.asp?id=" : "image.asp?id=") + photo.id;
  std::string main;
  main += "<p class=\"back\"><a href=\"menu.asp\">All photos</a></p>\n";
  main += "<figure><img id=\"photo\" src=\"" + source + "\" alt=\"" + name +
          "\"><figcaption><span class=\"name\">" + name + "</span>" + Meta(photo) +
          "</figcaption></figure>\n";
  main += "<div class=\"actions\"><a id=\"download\" class=\"button\" href=\"download.asp?id=" + photo.id +
          "\">Download</a>";
  main += "<form id=\"delete\" method=\"post\" action=\"delete.asp\">" + Hidden("id", photo.id) +
          Hidden("csrf", csrf) + "<button type=\"submit\" class=\"danger\">Delete</button></form></div>\n";
  return Page(account, csrf, name, main);
}

std::string DeleteConfirmPage(std::string_view account, std::string_view csrf, const PhotoRecord& photo) {
  const std::string name = EscapeHtml(ShownName(photo.name));
  std::string main;
  main += "<h1 class=\"confirm\">Delete " + name + "?</h1>\n";
  main += "<p>The photo and its thumbnail are removed for good.</p>\n";
  main += "<div class=\"actions\"><form id=\"confirm-delete\" method=\"post\" action=\"delete.asp\">" +
          Hidden("id", photo.id) + Hidden("csrf", csrf) + Hidden("confirm", "yes") +
          "<button type=\"submit\" class=\"danger\">Delete</button></form>";
  main += "<a class=\"button\" href=\"photo.asp?id=" + photo.id + "\">Keep it</a></div>\n";
  return Page(account, csrf, "Delete " + name, main);
}

std::string ShownName(std::string_view name) {
  std::string shown;
  for (std::size_t at = 0; at < name.size(); ++at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[at + i]); };
    unsigned code = 0;
    if (at + 1 < name.size() && byte(0) == 0xD8 && byte(1) == 0x9C) {
      code = 0x061C;
    } else if (at + 2 < name.size() && byte(0) == 0xE2 && byte(1) == 0x80 &&
               ((byte(2) >= 0x8E && byte(2) <= 0x8F) || (byte(2) >= 0xAA && byte(2) <= 0xAE))) {
      code = 0x2000u + (byte(2) - 0x80u);
    } else if (at + 2 < name.size() && byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) >= 0xA6 &&
               byte(2) <= 0xA9) {
      code = 0x2040u + (byte(2) - 0x80u);
    }
    if (code == 0) {
      shown += name[at];
      continue;
    }
    char text[12];
    std::snprintf(text, sizeof text, "[U+%04X]", code);
    shown += text;
    at += code == 0x061C ? 1 : 2;
  }
  return shown;
}

}  // namespace wharfling::server
