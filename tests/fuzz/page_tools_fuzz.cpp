// The page tools over a page cut into random reads: every answer must be the one the same page
// gives as a single read, whatever the cuts.

#include <algorithm>

#include "tests/fuzz/fuzz_input.h"
#include "text/text.h"
#include "web/page_tools.h"

namespace {

using wharfling::ChunkList;
using wharfling::Text;
using wharfling::fuzz::Check;
using wharfling::fuzz::FuzzInput;

ChunkList CutIntoReads(FuzzInput& input, std::string_view page) {
  ChunkList chunks;
  while (!page.empty()) {
    const std::size_t length = input.Byte() % 17;
    if (length == 0) chunks.emplace_back();  // an empty read, which carries no meaning
    chunks.emplace_back(page.substr(0, std::max<std::size_t>(length, 1)));
    page.remove_prefix(chunks.back().size());
  }
  return chunks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view marker = input.Text(8);
  const std::string_view middle = input.Text(8);
  const std::string_view end = input.Text(8);
  const char stop = static_cast<char>(input.Byte() % 0x40);
  const int maxGap = input.Byte();
  const int from = input.Byte() % 64;
  const std::string_view page = input.Text(200);
  const ChunkList whole = page.empty() ? ChunkList{} : ChunkList{Text(page)};
  const ChunkList cut = CutIntoReads(input, page);

  Text joined;
  wharfling::JoinChunks(cut, joined);
  Check(joined == page);
  Check(wharfling::PageContains(cut, marker) == wharfling::PageContains(whole, marker));
  Check(wharfling::PageContains(whole, marker) ==
        (wharfling::FindText(page, marker) != std::string_view::npos));

  Text wholeOut = "unset";
  Text cutOut = "unset";
  Check(wharfling::ExtractBetween(whole, marker, stop, wholeOut) ==
        wharfling::ExtractBetween(cut, marker, stop, cutOut));
  Check(wholeOut == cutOut);
  Check(wharfling::ExtractRedirect(whole, wholeOut) == wharfling::ExtractRedirect(cut, cutOut));
  Check(wholeOut == cutOut);

  Text whole1 = "1", whole2 = "2", cut1 = "1", cut2 = "2";
  const int wholeAt = wharfling::ExtractPair(whole, marker, middle, maxGap, end, whole1, whole2, from);
  const int cutAt = wharfling::ExtractPair(cut, marker, middle, maxGap, end, cut1, cut2, from);
  Check(wholeAt == cutAt && whole1 == cut1 && whole2 == cut2);
  Check(wholeAt >= -2 && wholeAt <= static_cast<int>(page.size()));
  return 0;
}
