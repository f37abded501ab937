// One end of the link at the data link layer.
#include "link/data_link.h"

#include <cstdio>

namespace zamsim {

data_link_end::data_link_end(event_queue& queue, link_port& port, link_timing timing, link_faults faults)
    : queue_(queue),
      port_(port),
      timing_(timing),
      faults_(faults),
      replay_timer_([this] { replay_timer_expired(); }),
      ack_timer_([this] { send_ack(); }) {}

void data_link_end::transmit_tlp(std::vector<uint8_t> tlp) {
  link_packet packet = make_tlp(std::move(tlp), next_transmit_seq_);
  next_transmit_seq_ = seq_add(next_transmit_seq_, 1);
  retry_buffer_.push_back(packet);
  const tick end = port_.send(packet);
  if (!replay_timer_.scheduled()) start_replay_timer(end);
}

void data_link_end::start_replay_timer(tick from) {
  if (faults_.no_replay_timer) return;
  queue_.schedule(replay_timer_, from + timing_.replay_timeout);
}

void data_link_end::receive(const link_packet& packet, ack_mode mode) {
  if (packet.is_tlp) {
    receive_tlp(packet, mode);
  } else {
    receive_dllp(packet.bytes);
  }
}

void data_link_end::receive_tlp(const link_packet& tlp, ack_mode mode) {
  if (!lcrc_good(tlp) && !faults_.accepts_bad_lcrc) {
    if (!nak_scheduled_) send_nak();
    port_.report(link_error::bad_tlp);
    return;
  }
  const uint16_t seq = tlp.sequence;
  const auto acknowledge = [&] {
    if (mode == ack_mode::withhold) {
      withheld_ = true;
      withheld_seq_ = seq;
      return;
    }
    // Any Ack would acknowledge a withheld TLP too, so none goes out until it comes again.
    if (withheld_ && seq != withheld_seq_) return;
    withheld_ = false;
    ack_upto_ = seq_add(next_rcv_seq_, -1);
    schedule_ack(mode == ack_mode::latest ? timing_.ack_latency_max : timing_.ack_latency);
  };
  if (seq == next_rcv_seq_) {
    next_rcv_seq_ = seq_add(next_rcv_seq_, 1);
    nak_scheduled_ = false;
    acknowledge();
    port_.deliver(tlp.bytes);
    return;
  }
  if (seq_distance(seq, next_rcv_seq_) <= 2048) {
    // Already received: a duplicate, acknowledged again and otherwise dropped.
    acknowledge();
    if (faults_.accepts_duplicates) port_.deliver(tlp.bytes);
    return;
  }
  // Ahead of NEXT_RCV_SEQ: a TLP was lost.
  if (!nak_scheduled_) send_nak();
  port_.report(link_error::bad_tlp);
}

void data_link_end::receive_dllp(const std::vector<uint8_t>& dllp) {
  if (dllp.size() < 6) return;
  if (!dllp_crc_good(dllp) && !faults_.ignores_bad_dllp) {
    port_.report(link_error::bad_dllp);
    return;
  }
  const uint8_t type = dllp[0];
  if (type != dllp_ack && type != dllp_nak) return;  // no flow control or power model; undefined types are dropped
  // Reserved: byte 1 and the upper half of byte 2. The CRC covers them; they mean nothing.
  if (faults_.reserved_dllp_bits_error && (dllp[1] != 0 || (dllp[2] & 0xF0) != 0)) {
    port_.report(link_error::bad_dllp);
    return;
  }
  ack_nak_received(type == dllp_nak, static_cast<uint16_t>((dllp[2] & 0x0F) << 8 | dllp[3]));
}

void data_link_end::ack_nak_received(bool nak, uint16_t seq) {
  const uint16_t acknowledged = seq_distance(ackd_seq_, seq);
  if (acknowledged > retry_buffer_.size()) {
    // Names neither an unacknowledged TLP nor ACKD_SEQ.
    if (!faults_.ignores_bogus_ack) port_.report(link_error::data_link_protocol);
    return;
  }
  if (acknowledged > 0) {
    retry_buffer_.erase(retry_buffer_.begin(), retry_buffer_.begin() + acknowledged);
    ackd_seq_ = seq;
    replay_num_ = 0;
    if (retry_buffer_.empty()) {
      queue_.deschedule(replay_timer_);
    } else {
      start_replay_timer(queue_.now());
    }
  }
  if (nak && !faults_.no_replay_on_nak && !retry_buffer_.empty()) replay();
}

void data_link_end::replay() {
  const uint8_t last_before_rollover = faults_.early_rollover ? 2 : 3;
  bool rolled_over = false;
  if (replay_num_ >= last_before_rollover && !faults_.no_replay_rollover) {
    replay_num_ = 0;
    rolled_over = true;
    port_.retrain();  // the replay goes out once the link is up again
  } else if (replay_num_ < 3) {
    ++replay_num_;
  }
  tick end = queue_.now();
  const std::deque<link_packet> oldest_first = retry_buffer_;
  for (const link_packet& packet : oldest_first) end = port_.send(packet);
  start_replay_timer(end);
  if (rolled_over) port_.report(link_error::replay_rollover);
}

void data_link_end::replay_timer_expired() {
  if (retry_buffer_.empty()) return;
  replay();
  port_.report(link_error::replay_timeout);
}

void data_link_end::schedule_ack(tick latency) {
  const tick at = queue_.now() + latency;
  // Coalescing: an Ack already on its way covers this TLP too.
  if (ack_timer_.scheduled() && (latency == timing_.ack_latency || ack_timer_.when() >= at)) return;
  queue_.schedule(ack_timer_, at);
}

void data_link_end::send_ack() { port_.send(make_dllp(ack_nak_dllp(dllp_ack, ack_upto_))); }

void data_link_end::send_nak() {
  queue_.deschedule(ack_timer_);  // the Nak acknowledges the same TLPs
  nak_scheduled_ = true;
  port_.send(make_dllp(ack_nak_dllp(dllp_nak, seq_add(next_rcv_seq_, -1))));
}

void data_link_end::nak_tlp() { send_nak(); }

void data_link_end::release_withheld_ack() {
  if (!withheld_) return;
  withheld_ = false;
  ack_upto_ = seq_add(next_rcv_seq_, -1);
  schedule_ack(timing_.ack_latency);
}

std::string data_link_end::describe() const {
  char line[200];
  std::snprintf(line, sizeof line,
                "NEXT_TRANSMIT_SEQ %u, ACKD_SEQ %u, REPLAY_NUM %u, REPLAY_TIMER %s, NEXT_RCV_SEQ %u, NAK_SCHEDULED %u; "
                "retry buffer:",
                next_transmit_seq_, ackd_seq_, replay_num_, replay_timer_.scheduled() ? "running" : "stopped",
                next_rcv_seq_, nak_scheduled_ ? 1u : 0u);
  std::string text = line;
  if (retry_buffer_.empty()) text += " empty";
  for (const link_packet& p : retry_buffer_) {
    // Sequence number and the Fmt/Type byte of each TLP waiting for its Ack.
    std::snprintf(line, sizeof line, " [%u: %02X]", p.sequence, p.bytes.empty() ? 0 : p.bytes[0]);
    text += line;
  }
  return text;
}

}  // namespace zamsim
