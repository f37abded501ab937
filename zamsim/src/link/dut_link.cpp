// The card-to-device link: wire, data link ends, the card's faults and trace, the device.
#include "link/dut_link.h"

#include <algorithm>
#include <cstdio>

#include "link/tlp.h"

namespace zamsim {
namespace {

// Symbol times at 2.5 GT/s: a TLP adds 2 sequence bytes, 4 LCRC bytes and 2 framing
// symbols; a DLLP is 6 bytes and 2 framing symbols.
constexpr tick symbol_time = 4;

tick duration(const link_packet& packet) {
  return symbol_time * (packet.is_tlp ? packet.bytes.size() + 8 : 8);
}

}  // namespace

// The card's downstream port: what its data link end sends passes the card's transmit
// faults; what it accepts goes on to the host.
class dut_link::card_side : public link_port {
 public:
  explicit card_side(dut_link& link) : link_(link) {}

  tick send(const link_packet& packet) override {
    zam_card& card = link_.card_;
    if (packet.is_tlp) {
      switch (card.act_on_tlp(packet.bytes, false)) {
        case fault_command::corrupt_lcrc: {
          link_packet bad = packet;
          bad.lcrc ^= 0x00000001u;
          bad.card_action = trace_action::bad_lcrc;
          return link_.wire(false, bad);
        }
        case fault_command::duplicate_seq_num: {
          link_.wire(false, packet);
          link_packet again = packet;
          again.card_action = trace_action::duplicate;
          return link_.wire(false, again);
        }
        default: return link_.wire(false, packet);
      }
    }
    if (packet.bytes.empty() || packet.bytes[0] != dllp_ack) return link_.wire(false, packet);
    link_packet ack = packet;
    switch (card.act_on_ack()) {
      case fault_command::corrupt_dllp:
        ack.bytes[5] ^= 0xFF;
        ack.card_action = trace_action::bad_dllp_crc;
        break;
      case fault_command::dllp_reserved_bits:
        ack.bytes[1] = 0xFF;
        ack.bytes[2] |= 0xF0;
        dllp_crc(ack.bytes.data(), ack.bytes[4], ack.bytes[5]);
        ack.card_action = trace_action::dllp_reserved_bits;
        break;
      case fault_command::undefined_dllp:
        ack.bytes = {card.command_type_byte(), 0, 0, 0, 0, 0};
        dllp_crc(ack.bytes.data(), ack.bytes[4], ack.bytes[5]);
        ack.card_action = trace_action::substituted;
        break;
      default: break;
    }
    return link_.wire(false, ack);
  }

  void deliver(const std::vector<uint8_t>& tlp) override {
    if (link_.forward_delay_ == 0) {
      link_.forward_to_host(tlp);
      return;
    }
    link_.queue_.schedule_once(link_.queue_.now() + link_.forward_delay_, [this, tlp] { link_.forward_to_host(tlp); });
  }

  void report(link_error) override {}  // the card keeps no error registers
  tick retrain() override { return link_.start_training(); }

 private:
  dut_link& link_;
};

// The device's port: its requests and completions go upstream, what it accepts goes to
// its transaction layer, what its link reports to its error registers.
class dut_link::dut_side : public link_port {
 public:
  explicit dut_side(dut_link& link) : link_(link) {}

  tick send(const link_packet& packet) override { return link_.wire(true, packet); }

  void deliver(const std::vector<uint8_t>& tlp) override {
    if (is_completion(tlp)) {
      link_.dut_completion(tlp);
      return;
    }
    link_.queue_.schedule_once(link_.queue_.now() + completion_latency, [this, tlp] {
      if (auto cpl = link_.dut_.complete(tlp)) link_.dut_end_.transmit_tlp(std::move(*cpl));
    });
  }

  void report(link_error error) override {
    if (auto message = link_.dut_.report(error)) link_.dut_end_.transmit_tlp(std::move(*message));
  }

  tick retrain() override { return link_.start_training(); }

