// TDisparaThreadZlvSinc: the watchdog thread. Every 30 s it looks at the synchronisation from
// outside the main thread and restarts the whole program (end this process and start a new
// one with the same codes) in two cases:
//  - stall: more than 180 s since the last sign of life (gUltimaAtividade), whatever the main
//    thread is doing;
//  - period: more than 240 min since gInicioPeriodo, only while gLiberaReinicio is true (no
//    downloaded order is being written); announced through gAvisoReinicio 40 s before, so a
//    run starting meanwhile ends at once. A run already under way may start writing orders
//    during those 40 s: the flag is read again after them, and while it is false the restart
//    waits for a later poll (and a new announcement).
// After a stall restart gUltimaAtividade is set to now, after a period restart gInicioPeriodo:
// a restart that did not happen is tried again a full interval later.
//
// Ages are measured on the injected clock's steady face, which setting the date does not move;
// the wall clock gives only the date the log line prints. Waits come from the injected sleeper
// and the restart from the injected command runner, so every path is tested without waiting.
// Stopping the sleeper ends the thread at its next wait, also during the grace, without a restart.
//
// Start/Stop from the main thread; the body runs on its own thread and shares only the four
// atomic watchdog values of Globals, the (thread-safe) log and its own copy of the codes a
// restart carries: Globals' code strings belong to the main thread, which may write them while
// the watchdog runs.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "platform/process.h"

namespace zlv {

class ActivityLog;

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Waits; false when the wait ended because Stop() was called (then at once, ever after).
  virtual bool Sleep(double seconds) = 0;
  virtual void Stop() = 0;
};

// Real time, cut short by Stop(). Thread-safe.
class StoppableSleeper : public Sleeper {
 public:
  bool Sleep(double seconds) override;
  void Stop() override;

 private:
  std::mutex mutex_;
  std::condition_variable stopped_changed_;
  bool stopped_ = false;
};

// What a restart gives the new process besides the installation folder: this process's codes.
struct RestartCodes {
  std::string cdfilial;
  std::string cdcaixa;
};

struct WatchdogSettings {
  // A tick refreshes the sign of life every 30 s; six missed ticks mean a blocked main thread.
  double stall_seconds = 180;
  // A long-running process is renewed every four hours to shed whatever it accumulated.
  double period_minutes = 240;
  double poll_seconds = 30;
  // Longer than the 30 s between ticks: a run that starts during it sees the announcement.
  double grace_seconds = 40;
  double pause_seconds = 2;
};

class TDisparaThreadZlvSinc {
 public:
  // folder: the installation folder the program is restarted from; image: the program's
  // image name (both for the log line and the restart).
  TDisparaThreadZlvSinc(Globals& globals, ActivityLog& log, const Clock& clock, Sleeper& sleeper,
                        CommandRunner& runner, std::filesystem::path folder, std::string image,
                        WatchdogSettings settings = {});
  ~TDisparaThreadZlvSinc();
  TDisparaThreadZlvSinc(const TDisparaThreadZlvSinc&) = delete;
  TDisparaThreadZlvSinc& operator=(const TDisparaThreadZlvSinc&) = delete;

  // Starts the thread with the codes a restart carries; a failure to start it is swallowed (the
  // process runs unwatched). On a running thread it only hands the codes over.
  void Start(RestartCodes codes);
  // Codes read after the thread started (a start-up that waited for its database): the
  // restarts from then on carry them.
  void HandOver(RestartCodes codes);
  bool Running() const { return thread_.joinable(); }
  // Stops the sleeper and waits for the thread to end.
  void Stop();

  // The thread's body, public so that tests run it on their own thread: polls until the
  // sleeper stops; a failure is logged ("Erro DisparaThreadZlvSinc:" and its message) and
  // ends it.
  void Execute();

 private:
  // One poll's tests; false when the sleeper stopped during it.
  bool Pass();
  void Restart(const char* reason);
  // Since a steady reading, rounded to the millisecond: sums of fractions are not exact, and
  // 180 s must not read as 180.000001 s.
  double SecondsSince(double steady) const;

  Globals& globals_;
  ActivityLog& log_;
  const Clock& clock_;
  Sleeper& sleeper_;
  CommandRunner& runner_;
  std::filesystem::path folder_;
  std::string image_;
  WatchdogSettings settings_;
  std::mutex codes_mutex_;
  RestartCodes codes_;  // guarded by codes_mutex_
  std::thread thread_;
};

}  // namespace zlv
