// Time on POSIX: local time, a monotonic millisecond tick, scaled sleeping.
#include "platform/clock.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace platform {

local_time local_now() {
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  tm fields {};
  localtime_r(&now.tv_sec, &fields);
  return local_time{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_wday, fields.tm_mday,
                    fields.tm_hour,        fields.tm_min,     fields.tm_sec,
                    static_cast<int>(now.tv_nsec / 1000000)};
}

local_time local_time_at(int64_t seconds_since_1970) {
  // localtime_r need not read TZ again; tzset makes a changed zone take effect.
  tzset();
  const time_t moment = static_cast<time_t>(seconds_since_1970);
  tm fields {};
  localtime_r(&moment, &fields);
  return local_time{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_wday, fields.tm_mday,
                    fields.tm_hour,        fields.tm_min,     fields.tm_sec,
                    0};
}

uint32_t tick_ms() {
  timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                      static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}


void sleep_ms(uint32_t ms) {
  const double scaled = static_cast<double>(ms) * time_scale();
  if (scaled <= 0.0) return;
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

}  // namespace platform
