// The twelve data-link-layer programs, each described for the shared runner.
#pragma once

#include "common/link_program.h"

const zam::link_program& LinkRetrainOnRetryFail_EP_USW_program();
const zam::link_program& LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack_program();
const zam::link_program& UndefinedDLLPEncoding_EP_USW_program();
const zam::link_program& ReXmitOnNak_EP_USW_program();
const zam::link_program& ReplayNumTest_EP_USW_program();
const zam::link_program& ReplayTimerTest_EP_USW_program();
const zam::link_program& ReplayTLPOrder_EP_USW_program();
const zam::link_program& ReservedFieldsDLLPReceive_EP_USW_program();
const zam::link_program& WrongSeqNumInAckDLLP_EP_USW_program();
const zam::link_program& CorruptedDLLPs_EP_USW_program();
const zam::link_program& DuplicateTLPSeqNum_EP_USW_program();
const zam::link_program& BadLCRC_EP_USW_program();
