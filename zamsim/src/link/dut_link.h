// The link between the card's downstream port and the device under test, in virtual
// time: the wire in both directions, a data link end at each side, the card's fault
// injection and trace at its port, the device's transaction layer at the other end.
// Every request the host sends is settled (replays, timers, retraining, delays played
// out) before its completion is handed back.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "card/card.h"
#include "dut/dut_device.h"
#include "link/data_link.h"
#include "link/event_queue.h"

namespace zamsim {

class dut_link {
 public:
  // `link_training` sets or clears Link Training on the card's downstream port.
  dut_link(zam_card& card, dut_device& dut, std::function<void(bool)> link_training, link_faults dut_faults = {},
           link_timing timing = {});
  ~dut_link();

  // Sends a configuration request from the card's port to the device, settles the link
  // and returns the completion the card forwarded to the host (nothing when none came).
  std::optional<std::vector<uint8_t>> host_request(std::vector<uint8_t> request);
  // Retrain Link written in the card port's Link Control; settles the link.
  void retrain_link();

  // The DUT's application (started and stopped by the operator). While it runs, each
  // round it plays (when it is started, and each time the card is armed) sends a memory
  // read and a memory write to host memory; the host completes the read. An application
  // nobody stops ends by itself after application_bound of virtual time.
  void start_application();
  void stop_application() { application_running_ = false; }
  bool application_running() const { return application_running_; }
  void application_round();

  // Plays out every pending event (bounded, so a faulty device cannot hang the lab).
  void settle();

  event_queue& queue() { return queue_; }
  data_link_end& card_end() { return card_end_; }
  data_link_end& dut_end() { return dut_end_; }
  bool training() const { return training_; }
  // How many times the link has retrained.
  uint32_t retrains() const { return retrains_; }
  // Error messages that reached the card from the device, by message code.
  const std::map<uint8_t, uint32_t>& messages() const { return messages_; }
  std::string describe() const;

  static constexpr tick training_time = 10'000;    // 10 us of virtual time
  static constexpr tick completion_latency = 300;  // the device's time to complete a request
  static constexpr uint64_t settle_bound = 1'000'000;
  static constexpr tick host_latency = 500;                    // host memory completing a read
  static constexpr tick application_bound = 10'000'000'000;    // 10 s of virtual time
  static constexpr tick short_completion_timeout = 5'000'000;  // the short-completion-timeout fault
  static constexpr uint32_t host_memory = 0x10000000;          // where the application reads and writes

 private:
  class card_side;
  class dut_side;

  tick wire(bool upstream, const link_packet& packet);
  tick start_training();
  void arrive(bool upstream, const link_packet& packet);
  void card_receives(const link_packet& packet);
  void forward_to_host(const std::vector<uint8_t>& tlp);
  void dut_request(uint8_t tag);
  void dut_completion(const std::vector<uint8_t>& tlp);

  event_queue queue_;
  zam_card& card_;
  dut_device& dut_;
  std::function<void(bool)> link_training_;
  std::unique_ptr<card_side> card_side_;
  std::unique_ptr<dut_side> dut_side_;
  data_link_end card_end_;
  data_link_end dut_end_;

  tick busy_until_[2] = {0, 0};  // per direction: downstream, upstream
  tick training_until_ = 0;
  bool training_ = false;
  uint32_t retrains_ = 0;
  event training_done_;
  tick forward_delay_ = 0;  // DELAY_TLP: how long the card holds the TLP it is receiving
  uint8_t host_tag_ = 0;
  std::optional<std::vector<uint8_t>> host_completion_;
  std::map<uint8_t, uint32_t> messages_;
  bool application_running_ = false;
  tick application_started_ = 0;
  uint8_t dut_tag_ = 0;
  std::map<uint8_t, uint64_t> outstanding_;  // the DUT's reads waiting for a completion, by tag
  uint64_t request_serial_ = 0;
};

}  // namespace zamsim
