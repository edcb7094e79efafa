#include "address/external_address.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "connection/dialup_service.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_network.h"

namespace pelnor {
namespace {

using namespace std::string_literals;

TEST(BytesToText, EndsAtTheFirstZeroByte) {
  EXPECT_EQ(BytesToText(""), "");
  EXPECT_EQ(BytesToText("[1.2.3.4]"), "[1.2.3.4]");
  EXPECT_EQ(BytesToText("[1.2\0.3.4]"s), "[1.2");
  EXPECT_EQ(BytesToText("\0[1.2.3.4]"s), "");
}

struct BetweenCase {
  const char* name;
  const char* text;
  const char* left;
  const char* right;
  int start;
  bool case_insensitive;
  const char* between;
};

void PrintTo(const BetweenCase& c, std::ostream* os) {
  *os << c.name;
}

class TextBetweenTest : public testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, TakesTheTextBetweenTheDelimiters) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.case_insensitive), c.between);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    testing::Values(
        BetweenCase{"plain", "x[10.0.0.1]y", "[", "]", 0, false, "10.0.0.1"},
        BetweenCase{"right before left", "a]b[c]d", "[", "]", 0, false, "c"},
        BetweenCase{"no right", "x[10.0.0.1", "[", "]", 0, false, ""},
        BetweenCase{"empty pair first", "[]x[1.2.3.4]", "[", "]", 0, false, ""},
        BetweenCase{"nested", "[[10.0.0.1]]", "[", "]", 0, false, "[10.0.0.1"},
        BetweenCase{"blanks kept", "[ 10.0.0.1 ]", "[", "]", 0, false, " 10.0.0.1 "},
        // 乕 is 0x81 0x5B and 乚 is 0x81 0x5D: their trail bytes look like brackets
        BetweenCase{"left on a trail byte", "乕a]b[c]", "[", "]", 0, false, "c"},
        BetweenCase{"right on a trail byte", "[1乚2]", "[", "]", 0, false, "1乚2"},
        BetweenCase{"quote marker", "ip=\"1.2.3.4\";", "#引号", "#引号", 0, false, "1.2.3.4"},
        BetweenCase{"quote marker after DBCS", "值=\"中\"", "值=#引号", "#引号", 0, false, "中"},
        BetweenCase{"case-insensitive", "<B>1.2.3.4</b>", "<b>", "</B>", 0, true, "1.2.3.4"},
        BetweenCase{"case-sensitive", "<B>1.2.3.4</b>", "<b>", "</B>", 0, false, ""},
        BetweenCase{"from a start", "[a][b]", "[", "]", 2, false, "b"},
        BetweenCase{"start below 1", "[a][b]", "[", "]", -5, false, "a"},
        BetweenCase{"start after the last byte", "[a]", "[", "]", 4, false, ""},
        BetweenCase{"left is the last byte", "ab[", "[", "", 0, false, ""},
        BetweenCase{"empty left", "[a]", "", "]", 0, false, "[a"},
        BetweenCase{"empty right", "[a]", "[", "", 0, false, ""}));

class FetchPageTest : public testing::Test {
 protected:
  FetchPageTest() {
    served.body = "<p>[10.0.0.1]</p>";
    internet.server = [this](const std::string& host, const std::string& path) {
      served_to.push_back(host + path);
      return served;
    };
  }

  // Only the session may stay open between fetches.
  void ExpectOnlySessionOpen() {
    EXPECT_LE(internet.live.size(), 1u);
    if (!internet.opens.empty() && internet.live.size() == 1) {
      EXPECT_EQ(internet.options.front().handle, *internet.live.begin());
    }
  }

  FakeInternet internet;
  FakeInternet::Response served;
  std::vector<std::string> served_to;
  ExternalAddress address{internet, kEchoUrl};
};

