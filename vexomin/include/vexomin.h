// Public interface of the minimal framework library vexomin: logs (plain text and console),
// test lifecycle, start-up calls that do nothing, and operator dialogs.
//
// Conventions
// - vexomin exports 25 calls of vexo.h with the same signatures: OpenVEXO, CloseVEXO,
//   CreateLog, CloseLog, WriteToLog, EnableLogging, DisableLogging, StartTest and
//   StartTestCase (two-argument forms), StopTest, StopTestCase, LogAssert, and the operator
//   input calls of vexo_ui.h plus GetMultipleSelectionsFromList below. Nothing else of
//   vexo.h exists here: no XML log, no device, card or driver access.
// - CreateLog builds the plain-text and console kinds only. CreateUI builds the dialog kind
//   (VEXO_UI_TYPE_DIALOG) only; its dialogs are shown by the Quillet library through the
//   operator backend that ZAM_OPERATOR selects.
// - Threads: the calls run on the caller's thread, except worker mode: DisplayInfoToUser
//   and GetBooleanDecision with an event run their dialog on a worker thread and signal
//   the event when it ends. One worker of each kind at a time, process-wide, until
//   TerminateDialog; the dialog texts are copied for the worker, so the caller may change
//   its strings and the header at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "vexo.h"

namespace platform {
class event;
}
namespace vexo {
class CDialogUserInput;
}

// The event object of a worker-mode dialog: an auto-reset event plus two marks the worker
// sets before signalling (the operator gave input; the dialog timed out).
class VEXO_API CVEXOGuiEvent {
 public:
  CVEXOGuiEvent();
  ~CVEXOGuiEvent();
  CVEXOGuiEvent(const CVEXOGuiEvent&) = delete;
  CVEXOGuiEvent& operator=(const CVEXOGuiEvent&) = delete;

  // Waits up to timeout_ms (0xFFFFFFFF: without limit). Signalled: VEXO_STATUS_USER_INPUT
  // when input was marked, else VEXO_STATUS_DIALOG_TIMED_OUT when a time-out was marked,
  // else VEXO_STATUS_SUCCESS. Not signalled in time: VEXO_STATUS_TIMEOUT.
  VEXO_STATUS_t Wait(uint32_t timeout_ms);
  // 1 when the event was signalled (and consumes the signal), else 0; waits zero time.
  int IsSet();
  void MarkInput();
  void MarkTimedOut();
  // Clears the event; the marks stay.
  VEXO_STATUS_t Clear();
  VEXO_STATUS_t Signal();

 private:
  friend class vexo::CDialogUserInput;
  // Forgets both marks; a worker dialog starts with this, so a reused event never reports
  // the answer or time-out of the dialog it served before.
  void ForgetMarks();

  platform::event* event_;
  std::atomic<uint8_t> input_provided_{0};
  std::atomic<uint8_t> timed_out_{0};
};

// Any number of entries of a list, as ascending indices (empty when cancelled or timed out).
VEXO_API VEXO_STATUS_t GetMultipleSelectionsFromList(VEXO_UI_HANDLE_t ui, const std::string* prompt,
                                                     const std::vector<std::string>* list,
                                                     std::vector<uint32_t>* indices, uint32_t timeout_ms,
                                                     int force);