 private:
  dut_link& link_;
};

dut_link::dut_link(zam_card& card, dut_device& dut, std::function<void(bool)> link_training, link_faults dut_faults,
                   link_timing timing)
    : card_(card),
      dut_(dut),
      link_training_(std::move(link_training)),
      card_side_(std::make_unique<card_side>(*this)),
      dut_side_(std::make_unique<dut_side>(*this)),
      card_end_(queue_, *card_side_, timing),
      dut_end_(queue_, *dut_side_, timing, dut_faults),
      training_done_([this] {
        training_ = false;
        if (link_training_) link_training_(false);
      }) {}

dut_link::~dut_link() = default;

tick dut_link::wire(bool upstream, const link_packet& packet) {
  tick& busy = busy_until_[upstream ? 1 : 0];
  const tick start = std::max({queue_.now(), busy, training_until_});
  const tick end = start + duration(packet);
  busy = end;
  queue_.schedule_once(end, [this, upstream, packet] { arrive(upstream, packet); });
  return end;
}

tick dut_link::start_training() {
  training_until_ = std::max(training_until_, queue_.now() + training_time);
  if (!training_) {
    training_ = true;
    ++retrains_;
    if (link_training_) link_training_(true);
  }
  queue_.schedule(training_done_, training_until_);
  return training_until_;
}

void dut_link::arrive(bool upstream, const link_packet& packet) {
  // The card sees every packet on its port's link.
  card_.record(packet, upstream, queue_.now());
  if (upstream) {
    card_receives(packet);
  } else {
    dut_end_.receive(packet);
  }
}

void dut_link::card_receives(const link_packet& packet) {
  if (!packet.is_tlp || !lcrc_good(packet)) {
    card_end_.receive(packet);
    return;
  }
  switch (card_.act_on_tlp(packet.bytes, true)) {
    case fault_command::nak:
      card_.mark_discarded();
      card_end_.nak_tlp();
      break;
    case fault_command::no_ack_nak: card_end_.receive(packet, ack_mode::withhold); break;
    case fault_command::ack_nak_delay_legal: card_end_.receive(packet, ack_mode::latest); break;
    case fault_command::delay_tlp:
      forward_delay_ = tick{card_.command_parameter()} * 8;
      card_end_.receive(packet);
      forward_delay_ = 0;
      break;
    case fault_command::dllp_bogus_seq_num:
      card_end_.receive(packet);
      // Half the sequence space away from anything the device has outstanding.
      card_end_.send_dllp(ack_nak_dllp(dllp_ack, seq_add(card_end_.NEXT_RCV_SEQ(), 2048)));
      break;
    default: card_end_.receive(packet); break;
  }
}

void dut_link::forward_to_host(const std::vector<uint8_t>& tlp) {
  if (tlp.size() >= 12 && (tlp[0] & 0x5F) == 0x00) {
    // A memory read of the DUT: host memory completes it.
    const uint16_t requester = static_cast<uint16_t>(tlp[4] << 8 | tlp[5]);
    const uint8_t tag = tlp[6];
    queue_.schedule_once(queue_.now() + host_latency, [this, requester, tag] {
      card_end_.transmit_tlp(config_completion_tlp(bdf{0, 0, 0}, 0, true, 0x5A5A5A5A, requester, tag));
    });
    return;
  }
  if (is_completion(tlp)) {
    if (completion_tag(tlp) == host_tag_ && !host_completion_) host_completion_ = tlp;
    return;
  }
  if (tlp.size() >= 8 && (tlp[0] & 0x18) == 0x10) ++messages_[tlp[7]];  // a message to the root complex
}

void dut_link::settle() { queue_.settle(settle_bound); }

void dut_link::start_application() {
  if (!application_running_) {
    application_running_ = true;
    application_started_ = queue_.now();
  }
  application_round();
}

void dut_link::application_round() {
  if (application_running_ && queue_.now() - application_started_ >= application_bound) application_running_ = false;
  if (!application_running_) return;
  const uint16_t requester = requester_id(dut_.id());
  const uint8_t a[4] = {uint8_t(host_memory >> 24), uint8_t(host_memory >> 16), uint8_t(host_memory >> 8), 0};
  // MRd (3-dword header, 32-bit address), one dword, all byte enables.
  const uint8_t tag = dut_tag_++;
  dut_end_.transmit_tlp({0x00, 0, 0, 1, uint8_t(requester >> 8), uint8_t(requester), tag, 0x0F, a[0], a[1], a[2], a[3]});
  dut_request(tag);
  // MWr of one dword (posted: no completion, no timer).
  dut_end_.transmit_tlp({0x40, 0, 0, 1, uint8_t(requester >> 8), uint8_t(requester), 0, 0x0F, a[0], a[1], a[2], 0x04,
                         0xA5, 0xA5, 0xA5, 0xA5});
  settle();
}

// The completion timer of one read starts when the DUT sends it; without its completion in
// time the DUT reports the timeout and reissues the read.
void dut_link::dut_request(uint8_t tag) {
  const dut_faults& faults = dut_.faults();
  const uint64_t serial = ++request_serial_;
  outstanding_[tag] = serial;
  if (faults.no_completion_timeout) return;
  // The device's Device Control 2 sets the timeout (range B, 55 ms, as the firmware programs it).
  const tick limit = faults.short_completion_timeout ? short_completion_timeout : dut_.completion_timeout();
  queue_.schedule_once(queue_.now() + limit, [this, tag, serial] {
    const auto found = outstanding_.find(tag);
    if (found == outstanding_.end() || found->second != serial) return;  // completed in time
    outstanding_.erase(found);
    if (auto message = dut_.report_completion_timeout()) dut_end_.transmit_tlp(std::move(*message));
    const uint16_t requester = requester_id(dut_.id());
    const uint8_t retry_tag = dut_tag_++;
    dut_end_.transmit_tlp({0x00, 0, 0, 1, uint8_t(requester >> 8), uint8_t(requester), retry_tag, 0x0F,
                           uint8_t(host_memory >> 24), uint8_t(host_memory >> 16), uint8_t(host_memory >> 8), 0});
    dut_request(retry_tag);
  });
}

// A completion for one of the DUT's reads; one that comes after its timeout finds nothing
// outstanding under its tag and is dropped.
void dut_link::dut_completion(const std::vector<uint8_t>& tlp) { outstanding_.erase(completion_tag(tlp)); }

std::optional<std::vector<uint8_t>> dut_link::host_request(std::vector<uint8_t> request) {
  if (!card_.armed()) card_end_.release_withheld_ack();  // disarming stops every action
  host_tag_ = request.size() > 6 ? request[6] : 0;
  host_completion_.reset();
  card_end_.transmit_tlp(std::move(request));
  settle();
  return host_completion_;
}

void dut_link::retrain_link() {
  start_training();
  settle();
}

std::string dut_link::describe() const {
  std::string text = "link: card port   " + card_end_.describe() + "\n";
  text += "link: DUT         " + dut_end_.describe() + "\n";
  char line[200];
  text += std::string("link: DUT application ") + (application_running_ ? "running" : "stopped") + ", " +
          std::to_string(outstanding_.size()) + " read(s) waiting for completion\n";
  std::snprintf(line, sizeof line, "link: virtual time %llu ns, %s; error messages from the DUT: ERR_COR %u, ERR_NONFATAL %u, ERR_FATAL %u\n",
                static_cast<unsigned long long>(queue_.now()), training_ ? "training" : "up",
                messages_.count(message_err_cor) ? messages_.at(message_err_cor) : 0u,
                messages_.count(message_err_nonfatal) ? messages_.at(message_err_nonfatal) : 0u,
                messages_.count(message_err_fatal) ? messages_.at(message_err_fatal) : 0u);
  text += line;
  return text;
}

}  // namespace zamsim
