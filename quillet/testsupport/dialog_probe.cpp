// Shows a list, a yes/no and a number dialog with a short time-out, printing each outcome.
#include <cstdio>
#include <string>
#include <vector>

#include "quillet.h"

int main() {
  const std::string header = "Probe";
  const std::string prompt = "Pick a test case";
  const std::vector<std::string> cases{"Bus numbers", "BAR overlap", "ASPM"};
  if (CreateGetUserListSingleSelectionDialog(&header, &prompt, &cases, 0) < 0) return 1;
  uint32_t index = 0;
  GetUserListSingleSelectionData(&index);
  std::printf("selected %u timed out %d\n", index, DidGetUserListSingleSelectionDialogTimeOut());
  DestroyGetUserListSingleSelectionDialog();

  const std::string question = "Did the system power on?";
  const std::string yes = "YES";
  const std::string no = "NO";
  if (CreateGetUserBooleanChoiceDialog(&header, &question, &yes, &no, 0) < 0) return 1;
  bool answer = false;
  GetUserBooleanChoiceDialogData(&answer);
  std::printf("answer %s input %d\n", answer ? "yes" : "no", GetUserBooleanDidUserProvideInput());
  DestroyGetUserBooleanChoiceDialog();

  const std::string title = "Delay";
  const std::string number_prompt = "Delay in MS";
  if (CreateGetUserItemDialog(&header, &title, &number_prompt, true, false, 300) < 0) return 1;
  uint32_t number = 0;
  std::printf("number status %d timed out %d\n", GetUserItemDialogData(&number, nullptr) < 0 ? -1 : 0,
              DidGetUserItemDialogTimeOut());
  DestroyGetUserItemDialog();
  std::fflush(stdout);
  return 0;
}
