// The system under test's power and its firmware thread.
#include "sut/system_under_test.h"

#include <chrono>

#include "base/lattix_hierarchy.h"
#include "base/pcie_regs.h"
#include "sut/root_complex.h"
#include "sut/sut_access.h"

namespace zamsim {
namespace {

constexpr uint16_t stop_marker_register = 0xFC;

}  // namespace

system_under_test::system_under_test(usb_controller& usb, sut_options options)
    : usb_(usb), options_(std::move(options)) {}

system_under_test::~system_under_test() { power_off(); }

bool system_under_test::power_on(std::string& error) {
  power_off();
  auto tree = make_root_complex(options_.root_complex_script, error);
  if (!tree) return false;
  root_complex_ = std::move(tree);
  usb_.reset_pipes();
  stop_ = false;
  done_ = false;
  powered_ = true;
  thread_ = std::thread([this] { run_firmware_once(); });
  return true;
}

void system_under_test::power_off() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  powered_ = false;
}

bool system_under_test::wait_done(uint32_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done_.load()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void system_under_test::run_firmware_once() {
  virtual_ms_ = options_.reset_wait_ms;  // the wait after reset passes in virtual time
  card_link_access card(usb_, options_.link, stop_);
  sut_access access(*root_complex_, sut_root_port_at, card);
  firmware_options firmware = options_.firmware;
  firmware.pause = [this](uint32_t ms) { virtual_ms_ += ms; };
  const firmware_report report = run_firmware(access, firmware);
  const uint8_t card_bus = access.card_bus();
  const bool stopped = stop_.load();
  if (!stopped && card_bus != 0) card.post_write(false, bdf{card_bus, 0, 0}, stop_marker_register, 0);
  std::lock_guard lock(mutex_);
  last_ = "sut: firmware " + std::string(stopped ? "stopped by power-off" : report.ok ? "done" : "failed: " + report.error) +
          ", " + std::to_string(card.requests_sent()) + " request(s) through the card, " +
          std::to_string(report.functions) + " function(s), " + std::to_string(report.warnings.size()) +
          " warning(s), " + std::to_string(virtual_ms_) + " ms virtual\n";
  for (const auto& w : report.warnings) last_ += "  " + w + "\n";
  done_ = true;
}

std::string system_under_test::describe() const {
  std::lock_guard lock(mutex_);
  return std::string("sut: ") + (powered_.load() ? "powered on" : "powered off") + "\n" + last_;
}

}  // namespace zamsim
