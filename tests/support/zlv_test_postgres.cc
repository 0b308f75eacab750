// zlv_test_postgres: a throwaway PostgreSQL for tests that are not C++ (the hub's crash test).
// Starts a PostgresServer, prints the libpq URI of its database "hub" on one line, and stops
// it, removing its folder, once its standard input reaches end of file: a test that dies
// closes that pipe with it, so no server outlives the test that asked for it. SIGTERM, SIGINT
// and SIGHUP (a time-out killing the test's process group) end the wait the same way.
//
// A server that cannot be made or started ends the program with status 1 and the reason on
// standard error, so the test fails saying why.
//
// POSIX, as PostgresServer.
#include <signal.h>

#include <iostream>
#include <string>

#include "support/postgres_server.h"

namespace {

// Does nothing: installed without SA_RESTART, the signal makes the blocked read fail, which
// ends the wait and lets the server's destructor run.
void Interrupt(int) {}

void StopWaitingOn(int signal_number) {
  struct sigaction action = {};
  action.sa_handler = Interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

int main() {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) StopWaitingOn(signal_number);
  try {
    const zlv::test::PostgresServer server;
    std::cout << server.uri() << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "zlv_test_postgres: " << e.what() << std::endl;
    return 1;
  }
}
