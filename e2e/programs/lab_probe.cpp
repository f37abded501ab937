// lab_probe: a small compliance-test-shaped program for the lab's end-to-end tests. It reads
// its DAT file, opens the framework, finds the DUT and the card above it, checks add-in
// card mode, asks the card to record TLPs and DLLPs in both directions, programs one card
// command, arms the card around one configuration read of the DUT, reads the trace back
// and asserts what the card recorded. The scenario is chosen with "-f":
//   (none)          no action (count 0): one CfgRd0, one CplD, two Acks
//   nak-completion  NAK on the DUT's completion, count 1: two CplD, one Nak
//   corrupt-lcrc    CORRUPT_LCRC on the host's CfgRd0, count 1: the DUT's Nak, one CplD,
//                   Bad TLP set in the DUT's AER correctable status
//   application     the operator starts the DUT's application while armed: the DUT's
//                   memory reads and their completions in the trace
//   completion-timeout  DELAY_TLP of 60.5 ms on the DUT's first TLP (its read) while the
//                   application runs: the DUT reports Completion Timeout
//   unsupported-functions  reads of functions 1-7 of the DUT: seven UR completions, and
//                   Unsupported Request Detected set
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/operator.h"
#include "vexo.h"

namespace {

constexpr VEXO_STATUS_t failed_check = 0x80000006;
const uint8_t cfg_rd0[4] = {0x04, 0x00, 0x00, 0x01};
const uint8_t cpl_d[4] = {0x4A, 0x00, 0x00, 0x01};

VEXO_TEST_NUM_t probe_number() {
  VEXO_TEST_NUM_t n{};
  n.category = VEXO_TEST_CATEGORY_DLL;
  std::strcpy(n.identifier, "LAB");
  std::strcpy(n.part1, "9");
  std::strcpy(n.part2, "0");
  std::strcpy(n.part3, "1");
  std::strcpy(n.part4, "0");
  return n;
}

std::string scenario_of(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-f") == 0) return argv[i + 1];
  }
  return "";
}

// The command record as the compliance programs fill it: code, count 1, match on header
// bytes 0-3 with the usual mask.
const char* const scenarios[] = {"",           "nak-completion",     "corrupt-lcrc",
                                 "application", "completion-timeout", "unsupported-functions"};