TEST_F(FetchPageTest, RequestsThePageFreshFromTheServer) {
  EXPECT_EQ(address.FetchPage(kEchoUrl), "<p>[10.0.0.1]</p>");

  ASSERT_EQ(internet.opens.size(), 1u);
  EXPECT_EQ(internet.opens[0].first, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(internet.opens[0].second, kInternetOpenTypeDirect);
  // Connect, send and receive time-outs on the session; send and receive again
  // on the request, before it is sent.
  ASSERT_EQ(internet.options.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(internet.options[i].option, (std::vector<std::uint32_t>{2, 5, 6, 5, 6}[i]));
    EXPECT_EQ(internet.options[i].value, 10000u);
  }
  EXPECT_NE(internet.options[3].handle, internet.options[0].handle);
  EXPECT_EQ(internet.options[3].handle, internet.options[4].handle);
  EXPECT_EQ(internet.canonicalize_flags, std::vector<std::uint32_t>{kIcuNoEncode});
  ASSERT_EQ(internet.connections.size(), 1u);
  const auto& connection = internet.connections[0];
  EXPECT_EQ(connection.session, internet.options[0].handle);
  EXPECT_EQ(connection.host, "echo.test");
  EXPECT_EQ(connection.port, 80);
  EXPECT_EQ(connection.user, "");
  EXPECT_EQ(connection.password, "");
  EXPECT_EQ(connection.service, kInternetServiceHttp);
  ASSERT_EQ(internet.requests.size(), 1u);
  const auto& request = internet.requests[0];
  EXPECT_EQ(request.verb, "GET");
  EXPECT_EQ(request.path, "/ic.asp");
  EXPECT_EQ(request.version, "HTTP/1.0");
  EXPECT_EQ(request.accept_type, "*/*");
  EXPECT_EQ(request.flags, kInternetFlagReload | kInternetFlagNoCacheWrite);
  EXPECT_EQ(request.headers, "Accept: */*");
  EXPECT_EQ(internet.query_rooms, std::vector<std::uint32_t>{32});
  ExpectOnlySessionOpen();
}

struct UrlCase {
  const char* url;
  const char* host;
  std::uint16_t port;
  const char* user;
  const char* path;
  bool secure;
};

void PrintTo(const UrlCase& c, std::ostream* os) {
  *os << c.url;
}

class FetchUrlTest : public FetchPageTest, public testing::WithParamInterface<UrlCase> {};

TEST_P(FetchUrlTest, RequestsThePathWithoutItsFragment) {
  const UrlCase& c = GetParam();
  EXPECT_FALSE(address.FetchPage(c.url).empty());
  ASSERT_EQ(internet.requests.size(), 1u);
  EXPECT_EQ(internet.connections[0].host, c.host);
  EXPECT_EQ(internet.connections[0].port, c.port);
  EXPECT_EQ(internet.connections[0].user, c.user);
  EXPECT_EQ(internet.requests[0].path, c.path);
  EXPECT_EQ((internet.requests[0].flags & kInternetFlagSecure) != 0, c.secure);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FetchUrlTest,
    testing::Values(UrlCase{"http://echo.test/ic.asp#top", "echo.test", 80, "", "/ic.asp", false},
                    UrlCase{"https://echo.test/ic.asp", "echo.test", 443, "", "/ic.asp", true},
                    UrlCase{"http://echo.test:8080/ic.asp?x=1#a#b", "echo.test", 8080, "",
                            "/ic.asp?x=1", false},
                    UrlCase{"http://me:pw@echo.test/ic.asp", "echo.test", 80, "me", "/ic.asp",
                            false},
                    UrlCase{"http://echo.test", "echo.test", 80, "", "/", false}));

struct ReadSizeCase {
  const char* content_length;  // nullptr: not announced
  std::uint32_t read_size;
};

void PrintTo(const ReadSizeCase& c, std::ostream* os) {
  *os << "length " << (c.content_length ? c.content_length : "none");
}

class ReadSizeTest : public FetchPageTest, public testing::WithParamInterface<ReadSizeCase> {};

TEST_P(ReadSizeTest, ReadsPiecesSizedByTheAnnouncedLength) {
  if (GetParam().content_length) served.content_length = GetParam().content_length;
  served.body = std::string(20000, 'a') + "[10.0.0.1]";
  internet.max_piece = 1u << 20;
  // The announced length never ends the reading; only a read of 0 bytes does.
  EXPECT_EQ(address.FetchPage(kEchoUrl), served.body);
  ASSERT_FALSE(internet.read_sizes.empty());
  for (std::uint32_t size : internet.read_sizes) EXPECT_EQ(size, GetParam().read_size);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReadSizeTest,
                         testing::Values(ReadSizeCase{"20", 21}, ReadSizeCase{"102399", 102400},
                                         ReadSizeCase{"5000000", 102400},
                                         ReadSizeCase{nullptr, 10240}, ReadSizeCase{"0", 10240},
                                         ReadSizeCase{"-7", 10240}, ReadSizeCase{"abc", 10240}));

TEST_F(FetchPageTest, ReadsUntilAnEmptyRead) {
  served.body = std::string(10000, 'a');
  internet.max_piece = 4096;
  EXPECT_EQ(address.FetchPage(kEchoUrl), served.body);
  EXPECT_EQ(internet.read_sizes.size(), 4u);  // 4096, 4096, 1808, then 0
}

TEST_F(FetchPageTest, StopsAfterOneMebibyte) {
  served.endless = true;
  EXPECT_EQ(address.FetchPage(kEchoUrl).size(), 1048576u);
  ExpectOnlySessionOpen();
}

TEST_F(FetchPageTest, FailedReadKeepsWhatArrived) {
  served.body = "<p>[10.0.0.1]</p>";
  served.fail_read_after = 6;
  internet.max_piece = 4;
  EXPECT_EQ(address.FetchPage(kEchoUrl), "<p>[10");
}

struct FailureCase {
  const char* name;
  void (*fail)(FakeInternet&, std::string& url);
  bool session_opened;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class FetchFailureTest : public FetchPageTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FetchFailureTest, GivesNothingAndLeavesNoRequestOpen) {
  std::string url = kEchoUrl;
  GetParam().fail(internet, url);
  EXPECT_EQ(address.FetchPage(url), "");
  EXPECT_EQ(internet.opens.size(), GetParam().session_opened ? 1u : 0u);
  ExpectOnlySessionOpen();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FetchFailureTest,
    testing::Values(
        FailureCase{"empty url", [](FakeInternet&, std::string& url) { url.clear(); }, false},
        FailureCase{"no canonical form",
                    [](FakeInternet& inet, std::string&) { inet.canonicalize_fails = true; },
                    false},
        FailureCase{"does not split", [](FakeInternet&, std::string& url) { url = "echo.test"; },
                    false},
        FailureCase{"session", [](FakeInternet& inet, std::string&) { inet.open_failures = 1; },
                    true},
        FailureCase{"connect", [](FakeInternet& inet, std::string&) { inet.connect_fails = true; },
                    true},
        FailureCase{"request",
                    [](FakeInternet& inet, std::string&) { inet.open_request_fails = true; }, true},
        FailureCase{"send", [](FakeInternet& inet, std::string&) { inet.send_fails = true; },
                    true}));

TEST_F(FetchPageTest, OneSessionOpenedOnceAndAgainAfterAFailedOpen) {
  internet.open_failures = 1;
  EXPECT_EQ(address.FetchPage(kEchoUrl), "");
  EXPECT_FALSE(address.FetchPage(kEchoUrl).empty());
  EXPECT_FALSE(address.FetchPage(kEchoUrl).empty());
  EXPECT_EQ(internet.opens.size(), 2u);
  // Every fetch reached the server: nothing came from a cache.
  EXPECT_EQ(served_to.size(), 2u);
}

TEST(ExternalAddressLifetime, ClosesTheSessionAtTheEnd) {
  FakeInternet internet;
  internet.server = [](const std::string&, const std::string&) {
    FakeInternet::Response response;
    response.body = "[1.2.3.4]";
    return response;
  };
  {
    ExternalAddress address{internet, kEchoUrl};
    EXPECT_EQ(address.LookUpExternalAddress(), "1.2.3.4");
    EXPECT_EQ(internet.live.size(), 1u);
  }
  EXPECT_TRUE(internet.live.empty());
}

struct PageCase {
  const char* name;
  std::string body;
  bool unreachable;
  const char* address;
};

void PrintTo(const PageCase& c, std::ostream* os) {
  *os << c.name;
}

class LookUpTest : public FetchPageTest, public testing::WithParamInterface<PageCase> {};

TEST_P(LookUpTest, TakesTheFirstBracketedText) {
  served.body = GetParam().body;
  served.unreachable = GetParam().unreachable;
  EXPECT_EQ(address.LookUpExternalAddress(), GetParam().address);
  EXPECT_EQ(internet.requests.at(0).path, "/ic.asp");
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LookUpTest,
    testing::Values(PageCase{"echo page", "您的IP是：[58.1.2.3] 来自：电信", false, "58.1.2.3"},
                    PageCase{"error page with brackets", "<h1>404</h1>[5.6.7.8]", false, "5.6.7.8"},
                    PageCase{"error page", "<h1>404 Not Found</h1>", false, ""},
                    PageCase{"zero byte before the bracket", "[10.0\0.0.1]"s, false, ""},
                    PageCase{"unreachable", "", true, ""}));

struct EnvironmentCase {
  const char* name;
  bool dialled;
  const char* router_address;
  bool echo_down;
  NetworkEnvironment environment;
};

void PrintTo(const EnvironmentCase& c, std::ostream* os) {
  *os << c.name;
}

class ClassifyTest : public testing::TestWithParam<EnvironmentCase> {};

TEST_P(ClassifyTest, LooksUpFirstThenAsksForADialUpConnection) {
  const EnvironmentCase& c = GetParam();
  FakeNetwork net;
  net.ras.address_pool = {"58.1.2.3"};
  net.router_address = c.router_address;
  DialUpService dialup{net.ras, net.clock};
  if (c.dialled) {
    ASSERT_TRUE(dialup.DialEntry("@0", "u", "p", true));
  }
  net.echo_down = c.echo_down;
  ExternalAddress address{net.internet, kEchoUrl};

  std::size_t listings_before_lookup = 0;
  auto serve = net.internet.server;
  net.internet.server = [&](const std::string& host, const std::string& path) {
    listings_before_lookup = net.ras.connection_listings.size();
    return serve(host, path);
  };
  EXPECT_EQ(address.ClassifyNetworkEnvironment(dialup), c.environment);
  EXPECT_EQ(listings_before_lookup, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ClassifyTest,
    testing::Values(
        EnvironmentCase{"router", false, "9.9.9.9", false, NetworkEnvironment::kRouterOrWireless},
        EnvironmentCase{"dial-up", true, "", false, NetworkEnvironment::kDialUpOnline},
        EnvironmentCase{"offline", false, "", false, NetworkEnvironment::kNoAddress},
        EnvironmentCase{"dial-up, echo down", true, "", true, NetworkEnvironment::kNoAddress}));

}  // namespace
}  // namespace pelnor
