// Exported log and lifecycle calls shared by the framework libraries.
#include <cstdarg>
#include <cstdio>

#include "log/console_log.h"
#include "log/log_handle.h"
#include "log/raw_text_log.h"
#include "vexo.h"

using vexo::guarded;
using vexo::log_from_handle;
using vexo::text_or_empty;

namespace {

// Largest free text WriteToLog passes on; longer text is cut, never overrun.
constexpr std::size_t write_buffer_size = 2048;

}  // namespace

VEXO_API VEXO_STATUS_t CreateLog(VEXO_HANDLE_t, VEXO_LOG_HANDLE_t* log, VEXO_LOG_TYPE_t type,
                                 const char* file_name, VEXO_LOG_ACTION_t action) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *log = nullptr;
  return guarded([&]() -> VEXO_STATUS_t {
    const vexo::log_flavour& flavour = vexo::library_log_flavour();
    vexo::CVEXOLog* created = nullptr;
    switch (type) {
      case VEXO_LOG_TYPE_XML:
        if (flavour.make_xml_log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
        created = flavour.make_xml_log(file_name, action);
        break;
      case VEXO_LOG_TYPE_RAW_TEXT:
        created = new (std::nothrow) vexo::CRawTextVEXOLog(file_name, flavour);
        break;
      case VEXO_LOG_TYPE_CONSOLE:
        created = new (std::nothrow) vexo::CConsoleOutVEXOLog(file_name, flavour);
        break;
      default:
        return VEXO_STATUS_INVALID_PARAMETER;
    }
    if (created == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
    // An XML log is only worth its file: one that opened none, or could not take its
    // header, is refused rather than handed out to drop every entry.
    const VEXO_STATUS_t opened = created->open_status();
    if (opened != VEXO_STATUS_SUCCESS) {
      delete created;
      return opened;
    }
    *log = created;
    return VEXO_STATUS_SUCCESS;
  });
}

// Reports a log whose file did not keep everything it was given (never opened, a write or
// the close failed): the log of the run is then incomplete.
VEXO_API VEXO_STATUS_t CloseLog(VEXO_LOG_HANDLE_t log) {
  if (log == nullptr) return VEXO_STATUS_SUCCESS;
  vexo::CVEXOLog* closing = log_from_handle(log);
  const VEXO_STATUS_t kept = guarded([&] { return closing->Close(); });
  delete closing;
  return kept;
}

VEXO_API VEXO_STATUS_t WriteToLog(VEXO_LOG_HANDLE_t log, int32_t level, const char* format, ...) {
  if (log == nullptr || format == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  char text[write_buffer_size];
  va_list arguments;
  va_start(arguments, format);
  const int formatted = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (formatted < 0) text[0] = '\0';
  return guarded([&] { return log_from_handle(log)->LogMessage(level, text); });
}

VEXO_API VEXO_STATUS_t EnableLogging(VEXO_LOG_HANDLE_t log) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  log_from_handle(log)->EnableLogging();
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t DisableLogging(VEXO_LOG_HANDLE_t log) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  log_from_handle(log)->DisableLogging();
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t StartTest(VEXO_LOG_HANDLE_t log, const char* name) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return log_from_handle(log)->StartTest(text_or_empty(name)); });
}

VEXO_API VEXO_STATUS_t StopTest(VEXO_LOG_HANDLE_t log) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return log_from_handle(log)->StopTest(); });
}

VEXO_API VEXO_STATUS_t StartTestCase(VEXO_LOG_HANDLE_t log, const char* name) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return log_from_handle(log)->StartTestCase(text_or_empty(name)); });
}

VEXO_API VEXO_STATUS_t StopTestCase(VEXO_LOG_HANDLE_t log) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return log_from_handle(log)->StopTestCase(); });
}

VEXO_API VEXO_STATUS_t LogAssert(VEXO_LOG_HANDLE_t log, int32_t level,
                                 const VEXO_TEST_NUM_t* number, const char* message) {
  if (log == nullptr || number == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded(
      [&] { return log_from_handle(log)->LogAssert(level, *number, text_or_empty(message)); });
}
