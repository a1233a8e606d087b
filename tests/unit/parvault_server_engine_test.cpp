// The engine's own parts, without a connection: the multipart reader and the connection slots by
// address.

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/engine/address_slots.h"
#include "server/engine/multipart_reader.h"

namespace wharfling::server {
namespace {

using ::testing::ElementsAre;

// What a reader handed on: "name|file=bytes" for each part.
struct Read {
  std::vector<std::string> parts;
  bool fed = true;
  bool complete = false;
};

Read ReadInPieces(const std::string& body, std::size_t piece, int stopAfterParts = -1) {
  Read read;
  MultipartReader reader(
      "XyZ",
      [&](std::string_view name, std::string_view file) {
        if (static_cast<int>(read.parts.size()) == stopAfterParts) return false;
        read.parts.push_back(std::string(name) + "|" + std::string(file) + "=");
        return true;
      },
      [&](const char* data, std::size_t size) {
        read.parts.back().append(data, size);
        return true;
      });
  for (std::size_t at = 0; at < body.size() && read.fed; at += piece) {
    read.fed = reader.Feed(body.data() + at, std::min(piece, body.size() - at));
  }
  read.complete = reader.complete();
  return read;
}

struct BodyCase {
  std::string label;
  std::string body;
  std::vector<std::string> parts;
  bool fed;
  bool complete;
};

void PrintTo(const BodyCase& value, std::ostream* out) { *out << value.label; }

class MultipartReaderTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(MultipartReaderTest, ReadsTheSameWhateverPiecesTheBodyArrivesIn) {
  for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{64}, GetParam().body.size()}) {
    const Read read = ReadInPieces(GetParam().body, std::max<std::size_t>(piece, 1));
    EXPECT_EQ(read.parts, GetParam().parts) << "pieces of " << piece;
    EXPECT_EQ(read.fed, GetParam().fed) << "pieces of " << piece;
    EXPECT_EQ(read.complete, GetParam().complete) << "pieces of " << piece;
  }
}

const std::string kFilePart =
    "--XyZ\r\nContent-Disposition: form-data; name=\"DataFile\"; filename=\"C:\\p\\a.jpg\"\r\n"
    "Content-Type: application/octet-stream\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Bodies, MultipartReaderTest,
    ::testing::Values(
        BodyCase{"a text part and a file",
                 "--XyZ\r\nContent-Disposition: form-data; name=\"FileID\"\r\n\r\n\r\n" + kFilePart +
                     "\xFF\xD8 bytes\r\n--XyZ--\r\n",
                 {"FileID|=", "DataFile|C:\\p\\a.jpg=\xFF\xD8 bytes"},
                 true,
                 true},
        BodyCase{"lines like the delimiter inside the file",
                 kFilePart + "a\r\n--XyY\r\n--Xy\r\n-- XyZ\rb\r\n--XyZ--",
                 {"DataFile|C:\\p\\a.jpg=a\r\n--XyY\r\n--Xy\r\n-- XyZ\rb"},
                 true,
                 true},
        BodyCase{"a preamble and an epilogue, both dropped",
                 "preamble\r\n" + kFilePart + "x\r\n--XyZ--\r\nepilogue " + std::string(500, 'e'),
                 {"DataFile|C:\\p\\a.jpg=x"},
                 true,
                 true},
        // What could begin a delimiter is held back: here the last 6 bytes, never handed on.
        BodyCase{
            "no closing delimiter", kFilePart + "half a file", {"DataFile|C:\\p\\a.jpg=half "}, true, false},
        BodyCase{"another boundary",
                 "--other\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--other--\r\n",
                 {},
                 true,
                 false},
        BodyCase{"no multipart at all", "this is not multipart at all", {}, true, false},
        BodyCase{"a delimiter line that does not end", "--XyZ garbage\r\n", {}, false, false},
        BodyCase{"part headers without end", "--XyZ\r\n" + std::string(9000, 'h'), {}, false, false}),
    [](const auto& param) { return std::to_string(param.index); });

