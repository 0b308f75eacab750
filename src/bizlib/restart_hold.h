// RestartHold: keeps the watchdog's routine restart (gLiberaReinicio) off while a phase runs that
// a restart must not cut in two, such as orders written to the store and not yet confirmed to
// the server, and allows it again when the phase ends, however it ends: an exception that
// leaves the phase must not keep the process from being renewed for good.
//
// Not counted: a hold ends the hold of any phase around it as well (the confirmation inside the
// download frees the restart for what the download does after it). Main thread.
#pragma once

#include "bizlib/globals.h"

namespace zlv {

class RestartHold {
 public:
  explicit RestartHold(Globals& globals) : globals_(globals) {
    globals_.gLiberaReinicio.store(false);
  }
  ~RestartHold() { globals_.gLiberaReinicio.store(true); }
  RestartHold(const RestartHold&) = delete;
  RestartHold& operator=(const RestartHold&) = delete;

 private:
  Globals& globals_;
};

}  // namespace zlv
