// The packet log of a case: raw or decoded requests and completions, final registers.
#include "packet_trace.h"

#include <cstdarg>
#include <cstdio>

#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "lattix/topology_iterator.h"

namespace fwtool {
namespace {

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  out += text;
}

bool carries_data(uint32_t w0) { return ((w0 >> 29) & 0x3) == 2; }

const char* type_name(uint32_t type) {
  switch (type) {
    case 0: return " MEM \t";
    case 1: return " MEM_READ_LOCKED \t";
    case 2: return "IO \t";
    case 4: return "CONF0 \t";
    case 5: return "CONF1 \t";
    case 10: return "COMPL \t";
    case 11: return "COMPL MEM LOCKED \t";
    default: return "";
  }
}

const char* message_name(uint32_t code) {
  switch (code) {
    case 0x00: return "Unlock Message";
    case 0x14: return "PME Nak Message";
    case 0x18: return "PM PME Message";
    case 0x19: return "PME Turn Off Message";
    case 0x1B: return "PME To Ack Message";
    case 0x20: case 0x24: return "Assert INT A Message";
    case 0x21: case 0x25: return "Assert INT B Message";
    case 0x22: case 0x26: return "Assert INT C Message";
    case 0x23: case 0x27: return "Assert INT D Message";
    case 0x30: return "Error - Correctable Message";
    case 0x31: return "Error - Nonfatal Message";
    case 0x33: return "Error - Fatal Message";
    case 0x40: return "Attention Indicator Off Message";
    case 0x41: return "Attention Indicator On Message";
    case 0x43: return "Attention Indictor Blink Message";
    case 0x44: return "Power Indicator Off Message";
    case 0x45: return "Power Indicator On Message";
    case 0x47: return "Power Indicator Blink Message";
    case 0x48: return "Attention Button Pressed Message";
    case 0x50: return "Set Slot Power Limit Message";
    case 0x7E: return "Vendor Defined Silent Message";
    case 0x7F: return "Vendor Defined Non-Silent Message";
    default: return "";
  }
}

const char* status_name(uint32_t status) {
  switch (status) {
    case 0: return "SC";
    case 1: return "UR";
    case 2: return "CRS";
    case 4: return "CA";
    default: return "";
  }
}

std::string decoded(const uint32_t* w) {
  std::string out;
  const uint32_t type = (w[0] >> 24) & 0x1F;
  out += type_name(type);
  if (type >= 0x10) {
    out += message_name(w[1] & 0xFF);
    out += "/t";
  } else if (type == 4 || type == 5) {
    append(out, "Tag: 0x%.2x \t", (w[1] >> 8) & 0xFF);
    append(out, "Reg: 0x%.2x \t", w[2] & 0xFC);
    append(out, "ExtReg: 0x%.1x \t", (w[2] >> 8) & 0xF);
    out += "B:D:F \t";
    append(out, "%d:%d:%d \t", static_cast<int>(w[2] >> 24), static_cast<int>((w[2] >> 19) & 0x1F),
           static_cast<int>((w[2] >> 16) & 0x7));
    append(out, "FirstBE:0x%.1x \t", w[1] & 0xF);
    if (carries_data(w[0])) append(out, "Data: 0x%.8x", w[3]);
  } else if (type == 10 || type == 11) {
    append(out, "Tag: 0x%.2x \t", (w[2] >> 8) & 0xFF);
    out += "Status: ";
    out += status_name((w[1] >> 13) & 0x7);
    out += " \t";
    append(out, "Completer ID: 0x%.4x \t", w[1] >> 16);
    if (carries_data(w[0])) append(out, "Data: 0x%.8x \t", w[3]);
  }
  return out;
}

std::string raw(const uint32_t* w) {
  std::string out;
  append(out, "\t0x%.8x\t0x%.8x\t0x%.8x\t", w[0], w[1], w[2]);
  if (carries_data(w[0])) append(out, "0x%.8x", w[3]);
  return out;
}

}  // namespace

std::string packet_text(const uint32_t* words, uint32_t log_type) {
  return (log_type == 1 ? raw(words) : decoded(words)) + "\n";
}

void trace_request(VEXO_LOG_HANDLE_t log, const uint32_t* request, const uint32_t* completion, uint32_t log_type) {
  WriteToLog(log, VEXO_LOG_INFO, "Received: %s", packet_text(request, log_type).c_str());
  WriteToLog(log, VEXO_LOG_INFO, "\tSent: %s",
             completion != nullptr ? packet_text(completion, log_type).c_str() : "NO PACKET\n");
  WriteToLog(log, VEXO_LOG_INFO, "\n");
}

void dump_final_registers(VEXO_LOG_HANDLE_t log, const packetHandler& handler) {
  for (topologyIterator walk(handler.getRequestHandler()); walk.getDevice() != nullptr; walk.next()) {
    const device& d = *walk.getDevice();
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!d.isFunction(fn)) continue;
      // One write per line: a log write carries at most 2047 characters.
      WriteToLog(log, VEXO_LOG_INFO, "FINAL REGISTER STATE FOR BUS: %d DEV: %d : FUNC: %d\n",
                 static_cast<int>(d.GetBusNum()), static_cast<int>(d.GetDevNum()), fn);
      WriteToLog(log, VEXO_LOG_INFO, "Device Name In Script: %s\n", d.GetDevScriptString());
      for (uint16_t offset = 0; offset < 256; offset += 4) {
        WriteToLog(log, VEXO_LOG_INFO, "0x%.8x \t\t 0x%x \n", d.read4(fn, offset), offset);
      }
      WriteToLog(log, VEXO_LOG_INFO, "\n");
    }
  }
}

}  // namespace fwtool
