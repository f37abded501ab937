// One test case from start to verdict: logs, hierarchy, power-on, run loop, checks.
#include "run_case.h"

#include "check_reports.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/topology.h"
#include "packet_trace.h"
#include "platform/fs.h"
#include "request_loop.h"

namespace fwtool {
namespace {

void show(VEXO_UI_HANDLE_t ui, const char* text, int wait, uint32_t timeout_ms, int force) {
  const std::string message = text;
  DisplayInfoToUser(ui, &message, wait, nullptr, timeout_ms, force, nullptr);
}

std::string script_path(const run_settings& s) {
  const bool ends_with_separator =
      !s.script_dir.empty() && (s.script_dir.back() == '\\' || s.script_dir.back() == '/');
  return platform::native_path(s.script_dir + (ends_with_separator ? "" : "\\") + s.script_file);
}

// The hierarchy of one case; released when the case ends.
struct hierarchy {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* built = nullptr;
  packetHandler* handler = nullptr;
  ~hierarchy() {
    delete handler;
    delete built;
  }
};

}  // namespace

case_result run_case(const case_context& c, bool prompt, bool offer_rerun) {
  const run_settings& s = c.settings;
  case_result result;
  hierarchy h;
  VEXO_LOG_HANDLE_t packet_log = nullptr;
  bool aborted = false;
  bool answered = false;

  if (StartTest(c.main_log, s.test_name.c_str()) != VEXO_STATUS_SUCCESS) {
    WriteToLog(c.main_log, VEXO_LOG_ABORT, "Error initiating test logging.\n");
    result.flags = flag_not_started;
  } else {
    const std::string logs = platform::native_path(c.folder + "/logs/");
    platform::create_folders(logs);
    CreateLog(nullptr, &packet_log, VEXO_LOG_TYPE_RAW_TEXT, (logs + s.test_name + ".packets").c_str(), 0);
    if (!scriptParser(script_path(s).c_str(), h.devices, h.connections, h.count, h.built, h.handler)) {
      WriteToLog(c.main_log, VEXO_LOG_ABORT, "Error parsing test topology file.\n");
      show(c.run_ui, "ERROR PARSING TEST SCRIPT FILE.  TEST CAN NOT BE RUN.", 1, 0, 1);
      result.flags = flag_not_started;
    } else {
      if (prompt && !s.automated) show(c.run_ui, "Please Power On the System Under Test.", 0, 3000, 1);
      if (s.init_driver_each_case && c.hardware.init(s.driver_init_timeout_ms) != 0) {
        WriteToLog(c.main_log, VEXO_LOG_ABORT, "Error initializing test device driver.  Test could not be run\n");
        result.flags = flag_not_started;
      } else {
        const loop_outcome loop = serve_requests(s, c.hardware, *h.handler, c.main_log, packet_log);
        result.flags = loop.flags;
        aborted = (loop.flags & flag_read_aborted) != 0;
        answered = loop.answered;
        if (answered && run_checks(*h.handler, s, c.main_log)) result.flags |= flag_failed;
      }
    }
  }
  if (!answered) {
    // Nothing was answered, or the case could not start.
    WriteToLog(c.main_log, VEXO_LOG_FAIL, "No Config Requests Received\n");
    result.flags |= flag_failed;
    // The rerun question belongs to an operator at the bench, never to an automated run.
    if (prompt && offer_rerun && s.prompt_operator && !s.automated && !aborted) {
      const std::string question =
          "ORVEN DID NOT RECEIVE ANY PACKETS DURING THE TEST.  WOULD YOU LIKE TO RERUN THE TEST?";
      const std::string yes = "YES", no = "NO";
      int answer = 0;
      if (GetBooleanDecision(c.run_ui, &question, &yes, &no, &answer, 0, nullptr, 1) == VEXO_STATUS_SUCCESS) {
        result.rerun = answer == 1;
      }
    }
  }
  StopTest(c.main_log);
  if (s.log_final_registers && h.handler != nullptr && packet_log != nullptr) {
    dump_final_registers(packet_log, *h.handler);
  }
  // A packet trace that lost entries (its file did not open, or a write failed) leaves the
  // case without its record: it does not count as run. The library has said which file and why.
  if (packet_log != nullptr && CloseLog(packet_log) != VEXO_STATUS_SUCCESS) result.flags |= flag_not_started;
  if (s.close_driver_each_case) c.hardware.close();
  show(c.run_ui, verdict_text(result.flags), 0, 1000, 0);
  return result;
}

}  // namespace fwtool
