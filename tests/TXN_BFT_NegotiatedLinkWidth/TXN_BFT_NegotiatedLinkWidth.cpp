// TXN_BFT_NegotiatedLinkWidth: compares the DUT's maximum and negotiated link widths with the
// root port it is plugged into, and records per root port slot, in a campaign file kept
// across runs, which plugging cases passed. No card is needed.
#include "TXN_BFT_NegotiatedLinkWidth.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/program_usage.h"
#include "common/run_trouble.h"
#include "common/test_setup.h"
#include "platform/fs.h"
#include "result_file.h"
#include "width_check.h"

namespace {

using namespace zam;

constexpr std::size_t max_root_ports = 1000;
constexpr uint16_t slot_implemented = 0x0100;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_TXN, "6", "0", "4", "0"); }

unsigned int width_bits(uint32_t value) { return (value >> 4) & 0x3F; }

struct root_port {
  VEXO_DEVICE_HANDLE_t handle = nullptr;
  nlw::port_entry entry;
  PCIE_CAPABILITY_STRUCT_t express{};
  nlw::plugging slot;
};

struct campaign {
  std::vector<root_port> ports;
  VEXO_DEVICE_HANDLE_t dut = nullptr;       // the DUT found again
  VEXO_DEVICE_HANDLE_t upstream = nullptr;  // the bridge the DUT is plugged into
  ~campaign() {
    for (root_port& p : ports) CloseDevice(p.handle);
    if (dut != nullptr) CloseDevice(dut);
    if (upstream != nullptr) CloseDevice(upstream);
  }
};

void info(const test_run& run, const std::string& text) {
  write_text(run.log, VEXO_LOG_INFO, text.c_str());
}

std::string format(const char* pattern, unsigned a, unsigned b, unsigned c, unsigned d = 0,
                   unsigned e = 0, unsigned f = 0) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, a, b, c, d, e, f);
  return text;
}

// The bus, device, function and IDs of a record.
void identify(VEXO_DEVICE_HANDLE_t dev, unsigned int* bus, unsigned int* device,
              unsigned int* function, uint16_t* vendor_id, uint16_t* device_id) {
  unsigned char b = 0, d = 0, f = 0;
  unsigned short v = 0, i = 0;
  GetBusNumber(dev, &b);
  GetDeviceNumber(dev, &d);
  GetFunctionNumber(dev, &f);
  GetVendorID(dev, &v);
  GetDeviceID(dev, &i);
  *bus = b, *device = d, *function = f, *vendor_id = v, *device_id = i;
}

// Every root port that implements a slot, in discovery order.
void record_root_ports(const test_run& run, campaign& c) {
  VEXO_DEVICE_HANDLE_t port = nullptr;
  VEXO_STATUS_t found = FindFirstRootPort(run.framework, &port);
  while (found == VEXO_STATUS_SUCCESS && port != nullptr) {
    root_port p;
    p.handle = port;
    VEXO_CAP_HANDLE_t cap = nullptr;
    bool keep = false;
    if (GetPCIECapability(port, &p.express, &cap) == VEXO_STATUS_SUCCESS) {
      VEXO_FreeCapabilityHandle(cap);
      keep = (p.express.capabilities & slot_implemented) != 0 && c.ports.size() < max_root_ports;
    }
    VEXO_DEVICE_HANDLE_t next = nullptr;
    found = FindNextRootPort(port, &next);
    if (keep) {
      identify(port, &p.entry.bus, &p.entry.device, &p.entry.function, &p.entry.vendor_id,
               &p.entry.device_id);
      p.entry.slot = p.express.slot_capabilities >> 19;
      p.entry.max_width = width_bits(p.express.link_capabilities);
      const std::string line = format(
          "TXN_BFT_NegotiatedLinkWidth: Found Root Port @BDF[%d,%d,%d]          Slot Number[%d] "
          "Link Width[%d]\n",
          p.entry.bus, p.entry.device, p.entry.function, p.entry.slot, p.entry.max_width);
      info(run, line);
      std::printf("%s", line.c_str());
      c.ports.push_back(p);
    } else {
      CloseDevice(port);
    }
    port = next;
  }
  std::fflush(stdout);
}

