#include "tests/support/fake_parvault.h"

#include "server/engine/form_decoding.h"

namespace wharfling::testing {

FakeParvault::FakeParvault(std::string host, std::string basePath)
    : FakeSite({std::move(host)}), basePath_(std::move(basePath)) {
  Start();
}

FakeParvault::~FakeParvault() = default;

void FakeParvault::SetAccount(std::string user, std::string password) {
  std::lock_guard lock(mutex_);
  user_ = std::move(user);
  password_ = std::move(password);
}

void FakeParvault::SetLoginLocations(std::string onSuccess, std::optional<std::string> onFailure) {
  std::lock_guard lock(mutex_);
  successLocation_ = std::move(onSuccess);
  failureLocation_ = std::move(onFailure);
}

void FakeParvault::ScriptUploads(UploadScript script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

std::vector<FakeParvault::Upload> FakeParvault::Uploads() const {
  std::lock_guard lock(mutex_);
  return uploads_;
}

std::vector<int> FakeParvault::LoginForms() const {
  std::lock_guard lock(mutex_);
  return loginForms_;
}

SiteWalk FakeParvault::Walk() const {
  std::lock_guard lock(mutex_);
  const std::string base = basePath_;
  return {.start = {"GET " + (base.empty() ? "/" : base), "POST " + base + "/logincheck2.asp",
                    "GET " + base + "/" + successLocation_},
          .photo = {"POST " + base + "/InsertFile.asp"},
          .end = {"GET " + base + "/logout2.asp?user=" + user_ + "&pw=" + password_}};
}

Reply FakeParvault::Handle(const SiteRequest& request) {
  const std::string path = request.Path();
  if (path.rfind(basePath_, 0) != 0) return Reply::Make("HTTP/1.1 404 Not Found", "", "not here");
  const std::string page = path.substr(basePath_.size());
  if (page.empty() || page == "/" || page == "/INDEX.HTM") {
    return Page("<html><form action=\"logincheck2.asp\" method=\"post\">login</form></html>");
  }
  if (page == "/logincheck2.asp" && request.http.method == "POST") return Login(request);
  if (page == "/InsertFile.asp" && request.http.method == "POST") return InsertFile(request);
  if (page == "/refused.asp") {
    std::lock_guard lock(mutex_);
    const std::size_t index = std::stoul(request.Query().substr(request.Query().find('=') + 1));
    if (index < refusals_.size() && refusals_[index]) {
      return Page("<html><body><p class=\"err-msg\">" + *refusals_[index] + "</p></body></html>");
    }
    return Page("<html><body>refused</body></html>");
  }
  if (page == "/logout2.asp") return Page("<html>bye</html>");
  return Page("<html><body>menu</body></html>");
}

Reply FakeParvault::Login(const SiteRequest& request) {
  const std::string& body = request.http.body;
  std::lock_guard lock(mutex_);
  int form = 0;
  if (server::FindFormField(body, "login") && server::FindFormField(body, "Image1.x") == "35" &&
      server::FindFormField(body, "Image1.y") == "14")
    form = 1;
  if (server::FindFormField(body, "x") == "52" && server::FindFormField(body, "y") == "15") form = 2;
  loginForms_.push_back(form);
  if (form != 0 && server::FindFormField(body, "username") == user_ &&
      server::FindFormField(body, "password") == password_) {
    sessions_.push_back("s" + std::to_string(sessions_.size() + 1));
    return Redirect(successLocation_, "Set-Cookie: ASPSESSIONID=" + sessions_.back() + "; path=/\r\n");
  }
  if (failureLocation_) return Redirect(*failureLocation_);
  return Page("<html>who are you?</html>");
}

Reply FakeParvault::InsertFile(const SiteRequest& request) {
  Upload upload;
  for (const auto& part : ParseMultipart(request.http.body)) {
    upload.fieldNames.push_back(part.name);
    if (part.name == "DataFile" && part.fileName) {
      upload.fileName = *part.fileName;
      upload.bytes = part.value;
    }
  }
  std::lock_guard lock(mutex_);
  const std::string session = request.Cookie("ASPSESSIONID");
  const bool signedIn = std::find(sessions_.begin(), sessions_.end(), session) != sessions_.end();
  Answer answer;
  if (!signedIn) {
    answer = {Answer::kRefuseWithReason, "not signed in"};
  } else {
    uploads_.push_back(upload);
    if (script_) answer = script_(upload);
  }
  switch (answer.kind) {
    case Answer::kAccept:
      return Page("<html>stored</html>");
    case Answer::kNotOk:
      return Reply::Make("HTTP/1.1 500 Internal Server Error", "", "<html>broken</html>");
    case Answer::kDrip:
      return Reply::Drip("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", "<",
                         std::chrono::milliseconds(500));
    case Answer::kNotOkSaying200Ok:
      return Reply::Make("HTTP/1.1 500 Internal Server Error", "X-Upstream: HTTP/1.1 200 OK\r\n", "200 OK");
    case Answer::kRefuseWithReason:
    case Answer::kRefuseWithoutReason:
      refusals_.push_back(answer.kind == Answer::kRefuseWithReason ? std::optional(answer.reason)
                                                                   : std::nullopt);
      return Redirect("refused.asp?id=" + std::to_string(refusals_.size() - 1));
  }
  return Page("");
}

}  // namespace wharfling::testing
