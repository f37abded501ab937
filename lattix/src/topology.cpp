// Topology ownership: devices, the connection table and buses.
#include "lattix/topology.h"

#include "lattix/bus.h"
#include "lattix/device.h"

topology::topology(device** devices, int** connections, int count)
    : devices_(devices), connections_(connections), count_(count) {}

topology::~topology() {
  for (bus* b : buses_) delete b;
  if (devices_) {
    for (int i = 0; i < count_; ++i) delete devices_[i];
    delete[] devices_;
  }
  freeConnectionTable(connections_);
}

int** topology::makeConnectionTable(int count) {
  const size_t rows = static_cast<size_t>(count) * 8 + 1;
  const size_t columns = static_cast<size_t>(count) + 1;
  int** table = new int*[rows];
  int* cells = new int[rows * columns];
  for (size_t i = 0; i < rows * columns; ++i) cells[i] = -1;
  for (size_t r = 0; r < rows; ++r) table[r] = cells + r * columns;
  return table;
}

void topology::freeConnectionTable(int** table) {
  if (!table) return;
  delete[] table[0];
  delete[] table;
}

void topology::adoptBus(bus* b) { buses_.push_back(b); }
