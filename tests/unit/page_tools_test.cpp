#include "web/page_tools.h"

#include <gtest/gtest.h>

#include "web/chunked_text.h"

namespace wharfling {
namespace {

// The same text split at every position into two chunks, plus single-byte chunks and an empty one, so
// that a result can never depend on where the reads ended.
std::vector<ChunkList> Splits(const std::string& text) {
  std::vector<ChunkList> splits = {{text}, {"", text, ""}};
  for (std::size_t cut = 1; cut < text.size(); ++cut)
    splits.push_back({text.substr(0, cut), text.substr(cut)});
  ChunkList bytes;
  for (const char c : text) bytes.emplace_back(1, c);
  splits.push_back(bytes);
  return splits;
}

TEST(JoinChunks, ConcatenatesInOrder) {
  std::string out = "old";
  JoinChunks({"ab", "", "c"}, out);
  EXPECT_EQ(out, "abc");
  JoinChunks({}, out);
  EXPECT_EQ(out, "");
}

TEST(PageContains, IsCaseSensitiveAndDoubleByteAware) {
  EXPECT_TRUE(PageContains({"<title>Log", "in</title>"}, "Login"));
  EXPECT_FALSE(PageContains({"<title>LOGIN</title>"}, "Login"));
  // "\x83\x5C" is one character whose second byte is a backslash.
  EXPECT_FALSE(PageContains({"\x83\x5Cn"}, "\\n"));
  EXPECT_TRUE(PageContains({"a\\n"}, "\\n"));
}

TEST(ExtractBetween, Cases) {
  const struct {
    const char* page;
    const char* marker;
    char stop;
    bool found;
    const char* out;
  } cases[] = {
      {"<input name=\"token\" value=\"abc123\">", "name=\"token\" value=\"", '"', true, "abc123"},
      {"x = 'v1'; y = 'v2'", "y = '", '\'', true, "v2"},
      {"value=\"\"", "value=\"", '"', true, ""},                             // stop right after the marker
      {"value=\"first\" value=\"second\"", "value=\"", '"', true, "first"},  // first occurrence only
      {"end value=\"", "value=\"", '"', true, "untouched"},                  // marker at the very end
      {"value=\"no stop", "value=\"", '"', true, "untouched"},               // text ends before the stop
      {"VALUE=\"x\"", "value=\"", '"', false, "untouched"},                  // case differs
  };
  for (const auto& c : cases) {
    for (const auto& chunks : Splits(c.page)) {
      std::string out = "untouched";
      EXPECT_EQ(ExtractBetween(chunks, c.marker, c.stop, out), c.found) << c.page;
      EXPECT_EQ(out, c.out) << c.page;
    }
  }
}

TEST(ExtractMessage, TakesTheTextUpToTheNextTag) {
  std::string out;
  EXPECT_TRUE(ExtractMessage({"<p class=\"error-msg\">Wrong password</p>"}, out));
  EXPECT_EQ(out, "Wrong password");
  out = "kept";
  EXPECT_FALSE(ExtractMessage({"<p class=\"msg\">x</p>"}, out));
  EXPECT_EQ(out, "kept");
}

TEST(ExtractRedirect, Cases) {
  const struct {
    const char* headers;
    bool found;
    const char* out;
  } cases[] = {
      {"HTTP/1.1 302 Found\r\nLocation: /next\r\n", true, "/next"},
      {"HTTP/1.1 302 Found\r\nlocation: http://x.test/a?b\r\n", true, "http://x.test/a?b"},
      {"HTTP/1.1 302 Found\r\nLocation: /next", true, "untouched"},  // no CR after the value
      {"HTTP/1.1 302 Found\r\nLocation:/next\r\n", true, "next"},    // the byte after the colon is skipped
      {"HTTP/1.1 200 OK\r\nContent-Location: /c\r\nLocation: /l\r\n", true, "/c"},
      {"HTTP/1.1 302 Found\r\nLOCATION: /next\r\n", false, "untouched"},
      {"HTTP/1.1 302 Found\r\nLocation:", true, "untouched"},
  };
  for (const auto& c : cases) {
    for (const auto& chunks : Splits(c.headers)) {
      std::string out = "untouched";
      EXPECT_EQ(ExtractRedirect(chunks, out), c.found) << c.headers;
      EXPECT_EQ(out, c.out) << c.headers;
    }
  }
}

TEST(FinalStatusIs200Ok, ReadsTheFinalStatusLineOnly) {
  const struct {
    const char* headers;
    bool ok;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", true},
      {"HTTP/1.0 200 OK\r\n", true},
      {"HTTP/1.1 200 OK", true},
      {"HTTP/1.1 500 Internal Server Error\r\nX-Note: 200 OK\r\n", false},
      {"HTTP/1.1 302 Found\r\nLocation: /200 OK\r\n", false},
      {"HTTP/1.1 404 Not Found\r\n\r\nHTTP/1.1 200 OK\r\n", true},    // the last response counts
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 500 Oops\r\n", false},  // interim 200 or not
      {"HTTP/1.1 500 Oops\r\nHTTP/1.1 200 OK\r\n", false},            // a status line only opens a response
      {"HTTP/1.1 201 Created\r\n", false},
      {"HTTP/1.1 2000 OK\r\n", false},
      {"", false},  // an upload that was not sent
  };
  for (const auto& c : cases) {
    for (const auto& chunks : Splits(c.headers)) EXPECT_EQ(FinalStatusIs200Ok(chunks), c.ok) << c.headers;
  }
}

TEST(ExtractPair, WalksAListEntryByEntry) {
  const std::string page =
      "<ul><li><a href=\"album?id=101\">Summer</a></li>"
      "<li><a href=\"album?id=202\">Winter</a></li></ul>";
  for (const auto& chunks : Splits(page)) {
    std::string id;
    std::string name;
    const int first = ExtractPair(chunks, "album?id=", "\">", 20, "</a>", id, name, 0);
    EXPECT_EQ(id, "101");
    EXPECT_EQ(name, "Summer");
    EXPECT_EQ(first, static_cast<int>(page.find("</a>") + 4));
    const int second = ExtractPair(chunks, "album?id=", "\">", 20, "</a>", id, name, first);
    EXPECT_EQ(id, "202");
    EXPECT_EQ(name, "Winter");
    EXPECT_EQ(second, static_cast<int>(page.rfind("</a>") + 4));
    std::string a = "a";
    std::string b = "b";
    EXPECT_EQ(ExtractPair(chunks, "album?id=", "\">", 20, "</a>", a, b, second), -1);
    EXPECT_EQ(a, "a");
    EXPECT_EQ(b, "b");
  }
}

TEST(ExtractPair, SkipsAStartWhoseMiddleIsBeyondTheGap) {
  const std::string far = "S" + std::string(71, 'x') + "M1E";
  const std::string near = "S" + std::string(70, 'y') + "M2E";
  std::string out1;
  std::string out2;
  const int result = ExtractPair({far + near}, "S", "M", 70, "E", out1, out2, 0);
  EXPECT_EQ(out1, std::string(70, 'y'));
  EXPECT_EQ(out2, "2");
  EXPECT_EQ(result, static_cast<int>(far.size() + near.size()));

  // An album identifier of 21 bytes is skipped with a gap of 20.
  const std::string albums = "id=" + std::string(21, '7') + "\">A</a>id=" + std::string(20, '8') + "\">B</a>";
  EXPECT_GT(ExtractPair({albums}, "id=", "\">", 20, "</a>", out1, out2, 0), 0);
  EXPECT_EQ(out1, std::string(20, '8'));
  EXPECT_EQ(out2, "B");
}

TEST(ExtractPair, NotFoundResults) {
  std::string out1 = "one";
  std::string out2 = "two";
  EXPECT_EQ(ExtractPair({"no start here"}, "<a", ">", 10, "</a>", out1, out2, 0), -1);
  EXPECT_EQ(ExtractPair({"<a no middle"}, "<a", "|", 10, "</a>", out1, out2, 0), -1);
  EXPECT_EQ(out1, "one");
  // Middle found, end absent: out1 is set, out2 untouched.
  EXPECT_EQ(ExtractPair({"<a href=x>label"}, "<a ", ">", 10, "</a>", out1, out2, 0), -2);
  EXPECT_EQ(out1, "href=x");
  EXPECT_EQ(out2, "two");
  // An empty start marker cannot move the search on: it ends instead of searching forever.
  EXPECT_EQ(ExtractPair({"0123456789|x;"}, "", "|", 3, ";", out1, out2, 0), -1);
  EXPECT_EQ(ExtractPair({"abc"}, "a", "b", 5, "c", out1, out2, 10), -1);
}

TEST(ExtractPair, EndBeforeTheEndOfMiddleGivesAnEmptySecondText) {
  std::string out1;
  std::string out2 = "x";
  // end is found from the end of start, before middle.
  const int result = ExtractPair({"[k;v=1]"}, "[", "=", 10, ";", out1, out2, 0);
  EXPECT_EQ(out1, "k;v");
  EXPECT_EQ(out2, "");
  EXPECT_EQ(result, 3);
}

TEST(ExtractPair, ReadsCharactersFromTheStartOffsetOn) {
  // From offset 1 the text reads "\x5C<b>..." because the walk begins at the trail byte, as when the
  // caller's offset falls there; from 0 the pair "\x83\x5C" is one character.
  const std::string page = "\x83\x5C<b>v</b>";
  std::string out1;
  std::string out2;
  EXPECT_EQ(ExtractPair({page}, "\x5C<", ">", 5, "</b>", out1, out2, 0), -1);
  EXPECT_EQ(ExtractPair({page}, "\x5C<", ">", 5, "</b>", out1, out2, 1), static_cast<int>(page.size()));
  EXPECT_EQ(out1, "b");
  EXPECT_EQ(out2, "v");
}

TEST(ChunkedText, FindsAsTheJoinedTextWouldAcrossEveryCut) {
  // "\x83\x5C" and "\x82\xA0" are characters; the other backslashes stand alone.
  const std::string text = "ab\x83\\\\cd\x82\xA0xy\\cd";
  for (const auto& chunks : Splits(text)) {
    const ChunkedText chunked(chunks);
    for (std::size_t from = 0; from <= text.size(); ++from) {
      for (const char* needle : {"\\", "cd", "\xA0x", "y\\c", "", "zz"}) {
        std::size_t expected = FindText(std::string_view(text).substr(from), needle);
        if (expected != std::string_view::npos) expected += from;
        EXPECT_EQ(chunked.Find(needle, from), expected) << from << " " << needle;
      }
      EXPECT_EQ(chunked.Copy(from, text.size()), text.substr(from));
      // Bytes, not characters: the backslash that trails "\x83" is found too.
      EXPECT_EQ(chunked.FindByte('\x5C', from), text.find('\x5C', from)) << from;
    }
  }
}

}  // namespace
}  // namespace wharfling
