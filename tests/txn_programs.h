// The transaction-layer programs, each described for the shared runner.
#pragma once

#include "common/txn_program.h"

const zam::txn_program& TXN_BFT_CompletionTimeout_EP_program();
const zam::txn_program& TXN_BFT_RequestCompletion_EP_program();
