#include "web/multipart_body.h"

#include <gtest/gtest.h>

namespace wharfling {
namespace {

TEST(MultipartBody, TextPartThenGenericFilePart) {
  MultipartBody body;
  body.AddTextPart("a", "b");
  body.AddFilePart("f", "x.jpg");
  body.AddFileContent(std::string("\x01\x02\x03", 3));
  body.Close();
  const std::string expected =
      "-----------------------------7d432817150952\r\n"
      "Content-Disposition: form-data; name=\"a\"\r\n"
      "\r\n"
      "b\r\n"
      "-----------------------------7d432817150952\r\n"
      "Content-Disposition: form-data; name=\"f\"; filename=\"x.jpg\"\r\n"
      "Content-Type: application/octet-stream\r\n"
      "\r\n"
      "\x01\x02\x03\r\n"
      "-----------------------------7d432817150952--\r\n";
  EXPECT_EQ(body.bytes(), expected);
  EXPECT_EQ(body.length(), expected.size());
}

TEST(MultipartBody, EmptyValueKeepsItsEmptyLines) {
  MultipartBody body;
  body.AddTextPart("FileID", "");
  body.Close();
  EXPECT_EQ(body.bytes(),
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"FileID\"\r\n"
            "\r\n"
            "\r\n"
            "-----------------------------7d432817150952--\r\n");
}

TEST(MultipartBody, ZeroBytesAndEmptyFilesAreSentWhole) {
  MultipartBody body;
  body.AddTypedFilePart("photo", "C:\\Photos\\a.jpg", "image/pjpeg");
  body.AddFileContent(std::string("\xFF\xD8\0\0\xFF\xD9", 6));
  body.AddFilePart("empty", "e.bin");
  body.AddFileContent("");
  body.Close();
  const std::string expected =
      std::string(
          "-----------------------------7d432817150952\r\n"
          "Content-Disposition: form-data; name=\"photo\"; filename=\"C:\\Photos\\a.jpg\"\r\n"
          "Content-Type: image/pjpeg\r\n"
          "\r\n") +
      std::string("\xFF\xD8\0\0\xFF\xD9", 6) +
      "\r\n"
      "-----------------------------7d432817150952\r\n"
      "Content-Disposition: form-data; name=\"empty\"; filename=\"e.bin\"\r\n"
      "Content-Type: application/octet-stream\r\n"
      "\r\n"
      "\r\n"
      "-----------------------------7d432817150952--\r\n";
  EXPECT_EQ(body.bytes(), expected);
}

TEST(MultipartBody, WhereFlushesFallChangesNothing) {
  MultipartBody flushedEachTime;
  MultipartBody flushedOnce;
  for (const char* name : {"one", "two", "three"}) {
    flushedEachTime.AddTextPart(name, std::string(6000, 'v'));  // more than a 10,240-byte buffer would hold
    flushedEachTime.FlushPart();
    flushedOnce.AddTextPart(name, std::string(6000, 'v'));
  }
  EXPECT_TRUE(flushedOnce.bytes().empty());
  flushedEachTime.Close();
  flushedOnce.Close();
  EXPECT_EQ(flushedEachTime.bytes(), flushedOnce.bytes());
}

TEST(MultipartBody, FixedTextsHaveTheirLengths) {
  EXPECT_EQ(kDashPrefix.size(), 29u);
  EXPECT_EQ(kClosingLine.size(), 47u);
  EXPECT_EQ(kBoundaryToken.size(), 14u);
}

}  // namespace
}  // namespace wharfling
