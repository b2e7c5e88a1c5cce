// Who may reach the status server and who may act through it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "monitoring/AccessControl.h"
#include "monitoring/StatusFormats.h"

namespace velmora::monitoring {
namespace {

TEST(ListenAddress, AcceptsAddressPortPairsAndOffAndRefusesTheRest) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"127.0.0.1:8642", true, "127.0.0.1", 8642}, {"0.0.0.0:0", true, "0.0.0.0", 0},
      {"[::1]:9000", true, "::1", 9000},           {"localhost:80", true, "localhost", 80},
      {"off", true, "", 0},                         {"::1:9000", false, "", 0},
      {"127.0.0.1", false, "", 0},                  {"127.0.0.1:65536", false, "", 0},
      {"127.0.0.1:-1", false, "", 0},               {":8642", false, "", 0},
      {"[::1:8642", false, "", 0},                  {"127.0.0.1:86x", false, "", 0},
  };
  for (const Case& c : cases) {
    ListenAddress address;
    std::string error;
    EXPECT_EQ(ParseListenAddress(c.text, address, error), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(address.host, c.host) << c.text;
    EXPECT_EQ(address.port, c.port) << c.text;
    EXPECT_EQ(address.off, std::string(c.text) == "off");
  }
}

TEST(AccessToken, OnlyAPrivateFileWithALongVisibleTokenIsAccepted) {
  const std::string path = ::testing::TempDir() + "velmora-token";
  struct Case {
    const char* content;
    mode_t mode;
    bool ok;
  };
  const Case cases[] = {
      {"  s3cret-token-0123456789\n", 0600, true},
      {"s3cret-token-0123456789", 0400, true},
      {"s3cret-token-0123456789", 0640, false},  // the group may read it
      {"s3cret-token-0123456789", 0604, false},  // everyone may read it
      {"short", 0600, false},
      {"with a space inside 0123456789", 0600, false},
  };
  for (const Case& c : cases) {
    std::remove(path.c_str());
    std::ofstream(path) << c.content;
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    std::string token, error;
    EXPECT_EQ(LoadAccessToken(path, token, error), c.ok) << c.content << " " << error;
    EXPECT_EQ(token, c.ok ? "s3cret-token-0123456789" : "");
  }
  std::string token, error;
  EXPECT_FALSE(LoadAccessToken(path + "-missing", token, error));
  std::remove(path.c_str());
}

TEST(HostCheck, OnALoopbackAddressOnlyLoopbackNamesAddressesAndGivenNamesAreAnswered) {
  struct Case {
    const char* host;
    const char* local;
    bool withNames;
    bool allowed;
  };
  const Case cases[] = {
      {"localhost:8642", "127.0.0.1", false, true},      {"LocalHost.", "::1", false, true},
      {"app.localhost", "127.0.0.1", false, true},       {"127.0.0.2:80", "127.0.0.1", false, true},
      {"[::1]:8642", "::1", false, true},                {"192.168.1.7:8642", "127.0.0.1", false, true},
      {"", "127.0.0.1", false, true},                    {"rebound.example:8642", "127.0.0.1", false, false},
      {"localhost.rebound.example", "::ffff:127.0.0.1", false, false},
      {"exhibit-7:8642", "127.0.0.1", true, true},       {"EXHIBIT-7.museum.example.", "127.0.0.1", true, true},
      {"exhibit-8", "127.0.0.1", true, false},
      // On the museum network any name, unless names are given.
      {"anything.example", "192.168.1.7", false, true},  {"anything.example", "192.168.1.7", true, false},
      {"192.168.1.7:8642", "192.168.1.7", true, true},
  };
  const HostCheck open;
  const HostCheck named({"exhibit-7", "exhibit-7.museum.example"});
  for (const Case& c : cases) {
    EXPECT_EQ((c.withNames ? named : open).Allows(c.host, c.local), c.allowed) << c.host << " at " << c.local;
  }
  EXPECT_TRUE(IsLoopbackAddress("127.255.0.1"));
  EXPECT_FALSE(IsLoopbackAddress("128.0.0.1"));
  EXPECT_FALSE(IsLoopbackAddress("::2"));
}

TEST(AccessToken, BearerHeaderIsParsedAndTokensMatchOnlyExactly) {
  EXPECT_EQ(BearerToken("Bearer abc"), "abc");
  EXPECT_EQ(BearerToken("bearer  abc "), "abc");
  EXPECT_EQ(BearerToken("Basic abc"), "");
  EXPECT_EQ(BearerToken("Bearer"), "");
  const std::string token = "0123456789abcdef";
  EXPECT_TRUE(TokensMatch(token, token));
  for (const std::string other : {"", "0123456789abcde", "0123456789abcdefX", "0123456789abcdeF",
                                  "0123456789abcdef0123456789abcdef"}) {
    EXPECT_FALSE(TokensMatch(other, token)) << other;
  }
  EXPECT_FALSE(TokensMatch("", ""));  // no token configured matches nothing
}

TEST(StatusJson, StringsAreEscapedAndBrokenUtf8Replaced) {
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
  EXPECT_EQ(JsonString("Grüße €"), "\"Grüße €\"");
  EXPECT_EQ(JsonString("\xC3"), "\"\xEF\xBF\xBD\"");          // cut short
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");  // overlong
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // surrogate
}

}  // namespace
}  // namespace velmora::monitoring
