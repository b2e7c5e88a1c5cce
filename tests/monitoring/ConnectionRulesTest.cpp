// The status server's rules for what clients send: when a request is whole, and how
// wrong tokens slow their sender down.

#include <gtest/gtest.h>

#include <string>

#include "monitoring/AuthThrottle.h"
#include "monitoring/RequestHead.h"

namespace velmora::monitoring {
namespace {

TEST(RequestHead, ARequestIsWholeAtItsHeadPlusContentLengthAndBadLengthsAreRefused) {
  constexpr std::size_t kLimit = 1024;
  const std::string huge(kLimit, 'a');
  struct Case {
    std::string received;
    RequestState state;
    std::size_t bytes;  // Complete only
    bool monitoring;
  };
  const std::string get = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string post = "POST /reset HTTP/1.1\r\nAuthorization: Bearer t\r\n\r\n";
  const std::string withBody = "POST /reset HTTP/1.1\r\ncontent-length: 3\r\n\r\n";
  const Case cases[] = {
      {"GET /metrics HTTP/1.1\r\nHost: x\r\n", RequestState::Incomplete, 0, false},
      {get, RequestState::Complete, get.size(), true},
      {"GET /status?t=1 HTTP/1.1\r\n\r\n", RequestState::Complete, 28, true},
      {"GET /statusx HTTP/1.1\r\n\r\n", RequestState::Complete, 25, false},
      {"POST /status HTTP/1.1\r\n\r\n", RequestState::Complete, 25, false},
      // Without Content-Length there is no body: whole at once, as curl -X POST sends it.
      {post, RequestState::Complete, post.size(), false},
      {withBody + "ab", RequestState::Incomplete, 0, false},
      {withBody + "abcGET / HTTP/1.1\r\n", RequestState::Complete, withBody.size() + 3, false},
      {"POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", RequestState::BadRequest, 0, false},
      {"POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length:  3 \r\n\r\nabc", RequestState::Complete, 62, false},
      {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", RequestState::BadRequest, 0, false},
      {"POST / HTTP/1.1\r\nContent-Length: 3x\r\n\r\n", RequestState::BadRequest, 0, false},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", RequestState::TooLarge, 0, false},
      {"POST / HTTP/1.1\r\nContent-Length: 1000\r\n\r\n", RequestState::TooLarge, 0, false},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", RequestState::LengthRequired, 0,
       false},
      {"GET / HTTP/1.1\r\nX: " + huge, RequestState::TooLarge, 0, false},
  };
  for (const Case& c : cases) {
    const RequestHead head = ExamineRequest(c.received, kLimit);
    EXPECT_EQ(head.state, c.state) << c.received.substr(0, 80);
    if (c.state != RequestState::Complete) continue;
    EXPECT_EQ(head.bytes, c.bytes) << c.received;
    EXPECT_EQ(head.monitoring, c.monitoring) << c.received;
  }
}

TEST(AuthThrottle, MistakesInARowMakeTheirClientWaitTwiceAsLongEachTimeAndNobodyElse) {
  using std::chrono::milliseconds;
  AuthThrottle throttle;
  const AuthThrottle::Clock::time_point start{std::chrono::hours(1)};
  const auto at = [start](int ms) { return start + milliseconds(ms); };

  throttle.Mistake("10.0.0.1", at(0));
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(0)), milliseconds(0)) << "the first mistake is free";
  throttle.Mistake("10.0.0.1", at(0));
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(0)), milliseconds(1'000));
  EXPECT_EQ(throttle.WaitFor("10.0.0.2", at(0)), milliseconds(0)) << "another client is not slowed";
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(1'000)), milliseconds(0));
  throttle.Mistake("10.0.0.1", at(1'000));
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(1'000)), milliseconds(2'000));
  for (int i = 0; i < 20; ++i) throttle.Mistake("10.0.0.1", at(3'000));
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(3'000)), AuthThrottle::kLongestWait);
  EXPECT_EQ(throttle.Mistakes(), 23u);

  throttle.Success("10.0.0.1");
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(3'000)), milliseconds(0)) << "the right token clears the record";
  throttle.Mistake("10.0.0.1", at(3'000));
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", at(3'000)), milliseconds(0)) << "so the next mistake is free again";
  // Long after a mistake it is forgotten.
  const auto later = at(3'000) + AuthThrottle::kForgetAfter;
  throttle.Mistake("10.0.0.1", later);
  EXPECT_EQ(throttle.WaitFor("10.0.0.1", later), milliseconds(0));
}

}  // namespace
}  // namespace velmora::monitoring
