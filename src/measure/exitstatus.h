#pragma once

// velumet-measure's exit statuses, as its manual page and --help document them.
namespace exitstatus {

constexpr int ok = 0;
constexpr int measurementFailed = 1;
constexpr int usage = 2;
constexpr int portUnavailable = 3;

} // namespace exitstatus
