// Time on Windows: GetLocalTime, GetTickCount and Sleep scaled by ZAM_TIME_SCALE.
#include <windows.h>

#include "platform/clock.h"

namespace platform {
namespace {

local_time from_system_time(const SYSTEMTIME& t) {
  return local_time{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond,
                    t.wMilliseconds};
}

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t unix_epoch_in_filetime = 116444736000000000LL;

}  // namespace

local_time local_now() {
  SYSTEMTIME now {};
  GetLocalTime(&now);
  return from_system_time(now);
}

local_time local_time_at(int64_t seconds_since_1970) {
  const int64_t ticks = seconds_since_1970 * 10000000LL + unix_epoch_in_filetime;
  FILETIME utc {};
  utc.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  utc.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  FILETIME local {};
  SYSTEMTIME fields {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &fields)) return {};
  local_time result = from_system_time(fields);
  result.milliseconds = 0;
  return result;
}

uint32_t tick_ms() { return static_cast<uint32_t>(GetTickCount()); }

void sleep_ms(uint32_t ms) {
  const double scaled = static_cast<double>(ms) * time_scale();
  if (scaled <= 0.0) return;
  Sleep(scaled >= 4294967294.0 ? 4294967294u : static_cast<DWORD>(scaled + 0.5));
}

}  // namespace platform
