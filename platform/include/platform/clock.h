// Time: local time fields, a millisecond tick and sleeping.
#pragma once

#include <cstdint>

namespace platform {

struct local_time {
  int year;
  int month;        // 1-12
  int day_of_week;  // 0 = Sunday
  int day;          // 1-31
  int hour;
  int minute;
  int second;
  int milliseconds;
};

local_time local_now();

// The local time of a moment given in seconds since 1970-01-01 UTC (milliseconds 0).
local_time local_time_at(int64_t seconds_since_1970);

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
uint32_t tick_ms();

// Sleeps for ms milliseconds scaled by ZAM_TIME_SCALE (a factor, default 1), so that runs
// against the virtual lab need not wait out fixed hardware delays.
void sleep_ms(uint32_t ms);

// The factor sleep_ms applies (ZAM_TIME_SCALE, default 1; invalid or negative values give 1).
double time_scale();

}  // namespace platform
