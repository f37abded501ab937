// The Advanced Error Reporting record and the thirteen status-bit assertions.
#include <string>

#include "aer/adverr_bits.h"
#include "common/guarded.h"
#include "vexo.h"

namespace {

using namespace vexo::aer;

const char uncorrectable_register[] = "Adv Error Uncorrectable Status Register";
const char correctable_register[] = "Adv Error Correctable Status Register";

enum class on_lookup_failure {
  report,               // any failed lookup is reported and returned
  report_only_missing,  // only a missing capability is; other failures read as CLEAR
};

struct status_bit {
  uint32_t register_offset;
  uint32_t bit;
  const char* register_name;
  const char* bit_name;
  // The mismatch messages of some assertions carry a second blank after the colon; the
  // log readers downstream match these texts exactly.
  bool mismatch_double_blank = false;
  on_lookup_failure failure = on_lookup_failure::report;
};

uint32_t register_value(const VEXO_ADVERR_INFO_t& info, uint32_t register_offset) {
  return register_offset == uncorrectable_status ? info.aer.uncorrectable_status
                                                 : info.aer.correctable_status;
}

std::string verdict_message(const status_bit& b, bool expected_set, bool actual_set,
                            bool double_blank) {
  return std::string("::(") + b.register_name + (double_blank ? " :  " : " : ") + b.bit_name +
         " ) (Expected : " + (expected_set ? "SET" : "CLEAR") + ") Actual value (" +
         (actual_set ? "SET" : "CLEAR") + ")::";
}

void write_info(VEXO_LOG_HANDLE_t log, const std::string& text) {
  WriteToLog(log, VEXO_LOG_INFO, "%s", text.c_str());
}

VEXO_STATUS_t assert_status_bit(const status_bit& b, VEXO_DEVICE_HANDLE_t dev,
                                VEXO_LOG_HANDLE_t log, uint32_t expected, uint32_t clear) {
  VEXO_ADVERR_INFO_t info{};
  const VEXO_STATUS_t lookup = VEXO_ADVERR_Util_GetAdvErrorRepCap(dev, &info);
  const bool report_failure = b.failure == on_lookup_failure::report
                                  ? lookup != VEXO_STATUS_SUCCESS
                                  : lookup == VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
  if (report_failure) {
    VEXO_FreeCapabilityHandle(info.cap);
    write_info(log, "::Advanced Error Caps not implemented::");
    return lookup;
  }
  if (lookup != VEXO_STATUS_SUCCESS) {
    // Only the capability record is trusted after a failed lookup: read it as all clear.
    VEXO_FreeCapabilityHandle(info.cap);
    info = VEXO_ADVERR_INFO_t{};
    info.device = dev;
  }

  const uint32_t value = register_value(info, b.register_offset);
  const bool actual_set = ((value >> b.bit) & 1u) != 0;
  const bool expected_set = expected == VEXO_ADVERR_EXPECT_SET;
  if (actual_set != expected_set) {
    VEXO_FreeCapabilityHandle(info.cap);
    write_info(log, verdict_message(b, expected_set, actual_set, b.mismatch_double_blank));
    return VEXO_STATUS_FAILED;
  }
  if (clear != 0) {
    // Status bits are write-one-to-clear: writing the value back with the bit set clears it
    // and every other bit that was set in the register. The write's result is not checked.
    uint32_t write_back = value | (1u << b.bit);
    unsigned int length = sizeof write_back;
    if (info.cap != nullptr) WriteCapability(info.cap, &write_back, b.register_offset, &length);
  }
  VEXO_FreeCapabilityHandle(info.cap);
  write_info(log, verdict_message(b, expected_set, actual_set, false));
  return VEXO_STATUS_SUCCESS;
}

#define VEXO_DEFINE_ADVERR_ASSERTION(name, ...)                                      \
  extern "C" VEXO_API VEXO_STATUS_t name(VEXO_DEVICE_HANDLE_t dev, VEXO_LOG_HANDLE_t log, \
                                         uint32_t expected, uint32_t clear) {        \
    static const status_bit bit{__VA_ARGS__};                                        \
    return vexo::guarded([&] { return assert_status_bit(bit, dev, log, expected, clear); }); \
  }

}  // namespace

extern "C" VEXO_API VEXO_STATUS_t VEXO_ADVERR_Util_GetAdvErrorRepCap(VEXO_DEVICE_HANDLE_t dev,
                                                                     VEXO_ADVERR_INFO_t* info) {
  if (info == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  info->cap = nullptr;
  info->aer = PCIE_ADV_ERR_REP_CAP_STRUCT_t{};
  const VEXO_STATUS_t status = GetAdvErrRepCapability(dev, &info->aer, &info->cap);
  info->device = dev;
  return status;
}

VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertTrainingErrorStatus, uncorrectable_status,
                             training_error, uncorrectable_register, "Training Error Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertDLProtocolErrorStatus, uncorrectable_status,
                             dl_protocol_error, uncorrectable_register,
                             "Data Link Protocol Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertFlowControlProtocolErrorStatus,
                             uncorrectable_status, flow_control_protocol_error,
                             uncorrectable_register, "Flow Control Protocol Error Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertCompletionTimeoutStatus, uncorrectable_status,
                             completion_timeout, uncorrectable_register,
                             "Completion Timeout Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertCompleterAbortStatus, uncorrectable_status,
                             completer_abort, uncorrectable_register, "Completer Abort Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertUnexpectedCompletionStatus,
                             uncorrectable_status, unexpected_completion, uncorrectable_register,
                             "Unexpected Completion Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReceiverOverflowStatus, uncorrectable_status,
                             receiver_overflow, uncorrectable_register,
                             "Receiver Overflow Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertUnsupportedRequestErrorStatus,
                             uncorrectable_status, unsupported_request, uncorrectable_register,
                             "Unsupported Request Error Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReceiverErrorStatus, correctable_status,
                             receiver_error, correctable_register, "Receiver Error Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertBadTLPStatus, correctable_status, bad_tlp,
                             correctable_register, "Bad TLP Status bit", false,
                             on_lookup_failure::report_only_missing)
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertBadDLLPStatus, correctable_status, bad_dllp,
                             correctable_register, "Bad DLLP Status bit")
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReplayNumberRolloverStatus,
                             correctable_status, replay_num_rollover, correctable_register,
                             "Replay Number Rollover Status bit", true)
VEXO_DEFINE_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReplayTimerTimeoutStatus, correctable_status,
                             replay_timer_timeout, correctable_register,
                             "Replay Timer Timeout Status bit", true)
