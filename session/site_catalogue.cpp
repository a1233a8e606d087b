#include "session/site_catalogue.h"

#include <array>
#include <cstdio>

#include "wharfling/texts.h"

namespace wharfling {
namespace {

const std::array<SiteInfo, kSiteCount> kCatalogue = {{
    {1, "Parvault", "ParvaultD", "ParvaultW", "Size", "http://", "parvault.web", "", 2000000},
    {2, texts::kCaptionInHouseParvault, "Id002", "Pw002", "iparvault_maxsize", "http://", "inhouse.server",
     "/ParvaultAsp2", 4000000},
    {3, "Zorg", "Id003", "Pw003", "z_maxsize", "http://", "zorg.web", "", 5000000},
    {4, texts::kCaptionHatena, "Id004", "Pw004", "h_maxsize", "https://", "hatena.account", "", 5000000},
    {5, texts::kCaptionCreativePeople, "Id005", "Pw005", "p_maxsize", "http://", "creativepeople.web", "",
     5000000},
    {6, "PHOTOHITO", "Id006", "Pw006", "ph_maxsize", "https://", "photohito.web", "", 5000000},
    {7, "MIXI", "Id007", "Pw007", "mixi_maxsize", "http://", "mixi.web", "", 5000000},
    {8, "Olio", "Id008", "Pw008", "olio_maxsize", "http://", "olio.web", "", 5000000},
    {9, texts::kCaptionIiiro, "Id009", "Pw009", "iiiro_maxsize", "https://", "iiiro.web", "", 5000000},
    {10, "myPicturetown", "Id010", "Pw010", "myp_maxsize", "http://", "mypicturetown.main", "", 5000000},
    {11, "Fueru", "Id011", "Pw011", "fueru_maxsize", "https://", "fueru.web", "", 5000000},
    {12, texts::kCaptionRakuten, "Id012", "Pw012", "raku_maxsize", "https://", "rakuten.account", "",
     5000000},
    {13, "PicMate", "Id013", "Pw013", "pic_maxsize", "https://", "picmate.login", "", 5000000},
    {14, "Snapfish", "Id014", "Pw014", "snap_maxsize", "http://", "snapfish.web", "", 5000000},
}};

}  // namespace

const SiteInfo& CatalogueRow(std::int32_t siteIndex) {
  if (siteIndex >= 2 && siteIndex <= kSiteCount) return kCatalogue[static_cast<std::size_t>(siteIndex - 1)];
  return kCatalogue[0];
}

std::string NumberedValueName(std::string_view word, int index) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", index);
  return std::string(word) + digits;
}

Text DefaultSiteUrl(const SiteInfo& row, const EndpointTable& endpoints) {
  return Text(row.scheme) + endpoints.Host(row.hostKey) + Text(row.urlPath);
}

}  // namespace wharfling
