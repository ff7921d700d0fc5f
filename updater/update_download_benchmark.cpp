// Downloads a 256 MiB file from nginx on loopback with CUpdateDownload and,
// in the same run, with curl, and reports the throughput of both and the
// growth of this process's peak memory during the CUpdateDownload runs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/platform/files.h"
#include "updater/peer_process.h"
#include "updater/update_download.h"

namespace kavrel {
namespace {

constexpr size_t kFileBytes = 256u << 20;

long PeakRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One nginx serving a 256 MiB file for all benchmarks of the run.
struct Peer {
  std::string root = "/tmp/kavrel_updater_bench";
  std::uint16_t port = PeerProcess::FreePort();
  PeerProcess* nginx = nullptr;

  Peer() {
    CreateFolder(Utf8ToText(root));
    CreateFolder(Utf8ToText(root + "/www"));
    {
      FileWriter w;
      w.Open(Utf8ToText(root + "/www/big.bin"));
      std::string block(1 << 20, '\0');
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + 3);
      for (size_t i = 0; i < kFileBytes / block.size(); ++i) w.Write(block.data(), block.size());
    }
    const std::string conf = root + "/nginx.conf";
    WriteFileBytes(Utf8ToText(conf),
                   "daemon off; master_process off; worker_processes 1; pid " + root + "/nginx.pid;\n"
                   "error_log " + root + "/error.log;\nevents {}\n"
                   "http { access_log off; sendfile on; client_body_temp_path " + root + "; proxy_temp_path " +
                       root + "; fastcgi_temp_path " + root + "; uwsgi_temp_path " + root + "; scgi_temp_path " +
                       root + ";\n  server { listen 127.0.0.1:" + std::to_string(port) + "; root " + root +
                       "/www; } }\n");
    nginx = new PeerProcess({"/usr/sbin/nginx", "-c", conf, "-p", root}, port);
  }
  ~Peer() { delete nginx; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/big.bin"; }
};

Peer& ThePeer() {
  static Peer peer;
  return peer;
}

void BM_UpdateDownload(benchmark::State& state) {
  Peer& peer = ThePeer();
  if (!peer.nginx->ready()) {
    state.SkipWithError("nginx did not start");
    return;
  }
  const long before = PeakRssKib();
  for (auto _ : state) {
    CUpdateDownload d(Utf8ToText(peer.Url()));
    d.SetLocalPath(Utf8ToText(peer.root + "/ours.bin"));
    d.ConnectAndSend();
    if (!d.ReceiveToFile()) state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
  state.counters["peak_rss_growth_KiB"] = static_cast<double>(PeakRssKib() - before);
}

void BM_Curl(benchmark::State& state) {
  Peer& peer = ThePeer();
  if (!peer.nginx->ready()) {
    state.SkipWithError("nginx did not start");
    return;
  }
  const std::string command = "curl -s -o " + peer.root + "/curl.bin " + peer.Url();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK(BM_UpdateDownload)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Curl)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
}  // namespace kavrel

BENCHMARK_MAIN();
