// Finding and opening the driver families, and closing them again.
#pragma once

namespace pellor {

// Finds the drivers and fills the card and known-endpoint tables. Does nothing when already
// initialised. True when the library is initialised (a configuration driver was opened).
bool initialise();

// Closes every driver handle and frees the contexts; the tables keep their pointers.
// Does nothing when not initialised.
void close();

}  // namespace pellor
