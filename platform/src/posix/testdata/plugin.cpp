// A tiny shared library that the loader and registry tests open by name.
#include "platform/devio.h"
#include "zam_export.h"

extern "C" ZAM_EXPORT int platform_test_plugin_answer() { return 42; }

// How many interfaces of the card class this library's view of the registry lists.
extern "C" ZAM_EXPORT int platform_test_plugin_card_interfaces() {
  return static_cast<int>(platform::device_interfaces(platform::driver_class::zam_card).size());
}
