#pragma once
// The server's HTML pages, in CP932 (served as Shift_JIS). `base` is the folder the request came
// in by ("" or "/ParvaultAsp2"), so that a browser's links stay in it.

#include <string>
#include <string_view>
#include <vector>

#include "server/library/upload_store.h"

namespace wharfling::server {

inline constexpr std::string_view kHtmlContentType = "text/html; charset=Shift_JIS";

// &, <, >, " and ' as character references. CP932 trail bytes are never any of these, so the
// bytes of a double-byte character are never split.
std::string EscapeHtml(std::string_view text);

std::string LoginPage(std::string_view base);
std::string LoginFailedPage(std::string_view base);
std::string StoredPage(std::string_view base, std::string_view storedName);
// The reason (CP932) sits right after the marker "-msg\">" and ends at the next '<', where the
// uploader reads it; no earlier text of the page holds that marker.
std::string RefusalPage(std::string_view base, std::string_view reason);
std::string LoggedOutPage(std::string_view base);
std::string NotFoundPage(std::string_view base);
// A short notice (ASCII) with a link back to the photos.
std::string NoticePage(std::string_view base, std::string_view text);

}  // namespace wharfling::server
