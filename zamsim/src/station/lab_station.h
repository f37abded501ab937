// A running station: its hierarchy after the boot, the roles its devices play, the card,
// and the host's configuration path, which the card records while it is armed.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "card/card.h"
#include "usb/usb_controller.h"
#include "dut/dut_device.h"
#include "link/dut_link.h"
#include "firmware/firmware.h"
#include "base/hierarchy.h"
#include "station/station.h"
#include "operator/virtual_operator.h"
#include "sut/system_under_test.h"

namespace zamsim {

struct station_roles {
  std::optional<bdf> farrow;      // the card: its upstream bridge
  std::optional<bdf> card_port;   // the card's downstream port, directly above the DUT
  std::optional<bdf> dut;
  std::optional<bdf> known_endpoint;
  uint8_t card_secondary = 0;     // the bus behind the Farrow port
  uint8_t port_secondary = 0;     // the bus range behind the card's port
  uint8_t port_subordinate = 0;
};

class lab_station {
 public:
  lab_station(station_config config, std::unique_ptr<hierarchy> tree);
  ~lab_station();

  // Powers the station on: the straps, then the virtual firmware, then the roles.
  // Returns false with `error` set when the firmware or a role lookup fails.
  bool boot(std::string& error);

  // The host's configuration requests (the configuration-space driver).
  bool host_read(bdf target, uint32_t offset, uint32_t length, uint8_t* out);
  bool host_write(bdf target, uint32_t offset, uint32_t length, const uint8_t* in);

  // The card was armed: a running DUT application plays a round of traffic for it.
  void card_armed();
  // An operator prompt, answered by the virtual operator; a prompt to start or stop an
  // application on the DUT, confirmed, starts or stops it.
  platform::answer operator_prompt(const std::string& caption, const std::string& text, platform::buttons choice);

  const station_config& config() const { return config_; }
  const station_roles& roles() const { return roles_; }
  const firmware_report& boot_report() const { return report_; }
  zam_card& card() { return card_; }
  // The card's USB controller (ezusb-0).
  usb_controller& usb() { return *usb_; }
  virtual_operator& bench_operator() { return operator_; }
  hierarchy& tree() { return *tree_; }
  // The link between the card's port and the DUT; nullptr before the boot or when the
  // station has no card port or DUT.
  dut_link* link() { return link_.get(); }

  // The system under test, when the station has one: powered on when the card is opened
  // or the operator is asked to, off when it is closed or the operator powers it down.
  system_under_test* sut() { return sut_.get(); }
  void sut_power(bool on);
  // The card on a USB bus (usbredir), where no open of the card reaches the lab: the
  // operator powers the system on when a host first waits on the card's pipe 1 in topology
  // mode with the system off (the tool has armed the card and waits for the firmware's
  // first request), and powers off what he powered on when the card leaves the bus.
  void usb_host_waits();
  void usb_host_left();

  std::string describe();

 private:
  class recording_access;
  void apply_straps();
  void train_links();
  void set_link_training(bool training);

  station_config config_;
  std::unique_ptr<hierarchy> tree_;
  std::unique_ptr<recording_access> host_;
  std::mutex mutex_;  // one configuration request at a time, as on a real bus
  std::mutex power_mutex_;        // one power switch of the system under test at a time
  bool usb_powered_sut_ = false;  // the USB host's first wait powered the system on
  station_roles roles_;
  firmware_report report_;
  zam_card card_;
  std::unique_ptr<usb_controller> usb_;
  virtual_operator operator_;
  std::unique_ptr<dut_device> dut_;
  std::unique_ptr<dut_link> link_;
  std::unique_ptr<system_under_test> sut_;
};

}  // namespace zamsim
