#include "client/service/http_get.h"

#include <gtest/gtest.h>

#include "client/service/service_test_support.h"
#include "common/platform/code_page.h"

namespace kavrel {
namespace {

class HttpGetTest : public ServiceTest {};

// A body of several CR LF lines reads as the same text as on one line, is
// decoded from UTF-8 and ends at its first NUL.
TEST_F(HttpGetTest, TextJoinsLinesDecodesUtf8AndStopsAtNul) {
  http.Answer(u"http://s/lines", "<a>\r\n  <b>\xED\x95\x9C</b>\r\n</a>\r\n");
  http.Answer(u"http://s/nul", std::string("<a/>\0tail", 9));
  http.Answer(u"http://s/missing", "<html>no such page</html>", 404);
  struct Case {
    const char16_t* url;
    const char16_t* answer;
  } cases[] = {
      {u"http://s/lines", u"<a>  <b>\uD55C</b></a>"},
      {u"http://s/nul", u"<a/>"},
      {u"http://s/missing", u"<html>no such page</html>"},
  };
  for (const Case& c : cases) {
    Text answer, error;
    EXPECT_TRUE(HttpGetText(c.url, answer, error)) << TextToUtf8(c.url);
    EXPECT_EQ(answer, c.answer);
    EXPECT_TRUE(error.empty());
  }
}

TEST_F(HttpGetTest, EmptyBodyLeavesTheAnswerAndFailureSetsTheNetworkText) {
  http.Answer(u"http://s/empty", "\r\n");
  Text answer = u"before", error;
  EXPECT_TRUE(HttpGetText(u"http://s/empty", answer, error));
  EXPECT_EQ(answer, u"before");

  EXPECT_FALSE(HttpGetText(u"http://down/x", answer, error));
  EXPECT_EQ(answer, u"before");
  EXPECT_EQ(error, u"Network error");
  EXPECT_EQ(error, Lookup(u"LOGIN_NETWORK_ERROR"));

  Text rawError;
  EXPECT_FALSE(HttpGetRaw(u"http://down/x", answer, rawError));
  EXPECT_EQ(rawError, u"Network error");
  EXPECT_EQ(answer, u"before");
}

// The session carries the service's agent name and the caller's connect
// time-out and retries.
TEST_F(HttpGetTest, SessionOptionsAndReadMode) {
  http.Answer(u"http://s/", "x");
  Text answer, error;
  ASSERT_TRUE(HttpGetText(u"http://s/a", answer, error));
  ASSERT_TRUE(HttpGetText(u"http://s/b", answer, error, 500, 1));
  ASSERT_TRUE(HttpGetRaw(u"http://s/c", answer, error));
  const auto requests = http.Requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& r : requests) EXPECT_EQ(r.options.agent, u"Kavrel");
  EXPECT_EQ(requests[0].options.connectTimeoutMs, 2000u);
  EXPECT_EQ(requests[0].options.connectRetries, 2u);
  EXPECT_EQ(requests[0].maxBytes, kHttpWholeBody);
  EXPECT_EQ(requests[1].options.connectTimeoutMs, 500u);
  EXPECT_EQ(requests[1].options.connectRetries, 1u);
  EXPECT_EQ(requests[2].maxBytes, 1048575u);
}

// The raw read keeps line breaks, decodes in the ANSI code page and stops at
// the first NUL; what lies beyond its one read is not there.
TEST_F(HttpGetTest, RawDecodesAnsiAndReadsOnce) {
  ASSERT_EQ(AnsiCodePage(), 1252u) << "the fixture bytes are Western";
  http.Answer(u"http://s/raw", std::string("caf\xE9\r\nx\0y", 9));
  std::string big(1048575, 'a');
  big += "TAIL";
  http.Answer(u"http://s/big", big);
  Text answer, error;
  ASSERT_TRUE(HttpGetRaw(u"http://s/raw", answer, error));
  EXPECT_EQ(answer, u"caf\u00E9\r\nx");
  ASSERT_TRUE(HttpGetRaw(u"http://s/big", answer, error));
  EXPECT_EQ(answer.size(), 1048575u);
  EXPECT_EQ(answer.find(u"TAIL"), Text::npos);
}

TEST(AnswerIntegerTest, ReadsLikeTheServiceWritesThem) {
  struct Case {
    const char16_t* text;
    std::int32_t value;
  } cases[] = {
      {u"1", 1},          {u"  -5", -5},       {u"+7x", 7},
      {u"\t\n42 3", 42},  {u"", 0},            {u"abc", 0},
      {u"-", 0},          {u"2147483647", 2147483647},
      {u"2147483648", 2147483647},             {u"-2147483648", -2147483647 - 1},
      {u"-99999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) EXPECT_EQ(AnswerInteger(c.text), c.value) << TextToUtf8(c.text);
}

}  // namespace
}  // namespace kavrel
