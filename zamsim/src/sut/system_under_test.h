// The system under test: a root complex whose root port's slot holds the card in topology
// mode. Powering it on (re)starts its firmware, which enumerates through the card and ends
// with the stop marker; powering it off stops the firmware where it is.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "firmware/firmware.h"
#include "base/hierarchy.h"
#include "sut/card_link.h"
#include "usb/usb_controller.h"

namespace zamsim {

struct sut_options {
  std::string root_complex_script;  // the root complex's topology (the root port first)
  firmware_options firmware;
  card_link_options link;
  uint32_t reset_wait_ms = 100;     // before the first configuration request (virtual time)
};

class system_under_test {
 public:
  system_under_test(usb_controller& usb, sut_options options);
  ~system_under_test();
  system_under_test(const system_under_test&) = delete;
  system_under_test& operator=(const system_under_test&) = delete;

  // Resets and starts the firmware; a running firmware is stopped first. False with
  // `error` set when the root complex cannot be built.
  bool power_on(std::string& error);
  void power_off();
  bool powered() const { return powered_.load(); }
  // Blocks until the running firmware has finished (tests); true when it has.
  bool wait_done(uint32_t timeout_ms);

  std::string describe() const;

 private:
  void run_firmware_once();

  usb_controller& usb_;
  sut_options options_;
  std::unique_ptr<hierarchy> root_complex_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> powered_{false};
  std::atomic<bool> done_{false};
  mutable std::mutex mutex_;
  std::string last_;        // what the last firmware run did
  uint64_t virtual_ms_ = 0; // the firmware's clock: reset wait and retry pauses
};

}  // namespace zamsim
