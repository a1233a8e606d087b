// What the hyperlink label says when a link does not open, by result code.

#include "ui/hyperlink_messages.h"

#include <gtest/gtest.h>

namespace wharfling {
namespace {

TEST(HyperlinkErrorText, DescribesEachCode) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {0, "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources."},
      {2, "Unable to open hyperlink:\n\nThe specified file was not found."},
      {26, "Unable to open hyperlink:\n\nA sharing violation occurred. "},
      {31,
       "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."},
      {32, "Unable to open hyperlink:\n\nThe specified dynamic-link library was not found."},
      {33, "Unable to open hyperlink:\n\nUnknown Error (33) occurred."},
      {-7, "Unable to open hyperlink:\n\nUnknown Error (-7) occurred."},
  };
  for (const auto& test : cases) EXPECT_EQ(HyperlinkErrorText(test.code), test.text) << test.code;
}

}  // namespace
}  // namespace wharfling