vexo_cmd_map_t command_for(const std::string& scenario) {
  vexo_cmd_map_t command{};
  command.command = 0x03;  // delay Ack/Nak within the legal limit; count 0: never acts
  if (scenario == "completion-timeout") {
    command.command = 0x0C;  // DELAY_TLP, no match value and no mask: the first TLP from the DUT
    command.count_low = 1;
    command.parameter = 60500u * 1000u / 8u;  // 60.5 ms in 8 ns units
  }
  if (scenario == "nak-completion" || scenario == "corrupt-lcrc") {
    command.command = scenario == "nak-completion" ? 0x01 : 0x05;
    command.count_low = 1;
    std::memcpy(command.match_value, scenario == "nak-completion" ? cpl_d : cfg_rd0, 4);
    const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
    std::memcpy(command.match_mask, mask, 4);
  }
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  char dat_file[1000], log_file[1000];
  if (ParseCmdLineOptions(argc, argv, dat_file, log_file) || dat_file[0] == '\0' || log_file[0] == '\0') {
    std::printf("Usage: lab_probe -d <DAT file> -l <log file> [-f nak-completion|corrupt-lcrc|application|"
                "completion-timeout|unsupported-functions]\n");
    return 2;
  }
  const std::string scenario = scenario_of(argc, argv);
  bool known = false;
  for (const char* name : scenarios) known = known || scenario == name;
  if (!known) {
    std::printf("lab_probe: unknown scenario \"%s\"\n", scenario.c_str());
    return 2;
  }
  VEXO_DAT_INFO_t dat{};
  VEXO_STATUS_t status = parseDatFile(dat_file, &dat);
  if (status != VEXO_STATUS_SUCCESS) return static_cast<int>(status);
  VEXO_LOG_HANDLE_t log = nullptr;
  status = CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, log_file, VEXO_LOG_ACTION_OVERWRITE);
  if (status != VEXO_STATUS_SUCCESS) return static_cast<int>(status);
  VEXO_HANDLE_t framework = nullptr;
  status = OpenVEXO(&framework, 0, dat.pcie_base_address, dat.vexo_ini_path, dat.vexo_ini_file);
  if (status != VEXO_STATUS_SUCCESS) {
    WriteToLog(log, VEXO_LOG_ABORT, "OpenVEXO failed: %s\n", VEXOGetErrorDesc(status));
    CloseLog(log);
    return static_cast<int>(status);
  }
  VEXO_DEVICE_HANDLE_t dut = nullptr, card = nullptr, port = nullptr;
  status = FindDevice(framework, &dut, dat.find_flags[0], &dat.devices[0]);
  const VEXO_TEST_NUM_t number = probe_number();
  if (status == VEXO_STATUS_SUCCESS) {
    StartTest(log, "LabProbe", &number, 1, dut);
    status = OpenDevice(dut, 0);
  }
  if (status == VEXO_STATUS_SUCCESS) status = VEXO_GetUpstreamZAM(dut, &card, &port);
  VEXO_ZAM_OP_MODE_t mode = 0xFF;
  if (status == VEXO_STATUS_SUCCESS) status = QueryZAMMode(card, &mode);
  if (status == VEXO_STATUS_SUCCESS && mode != 0) status = failed_check;
  if (status == VEXO_STATUS_SUCCESS) {
    status = SetConfigMaskTraceBuf(card, VEXO_TB_SET_BIT9 | VEXO_TB_SET_BITS10_11 | VEXO_TB_SET_BIT12);
  }
  if (status == VEXO_STATUS_SUCCESS) {
    vexo_cmd_map_t command = command_for(scenario);
    status = ProgramZAMCmd(card, &command);
  }
  if (status == VEXO_STATUS_SUCCESS) status = ArmZAM(card, 0);
  uint32_t id = 0;
  unsigned int length = 4;
  const bool with_application = scenario == "application" || scenario == "completion-timeout";
  if (status == VEXO_STATUS_SUCCESS && with_application &&
      platform::ask_operator("LabProbe", "Please start an application the DUT supports, then press OK to continue",
                             platform::buttons::ok_cancel) != platform::answer::ok) {
    status = 0x80000003;
  }
  if (status == VEXO_STATUS_SUCCESS) status = ReadConfigSpace(dut, &id, 0, &length);
  unsigned int unsupported_reads = 0;
  if (status == VEXO_STATUS_SUCCESS && scenario == "unsupported-functions") {
    unsigned char bus = 0, device = 0;
    GetBusNumber(dut, &bus);
    GetDeviceNumber(dut, &device);
    for (unsigned int function = 1; function < 8; ++function) {
      uint8_t value[4] = {};
      VEXO_ReadConfigSpace_Ex(bus, device, function, 0, 4, value);
      if (value[0] == 0xFF && value[1] == 0xFF) ++unsupported_reads;
    }
  }
  if (status == VEXO_STATUS_SUCCESS) status = DisarmZAM(card);
  if (status == VEXO_STATUS_SUCCESS && with_application) {
    platform::ask_operator("LabProbe", "Please stop the application you started before, then press OK to continue",
                           platform::buttons::ok_cancel);
  }
  if (status == VEXO_STATUS_SUCCESS) status = ZAMGetTraceBuffer(card);

  VEXO_STATUS_t verdict = status;
  if (status == VEXO_STATUS_SUCCESS) {
    const uint8_t ack[6] = {0x00};
    const uint8_t nak[6] = {0x10};
    unsigned int requests = 0, completions = 0, acks = 0, naks = 0;
    GetNumTLPMatches(card, cfg_rd0, 0x80000003u, &requests);
    GetNumTLPMatches(card, cpl_d, 0x80000003u, &completions);
    GetNumDLLPMatches(card, ack, 0, &acks);
    GetNumDLLPMatches(card, nak, 0, &naks);
    bool pass = false;
    if (scenario.empty()) {
      pass = requests == 1 && completions == 1 && acks == 2;
    } else if (scenario == "nak-completion") {
      pass = completions == 2 && naks == 1;
    } else if (scenario == "corrupt-lcrc") {
      pass = naks == 1 && completions == 1 &&
             VEXO_ADVERR_Util_AssertBadTLPStatus(dut, log, VEXO_ADVERR_EXPECT_SET, 1) == VEXO_STATUS_SUCCESS;
    } else if (scenario == "application") {
      const uint8_t memory_read[4] = {0x00, 0x00, 0x00, 0x01};
      unsigned int reads = 0;
      GetNumTLPMatches(card, memory_read, 0x80000003u, &reads);
      pass = reads >= 1 && completions >= reads + 1;  // each read completed, and the host's own read
    } else if (scenario == "completion-timeout") {
      pass = VEXO_ADVERR_Util_AssertCompletionTimeoutStatus(dut, log, VEXO_ADVERR_EXPECT_SET, 1) == VEXO_STATUS_SUCCESS;
    } else {
      const uint8_t cpl[4] = {0x0A, 0x00, 0x00, 0x00};
      unsigned int ur = 0;
      GetNumTLPMatches(card, cpl, 0x80000003u, &ur);
      uint16_t device_status = 0;
      unsigned int two = 2;
      ReadConfigSpace(dut, &device_status, 0x4A, &two);  // Device Status: the lab's DUT has its PCIe capability at 0x40
      pass = ur == 7 && unsupported_reads == 7 && (device_status & 0x8) != 0;
    }
    char message[200];
    std::snprintf(message, sizeof message,
                  "%s - card recorded %u CfgRd0, %u CplD, %u Ack, %u Nak for DUT ID 0x%08X", pass ? "SUCCESS" : "FAIL",
                  requests, completions, acks, naks, id);
    LogAssert(log, pass ? VEXO_LOG_SUCCESS : VEXO_LOG_FAIL, &number, message);
    LogTBContents(log, card, nullptr);
    verdict = pass ? VEXO_STATUS_SUCCESS : failed_check;
  } else {
    WriteToLog(log, VEXO_LOG_ABORT, "set-up failed: 0x%08X\n", status);
  }
  StopTest(log);
  CloseLog(log);
  VEXO_DEVICE_HANDLE_t parent = nullptr;  // the parent record OpenDevice made is ours to close
  if (dut != nullptr && GetParentDevice(dut, &parent) == VEXO_STATUS_SUCCESS) CloseDevice(parent);
  CloseDevice(port);
  CloseDevice(card);
  CloseDevice(dut);
  CloseVEXO(framework);
  return static_cast<int>(verdict);
}
