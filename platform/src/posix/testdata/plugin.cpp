// A tiny shared library that the loader and registry tests open by name.
#include "platform/devio.h"

extern "C" __attribute__((visibility("default"))) int platform_test_plugin_answer() { return 42; }

// How many interfaces of the card class this library's view of the registry lists.
extern "C" __attribute__((visibility("default"))) int platform_test_plugin_card_interfaces() {
  return static_cast<int>(platform::device_interfaces(platform::driver_class::zam_card).size());
}
