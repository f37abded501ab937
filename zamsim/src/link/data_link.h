// One end of a PCI Express link at the data link layer (PCIe Base 4.0 sec 3.5): the
// transmitter with NEXT_TRANSMIT_SEQ, ACKD_SEQ, the retry buffer, REPLAY_NUM and
// REPLAY_TIMER, and the receiver with NEXT_RCV_SEQ, NAK_SCHEDULED and Ack coalescing.
// The variables carry the standard's names so the code can be held against it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/event_queue.h"
#include "link/packet.h"

namespace zamsim {

// Data link errors an end detects (AER correctable bits 6, 7, 8, 12; uncorrectable bit 4).
enum class link_error { bad_tlp, bad_dllp, replay_rollover, replay_timeout, data_link_protocol };

// Timing at 2.5 GT/s x1 (4 ns per symbol).
struct link_timing {
  tick replay_timeout = 711 * 4;  // REPLAY_TIMER limit for 128-byte payloads
  tick ack_latency = 200;         // how long a receiver gathers TLPs into one Ack
  tick ack_latency_max = 237 * 4; // the Ack latency limit for 128-byte payloads
};

// A device's data link faults, each consulted at the one decision it changes.
struct link_faults {
  bool no_replay_on_nak = false;
  bool no_replay_rollover = false;
  bool no_replay_timer = false;
  bool accepts_bad_lcrc = false;
  bool accepts_duplicates = false;
  bool ignores_bad_dllp = false;
  bool reserved_dllp_bits_error = false;
  bool ignores_bogus_ack = false;
  bool early_rollover = false;
};

// What an end needs from the link and the device around it.
class link_port {
 public:
  virtual ~link_port() = default;
  // Puts a packet on the wire; returns the time its transmission ends.
  virtual tick send(const link_packet& packet) = 0;
  // A TLP accepted in sequence, up to the transaction layer.
  virtual void deliver(const std::vector<uint8_t>& tlp) = 0;
  virtual void report(link_error error) = 0;
  // Has the link retrained (REPLAY_NUM rollover); returns when the link is up again.
  virtual tick retrain() = 0;
};

// How the receiver acknowledges one received TLP: as usual, not at all (and, since Acks
// are cumulative, no Ack at all until that TLP comes again to be acknowledged), or at
// the end of the Ack latency limit.
enum class ack_mode { normal, withhold, latest };

class data_link_end {
 public:
  data_link_end(event_queue& queue, link_port& port, link_timing timing = {}, link_faults faults = {});

  // Transaction layer: sends a TLP with the next sequence number.
  void transmit_tlp(std::vector<uint8_t> tlp);
  // A packet arrives from the wire.
  void receive(const link_packet& packet, ack_mode mode = ack_mode::normal);
  // Discards a good TLP and sends a Nak for it (a test card's doing).
  void nak_tlp();
  // Ends a withheld acknowledgement: what was received is acknowledged now.
  void release_withheld_ack();
  // Sends a DLLP outside the Ack/Nak protocol (a test card's doing).
  void send_dllp(std::vector<uint8_t> dllp) { port_.send(make_dllp(std::move(dllp))); }

  // State, named as the standard names it.
  uint16_t NEXT_TRANSMIT_SEQ() const { return next_transmit_seq_; }
  uint16_t ACKD_SEQ() const { return ackd_seq_; }
  uint8_t REPLAY_NUM() const { return replay_num_; }
  uint16_t NEXT_RCV_SEQ() const { return next_rcv_seq_; }
  bool NAK_SCHEDULED() const { return nak_scheduled_; }
  bool replay_timer_running() const { return replay_timer_.scheduled(); }
  const std::deque<link_packet>& retry_buffer() const { return retry_buffer_; }
  std::string describe() const;

 private:
  void receive_tlp(const link_packet& tlp, ack_mode mode);
  void receive_dllp(const std::vector<uint8_t>& dllp);
  void ack_nak_received(bool nak, uint16_t seq);
  void schedule_ack(tick latency);
  void send_ack();
  void send_nak();
  void replay();
  void replay_timer_expired();
  void start_replay_timer(tick from);

  event_queue& queue_;
  link_port& port_;
  link_timing timing_;
  link_faults faults_;

  // Transmitter.
  uint16_t next_transmit_seq_ = 0;
  uint16_t ackd_seq_ = 0xFFF;
  uint8_t replay_num_ = 0;
  std::deque<link_packet> retry_buffer_;
  tick last_sent_ = 0;
  event replay_timer_;

  // Receiver.
  uint16_t next_rcv_seq_ = 0;
  bool nak_scheduled_ = false;
  uint16_t ack_upto_ = 0xFFF;  // the sequence number the pending Ack carries
  bool withheld_ = false;      // a TLP is being left unacknowledged
  uint16_t withheld_seq_ = 0;
  event ack_timer_;
};

}  // namespace zamsim
