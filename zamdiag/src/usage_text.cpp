// The tool's usage text, line for line as operators know it.
#include "usage_text.h"

namespace zamdiag {

const std::string& usage_text() {
  static const std::string text =
      "\n"
      "usage: zamdiag <options>\n"
      "\n"
      "Options include:\n"
      " -r <addr> [<count>]    read xdata memory address <addr>\n"
      " -w <addr> <value...>   write <values> to xdata address <addr>\n"
      " -d <addr> [<count>]    read data memory address <addr>\n"
      " -D <addr> <value...>   write <values> to data address <addr>\n"
      " -e <addr> [<count>]    read EEPROM address <addr>\n"
      " -E <addr> <value...>   write <values> to EEPROM address <addr>\n"
      " -i <addr> [<count>]    read I2C address <addr>\n"
      " -I <addr> <value...>   write <values> to I2C address <addr>\n"
      " -b <addr> [<count>]    read <count> bytes from bulk in interface\n"
      " -B <addr> <value...>   write <values> to bulk out interface\n"
      " -p <file> <offset> <header>  verify FLASH image at <offset>\n"
      " -P <file> <offset> <header>  download FLASH image at <offset>\n"
      "                        if header=0, without image header\n"
      "                        if header=1, with image header\n"
      " -L <file> <offset>     download <file> into EEPROM at <offset>\n"
      " -l <file> <offset> <count>   upload <file> from EEPROM at <offset>\n"
      " -M <mode>              choose the mode to be loaded on next boot\n"
      "                          (mode=[AIC|TOP|KEP])\n"
      " -A <file>              download FPGA image directly into FPGA\n"
      " -N <deviceName>        specify a device name (default: EZUSB-0)\n"
      " -H <hexfilename>       download (and run) an Intel Hex File\n"
      " -v                     get firmware version\n"
      " -V <addr>              get FPGA image version at <addr>\n"
      " -s                     print status ZAM card\n"
      "\n";
  return text;
}

}  // namespace zamdiag
