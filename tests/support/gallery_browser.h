#pragma once
// A signed-in browser of the server's gallery pages, and the forms it sends.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"

namespace wharfling::testing {

inline constexpr std::string_view kBoundary = "----galleryform";

// Every value of `attribute="..."` that follows `prefix` in the page, in order.
inline std::vector<std::string> ValuesAfter(const std::string& page, const std::string& prefix) {
  std::vector<std::string> values;
  for (std::size_t at = page.find(prefix); at != std::string::npos; at = page.find(prefix, at + 1)) {
    const std::size_t start = at + prefix.size();
    values.push_back(page.substr(start, page.find('"', start) - start));
  }
  return values;
}

struct FormFile {
  std::string name;
  std::string bytes;
};

inline std::string BrowserForm(const std::string& csrf, const std::vector<FormFile>& files) {
  std::string body;
  const std::string dash = "--" + std::string(kBoundary) + "\r\n";
  if (!csrf.empty()) body += dash + "Content-Disposition: form-data; name=\"csrf\"\r\n\r\n" + csrf + "\r\n";
  for (const auto& file : files) {
    body += dash + "Content-Disposition: form-data; name=\"photos\"; filename=\"" + file.name +
            "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + file.bytes + "\r\n";
  }
  return body + "--" + std::string(kBoundary) + "--\r\n";
}

// A signed-in browser: its cookie, the token of its forms, and the pages it asks for.
class Browser {
 public:
  Browser(const ParvaultTestServer& server, std::string_view user = "alice",
          std::string_view password = "secret")
      : client_(server.port()), cookie_(server.SignIn(user, password)) {
    csrf_ = ValuesAfter(Get("menu.asp")->body, "name=\"csrf\" value=\"").at(0);
  }

  std::optional<TestResponse> Get(const std::string& page) {
    return client_.Get("/ParvaultAsp2/" + page, {{"Cookie", cookie_}});
  }
  std::optional<TestResponse> Post(const std::string& page, const std::string& body,
                                   const std::string& type) {
    return client_.Post("/ParvaultAsp2/" + page, {{"Cookie", cookie_}}, body, type);
  }
  std::optional<TestResponse> Upload(const std::vector<FormFile>& files, const std::string& csrf) {
    return Post("upload.asp", BrowserForm(csrf, files),
                "multipart/form-data; boundary=" + std::string(kBoundary));
  }
  std::optional<TestResponse> Upload(const std::vector<FormFile>& files) { return Upload(files, csrf_); }
  // What the uploader sends, with this browser's session.
  std::optional<TestResponse> UploaderPost(std::string_view path, std::string_view bytes) {
    return Post("InsertFile.asp", UploaderBody(path, bytes), std::string(kUploaderContentType));
  }
  std::optional<TestResponse> Delete(const std::string& id, const std::string& csrf, bool confirm = true) {
    return Post("delete.asp", "id=" + id + "&csrf=" + csrf + (confirm ? "&confirm=yes" : ""),
                "application/x-www-form-urlencoded");
  }
  // The ids and names of a gallery page, in the order shown.
  std::vector<std::string> Ids(const std::string& page = "menu.asp") {
    return ValuesAfter(Get(page)->body, "class=\"photo\" href=\"photo.asp?id=");
  }
  const std::string& csrf() const { return csrf_; }
  const std::string& cookie() const { return cookie_; }

 private:
  HttpTestClient client_;
  std::string cookie_;
  std::string csrf_;
};

}  // namespace wharfling::testing
