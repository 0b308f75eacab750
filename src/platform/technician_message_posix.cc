#include <iostream>

#include "platform/technician_message.h"

namespace zlv::platform {

void TellTechnician(const std::string& text, bool failure) {
  (failure ? std::cerr : std::cout) << text << std::endl;
}

}  // namespace zlv::platform
