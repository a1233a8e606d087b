#include "server/pages/gallery_assets.h"

namespace wharfling::server {

std::string_view GalleryStylesheet() {
  return R"(:root { color-scheme: light; --ink: #1f2328; --muted: #5f6770; --line: #d8dee4; --accent: #0b62c4; }
* { box-sizing: border-box; }
body { margin: 0; font: 16px/1.45 system-ui, -apple-system, "Segoe UI", "Noto Sans", sans-serif;
  color: var(--ink); background: #f6f8fa; }
header { display: flex; flex-wrap: wrap; align-items: center; gap: .5rem 1rem; padding: .75rem 1rem;
  background: #fff; border-bottom: 1px solid var(--line); }
header .home { font-weight: 700; font-size: 1.15rem; color: var(--ink); text-decoration: none; margin-right: auto; }
header .account { color: var(--muted); }
header form.signout { margin: 0; }
header #signout { background: none; border: none; padding: 0; color: var(--accent); text-decoration: underline; }
form#upload .limit { color: var(--muted); font-size: .9em; }
main { max-width: 72rem; margin: 0 auto; padding: 1rem; }
a { color: var(--accent); }
form#upload { display: flex; flex-wrap: wrap; align-items: center; gap: .5rem; padding: .75rem;
  background: #fff; border: 1px solid var(--line); border-radius: 8px; }
form#upload input[type=file] { max-width: 100%; }
button, .button { font: inherit; padding: .45rem .9rem; border-radius: 6px; border: 1px solid var(--accent);
  background: var(--accent); color: #fff; cursor: pointer; text-decoration: none; display: inline-block; }
.button { background: #fff; color: var(--accent); }
button.danger { background: #c62828; border-color: #c62828; }
.message { padding: .6rem .8rem; border-radius: 6px; background: #e8f1fb; border: 1px solid #b6d3f2; }
#totals { color: var(--muted); margin: 1rem 0 .5rem; }
.empty { color: var(--muted); }
.grid { list-style: none; margin: 0; padding: 0; display: grid; gap: .75rem;
  grid-template-columns: repeat(auto-fill, minmax(9.5rem, 1fr)); }
.tile { background: #fff; border: 1px solid var(--line); border-radius: 8px; overflow: hidden; }
.tile a.photo { display: block; color: var(--ink); text-decoration: none; }
.tile img.thumb { display: block; width: 100%; aspect-ratio: 1; object-fit: cover; background: #eaeef2; }
.tile .name { display: block; padding: .4rem .5rem 0; font-weight: 600; overflow: hidden;
  text-overflow: ellipsis; white-space: nowrap; }
.meta { display: block; padding: 0 .5rem .45rem; color: var(--muted); font-size: .85rem; }
.pages { display: flex; justify-content: center; align-items: center; gap: 1rem; margin: 1.25rem 0; }
figure { margin: 0; background: #fff; border: 1px solid var(--line); border-radius: 8px; padding: .75rem; }
figure img { display: block; max-width: 100%; max-height: 75vh; margin: 0 auto; }
figcaption .name { display: block; font-weight: 600; margin-top: .5rem; overflow-wrap: anywhere; }
figcaption .meta { padding: 0; }
.actions { display: flex; flex-wrap: wrap; gap: .75rem; align-items: center; margin: 1rem 0; }
.actions form { margin: 0; }
h1.confirm { font-size: 1.3rem; overflow-wrap: anywhere; }
@media (max-width: 30rem) { main { padding: .6rem; } .grid { grid-template-columns: repeat(2, 1fr); gap: .5rem; } }
)";
}

std::string_view NeutralTileSvg() {
  return R"(<svg xmlns="http://www.w3.org/2000/svg" width="320" height="320" viewBox="0 0 320 320">)"
         R"(<rect width="320" height="320" fill="#eaeef2"/>)"
         R"(<path d="M112 84h66l34 34v118H112z" fill="#fff" stroke="#8c959f" stroke-width="6" stroke-linejoin="round"/>)"
         R"(<path d="M178 84v34h34" fill="none" stroke="#8c959f" stroke-width="6" stroke-linejoin="round"/>)"
         "</svg>\n";
}

}  // namespace wharfling::server
