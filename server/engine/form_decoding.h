#pragma once
// Reading the small texts of a request: url-encoded form fields and cookies. Values are bytes
// (CP932 from the uploader); nothing is converted.

#include <optional>
#include <string>
#include <string_view>

namespace wharfling::server {

// One url-encoded text decoded: "%XX" becomes that byte and '+' a blank; a '%' without two hex
// digits after it stays as it is. Every other byte, CP932 included, is kept.
std::string DecodeFormText(std::string_view encoded);

// The decoded value of the first field of an application/x-www-form-urlencoded body whose decoded
// name is `name`; a field without '=' has an empty value.
std::optional<std::string> FindFormField(std::string_view body, std::string_view name);

// The value of the cookie `name` in a Cookie request header ("a=1; b=2").
std::optional<std::string_view> FindCookie(std::string_view cookieHeader, std::string_view name);

}  // namespace wharfling::server
