#include "platform/single_instance.h"

// What the lock does with its handle is the platform's (single_instance_<platform>.cc: the
// constructor and Release); owning and handing it on is the same everywhere.
namespace zlv {

SingleInstanceLock::~SingleInstanceLock() { Release(); }

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : handle_(other.handle_), outcome_(other.outcome_) {
  other.handle_ = -1;
}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    outcome_ = other.outcome_;
    other.handle_ = -1;
  }
  return *this;
}

}  // namespace zlv
