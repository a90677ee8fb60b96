#pragma once
// Settings of a serial line (RS-232/RS-485), shared by Modbus RTU and the native link.
#include <string>

namespace velta {

struct SerialSettings {
  std::string device = "/dev/ttyS0";
  int baud = 9600;
  char parity = 'E';  // 'N', 'E' or 'O'
  int dataBits = 7;   // 5..8
  int stopBits = 1;   // 1 or 2
};

}  // namespace velta
