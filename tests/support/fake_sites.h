#pragma once
// The fake destination sites, each a route table on RouteSite that accepts the given account and
// follows the site's own pages: its markers, redirects and answers. The switches each site knows
// are listed beside it.

#include <memory>

#include "tests/support/route_site.h"

namespace wharfling::testing {

// Zorg, www.zorg.example. Switches: "login-redirect" (the login answers with a redirect instead of a
// page linking /pub/mytop), "no-form-target" (the upload form lacks its action), "monthly-limit"
// (uploads are refused with the monthly limit notice).
std::unique_ptr<RouteSite> MakeFakeZorg(const SiteAccount& account);

// Olio, www.olio.example (login over https only). Switches: "personal-past-gap" (the album list first
// shows a personal album whose image lies too far from its link), "later-album" (an album's page
// lists a further album after the place where the album list's personal album ended).
std::unique_ptr<RouteSite> MakeFakeOlio(const SiteAccount& account);

// iiiro, www.iiiro.example (https only). The add-image page reports success only for a photo that
// arrived. Switches: "sid-unterminated" (the album page's upload address lacks its closing
// apostrophe), "always-added" (the add-image page reports success whatever arrived).
std::unique_ptr<RouteSite> MakeFakeIiiro(const SiteAccount& account);

// PHOTOHITO, photohito.example (login over https only; every form checks its page's token).
// Switch: "refuse" (uploads are answered with the error title and no redirect).
std::unique_ptr<RouteSite> MakeFakePhotohito(const SiteAccount& account);

// creative people:photo, photo.creativepeople.example (login over https, upload forms keyed per photo).
// Switches: "no-https-redirect" (the plain login page does not send the browser to https),
// "second-form-broken" (the second upload form lacks the attribute before its target).
std::unique_ptr<RouteSite> MakeFakeCreativePeople(const SiteAccount& account);

}  // namespace wharfling::testing
