#include "session/endpoints.h"

#include <algorithm>

namespace wharfling {

std::string Endpoint::Key() const { return prefix + "." + role; }

EndpointTable EndpointTable::Defaults() {
  EndpointTable table;
  table.entries_ = {
      {1, "web", "www.parvault.example", "parvault"},
      {2, "server", "127.0.0.1:8780", "inhouse"},
      {3, "web", "www.zorg.example", "zorg"},
      {4, "account", "www.hatena.example", "hatena"},
      {4, "photo", "f.hatena.example", "hatena"},
      {5, "web", "photo.creativepeople.example", "creativepeople"},
      {6, "web", "photohito.example", "photohito"},
      {7, "web", "mixi.example", "mixi"},
      {8, "web", "www.olio.example", "olio"},
      {9, "web", "www.iiiro.example", "iiiro"},
      {10, "main", "mypicturetown.example", "mypicturetown"},
      {10, "photoapp", "photoapp.mypicturetown.example", "mypicturetown"},
      {11, "web", "www.fueru.example", "fueru"},
      {12, "account", "account.rakuten.example", "rakuten"},
      {12, "manager", "photo.rakuten.example", "rakuten"},
      {13, "login", "secure.picmate.example", "picmate"},
      {13, "main", "www.picmate.example", "picmate"},
      {13, "upload", "upload.picmate.example", "picmate"},
      {14, "web", "www.snapfish.example", "snapfish"},
      {14, "upload", "upload.snapfish.example", "snapfish"},
  };
  return table;
}

bool EndpointTable::Override(std::string_view key, std::string_view host) {
  // A host goes straight into URLs: refuse anything that could change the URL's shape.
  const bool usable = !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
    return c == '/' || c == '?' || c == '#' || c == '@' || c == '\\' ||
           static_cast<unsigned char>(c) <= ' ' || c == 0x7F;
  });
  if (!usable) return false;
  for (auto& entry : entries_) {
    if (entry.Key() == key) {
      entry.host = std::string(host);
      return true;
    }
  }
  return false;
}

std::string EndpointTable::Host(std::string_view key) const {
  for (const auto& entry : entries_) {
    if (entry.Key() == key) return entry.host;
  }
  return {};
}

}  // namespace wharfling
