// Opening the files the tool sends.
#include "file_pieces.h"

#include "print_format.h"

namespace zamdiag {

bool open_input(std::ostream& err, const std::string& path, std::ifstream& file) {
  file.open(path, std::ios::binary);
  if (!file) err << format("can't open %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace zamdiag
