// The fifteen compliance programs and the choice of a run.
#include "programs.h"

#include <algorithm>

namespace zamsuite {

const std::vector<std::string>& compliance_programs() {
  static const std::vector<std::string> names = {
      "TXN_BFT_CompletionTimeout_EP",
      "TXN_BFT_NegotiatedLinkWidth",
      "TXN_BFT_RequestCompletion_EP",
      "LinkRetrainOnRetryFail_EP_USW",
      "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack",
      "UndefinedDLLPEncoding_EP_USW",
      "ReXmitOnNak_EP_USW",
      "ReplayNumTest_EP_USW",
      "ReplayTimerTest_EP_USW",
      "ReplayTLPOrder_EP_USW",
      "ReservedFieldsDLLPReceive_EP_USW",
      "WrongSeqNumInAckDLLP_EP_USW",
      "CorruptedDLLPs_EP_USW",
      "DuplicateTLPSeqNum_EP_USW",
      "BadLCRC_EP_USW",
  };
  return names;
}

bool is_compliance_program(const std::string& name) {
  const auto& all = compliance_programs();
  return std::find(all.begin(), all.end(), name) != all.end();
}

std::vector<std::string> chosen_programs(const std::vector<std::string>& only, const std::vector<std::string>& skip) {
  std::vector<std::string> chosen;
  const auto listed = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (const std::string& name : compliance_programs()) {
    if (!only.empty() && !listed(only, name)) continue;
    if (listed(skip, name)) continue;
    chosen.push_back(name);
  }
  return chosen;
}

}  // namespace zamsuite
