// The compliance programs the lab runs and the DUT faults each must catch: the matrix of
// zam-lab(7), shared by the end-to-end runs of the Linux and the Windows programs.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace e2e {

// The twelve data-link programs and the two transaction card programs of the default station.
inline const char* const programs[] = {
    "LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "UndefinedDLLPEncoding_EP_USW",
    "ReXmitOnNak_EP_USW",            "ReplayNumTest_EP_USW",                      "ReplayTimerTest_EP_USW",
    "ReplayTLPOrder_EP_USW",         "ReservedFieldsDLLPReceive_EP_USW",          "WrongSeqNumInAckDLLP_EP_USW",
    "CorruptedDLLPs_EP_USW",         "DuplicateTLPSeqNum_EP_USW",                 "BadLCRC_EP_USW",
    "TXN_BFT_CompletionTimeout_EP",  "TXN_BFT_RequestCompletion_EP",
};

// The programs each fault must fail.
inline const std::map<std::string, std::vector<std::string>> expected_failures = {
    {"no-replay-on-nak", {"ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW"}},
    {"no-replay-rollover", {"LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack"}},
    {"no-replay-timer",
     {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW",
      "UndefinedDLLPEncoding_EP_USW"}},
    {"accepts-bad-lcrc", {"BadLCRC_EP_USW"}},
    {"accepts-duplicates", {"DuplicateTLPSeqNum_EP_USW"}},
    {"ignores-bad-dllp", {"CorruptedDLLPs_EP_USW"}},
    {"reserved-dllp-bits-error", {"ReservedFieldsDLLPReceive_EP_USW"}},
    {"ignores-bogus-ack", {"WrongSeqNumInAckDLLP_EP_USW"}},
    {"early-rollover", {"ReplayNumTest_EP_USW"}},
    {"no-error-messages",
     {"LinkRetrainOnRetryFail_EP_USW", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW", "BadLCRC_EP_USW",
      "CorruptedDLLPs_EP_USW", "UndefinedDLLPEncoding_EP_USW", "WrongSeqNumInAckDLLP_EP_USW"}},
    {"short-completion-timeout", {"TXN_BFT_CompletionTimeout_EP"}},
    {"no-completion-timeout", {"TXN_BFT_CompletionTimeout_EP"}},
    {"wrong-completer-id", {"TXN_BFT_RequestCompletion_EP"}},
    {"answers-missing-functions", {"TXN_BFT_RequestCompletion_EP"}},
    {"trains-narrow", {"TXN_BFT_NegotiatedLinkWidth"}},
    {"zero-link-width", {"ReplayTLPOrder_EP_USW", "TXN_BFT_NegotiatedLinkWidth"}},
};

// The link width program judges a DUT plugged into a root port: it runs on a placement station.
inline const char* const slot_program = "TXN_BFT_NegotiatedLinkWidth";

}  // namespace e2e
