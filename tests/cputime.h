#pragma once

#include <sys/resource.h>

// CPU time this process has used so far, user and system, in seconds. A busy
// loop shows up here even when the wall clock cannot tell it from waiting.
inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
