// The framework over the real driver interface library and fake drivers.
#include "framework_fixture.h"

#include "platform/devio.h"

// Libraries this program loads use its device provider registry, so they see the fakes.
ZAM_SHARE_DEVICE_PROVIDERS()

namespace vexo_test {

void FrameworkFixture::prepare(std::shared_ptr<pellor::fake::config_space_source> space) {
  drivers = std::make_unique<pellor::fake::fake_drivers>(std::move(space));
  config_path = drivers->add_config_driver();
  // Full scans send 65,280 requests; tests that look at requests turn logging on.
  drivers->record_requests(false);
  faults = std::make_shared<pellor::fake::fault_provider>(drivers->provider());
  platform::register_provider(faults);
}

VEXO_STATUS_t FrameworkFixture::open_framework() {
  // The library finds its drivers when it is loaded, so each start is a fresh load.
  VEXO_STATUS_t status = 0;
  load_output = printed_by(
      [&] { status = OpenVEXOEx(&framework, 0, VEXO_TEST_PELLOR_FILE, 0xE0000000ull, 0); });
  opened = true;
  return status;
}

void FrameworkFixture::start(std::shared_ptr<pellor::fake::config_space_source> space) {
  prepare(std::move(space));
  ASSERT_EQ(open_framework(), VEXO_STATUS_SUCCESS) << load_output;
  drivers->clear_requests();
}

std::shared_ptr<lattix_station> FrameworkFixture::start_lattix(const std::string& script) {
  const std::string path = folder.file("topology.test");
  write_file(path, script);
  auto station = std::make_shared<lattix_station>(path);
  start(station);
  return station;
}

std::shared_ptr<pellor::fake::byte_array_config_space> FrameworkFixture::start_bytes() {
  auto space = std::make_shared<pellor::fake::byte_array_config_space>();
  start(space);
  return space;
}

void FrameworkFixture::close() {
  if (opened) CloseVEXO(framework);
  opened = false;
  if (faults) platform::unregister_provider(faults);
  faults.reset();
}

VEXO_DEVICE_HANDLE_t FrameworkFixture::record_at(uint8_t bus, uint8_t device, uint8_t function) {
  VEXO_DEVICE_HANDLE_t dev = nullptr;
  EXPECT_EQ(FindDevice(bus, device, function, &dev), VEXO_STATUS_SUCCESS);
  return dev;
}

}  // namespace vexo_test
