#include "common/platform/stream_socket.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace kavrel {
namespace {

// A loopback round trip: lookup, connect, send, receive, and the peer's close
// seen as a 0-byte read.
TEST(StreamSocketTest, ConnectsSendsAndSeesTheClose) {
  ASSERT_TRUE(StartSocketLibrary());
  StreamListener listener;
  ASSERT_TRUE(listener.Listen(0));
  ASSERT_NE(listener.Port(), 0);
  std::thread peer([&] {
    StreamSocket s;
    ASSERT_TRUE(listener.Accept(s));
    char buffer[16];
    const long n = s.Receive(buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    s.Send(buffer, static_cast<size_t>(n));
  });
  const std::uint32_t address = LookUpIpv4("127.0.0.1");
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(LookUpIpv4("localhost") >> 24, 127u);
  StreamSocket client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.Connect(address, listener.Port()));
  EXPECT_EQ(client.Send("ping", 4), 4);
  std::string echoed;
  char buffer[16];
  long n;
  while ((n = client.Receive(buffer, sizeof buffer)) > 0) echoed.append(buffer, static_cast<size_t>(n));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(echoed, "ping");
  peer.join();
}

TEST(StreamSocketTest, FailuresAreValues) {
  ASSERT_TRUE(StartSocketLibrary());
  EXPECT_EQ(LookUpIpv4(""), 0u);
  EXPECT_EQ(LookUpIpv4("no-such-host.invalid"), 0u);
  std::uint16_t port;
  {
    StreamListener l;
    ASSERT_TRUE(l.Listen(0));
    port = l.Port();
  }
  StreamSocket s;
  char c;
  EXPECT_EQ(s.Receive(&c, 1), -1);  // never opened
  EXPECT_EQ(s.Send("x", 1), -1);
  ASSERT_TRUE(s.Open());
  EXPECT_FALSE(s.Connect(0x7F000001u, port));  // nobody listens any more
  s.Close();
  EXPECT_FALSE(s.IsOpen());
  s.Close();  // twice is harmless
}

// Closing a listener wakes a thread blocked in Accept.
TEST(StreamSocketTest, CloseEndsAnAccept) {
  StreamListener listener;
  ASSERT_TRUE(listener.Listen(0));
  std::thread waiter([&] {
    StreamSocket s;
    EXPECT_FALSE(listener.Accept(s));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  listener.Close();
  waiter.join();
}

}  // namespace
}  // namespace kavrel
