// Quillet: operator dialogs (yes/no, numbers and text, lists, messages) for the framework.
//
// Conventions
// - One dialog of each kind at a time, process-wide. A create call shows its dialog and
//   returns when the dialog has ended: answered, cancelled, timed out, or closed by the
//   matching destroy call from another thread. The data calls then give the answer and the
//   queries tell how the dialog ended, until the destroy call forgets it.
// - Dialogs reach the operator through the backend that ZAM_OPERATOR selects: tty (a person
//   at the terminal), auto (first entry, yes, default number, at once), script:FILE (one
//   answer line per dialog), lab (the virtual operator of the lab).
// - Results are 32-bit statuses: QUILLET_OK, or a negative QUILLET_ERROR_* with bit 30 clear.
// - Texts are std::string objects passed by pointer; a null text counts as empty. Lists are
//   std::vector objects passed by pointer. The caller owns everything it passes.
// - Time-outs are in milliseconds; 0 and 0xFFFFFFFF mean none.
// - Every call may be made from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zam_export.h"

#define QUILLET_API ZAM_EXPORT

inline constexpr int32_t QUILLET_OK = 0;
// The dialog could not be shown or answered (no answer left in a script, input closed,
// unknown backend); the reason is on standard error.
inline constexpr int32_t QUILLET_ERROR_NOT_SHOWN = static_cast<int32_t>(0x80000001u);
// A dialog of the same kind is open.
inline constexpr int32_t QUILLET_ERROR_BUSY = static_cast<int32_t>(0x80000002u);
// A required pointer is null.
inline constexpr int32_t QUILLET_ERROR_INVALID_ARGUMENT = static_cast<int32_t>(0x80000003u);
// The last dialog of the kind gave no such answer (none shown, timed out, destroyed).
inline constexpr int32_t QUILLET_ERROR_NO_ANSWER = static_cast<int32_t>(0x80000004u);

// Index a single-selection list reports when the operator cancelled or nobody chose.
inline constexpr uint32_t QUILLET_NO_SELECTION = 0xFFFFFFFFu;

extern "C" {

// Yes/no: the answer is true for the yes label.
QUILLET_API int32_t CreateGetUserBooleanChoiceDialog(const std::string* header, const std::string* question,
                                                     const std::string* yes_label, const std::string* no_label,
                                                     uint32_t timeout_ms);
QUILLET_API int32_t GetUserBooleanChoiceDialogData(bool* answer);
QUILLET_API bool IsGetUserBooleanChoiceDialogDone();
QUILLET_API bool GetUserBooleanDidUserProvideInput();
QUILLET_API bool DidGetUserBooleanChoiceDialogTimeOut();
QUILLET_API int32_t DestroyGetUserBooleanChoiceDialog();

// A number (hexadecimal when the format flag is set) or a line of text.
QUILLET_API int32_t CreateGetUserItemDialog(const std::string* header, const std::string* title,
                                            const std::string* prompt, bool number_wanted, bool hexadecimal,
                                            uint32_t timeout_ms);
// The number shown as the default of the next number dialog (an empty entry takes it, and
// so does the auto backend); 0 unless set.
QUILLET_API void SetGetUserItemDialogDefaultNumber(uint32_t number);
QUILLET_API int32_t GetUserItemDialogData(uint32_t* number, std::string* text);
QUILLET_API bool DidGetUserItemDialogTimeOut();
QUILLET_API int32_t DestroyGetUserItemDialog();

// One entry of a list; QUILLET_NO_SELECTION when cancelled or timed out.
QUILLET_API int32_t CreateGetUserListSingleSelectionDialog(const std::string* header, const std::string* prompt,
                                                           const std::vector<std::string>* entries,
                                                           uint32_t timeout_ms);
QUILLET_API int32_t GetUserListSingleSelectionData(uint32_t* index);
QUILLET_API bool DidGetUserListSingleSelectionDialogTimeOut();
QUILLET_API int32_t DestroyGetUserListSingleSelectionDialog();

// Any number of entries of a list, as ascending indices; empty when cancelled or timed out.
QUILLET_API int32_t CreateGetUserListSelectionsDialog(const std::string* header, const std::string* prompt,
                                                      const std::vector<std::string>* entries,
                                                      uint32_t timeout_ms);
QUILLET_API int32_t GetUserListSelectionsData(std::vector<uint32_t>* indices);
QUILLET_API bool DidGetUserListSelectionsDialogTimeOut();
QUILLET_API int32_t DestroyGetUserListSelectionsDialog();

// A message; with wait_for_operator the operator acknowledges it with the button ("OK"
// when null), otherwise it is shown and the dialog ends at once.
QUILLET_API int32_t CreateDisplayInfoToUserDialog(const std::string* header, const std::string* message,
                                                  bool wait_for_operator, uint32_t timeout_ms,
                                                  const std::string* button_label);
QUILLET_API bool IsDisplayInfoToUserDialogDone();
QUILLET_API bool DiplayInfoDidUserProvideInput();
QUILLET_API bool DidDisplayInfoToUserDialogTimeOut();
QUILLET_API int32_t DestroyDisplayInfoToUserDialog();

}  // extern "C"
