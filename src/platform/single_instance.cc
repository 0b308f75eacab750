#include "platform/single_instance.h"

// What the lock does with its handles is the platform's (single_instance_<platform>.cc: the
// constructor and Release); owning and handing them on is the same everywhere.
namespace zlv {

SingleInstanceLock::~SingleInstanceLock() { Release(); }

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : handle_(other.handle_), machine_handle_(other.machine_handle_), outcome_(other.outcome_) {
  other.handle_ = -1;
  other.machine_handle_ = -1;
}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    machine_handle_ = other.machine_handle_;
    outcome_ = other.outcome_;
    other.handle_ = -1;
    other.machine_handle_ = -1;
  }
  return *this;
}

}  // namespace zlv
