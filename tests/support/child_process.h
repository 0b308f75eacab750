// Child processes of the test harnesses (the HTTPS server, the throwaway PostgreSQL): started
// in a process group of their own with stdin from /dev/null and stderr appended to a log file
// whose text becomes the error when they fail.
//
// POSIX. For use on the test's own thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zlv::test {

// Starts args[0] (looked up on the PATH) with stdout to stdout_fd (or /dev/null when -1),
// in `folder` when one is given. Throws std::runtime_error when it cannot be started.
pid_t SpawnChild(const std::vector<std::string>& args, int stdout_fd,
                 const std::filesystem::path& log_file, const std::filesystem::path& folder = {});

// Runs the command to its end; throws std::runtime_error with its log's text unless it exits 0.
void RunChild(const std::vector<std::string>& args, const std::filesystem::path& log_file,
              const std::filesystem::path& folder = {});

// The log file's text; empty when it cannot be read.
std::string LogText(const std::filesystem::path& log_file);

}  // namespace zlv::test
