// What the system can tell about the synchroniser from outside its process, for the status
// command: which start of the computer this is, whether a synchroniser holds the machine's
// single-instance lock, what the service manager says of the service, and the console to
// answer in.
//
// Any thread.
#pragma once

#include <string>
#include <string_view>

namespace zlv::platform {

// Names this start of the computer, so that readings of the clock counting from the start
// are compared only within one (Linux: the kernel's boot id). Empty where the system gives
// none (Windows: a reading larger than the current one then tells a restart).
std::string BootId();

// This process's identifier.
long CurrentProcessId();

enum class InstanceState { kRunning, kNotRunning, kUnknown };
// Whether a process holds the SingleInstanceLock of that name (platform/single_instance.h),
// found without taking the lock, so that asking never makes a synchroniser that is starting
// at that moment take itself for a second one. kUnknown when this account may not see the
// lock (a technician's account asking about root's service).
InstanceState ProbeSingleInstance(const std::string& name);

// The service manager's word on the service ("active", "inactive", "failed" on Linux with
// systemd; "RUNNING", "STOPPED", ... on Windows; "não instalado"), or empty where there is no
// service manager to ask.
std::string ServiceState(const std::string& service_name);

// Writes UTF-8 text to whoever started the program. Windows: the program has no console of its
// own, so it attaches to the console of the command prompt that started it and writes in
// that console's code page (or to the file or pipe its output was redirected to). POSIX:
// standard output.
void WriteToStarter(std::string_view utf8_text);

}  // namespace zlv::platform
