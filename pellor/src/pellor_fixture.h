// Test fixture: fake drivers behind a fault-injecting provider, and the library started and
// closed around each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_drivers.h"
#include "fault_provider.h"
#include "pellor/pellor.h"

namespace pellor::test {

class PellorFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Initialises the library as the load hook does; returns what it printed.
  std::string start();
  // Closes the library as the unload hook does.
  void stop();

  CONFIG_DRIVER_INTERFACE_t config_table();
  ZAM_LIB_INTERFACE_t& card_table();
  KEP_LIB_INTERFACE_t& kep_table();

  std::shared_ptr<fake::byte_array_config_space> space =
      std::make_shared<fake::byte_array_config_space>();
  fake::fake_drivers drivers{space};
  std::shared_ptr<fake::fault_provider> faults;
};

// Whether every byte of an object is zero.
template <class T>
bool all_zero(const T& object) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&object);
  for (size_t i = 0; i < sizeof(T); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// The 32-bit little-endian word at a byte offset of a request.
uint32_t word_at(const std::vector<uint8_t>& bytes, size_t offset);

}  // namespace pellor::test
