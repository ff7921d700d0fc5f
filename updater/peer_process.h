// Starts an outside server program for the download client's tests and stops
// it again (native builds only).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/stream_socket.h"

namespace kavrel {

class PeerProcess {
 public:
  // Runs `argv` and waits up to 10 s until 127.0.0.1:`port` accepts.
  PeerProcess(std::vector<std::string> argv, std::uint16_t port) {
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> args;
      for (std::string& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    for (int i = 0; i < 200 && pid_ > 0; ++i) {
      StreamSocket probe;
      if (probe.Open() && probe.Connect(0x7F000001u, port)) {
        ready_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~PeerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }

  // A port nobody listens on right now.
  static std::uint16_t FreePort() {
    StreamListener l;
    return l.Listen(0) ? l.Port() : 0;
  }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace kavrel
