// CXmlVEXOLog: the XML test log every compliance program writes.
#include "xml/xml_log.h"

#include <cstring>

#include "device/device_record.h"
#include "log/log_level.h"
#include "log/test_num.h"
#include "platform/clock.h"
#include "platform/sysinfo.h"
#include "xml/platform_block.h"

namespace vexo {
namespace {

bool open_mode(VEXO_LOG_ACTION_t action, platform::output_mode& mode) {
  switch (action) {
    case VEXO_LOG_ACTION_CREATE:
    case VEXO_LOG_ACTION_OVERWRITE: mode = platform::output_mode::create; return true;
    case VEXO_LOG_ACTION_APPEND: mode = platform::output_mode::append; return true;
    default: return false;
  }
}

std::string formatted(const char* format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

CXmlVEXOLog::CXmlVEXOLog(const char* file_name, VEXO_LOG_ACTION_t action,
                         const log_flavour& flavour)
    : CVEXOLog(flavour) {
  platform::output_mode mode{};
  if (file_name != nullptr) file_name_ = file_name;
  if (file_name == nullptr || !open_mode(action, mode) || !file_.open(file_name_, mode)) {
    set_open_status(VEXO_STATUS_NO_LOG_FILE);
    return;
  }
  set_open_status(put(document_header(platform::local_now(), platform::read_machine_facts())));
}

CXmlVEXOLog::~CXmlVEXOLog() { Close(); }

VEXO_STATUS_t CXmlVEXOLog::Close() {
  if (!file_.is_open()) return file_.status();
  // A program that stopped before its test ended still leaves a well-formed document.
  if (test_open_) StopTest();
  put("</VEXOXMLLog>\n");
  file_.close();
  return file_.status();
}

VEXO_STATUS_t CXmlVEXOLog::Reset() {
  if (!file_.is_open()) return VEXO_STATUS_LOG_NOT_OPEN;
  file_.close();
  test_open_ = false;
  return file_.open(file_name_, platform::output_mode::create) ? VEXO_STATUS_SUCCESS
                                                                : VEXO_STATUS_LOG_NOT_OPEN;
}

VEXO_STATUS_t CXmlVEXOLog::StartTest(const std::string& name) {
  const VEXO_STATUS_t status = CVEXOLog::StartTest(name);
  if (status != VEXO_STATUS_SUCCESS) return status;
  return WriteTestElement(nullptr, 0, nullptr);
}

VEXO_STATUS_t CXmlVEXOLog::StopTest() {
  // Only the closing element: the XML log keeps no test records. Without an opening
  // element (the program stopped before its test started) there is nothing to close.
  if (!file_.is_open() || !test_open_) return VEXO_STATUS_SUCCESS;
  test_open_ = false;
  return put("</VEXOTest>\n");
}

VEXO_STATUS_t CXmlVEXOLog::StartTestCase(const std::string&) { return VEXO_STATUS_SUCCESS; }

VEXO_STATUS_t CXmlVEXOLog::StopTestCase() { return VEXO_STATUS_SUCCESS; }

VEXO_STATUS_t CXmlVEXOLog::WriteTestElement(const VEXO_TEST_NUM_t* numbers, uint32_t count,
                                            VEXO_DEVICE_HANDLE_t device_under_test) {
  if (!file_.is_open()) return VEXO_STATUS_SUCCESS;
  std::string text = formatted("<VEXOTest user=\"%s\" timestamp=\"%s\">\n", log_user,
                               log_timestamp(platform::local_now()).c_str());
  for (uint32_t index = 0; numbers != nullptr && index < count; ++index) {
    text += "<Assertion name=\"" + assertion_name(numbers[index]) + "\">\n</Assertion>\n";
  }
  if (const device_record* device = record_from_handle(device_under_test)) {
    text += formatted(
        "<DUT DeviceId=\"0X%x\" VendorId=\"0X%x\" Bus=\"%d\" Device=\"%d\" Function=\"%d\">\n",
        device->device_id, device->vendor_id, device->bus, device->device, device->function);
    text += "</DUT>\n";
  }
  test_open_ = true;
  return put(text);
}

VEXO_STATUS_t CXmlVEXOLog::LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                                     const std::string& message) {
  if (!file_.is_open()) return VEXO_STATUS_SUCCESS;
  return put("\n<ASSERTTAG assertion = \"" + assertion_name(number) + "\" status = \"" +
             assertion_status_word(level) + "\">\n" + message + "</ASSERTTAG>\n\n");
}

VEXO_STATUS_t CXmlVEXOLog::Write(int32_t level, const std::string& text) {
  if (!file_.is_open()) return VEXO_STATUS_LOG_NOT_OPEN;
  const xml_tag_pair tags = xml_free_text_tags(level);
  return put(tags.open + text + tags.close);
}

VEXO_STATUS_t CXmlVEXOLog::WriteTraceBufferDump(int32_t action_count, const uint8_t* bytes,
                                                uint32_t byte_count, uint32_t readable_count) {
  if (!file_.is_open()) return VEXO_STATUS_LOG_NOT_OPEN;
  if (bytes == nullptr) byte_count = 0;
  if (readable_count == whole_dump || bytes == nullptr) readable_count = byte_count;
  std::string text = "\n<INFO> " + formatted("<ActionCount> %d\n", action_count) +
                     "</ActionCount>\n</INFO>\n <INFO> <TBContents>\n" +
                     formatted("<NumBytes> %d </NumBytes> \n", static_cast<int>(byte_count)) +
                     "<TBData>\n";
  for (uint32_t offset = 0; offset < byte_count; offset += 4) {
    // The last word may reach past what may be read: take what is there, pad with zeros
    // rather than run past the buffer.
    uint8_t word_bytes[4] = {0, 0, 0, 0};
    if (offset < readable_count) {
      std::memcpy(word_bytes, bytes + offset,
                  readable_count - offset < 4 ? readable_count - offset : 4);
    }
    const uint32_t word = word_bytes[0] | (word_bytes[1] << 8) | (word_bytes[2] << 16) |
                          (static_cast<uint32_t>(word_bytes[3]) << 24);
    text += formatted("0x%08x\n", word);
  }
  text += "</TBData>\n</TBContents></INFO>\n";
  return put(text);
}

}  // namespace vexo
