// ZAM_TIME_SCALE: the factor every backend's sleep applies.
#include <cmath>
#include <cstdlib>

#include "platform/clock.h"
#include "setting_warning.h"

namespace platform {

double time_scale() {
  const char* text = std::getenv("ZAM_TIME_SCALE");
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double factor = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(factor) || factor < 0.0) {
    warn_unusable_setting("ZAM_TIME_SCALE", text, "1 (a factor of 0 or more)");
    return 1.0;
  }
  return factor;
}

}  // namespace platform