// Steps after the set-up; returns the run's status.
VEXO_STATUS_t measure(test_run& run, const nlw::result_file& file) {
  info(run,
       "TXN_BFT_NegotiatedLinkWidth. Even though assertions have TXN tag \t\tit is really EM tag "
       "in testspec\n");
  LogAssert(run.log, VEXO_LOG_INFO, &run.number, "Assertion(s) being tested here \n");

  campaign c;
  record_root_ports(run, c);

  nlw::dut_entry dut;
  unsigned int dut_negotiated = 0;
  if (FindDevice(run.framework, &c.dut, run.dut_find_flags, &run.dat.devices[0]) ==
      VEXO_STATUS_SUCCESS) {
    identify(c.dut, &dut.bus, &dut.device, &dut.function, &dut.vendor_id, &dut.device_id);
    PCIE_CAPABILITY_STRUCT_t express{};
    VEXO_CAP_HANDLE_t cap = nullptr;
    if (GetPCIECapability(c.dut, &express, &cap) == VEXO_STATUS_SUCCESS) {
      VEXO_FreeCapabilityHandle(cap);
      dut.max_width = width_bits(express.link_capabilities);
      dut_negotiated = width_bits(express.link_status);
    }
    c.upstream = VEXO_GetUpStreamPort(c.dut);
  }

  int index = -1;
  if (c.upstream != nullptr) {
    unsigned int bus = 0, device = 0, function = 0;
    uint16_t vendor = 0, id = 0;
    identify(c.upstream, &bus, &device, &function, &vendor, &id);
    for (std::size_t i = 0; i < c.ports.size(); ++i) {
      const nlw::port_entry& p = c.ports[i].entry;
      if (p.bus == bus && p.device == device && p.function == function) {
        index = static_cast<int>(i);
        info(run, format("TXN_BFT_NegotiatedLinkWidth. Found the root port @ BDF[%d,%d,%d]      "
                         "       that the DUT is plugged directly into\n",
                         bus, device, function));
        break;
      }
    }
  }
  if (index < 0) {
    file.remove();
    write_text(run.log, VEXO_LOG_FAIL,
               "TXN_BFT_NegotiatedLinkWidth. DUT is not plugged directly into Root Port\n");
    return verdict_failed;
  }

  std::string named;
  if (file.exists() && file.belongs_to_other_dut(dut, &named)) {
    // Results of another DUT's campaign must not count for this one.
    info(run, "TXN_BFT_NegotiatedLinkWidth. The result file " + file.path() + " belongs to another DUT (" +
                  named + "): starting a new campaign\n");
    file.remove();
  }
  if (!file.exists()) {
    std::vector<nlw::port_entry> entries;
    for (const root_port& p : c.ports) entries.push_back(p.entry);
    file.create(entries, dut);
  }

  root_port& port = c.ports[static_cast<std::size_t>(index)];
  const nlw::widths w{dut.max_width, dut_negotiated, port.entry.max_width,
                      width_bits(port.express.link_status)};
  info(run, format("TXN_BFT_NegotiatedLinkWidth. \t\tDUT at Bus[%d] Device[%d] Function[%d] "
                   "\t\tIS BEING TESTED WITH ROOT PORT AT BUS[%d] DEVICE[%d] FUNCTION[%d]\n",
                   dut.bus, dut.device, dut.function, port.entry.bus, port.entry.device,
                   port.entry.function));
  info(run, format("TXN_BFT_NegotiatedLinkWidth. \t\tDUT max link width[%d] DUT negotiated link "
                   "width[%d] \t\tRoot Port max link width[%d] Root Port Negotiated link "
                   "width[%d]\n",
                   w.dut_max, w.dut_negotiated, w.port_max, w.port_negotiated));
  std::vector<std::string> lines;
  const VEXO_STATUS_t status = nlw::check_widths(w, port.slot, lines);
  for (const std::string& line : lines) info(run, line);

  file.record_slot(index, status, port.slot, dut_negotiated);
  if (!platform::can_open_for_reading(file.path())) {
    std::printf("file with name[%s] cannot be opened\n", file.path().c_str());
  }
  int not_tested = 0;
  for (std::size_t i = 0; i < c.ports.size(); ++i) {
    const std::string slot = file.slot_status(static_cast<int>(i));
    info(run, "ROOT PORT " + std::to_string(i) + " " + slot + "\n");
    if (slot == "Not_Tested") ++not_tested;
  }
  if (c.ports.empty() || not_tested < 2) {
    file.set_result("COMPLETE");
    info(run, "TXN_BFT_NegotiatedLinkWidth: TEST COMPLETED");
    std::printf("Test completed \n");
  } else {
    file.set_result("INCOMPLETE");
    info(run, "TXN_BFT_NegotiatedLinkWidth:             INCOMPLETE NEXT TRY ON ANOTHER ROOT PORT");
    std::printf("Try testing on next root port slot \n");
  }
  std::fflush(stdout);
  return status;
}

}  // namespace

VEXO_STATUS_t run_negotiated_link_width(int argc, char* argv[], std::source_location where) {
  if (zam::answered_standard_option(argc, argv)) return VEXO_STATUS_SUCCESS;
  auto run = std::make_unique<test_run>();
  run->number = number();
  const nlw::result_file file;
  VEXO_STATUS_t status = TxnTestSetup(
      argc, argv, "TXN_BFT_NegotiatedLinkWidth", 0, VEXO_LOG_ACTION_CREATE, &run->framework,
      &run->log, nullptr, nullptr, &run->dut_find_flags, &run->dut, &run->dat, &run->number,
      run->dat_file, run->log_file, &run->saved_control, &run->saved_status);
  if (status != VEXO_STATUS_SUCCESS && status != VEXO_STATUS_ZAM_NOT_PRESENT) {
    std::printf("file[%s] line[%d] LinkTestSetup() failed\n", where.file_name(),
                static_cast<int>(where.line()));
    std::fflush(stdout);
    // A failed set-up starts the campaign over.
    file.remove();
  } else {
    status = measure(*run, file);
  }
  if (run->framework != nullptr) status = check_run_trouble(*run, status);
  if (!file.kept()) {
    // The campaign could not be kept: this run's slot counts for nothing.
    const std::string text = "TXN_BFT_NegotiatedLinkWidth. The campaign file cannot be written: " + file.failure() + "\n";
    std::printf("%s", text.c_str());
    std::fflush(stdout);
    LogAssert(run->log, VEXO_LOG_ABORT, &run->number, text.c_str());
    if (status == VEXO_STATUS_SUCCESS) status = VEXO_STATUS_LOG_WRITE_ERROR;
  }
  if (status == VEXO_STATUS_SUCCESS) {
    LogAssert(run->log, VEXO_LOG_SUCCESS, &run->number, "SUCCESS - TXN_BFT_NegotiatedLinkWidth");
  } else {
    LogAssert(run->log, VEXO_LOG_FAIL, &run->number, "FAIL - TXN_BFT_NegotiatedLinkWdith");
  }
  return clean_up(*run, false, status);
}
