#include "web/request_headers.h"

#include <gtest/gtest.h>

#include "web/request.h"

namespace wharfling {
namespace {

using Lines = std::vector<std::string>;

TEST(RequestHeaders, LaterLineOfTheSameNameReplacesTheEarlierOne) {
  RequestHeaders headers;
  headers.Add("Accept: a\r\n");
  headers.Add("Accept-Language: ja\r\n");
  headers.Add("ACCEPT: b\r\n");
  EXPECT_EQ(headers.lines(), (Lines{"Accept-Language: ja", "ACCEPT: b"}));
  EXPECT_TRUE(headers.Has("accept"));
  EXPECT_FALSE(headers.Has("Accept-Encoding"));
}

TEST(RequestHeaders, SkipsLinesThePlatformRefuses) {
  RequestHeaders headers;
  headers.Add("no colon here");
  headers.Add(": no name");
  headers.Add("Bad Name: x");
  headers.Add("Referer: http://www.example.test/");
  EXPECT_EQ(headers.lines(), (Lines{"Referer: http://www.example.test/"}));
}

TEST(RequestHeaders, EmptyValueRemovesTheHeader) {
  RequestHeaders headers;
  headers.Add("Cache-Control: no-cache\r\n");
  headers.Add("Cache-Control:  \r\n");
  EXPECT_TRUE(headers.lines().empty());
}

TEST(RequestHeaders, EveryLineOfAMultiLineTextIsCheckedOnItsOwn) {
  // A Referer built from a scraped address cannot slip a second header in unnoticed: each line is a
  // header of its own, replacing by name like any other.
  RequestHeaders headers;
  headers.Add("Accept: a\r\n");
  headers.Add("Referer: http://x/\r\nAccept: evil\nX-Injected\r");
  EXPECT_EQ(headers.lines(), (Lines{"Referer: http://x/", "Accept: evil"}));
}

TEST(RequestHeaders, Msie7UploadProfileEndsWithOneAccept) {
  RequestHeaders headers;
  for (const auto line : Msie7UploadProfile().headerLines) headers.Add(line);
  EXPECT_EQ(headers.lines(),
            (Lines{"Accept-Language: ja",
                   "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
                   "image/png,*/*;q=0.5",
                   "Accept-Encoding: gzip,deflate"}));
}

TEST(RequestProfiles, LinesEndInCrlf) {
  for (const RequestProfile* profile :
       {&Msie6Profile(), &Msie7Profile(), &Msie6UploadProfile(), &Msie7UploadProfile()}) {
    for (const auto line : profile->headerLines) {
      ASSERT_GE(line.size(), 2u);
      EXPECT_EQ(line.substr(line.size() - 2), "\r\n") << line;
      EXPECT_EQ(line.find('\r'), line.size() - 2) << line;
    }
  }
  EXPECT_EQ(Msie6Profile().headerLines.size(), 3u);
  EXPECT_EQ(Msie7Profile().headerLines.size(), 4u);
  EXPECT_EQ(Msie7Profile().headerLines[3], "Accept-Encoding: gzip, deflate\r\n");
  EXPECT_EQ(Msie7UploadProfile().headerLines[3], "Accept-Encoding: gzip,deflate\r\n");
}

}  // namespace
}  // namespace wharfling
