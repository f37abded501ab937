// Reports of the enumeration checks, written to the main log.
#include "check_reports.h"

#include <string>
#include <vector>

#include "lattix/enumeration_checks.h"

namespace fwtool {
namespace {

const std::string stars65(65, '*');
const std::string stars62(62, '*');

void info(VEXO_LOG_HANDLE_t log, const char* text) { WriteToLog(log, VEXO_LOG_INFO, "%s", text); }

bool report_bridge_window(packetHandler& handler, _BRIDGE_WINDOW_TYPE type, VEXO_LOG_HANDLE_t log) {
  const _BRIDGE_WINDOW_ERROR_INFO e = FindBridgeWindowError(&handler, type, true);
  if (!e.errorFound) return false;
  const bool upper = type == PREFETCH_WINDOW;
  static const char* const headers[] = {"\nBRIDGE IO WINDOW FAILURE\n", "\nBRIDGE MEM WINDOW FAILURE\n",
                                        "\nBRIDGe MEM PREFETCH WINDOW FAILURE\n"};
  WriteToLog(log, VEXO_LOG_INFO, "%s%s\n", headers[type], stars65.c_str());
  WriteToLog(log, VEXO_LOG_FAIL, "%s",
             e.barOutside ? "\nBAR FOUND OUTSIDE PARENT BRIDGE WINDOW RANGE\n"
                          : "\nCHILD BRIDGE WINDOW OUTSIDE RANGE OF PARENT BRIDGE WINDOW\n");
  WriteToLog(log, VEXO_LOG_INFO, "Parent Bridge Name In Script:\t%s\n", e.bridgeScript);
  WriteToLog(log, VEXO_LOG_INFO, "Parent Bridge Bus: %d\t", static_cast<int>(e.bridgeBus));
  WriteToLog(log, VEXO_LOG_INFO, "Parent Bridge Device: %d\t", e.bridgeDevice);
  WriteToLog(log, VEXO_LOG_INFO, "Parent Bridge Function: %d\n", e.bridgeFunction);
  WriteToLog(log, VEXO_LOG_INFO, "Bridge Window Base: 0x%.8x\n", e.windowBase);
  if (upper) WriteToLog(log, VEXO_LOG_INFO, "Bridge Window Base Upper 32: 0x%.8x\n", e.windowBaseUpper);
  WriteToLog(log, VEXO_LOG_INFO, "Bridge Window Limit: 0x%.8x\n", e.windowLimit);
  if (upper) WriteToLog(log, VEXO_LOG_INFO, "Bridge Window Limit Upper 32: 0x%.8x\n", e.windowLimitUpper);
  info(log, "\n");
  if (e.barOutside) {
    WriteToLog(log, VEXO_LOG_INFO, "Device With Bar Violation Name In Script:\t%s\n", e.deviceScript);
    WriteToLog(log, VEXO_LOG_INFO, "Device With Bar Violation Bus: %d\n", static_cast<int>(e.deviceBus));
    WriteToLog(log, VEXO_LOG_INFO, "Device With Bar Violation Device Num: %d\n", e.deviceDevice);
    WriteToLog(log, VEXO_LOG_INFO, "Device With Bar Violation Function: %d\n", e.deviceFunction);
    WriteToLog(log, VEXO_LOG_INFO, "Bar Location: 0x%.2x\n", e.barOffset);
    WriteToLog(log, VEXO_LOG_INFO, "Bar Start Address: 0x%.8x\n", e.barStart);
    if (upper) WriteToLog(log, VEXO_LOG_INFO, "Bar Start Address Upper32: 0x%.8x\n", e.barStartUpper);
    WriteToLog(log, VEXO_LOG_INFO, "Bar End Address: 0x%.8x\n", e.barEnd);
    if (upper) {
      WriteToLog(log, VEXO_LOG_INFO, "Bar End Address Upper32: 0x%.8x\n", e.barStartUpper + (e.endWrapped ? 1u : 0u));
    }
  } else {
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Name In Script:\t%s\n", e.deviceScript);
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Bus: %d\n", static_cast<int>(e.deviceBus));
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Device Num: %d\n", e.deviceDevice);
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Function: %d\n", e.deviceFunction);
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Window Base: 0x%.8x\n", e.childBase);
    if (upper) {
      WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Window Base Upper 32: 0x%.8x\n",
                 e.childBaseUpper);
    }
    WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Window Limit: 0x%.8x\n", e.childLimit);
    if (upper) {
      WriteToLog(log, VEXO_LOG_INFO, "Child Bridge With Window Violation Limit Upper 32: 0x%.8x\n",
                 e.childLimitUpper);
    }
  }
  WriteToLog(log, VEXO_LOG_INFO, "\n%s\n", stars65.c_str());
  return true;
}

void device_line(VEXO_LOG_HANDLE_t log, uint32_t bus, uint32_t device, uint32_t function) {
  WriteToLog(log, VEXO_LOG_INFO, "Bus: %d\t", static_cast<int>(bus));
  WriteToLog(log, VEXO_LOG_INFO, "Device: %d\t", static_cast<int>(device));
  WriteToLog(log, VEXO_LOG_INFO, "Function: %d\n", static_cast<int>(function));
}

bool report_enables(packetHandler& handler, const run_settings& s, VEXO_LOG_HANDLE_t log) {
  std::vector<_MEM_IO_ENABLE_FAIL_DATA>* records = nullptr;
  FindMemIOEnables(&handler, &records, s.check_io_enable, s.check_memory_enable);
  if (records == nullptr || records->empty()) return false;
  for (const auto& r : *records) {
    const bool io = r.ioFailure;
    WriteToLog(log, VEXO_LOG_FAIL, "%s",
               io ? "\nTEST FAILURE: IO Space Enable Does Not Have Correct Value :\n"
                  : "\nTEST FAILURE: Memory Space Enable Does Not Have Correct Value :\n");
    device_line(log, r.bus, r.device, r.function);
    if (io) {
      info(log, r.expectedEnable ? "IO SPACE ENABLE WAS NOT SET\n" : "IO SPACE ENABLE WAS SET\n");
    } else {
      info(log, r.expectedEnable ? "MEMORY SPACE ENABLE WAS NOT SET\n" : "MEMORY SPACE ENABLE WAS SET\n");
    }
    WriteToLog(log, VEXO_LOG_INFO, "Device Name In Script:\t%s\n\n", r.script);
  }
  return true;
}

bool report_aspm(packetHandler& handler, VEXO_LOG_HANDLE_t log) {
  std::vector<_ASPM_ENABLE_FAIL_DATA>* records = nullptr;
  FindASPMEnables(&handler, &records);
  if (records == nullptr || records->empty()) return false;
  for (const auto& r : *records) {
    WriteToLog(log, VEXO_LOG_FAIL, "\nTEST FAILURE:  ASPM Left Enabled For A Device:\n");
    device_line(log, r.bus, r.device, r.function);
    WriteToLog(log, VEXO_LOG_INFO, "ASPM Val:\t%d\n", static_cast<int>(r.aspmControl));
    WriteToLog(log, VEXO_LOG_INFO, "Device Name In Script:\t%s\n\n", r.script);
  }
  return true;
}

void report_bar(VEXO_LOG_HANDLE_t log, const char* title, const char* script, const address& where, bool is64,
                uint32_t low, uint32_t high) {
  info(log, title);
  WriteToLog(log, VEXO_LOG_INFO, "Device Name In Script:\t%s\n", script);
  device_line(log, where.bus, where.device, where.function);
  WriteToLog(log, VEXO_LOG_INFO, "Bar Location: 0x%.2x\n", where.offset);
  WriteToLog(log, VEXO_LOG_INFO, "Bar Value: 0x%.4x\n", low);
  if (is64) WriteToLog(log, VEXO_LOG_INFO, "Bar Value: 0x%.4x\n", high);
}

bool report_bar_overlaps(packetHandler& handler, VEXO_LOG_HANDLE_t log) {
  overlapDataObj* list = findBarOverlap(&handler, true);
  if (list == nullptr) return false;
  WriteToLog(log, VEXO_LOG_INFO, "\nBar Overlap Failures\n%s\n", stars65.c_str());
  for (const overlapDataObj* node = list; node != nullptr; node = node->getNext()) {
    const overlapData d = node->getData();
    WriteToLog(log, VEXO_LOG_FAIL, "%s",
               d.isMemory ? "\nMEMORY SPACE BAR OVERLAP WAS DETECTED\n" : "\nIO SPACE BAR OVERLAP WAS DETECTED\n");
    WriteToLog(log, VEXO_LOG_INFO, "Overlap Address Lower:  %x\n", d.result.low);
    WriteToLog(log, VEXO_LOG_INFO, "Overlap Address Upper:  %x\n", d.result.high);
    WriteToLog(log, VEXO_LOG_INFO, "Overlap Length:\t%x\n", static_cast<uint32_t>(d.result.size));
    report_bar(log, "INFO FOR BAR A\n", d.scriptA, d.barA, d.aIs64, d.aLow, d.aHigh);
    report_bar(log, "INFO FOR BAR B\n", d.scriptB, d.barB, d.bIs64, d.bLow, d.bHigh);
  }
  WriteToLog(log, VEXO_LOG_INFO, "\nEnd Bar Overlap Failures\n%s\n", stars62.c_str());
  releaseOverlapList(list);
  return true;
}

bool report_bus_numbers(packetHandler& handler, VEXO_LOG_HANDLE_t log) {
  const busEnumerationError e = findBusEnumerationError(&handler);
  // A gap in the bus numbers alone is not an error.
  if (!e.errorFound) return false;
  WriteToLog(log, VEXO_LOG_FAIL, "At least one error occurred assigning bus numbers to bridge(s)\n");
  WriteToLog(log, VEXO_LOG_INFO, "Error Primary Bus: %d\n", e.primary);
  WriteToLog(log, VEXO_LOG_INFO, "Error Secondary Bus: %d\n", e.secondary);
  WriteToLog(log, VEXO_LOG_FAIL, "Error Subordinate Bus: %d\n", e.subordinate);
  return true;
}

}  // namespace

bool run_checks(packetHandler& handler, const run_settings& s, VEXO_LOG_HANDLE_t log) {
  bool failed = false;
  if (s.check_io_window) failed |= report_bridge_window(handler, IO_WINDOW, log);
  if (s.check_memory_window) failed |= report_bridge_window(handler, MEM_WINDOW, log);
  if (s.check_prefetch_window) failed |= report_bridge_window(handler, PREFETCH_WINDOW, log);
  if (s.check_io_enable || s.check_memory_enable) failed |= report_enables(handler, s, log);
  if (s.check_aspm) failed |= report_aspm(handler, log);
  if (s.check_bar_overlap) failed |= report_bar_overlaps(handler, log);
  if (s.check_bus_numbers) failed |= report_bus_numbers(handler, log);
  return failed;
}

}  // namespace fwtool
