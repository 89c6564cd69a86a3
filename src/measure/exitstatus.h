#pragma once

// velumet-measure's exit statuses, as its manual page and --help document
// them. Wrong usage gives 2, as in every program of ours
// (commandline::exitBadUsage).
namespace exitstatus {

constexpr int ok = 0;
constexpr int measurementFailed = 1;
constexpr int portUnavailable = 3;

} // namespace exitstatus