TEST(MultipartReaderStopTest, AStoppingCallbackEndsTheBody) {
  const std::string body = kFilePart + "x\r\n" + kFilePart + "y\r\n--XyZ--\r\n";
  const Read read = ReadInPieces(body, body.size(), 1);
  EXPECT_THAT(read.parts, ElementsAre("DataFile|C:\\p\\a.jpg=x"));
  EXPECT_FALSE(read.fed);
  EXPECT_FALSE(read.complete);
}

TEST(MultipartHeadersTest, NamesComeOutOfTheirHeaders) {
  const struct {
    std::string disposition, name, file;
  } dispositions[] = {
      {"form-data; name=\"DataFile\"; filename=\"C:\\\x95\x5c.jpg\"", "DataFile", "C:\\\x95\x5c.jpg"},
      {"FORM-DATA;name=\"csrf\"", "csrf", ""},
      {"form-data; name=\"f\"; filename=\"say \"hi\"; x=1.jpg\"", "f", "say \"hi\"; x=1.jpg"},
      {"attachment; filename=\"a.jpg\"", "", ""},
  };
  for (const auto& c : dispositions) {
    const PartName part = ParseContentDisposition(c.disposition);
    EXPECT_EQ(part.name, c.name) << c.disposition;
    EXPECT_EQ(part.fileName, c.file) << c.disposition;
  }
  const struct {
    std::string type;
    std::optional<std::string> boundary;
  } types[] = {
      {"multipart/form-data; boundary=---------------------------7d432817150952",
       "---------------------------7d432817150952"},
      {"multipart/form-data; charset=UTF-8; boundary=\"a b;c\"", "a b;c"},
      {"Multipart/Form-Data;boundary=x; charset=UTF-8", "x"},
      {"multipart/form-data", std::nullopt},
      {"multipart/form-data; boundary=", std::nullopt},
      {"text/plain; boundary=x", std::nullopt},
  };
  for (const auto& c : types) EXPECT_EQ(MultipartBoundary(c.type), c.boundary) << c.type;
}

std::string Key(const char* text) {
  sockaddr_in6 v6{};
  sockaddr_in v4{};
  if (::inet_pton(AF_INET, text, &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    return AddressKey(reinterpret_cast<sockaddr*>(&v4), sizeof v4);
  }
  v6.sin6_family = AF_INET6;
  ::inet_pton(AF_INET6, text, &v6.sin6_addr);
  return AddressKey(reinterpret_cast<sockaddr*>(&v6), sizeof v6);
}

TEST(AddressSlotsTest, AnIpv6HostCountsByItsSlash64AndAMappedAddressAsIpv4) {
  EXPECT_EQ(Key("2001:db8:1:2::1"), Key("2001:db8:1:2:ffff::9"));
  EXPECT_NE(Key("2001:db8:1:2::1"), Key("2001:db8:1:3::1"));
  EXPECT_EQ(Key("::ffff:192.0.2.7"), Key("192.0.2.7"));
  EXPECT_NE(Key("192.0.2.7"), Key("192.0.2.8"));
}

TEST(AddressSlotsTest, TheLastSlotsStayForAddressesWithFewConnections) {
  ConnectionLimits limits;
  limits.maxConnections = 10;
  limits.maxConnectionsPerAddress = 4;
  limits.slotsKeptForNewcomers = 4;
  limits.newcomerConnections = 1;
  AddressSlots slots(limits);
  // Two greedy addresses take what is free of the kept slots, then no more.
  for (const char* greedy : {"a", "b"}) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(slots.HasRoom(greedy));
      slots.Enter(greedy);
    }
  }
  EXPECT_FALSE(slots.HasRoom("a")) << "crowded: no more for an address that holds several";
  for (const char* newcomer : {"c", "d", "e", "f"}) {
    EXPECT_TRUE(slots.HasRoom(newcomer)) << newcomer;
    slots.Enter(newcomer);
    EXPECT_FALSE(slots.HasRoom(newcomer)) << newcomer;
  }
  EXPECT_FALSE(slots.HasRoom("g")) << "full";
  slots.Leave("a");
  EXPECT_TRUE(slots.HasRoom("g"));
}

}  // namespace
}  // namespace wharfling::server
