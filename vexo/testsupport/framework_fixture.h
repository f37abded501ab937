// Test fixture: the framework started over the real driver interface library, whose drivers
// are fakes (behind a fault-injecting provider) answering from a configuration space source.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_drivers.h"
#include "fault_provider.h"
#include "lattix_station.h"
#include "temp_folder.h"
#include "vexo.h"

namespace vexo_test {

class FrameworkFixture : public ::testing::Test {
 protected:
  void TearDown() override { close(); }

  // Registers fake drivers over `space` (a configuration driver, plus whatever `faults`
  // is told before open_framework) and starts the framework; returns OpenVEXOEx's status.
  void prepare(std::shared_ptr<pellor::fake::config_space_source> space);
  VEXO_STATUS_t open_framework();
  // Both in one: the status must be success.
  void start(std::shared_ptr<pellor::fake::config_space_source> space);
  // Builds a Lattix hierarchy from script text and starts over it.
  std::shared_ptr<lattix_station> start_lattix(const std::string& script);
  // Byte arrays per function, for lists built byte by byte.
  std::shared_ptr<pellor::fake::byte_array_config_space> start_bytes();
  void close();

  // Finds the record at a BDF, failing the test when it is not there.
  VEXO_DEVICE_HANDLE_t record_at(uint8_t bus, uint8_t device, uint8_t function);

  temp_folder folder;
  std::unique_ptr<pellor::fake::fake_drivers> drivers;
  std::shared_ptr<pellor::fake::fault_provider> faults;
  std::string config_path;
  VEXO_HANDLE_t framework = nullptr;
  std::string load_output;  // what the library printed while starting
  bool opened = false;
};

// Runs a call and returns what it printed on standard output.
template <typename Call>
std::string printed_by(Call call) {
  ::testing::internal::CaptureStdout();
  call();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace vexo_test
