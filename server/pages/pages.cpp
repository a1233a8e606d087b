#include "server/pages/pages.h"

#include "platform/posix/encoding.h"
#include "text/text.h"
#include "wharfling/texts.h"

namespace wharfling::server {
namespace {

std::string Page(std::string_view body) {
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head><meta charset=\"Shift_JIS\"><title>";
  page += texts::kCaptionInHouseParvault;
  page += "</title></head>\n<body>\n<h1>";
  page += texts::kCaptionInHouseParvault;
  page += "</h1>\n";
  page += body;
  page += "</body>\n</html>\n";
  return page;
}

std::string Link(std::string_view base, std::string_view page, std::string_view text) {
  return "<p><a href=\"" + EscapeHtml(base) + "/" + std::string(page) + "\">" + std::string(text) +
         "</a></p>\n";
}

// A UTF-8 name from disk, for a CP932 page.
std::string DiskNameText(std::string_view utf8) { return EscapeHtml(posix::Utf8ToCp932(utf8)); }

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string LoginPage(std::string_view base) {
  std::string body;
  body += "<form method=\"post\" action=\"" + EscapeHtml(base) + "/logincheck2.asp\">\n";
  body += "<p><label>" + std::string(texts::kServerUserId) +
          " <input type=\"text\" name=\"username\"></label></p>\n";
  body += "<p><label>" + std::string(texts::kServerPassword) +
          " <input type=\"password\" name=\"password\"></label></p>\n";
  body += "<p><input type=\"submit\" value=\"" + std::string(texts::kParvaultLoginButton) + "\"></p>\n";
  body += "</form>\n";
  return Page(body);
}

std::string LoginFailedPage(std::string_view base) {
  return Page("<p class=\"err-msg\">" + std::string(texts::kServerLoginFailed) + "</p>\n" +
              Link(base, "", texts::kServerToLogin));
}

std::string StoredPage(std::string_view base, std::string_view storedName) {
  return Page("<p class=\"ok-msg\">" + FormatText(texts::kServerStored, {DiskNameText(storedName)}) +
              "</p>\n" + Link(base, "menu.asp", texts::kServerToMenu));
}

std::string RefusalPage(std::string_view base, std::string_view reason) {
  return Page("<p class=\"err-msg\">" + EscapeHtml(reason) + "</p>\n" +
              Link(base, "menu.asp", texts::kServerToMenu));
}

std::string LoggedOutPage(std::string_view base) {
  return Page("<p>" + std::string(texts::kServerLoggedOut) + "</p>\n" +
              Link(base, "", texts::kServerToLogin));
}

std::string NotFoundPage(std::string_view base) {
  return Page("<p>" + std::string(texts::kServerNotFound) + "</p>\n" + Link(base, "", texts::kServerToLogin));
}

std::string NoticePage(std::string_view base, std::string_view text) {
  return Page("<p>" + EscapeHtml(text) + "</p>\n" + Link(base, "menu.asp", "Back to the photos"));
}

}  // namespace wharfling::server
