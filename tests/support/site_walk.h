#pragma once
// The order in which a site's pages lead a browser through a whole run, as "METHOD target" lines
// (the target with its query, as the site receives it). Each fake writes its own once, from its
// pages; the driver tests check that a run followed it, and state a variant by what differs.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::testing {

using Lines = std::vector<std::string>;

struct SiteWalk {
  // The sign-in and whatever leads to the first photo.
  Lines start;
  // The requests of each photo: "{n}" stands for the photo's number as the site counts it (from
  // firstNumber, by numberStep), "{name}" for its file name.
  Lines photo;
  // After the last photo: the sign-out, where the site has one.
  Lines end{};
  int firstNumber = 1;
  int numberStep = 1;

  // The requests of the photo at index (from 0) in the run.
  Lines Step(int index, const std::string& name) const;
  // The whole walk over photos of these file names, in run order; none: start and end alone.
  Lines Over(const std::vector<std::string>& names) const;
};

Lines Joined(std::initializer_list<Lines> parts);
// The lines with every from replaced by to: the same walk under another value (album, token).
Lines Replaced(Lines lines, std::string_view from, std::string_view to);

}  // namespace wharfling::testing
