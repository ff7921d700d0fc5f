#include "common/platform/http_session.h"

#include <atomic>

namespace kavrel {

namespace {
std::atomic<HttpPlatform*> g_replacement{nullptr};
}  // namespace

HttpPlatform& Http() {
  HttpPlatform* replacement = g_replacement.load(std::memory_order_acquire);
  return replacement ? *replacement : RealHttpPlatform();
}

void SetHttpPlatform(HttpPlatform* platform) {
  g_replacement.store(platform, std::memory_order_release);
}

}  // namespace kavrel
