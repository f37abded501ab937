// Register routines every compliance test shares: SERR# Enable, Device Status and Control,
// AER status, the configuration dump, the MCFG line and the message counts of the trace.
#pragma once

#include <cstdint>

#include "vexo.h"

// Sets (enable != 0) or clears SERR# Enable in the Command register; returns the old value.
uint16_t SetDutSerrEnable(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log, uint16_t enable);

// Logs the first 64 configuration bytes and each PCI capability in one INFO entry.
void LogDutConfigSpace(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log);

// Link form: clears the four error-detected bits of Device Status, reports the old value and
// the value read back afterwards.
VEXO_STATUS_t ClearDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                   uint16_t* old_status, uint16_t* new_status);
// Transaction form: the write's status, ":::"-prefixed messages.
VEXO_STATUS_t ClearDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                   uint16_t* old_status);

// Link form: sets the four error-reporting enables of Device Control.
VEXO_STATUS_t EnableDutErrorReporting(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                      uint16_t* old_control, uint16_t* new_control);
// Transaction form.
VEXO_STATUS_t EnableDutErrorReporting(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                      uint16_t* old_control);

// Writes the saved Device Status, then the saved Device Control back; the second's status.
VEXO_STATUS_t RestoreDutErrorRegisters(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                       uint16_t saved_status, uint16_t saved_control);

// Logs where the ACPI MCFG table is, or that it was not found.
void LogMcfgTableInfo(VEXO_LOG_HANDLE_t log);

// Reads Device Status into both outputs.
VEXO_STATUS_t ReadDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                  uint16_t* status, uint16_t* status_copy);

// Counts the ERR_COR (ERR_FATAL) messages in the card's read trace buffer: message TLPs
// routed to the root complex with that message code. Always 0.
VEXO_STATUS_t CountErrCorMessages(VEXO_DEVICE_HANDLE_t card, unsigned int* count);
VEXO_STATUS_t CountErrFatalMessages(VEXO_DEVICE_HANDLE_t card, unsigned int* count);

namespace zam {

// Clears the DUT's AER Uncorrectable and Correctable Error Status registers (write 1 to
// clear); results are ignored and nothing is logged.
void clear_dut_aer_status(VEXO_DEVICE_HANDLE_t dut);

// Whether a record from VEXO_GetUpstreamZAM is a card's: card calls refuse any other record
// with VEXO_STATUS_INVALID_PARAMETER before anything reaches the card.
bool is_card(VEXO_DEVICE_HANDLE_t record);

// Whether a 16-byte TLP header is a message routed to the root complex with this message
// code.
bool is_message_to_root(const uint8_t (&header)[16], uint8_t message_code);

}  // namespace zam
