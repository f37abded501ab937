// Operator input of the framework libraries: UI objects reached through an untyped handle.
//
// Conventions
// - vexo builds the silent kind only (every request succeeds at once and writes nothing);
//   vexomin builds the dialog kind. Both export these calls with these signatures.
// - Input gate: a request with force 0 while input is not enabled succeeds at once without
//   asking and leaves its out arguments untouched. Input is not enabled at creation.
// - Texts are std::string objects and lists std::vector objects passed by pointer; a null
//   text counts as empty. Time-outs are in milliseconds, 0 meaning none.
// - CloseUI destroys the object; the handle is invalid afterwards (calls with it give
//   VEXO_STATUS_INVALID_PARAMETER).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CVEXOGuiEvent;  // event object of worker-mode dialogs (vexomin)

typedef void* VEXO_UI_HANDLE_t;

typedef uint32_t VEXO_UI_TYPE_t;
inline constexpr VEXO_UI_TYPE_t VEXO_UI_TYPE_DIALOG = 0;  // operator dialogs (vexomin)
inline constexpr VEXO_UI_TYPE_t VEXO_UI_TYPE_RESERVED1 = 1;
inline constexpr VEXO_UI_TYPE_t VEXO_UI_TYPE_RESERVED2 = 2;
inline constexpr VEXO_UI_TYPE_t VEXO_UI_TYPE_SILENT = 3;  // CDummyUserInput (vexo)

// The framework handle is not read and may be null.
VEXO_API VEXO_STATUS_t CreateUI(VEXO_HANDLE_t framework, VEXO_UI_HANDLE_t* ui, VEXO_UI_TYPE_t type);
VEXO_API VEXO_STATUS_t CloseUI(VEXO_UI_HANDLE_t ui);
// The chosen entry's index; 0xFFFFFFFF when the operator cancelled.
VEXO_API VEXO_STATUS_t GetSelectionFromList(VEXO_UI_HANDLE_t ui, const std::string* prompt,
                                            const std::vector<std::string>* list, uint32_t* index,
                                            uint32_t timeout_ms, int force);
// With an event the dialog runs on a worker thread: the call returns at once and the event
// is signalled when the dialog ends. The button label defaults to "OK".
VEXO_API VEXO_STATUS_t DisplayInfoToUser(VEXO_UI_HANDLE_t ui, const std::string* message, int wait_for_operator,
                                         CVEXOGuiEvent* event, uint32_t timeout_ms, int force,
                                         const std::string* button_label);
// The answer is 1 for the yes label, 0 for the no label. With an event the dialog runs on a
// worker thread and TerminateDialog delivers the answer.
VEXO_API VEXO_STATUS_t GetBooleanDecision(VEXO_UI_HANDLE_t ui, const std::string* question,
                                          const std::string* yes_label, const std::string* no_label, int* answer,
                                          uint32_t timeout_ms, CVEXOGuiEvent* event, int force);
// Asks until the number lies within minimum..maximum; a non-zero format flag asks in hex.
VEXO_API VEXO_STATUS_t GetInteger(VEXO_UI_HANDLE_t ui, const std::string* title, const std::string* prompt,
                                  uint32_t* value, int format, uint32_t maximum, uint32_t minimum,
                                  uint32_t timeout_ms, int force);
VEXO_API VEXO_STATUS_t GetString(VEXO_UI_HANDLE_t ui, const std::string* title, const std::string* prompt,
                                 std::string* text, uint32_t timeout_ms, int force);
// Ends the worker-mode dialogs and delivers a pending yes/no answer.
VEXO_API VEXO_STATUS_t TerminateDialog(VEXO_UI_HANDLE_t ui);
VEXO_API VEXO_STATUS_t SetDialogHeader(VEXO_UI_HANDLE_t ui, const std::string* header);
VEXO_API VEXO_STATUS_t EnableInput(VEXO_UI_HANDLE_t ui);
VEXO_API VEXO_STATUS_t DisableInput(VEXO_UI_HANDLE_t ui);
// The input-enabled flag as it stands: 1 after EnableInput, 0 at creation and after
// DisableInput (and for an invalid handle).
VEXO_API int IsInputDisabled(VEXO_UI_HANDLE_t ui);
