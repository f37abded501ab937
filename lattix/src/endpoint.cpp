// Endpoint devices: function 0 from the endpoint template; resets touch only their own functions.
#include "lattix/device.h"

endPoint::endPoint() { addFunction(0, 1); }

endPoint::endPoint(configSpace* const* spaces, int count, bool respondToWrongDevice, double value)
    : device(spaces, count, value) {
  setRTWD(respondToWrongDevice);
}

endPoint::endPoint(configSpace* const* spaces, int count) : device(spaces, count, 0.0) {}

void endPoint::hotReset() { resetFunctions(true); }
void endPoint::coldReset() { resetFunctions(false); }
