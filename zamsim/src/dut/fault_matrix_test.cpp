// The DUT's fault options against the twelve data link compliance programs, played at
// the model: each program's card command, stimulus and checks, for the compliant DUT and
// for each fault. The expected verdicts are the matrix zam-lab(7) documents.
#include <gtest/gtest.h>

#include <map>

#include "link/link_test_support.h"
#include "base/pcie_regs.h"
#include "station/station.h"

namespace zamsim {
namespace {

constexpr uint8_t cpl_d = 0x4A, cfg_rd0 = 0x04;
constexpr uint16_t replay_count = 3;  // the DAT file's ReplayCount default

struct program_case {
  const char* name;
  uint8_t code;
  uint16_t count;
  uint8_t match;
  uint8_t type_byte;
  uint32_t read_bytes;
};

const program_case programs[] = {
    {"LinkRetrainOnRetryFail_EP_USW", fault_command::nak, replay_count + 1, cpl_d, 0, 4},
    {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", fault_command::no_ack_nak, replay_count + 1, cpl_d, 0, 4},
    {"ReXmitOnNak_EP_USW", fault_command::nak, 1, cpl_d, 0, 4},
    {"ReplayNumTest_EP_USW", fault_command::nak, replay_count, cpl_d, 0, 4},
    {"ReplayTimerTest_EP_USW", fault_command::no_ack_nak, 1, cpl_d, 0, 4},
    {"ReplayTLPOrder_EP_USW", fault_command::no_ack_nak, 3, cpl_d, 0, 12},  // x4 link: K = 3
    {"DuplicateTLPSeqNum_EP_USW", fault_command::duplicate_seq_num, 1, cfg_rd0, 0, 4},
    {"BadLCRC_EP_USW", fault_command::corrupt_lcrc, 1, cfg_rd0, 0, 4},
    {"CorruptedDLLPs_EP_USW", fault_command::corrupt_dllp, 1, 0, 0, 4},
    {"ReservedFieldsDLLPReceive_EP_USW", fault_command::dllp_reserved_bits, 1, 0, 0, 4},
    {"UndefinedDLLPEncoding_EP_USW", fault_command::undefined_dllp, 1, 0, 0x01, 4},
    {"WrongSeqNumInAckDLLP_EP_USW", fault_command::dllp_bogus_seq_num, 1, cpl_d, 0, 4},
};

class FaultMatrixTest : public LinkStationTest {
 protected:
  // The DUT's Negotiated Link Width (Link Status bits 9:4), on which ReplayTLPOrder's K rests.
  uint32_t dut_link_width() {
    const int device = station_->config().dut_device;
    const uint16_t cap = station_->tree().pcie_capability(device);
    uint32_t value = 0;
    station_->tree().read_dword(*station_->tree().locate(device), cap + pcie::link_control, value);
    return (value >> 20) & 0x3F;
  }

  // Plays one program against the running station; true when its checks all pass.
  bool passes(const program_case& p) {
    enable_error_reporting();
    card_command(1, 0x1E00);
    program(p.code, p.count, p.match, p.match != 0 ? 1 : 0, p.code != fault_command::corrupt_dllp, 0, p.type_byte);
    arm();
    std::vector<uint8_t> buffer(p.read_bytes);
    station_->host_read(dut_, 0, p.read_bytes, buffer.data());
    disarm();
    const auto trace = trace_lines();
    const int completions = count(trace, "TLP  4a");
    const int err_cor = count(trace, "TLP  30 00 00 00 03 00 00 30");
    const int err_fatal = count(trace, "TLP  30 00 00 00 03 00 00 33");
    const int acks = count(trace, "DLLP 00"), naks = count(trace, "DLLP 10");
    const uint32_t correctable = correctable_status(), uncorrectable = uncorrectable_status();
    const uint16_t status = device_status() & 0xF;
    const bool only_correctable = status == 0x1, no_bits = status == 0;
    const std::string name = p.name;
    if (name == "LinkRetrainOnRetryFail_EP_USW")
      return (correctable & (1u << 8)) && completions >= replay_count + 2 && !link_->training() && err_cor >= 1 &&
             only_correctable;
    if (name == "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack")
      return (correctable & (1u << 8)) && completions >= replay_count + 2 && !link_->training();
    if (name == "ReXmitOnNak_EP_USW") return completions == 2 && no_bits;
    if (name == "ReplayNumTest_EP_USW") return completions == replay_count + 1 && no_bits;
    if (name == "ReplayTimerTest_EP_USW") return completions == 2 && err_cor >= 1 && only_correctable;
    if (name == "ReplayTLPOrder_EP_USW")
      return is_link_width(dut_link_width()) && completions >= 1 && err_cor >= 1 && only_correctable;
    if (name == "DuplicateTLPSeqNum_EP_USW") return acks <= 2 && completions == 1 && no_bits;
    if (name == "BadLCRC_EP_USW")
      return (correctable & (1u << 6)) && completions == 1 && naks >= 1 && err_cor >= 1 && only_correctable;
    if (name == "CorruptedDLLPs_EP_USW")
      return (correctable & (1u << 7)) && completions >= 1 && err_cor >= 1 && only_correctable;
    if (name == "ReservedFieldsDLLPReceive_EP_USW") return completions == 1 && no_bits;
    if (name == "UndefinedDLLPEncoding_EP_USW") return completions == 2 && err_cor >= 1 && only_correctable;
    return (uncorrectable & (1u << 4)) && completions >= 1 && err_fatal >= 1 && (status & 0x4);
  }
};

// The programs each data link fault must fail; every other program passes.
const std::map<std::string, std::vector<std::string>> expected_failures = {
    {"", {}},
    {"no-replay-on-nak", {"ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW"}},
    {"no-replay-rollover", {"LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack"}},
    {"no-replay-timer",
     {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW",
      "UndefinedDLLPEncoding_EP_USW"}},
    {"accepts-bad-lcrc", {"BadLCRC_EP_USW"}},
    {"accepts-duplicates", {"DuplicateTLPSeqNum_EP_USW"}},
    {"ignores-bad-dllp", {"CorruptedDLLPs_EP_USW"}},
    {"reserved-dllp-bits-error", {"ReservedFieldsDLLPReceive_EP_USW"}},
    {"ignores-bogus-ack", {"WrongSeqNumInAckDLLP_EP_USW"}},
    {"early-rollover", {"ReplayNumTest_EP_USW"}},
    {"no-error-messages",
     {"LinkRetrainOnRetryFail_EP_USW", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW", "BadLCRC_EP_USW",
      "CorruptedDLLPs_EP_USW", "UndefinedDLLPEncoding_EP_USW", "WrongSeqNumInAckDLLP_EP_USW"}},
    // Transaction-layer faults and a narrow link leave the data link programs passing; a link
    // at x0 fails the one whose count rests on the link's width.
    {"short-completion-timeout", {}},
    {"no-completion-timeout", {}},
    {"wrong-completer-id", {}},
    {"answers-missing-functions", {}},
    {"trains-narrow", {}},
    {"zero-link-width", {"ReplayTLPOrder_EP_USW"}},
};

TEST_F(FaultMatrixTest, EachFaultFailsExactlyTheProgramsThatShouldCatchIt) {
  for (const auto& [fault, failures] : expected_failures) {
    for (const program_case& p : programs) {
      start(fault);
      const bool expected_pass = std::find(failures.begin(), failures.end(), p.name) == failures.end();
      EXPECT_EQ(passes(p), expected_pass) << "fault \"" << fault << "\", program " << p.name;
    }
  }
}

}  // namespace
}  // namespace zamsim
