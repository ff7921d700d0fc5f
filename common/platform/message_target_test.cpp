#include "common/platform/message_target.h"

#include <gtest/gtest.h>

#include <thread>

namespace kavrel {
namespace {

using Message = RecordingMessageTarget::Message;

// Posts from several threads all arrive; a closed target refuses and records
// nothing; Send answers through the handler.
TEST(MessageTargetTest, RecordsPostsAndSendsUntilClosed) {
  RecordingMessageTarget target;
  target.SetSendHandler([](const Message& m) { return static_cast<std::intptr_t>(m.wParam * 2); });
  std::thread a([&] { for (int i = 0; i < 100; ++i) target.Post(1, i, -i); });
  std::thread b([&] { for (int i = 0; i < 100; ++i) target.Post(2, i, i); });
  a.join();
  b.join();
  EXPECT_EQ(target.MessagesOf(1).size(), 100u);
  EXPECT_EQ(target.MessagesOf(2).back(), (Message{2, 99, 99, false}));
  EXPECT_EQ(target.Send(3, 21, 0), 42);
  EXPECT_EQ(target.Messages().back(), (Message{3, 21, 0, true}));

  target.SetExists(false);
  EXPECT_FALSE(target.Exists());
  EXPECT_FALSE(target.Post(4, 0, 0));
  EXPECT_EQ(target.Send(3, 1, 0), 0);
  EXPECT_EQ(target.Messages().size(), 201u);
}

}  // namespace
}  // namespace kavrel
