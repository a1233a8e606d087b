#pragma once
// The fake destination sites, each a route table on RouteSite that accepts the given account and
// follows the site's own pages: its markers, redirects and answers, and the walk they lead a run
// through (RouteSite::Walk). The switches each site knows are listed beside it.

#include <memory>

#include "tests/support/route_site.h"

namespace wharfling::testing {

// Zorg, www.zorg.example. Switches: "login-redirect" (the login answers with a redirect instead of a
// page linking /pub/mytop), "no-form-target" (the upload form lacks its action), "monthly-limit"
// (uploads are refused with the monthly limit notice).
std::unique_ptr<RouteSite> MakeFakeZorg(const SiteAccount& account);

// Hatena fotolife: account host www.hatena.example (https only), photo host f.hatena.example; the
// user's page is /fotouser/. Switch: "edit-elsewhere" (uploads redirect elsewhere than the edit page).
std::unique_ptr<RouteSite> MakeFakeHatena(const SiteAccount& account);

// Snapfish: web host www.snapfish.example (the login post over https), upload host
// upload.snapfish.example; each visit of the upload page hands out a one-time authcode. Switches:
// "lowercase-location" and "content-location" (how the login names where to go), "authcode-far"
// (the authcode stands too far from the upload address to be found).
std::unique_ptr<RouteSite> MakeFakeSnapfish(const SiteAccount& account);

// Mixi, mixi.example: albums 1001 and 1002; a photo counts once its confirmation form comes back.
// Switches: "no-next-url" (the login page lacks the next-URL field), "no-albums", "long-album-id"
// (an album whose id is too long to be found comes first), "album-twice" (album 1001 is listed
// twice), "refuse-photos" (every photo is answered with the error area), "drop-confirmation"
// (confirmations lose their connection).
std::unique_ptr<RouteSite> MakeFakeMixi(const SiteAccount& account);

// myPicturetown, mypicturetown.example (sign-in) and photoapp.mypicturetown.example (the photo
// application, entered with a ticket). Switches: "no-upload-button" (the upload dialog lacks its
// Upload button).
std::unique_ptr<RouteSite> MakeFakeMyPicturetown(const SiteAccount& account);

// Fueru, www.fueru.example. The error report names a file by its whole path and is clean only for a
// file that arrived. Switches: "report-ok" (the report is clean for every file).
std::unique_ptr<RouteSite> MakeFakeFueru(const SiteAccount& account);

// Rakuten photo, account.rakuten.example (sign-in) and photo.rakuten.example (the manager, entered
// with a ticket). Switches: "no-csrf" (the upload form lacks its token), "no-redirect" (an upload is
// answered with a page instead of a redirect to its result).
std::unique_ptr<RouteSite> MakeFakeRakuten(const SiteAccount& account);

// PicMate, secure.picmate.example (sign-in), www.picmate.example (member pages) and
// upload.picmate.example; one session cookie for all three. Every token the token requests hand
// out is good once. Switches: "refuse" (an upload that arrived is answered with a word holding
// "ERROR").
std::unique_ptr<RouteSite> MakeFakePicMate(const SiteAccount& account);

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
