// Test fixture: fake drivers registered in-process, library lifecycle around each test.
#include "pellor_fixture.h"

#include <cstring>

#include "allocation.h"
#include "lifecycle.h"
#include "platform/devio.h"

namespace pellor::test {

void PellorFixture::SetUp() {
  faults = std::make_shared<fake::fault_provider>(drivers.provider());
  platform::register_provider(faults);
}

void PellorFixture::TearDown() {
  stop();
  allocation::allow_all();
  platform::unregister_provider(faults);
}

std::string PellorFixture::start() {
  ::testing::internal::CaptureStdout();
  initialise();
  return ::testing::internal::GetCapturedStdout();
}

void PellorFixture::stop() { close(); }

CONFIG_DRIVER_INTERFACE_t PellorFixture::config_table() {
  CONFIG_DRIVER_INTERFACE_t table;
  std::memset(&table, 0xA5, sizeof table);
  ConfigDriver_GetInterface(&table);
  return table;
}

ZAM_LIB_INTERFACE_t& PellorFixture::card_table() {
  ZAM_LIB_INTERFACE_t* table = nullptr;
  EXPECT_EQ(ZAM_LIB_Open_ZAM_Interface(&table), 0u);
  return *table;
}

KEP_LIB_INTERFACE_t& PellorFixture::kep_table() {
  KEP_LIB_INTERFACE_t* table = nullptr;
  EXPECT_EQ(KEP_LIB_Open_KEP_Interface(&table), 0u);
  return *table;
}

uint32_t word_at(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t word = 0;
  if (offset + 4 <= bytes.size()) std::memcpy(&word, bytes.data() + offset, 4);
  return word;
}

}  // namespace pellor::test
