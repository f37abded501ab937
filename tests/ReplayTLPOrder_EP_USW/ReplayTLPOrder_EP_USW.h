// How many completions ReplayTLPOrder_EP_USW lets the card withhold Ack/Nak for.
#pragma once

#include <cstdint>

// K from Device Control's Max_Payload_Size and Link Status's Negotiated Link Width, plus the
// DAT file's increment (which may be negative; the result is not bounded here).
int replay_tlp_order_count(uint16_t device_control, uint16_t link_status, int16_t increment);
