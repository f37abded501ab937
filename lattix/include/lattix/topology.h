// The hierarchy a topology script builds: devices, their connection table and buses.
//
// Ownership: a topology owns the device array, every device in it, the connection table
// and every bus it was given; deleting the topology releases them all.
#pragma once

#include <vector>

#include "lattix/lattix_export.h"

class bus;
class device;

class LATTIX_API topology {
 public:
  // Takes ownership of the device array (count entries, allocated with new[]), the
  // devices in it, and the connection table made by makeConnectionTable.
  topology(device** devices, int** connections, int count);
  ~topology();
  topology(const topology&) = delete;
  topology& operator=(const topology&) = delete;

  // A table of count * 8 + 1 rows of count + 1 ints, all -1. Row index * 8 + function
  // lists the devices below that function; the last row lists the root devices.
  static int** makeConnectionTable(int count);
  static void freeConnectionTable(int** table);

  device** getDevices() const { return devices_; }
  int** getConnectionTable() const { return connections_; }
  int getDeviceCount() const { return count_; }
  int getStatus() const { return status_; }
  void setStatus(int value) { status_ = value; }

  // Takes ownership of a bus built for this hierarchy.
  void adoptBus(bus* b);
  void setRootBus(bus* root) { root_ = root; }
  bus* getRootBus() const { return root_; }

 private:
  device** devices_;
  int** connections_;
  int status_ = 0;
  int count_;
  std::vector<bus*> buses_;
  bus* root_ = nullptr;
};
