// kavrel-service: the service emulator as a program.
//
//   kavrel-service --scenario FILE [--port N]... [--log FILE] [--write-config FILE]
//
// Prints the address of every server it serves and the enciphered settings
// that point a client at them, then serves until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/foundation/settings_file.h"
#include "common/platform/text.h"
#include "tools/service-emulator/emulator.h"
#include "tools/service-emulator/scenario.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kavrel-service --scenario FILE [--port N]... [--log FILE] "
               "[--write-config FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kavrel;
  std::string scenarioPath, logPath, configPath;
  std::vector<int> ports;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    std::string value = argv[++i];
    if (arg == "--scenario") {
      scenarioPath = value;
    } else if (arg == "--log") {
      logPath = value;
    } else if (arg == "--write-config") {
      configPath = value;
    } else if (arg == "--port") {
      char* end = nullptr;
      long port = std::strtol(value.c_str(), &end, 10);
      if (*end || port < 0 || port > 65535) return Usage();
      ports.push_back(static_cast<int>(port));
    } else {
      return Usage();
    }
  }
  if (scenarioPath.empty()) return Usage();

  emulator::Scenario scenario;
  std::string error;
  if (!emulator::LoadScenarioFile(scenarioPath, &scenario, &error)) {
    std::fprintf(stderr, "kavrel-service: %s\n", error.c_str());
    return 1;
  }

  // The servers' threads inherit this mask; the main thread alone takes the
  // stop signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  emulator::Emulator service(std::move(scenario));
  if (!service.Start(ports, logPath, &error)) {
    std::fprintf(stderr, "kavrel-service: %s\n", error.c_str());
    return 1;
  }
  for (const auto& s : service.Servers())
    std::printf("server %s %s%s\n", s.name.c_str(), s.base.c_str(), s.down ? " (down)" : "");
  auto settings = service.ClientSettings();
  for (const auto& [key, value] : settings) std::printf("config %s=%s\n", key.c_str(), value.c_str());
  if (!configPath.empty()) {
    SettingsFile file(Utf8ToText(configPath));
    for (const auto& [key, value] : settings) {
      if (!file.WriteValue(AsciiToText(key), Utf8ToText(value), /*plain=*/true)) {
        std::fprintf(stderr, "kavrel-service: cannot write %s\n", configPath.c_str());
        return 1;
      }
    }
  }
  std::printf("ready\n");
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  service.Stop();
  return 0;
}
