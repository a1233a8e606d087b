#include "server/engine/request_bodies.h"

namespace wharfling::server {

bool SmallBody::Append(const char* data, std::size_t size) {
  if (body_.size() + size > limit_) {
    over_ = true;
    return false;
  }
  body_.append(data, size);
  return true;
}

void SmallBody::Finish(bool complete) {
  if (complete && !over_) {
    done_(std::move(body_));
  } else {
    done_(std::nullopt);
  }
}

}  // namespace wharfling::server
