// zlvsinc-central: the project's reference central order server (see central_cli.h).
#include <iostream>
#include <string>
#include <vector>

#include "central/central_cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zlv::RunCentralCommand(args, std::cout, std::cerr);
}
