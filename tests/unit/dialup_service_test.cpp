#include "connection/dialup_service.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_ras.h"

namespace pelnor {
namespace {

class DialUpServiceTest : public testing::Test {
 protected:
  DialUpServiceTest() { ras.phone_book = {"宽带连接", "ADSL", "备用"}; }

  std::vector<std::string> Names(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("Entry" + std::to_string(i));
    return names;
  }

  FakeClock clock;
  FakeRas ras;
  DialUpService service{ras, clock};
};

TEST_F(DialUpServiceTest, ListsThePhoneBookFreshEachTime) {
  EXPECT_EQ(service.GetEntryCount(), 3);
  EXPECT_EQ(service.GetEntryName(0), "宽带连接");
  EXPECT_EQ(service.GetEntryName(2), "备用");
  EXPECT_EQ(service.GetEntryName(3), "");
  EXPECT_EQ(service.GetEntryName(-1), "");
  ras.phone_book.pop_back();
  EXPECT_EQ(service.GetEntryName(2), "");
  for (const auto& listing : ras.entry_listings) {
    EXPECT_EQ(listing.dw_size, 264u);
    EXPECT_EQ(listing.room, 38u * 264u);
  }
}

TEST_F(DialUpServiceTest, PhoneBookBeyondThirtyEightEntriesIsListedWhole) {
  ras.phone_book = Names(50);
  EXPECT_EQ(service.GetEntryCount(), 50);
  ASSERT_EQ(ras.entry_listings.size(), 2u);
  EXPECT_EQ(ras.entry_listings[1].room, 50u * 264u);
  EXPECT_EQ(service.GetEntryName(49), "Entry49");
  EXPECT_TRUE(service.DialEntry("@45", "u", "p", true));
  EXPECT_EQ(ras.dialled.back().entry, "Entry45");
}

TEST_F(DialUpServiceTest, ListingErrorGivesNoEntries) {
  ras.enum_entries_error = kErrorCannotComplete;
  EXPECT_EQ(service.GetEntryCount(), 0);
  EXPECT_EQ(service.GetEntryName(0), "");
  EXPECT_FALSE(service.DialEntry("@0", "u", "p", true));
  EXPECT_TRUE(ras.dialled.empty());
}

struct TargetCase {
  const char* target;
  const char* dialled;  // "" when nothing may be dialled
};

// Test names in ASCII: GBK bytes show as '?'.
void PrintTo(const TargetCase& c, std::ostream* os) {
  *os << "'";
  for (const char* p = c.target; *p; ++p) *os << (static_cast<unsigned char>(*p) < 0x80 ? *p : '?');
  *os << "'";
}

class DialTargetTest : public DialUpServiceTest, public testing::WithParamInterface<TargetCase> {};

TEST_P(DialTargetTest, DialsTheEntryAtTheIndexAfterTheAt) {
  const TargetCase& c = GetParam();
  const bool dialled = service.DialEntry(c.target, "user", "pw", true);
  EXPECT_EQ(dialled, *c.dialled != '\0');
  if (*c.dialled == '\0') {
    EXPECT_TRUE(ras.dialled.empty());
  } else {
    ASSERT_EQ(ras.dialled.size(), 1u);
    EXPECT_EQ(ras.dialled[0].entry, c.dialled);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, DialTargetTest,
                         testing::Values(TargetCase{"@0", "宽带连接"}, TargetCase{"@2", "备用"},
                                         TargetCase{"@3", ""}, TargetCase{"@-1", ""},
                                         TargetCase{"@99999999999", ""}, TargetCase{"@ 1", "ADSL"},
                                         TargetCase{"@１", "ADSL"}, TargetCase{"@1x", "ADSL"},
                                         TargetCase{"@abc", "宽带连接"}, TargetCase{"1", ""},
                                         TargetCase{"", ""}));

TEST_F(DialUpServiceTest, DialHandsOverEntryAndCredentials) {
  ASSERT_TRUE(service.DialEntry("@1", "用户@isp", "pass word", true));
  ASSERT_EQ(ras.dialled.size(), 1u);
  EXPECT_EQ(ras.dialled[0].dw_size, 1052u);
  EXPECT_EQ(ras.dialled[0].entry, "ADSL");
  EXPECT_EQ(ras.dialled[0].user, "用户@isp");
  EXPECT_EQ(ras.dialled[0].password, "pass word");
  EXPECT_TRUE(service.IsOnline());
}

TEST_F(DialUpServiceTest, CredentialsLongerThanTheirFieldDialNothing) {
  const std::string fits(256, 'a');
  const std::string too_long(257, 'a');
  EXPECT_TRUE(service.DialEntry("@0", fits, fits, true));
  EXPECT_EQ(ras.dialled.back().user, fits);
  const RasHandle first = ras.connections.begin()->first;

  EXPECT_FALSE(service.DialEntry("@0", too_long, "pw", true));
  EXPECT_FALSE(service.DialEntry("@0", "user", too_long, true));
  EXPECT_EQ(ras.dialled.size(), 1u);
  // The connection of the earlier dial was still dropped first.
  EXPECT_EQ(ras.hung_up, std::vector<RasHandle>{first});
  EXPECT_FALSE(service.IsOnline());
}

TEST_F(DialUpServiceTest, FailedDialHangsUpTheHandleItGot) {
  ras.password = "secret";
  EXPECT_FALSE(service.DialEntry("@0", "user", "wrong", true));
  ASSERT_EQ(ras.hung_up.size(), 1u);
  EXPECT_TRUE(ras.connections.empty());
  EXPECT_FALSE(service.IsOnline());
}

TEST_F(DialUpServiceTest, EachDialDropsTheConnectionOfTheLastOne) {
  ASSERT_TRUE(service.DialEntry("@0", "u", "p", true));
  const RasHandle first = ras.connections.begin()->first;
  ASSERT_TRUE(service.DialEntry("@1", "u", "p", true));
  EXPECT_EQ(ras.hung_up, std::vector<RasHandle>{first});
  ASSERT_EQ(ras.connections.size(), 1u);
  EXPECT_EQ(ras.connections.begin()->second.entry, "ADSL");
}

struct HangUpCase {
  int polls_until_gone;
  std::size_t polls;  // status requests made for the handle
  std::uint32_t ms;   // time the hang-up took
};

void PrintTo(const HangUpCase& c, std::ostream* os) {
  *os << "gone after " << c.polls_until_gone << " polls";
}

class HangUpPollTest : public DialUpServiceTest, public testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUpPollTest, WaitsForTheHandleToGoWithoutSpinning) {
  ras.polls_until_gone = GetParam().polls_until_gone;
  ras.Add({"宽带连接", "1.1.1.1"});
  const std::uint32_t start = clock.ticks;
  service.HangUpAll();
  EXPECT_EQ(ras.status_sizes.size(), GetParam().polls);
  EXPECT_EQ(clock.ticks - start, GetParam().ms);
  // A sleep between every two polls, none after the last.
  EXPECT_EQ(clock.sleeps.size() + 1, ras.status_sizes.size());
  for (std::uint32_t ms : clock.sleeps) EXPECT_GT(ms, 0u);
  for (std::uint32_t size : ras.status_sizes) EXPECT_EQ(size, 160u);
}

INSTANTIATE_TEST_SUITE_P(Polls, HangUpPollTest,
                         testing::Values(HangUpCase{0, 1, 0}, HangUpCase{5, 6, 50},
                                         // never gone: gives up after 3000 ms
                                         HangUpCase{-1, 301, 3000}));

TEST_F(DialUpServiceTest, HangUpGiveUpAcrossTheTickCountWrap) {
  clock.ticks = 0xFFFFFF00u;
  ras.polls_until_gone = -1;
  ras.Add({"宽带连接", "1.1.1.1"});
  service.HangUpAll();
  EXPECT_EQ(clock.ticks - 0xFFFFFF00u, 3000u);
}

TEST_F(DialUpServiceTest, HangUpAllDropsEveryConnectionAlsoForeignOnes) {
  ASSERT_TRUE(service.DialEntry("@0", "u", "p", true));
  for (int i = 0; i < 40; ++i) ras.Add({"Other" + std::to_string(i), "9.9.9.9"});
  service.HangUpAll();
  EXPECT_TRUE(ras.connections.empty());
  EXPECT_EQ(ras.hung_up.size(), 41u);
  for (const auto& listing : ras.connection_listings) EXPECT_EQ(listing.dw_size, 412u);
  EXPECT_FALSE(service.IsOnline());
}

TEST_F(DialUpServiceTest, HangUpAllWithoutAListingDropsTheRememberedOnly) {
  ASSERT_TRUE(service.DialEntry("@0", "u", "p", true));
  const RasHandle foreign = ras.Add({"Other", "9.9.9.9"});
  ras.enum_connections_error = kErrorCannotComplete;
  service.HangUpAll();
  ASSERT_EQ(ras.connections.size(), 1u);
  EXPECT_EQ(ras.connections.begin()->first, foreign);
}

struct OnlineCase {
  const char* name;
  bool dial;                          // the program made a connection
  std::vector<std::uint32_t> others;  // states of connections made elsewhere
  bool listing_fails;
  bool online;
};

void PrintTo(const OnlineCase& c, std::ostream* os) {
  *os << c.name;
}

class IsOnlineTest : public DialUpServiceTest, public testing::WithParamInterface<OnlineCase> {};

TEST_P(IsOnlineTest, AsksTheRememberedThenEveryListedConnection) {
  const OnlineCase& c = GetParam();
  if (c.dial) {
    ASSERT_TRUE(service.DialEntry("@0", "u", "p", true));
  }
  for (std::uint32_t state : c.others) ras.Add({"Other", "9.9.9.9", state});
  ras.enum_connections_error = c.listing_fails ? kErrorCannotComplete : 0;
  EXPECT_EQ(service.IsOnline(), c.online) << c.name;
}

std::vector<std::uint32_t> LastOfForty(std::uint32_t state) {
  std::vector<std::uint32_t> states(39, kRasAuthenticate);
  states.push_back(state);
  return states;
}

INSTANTIATE_TEST_SUITE_P(
    States, IsOnlineTest,
    testing::Values(
        OnlineCase{"nothing up", false, {}, false, false},
        OnlineCase{"own connection", true, {}, false, true},
        OnlineCase{"own connection, listing fails", true, {}, true, true},
        OnlineCase{"foreign connection", false, {kRasConnected}, false, true},
        OnlineCase{"foreign, listing fails", false, {kRasConnected}, true, false},
        OnlineCase{"still authenticating", false, {kRasAuthenticate}, false, false},
        OnlineCase{"fortieth connected", false, LastOfForty(kRasConnected), false, true},
        OnlineCase{"forty not connected", false, LastOfForty(kRasDisconnected), false, false}));

TEST_F(DialUpServiceTest, IsOnlineAsksTheRememberedConnectionFirst) {
  ASSERT_TRUE(service.DialEntry("@0", "u", "p", true));
  ras.connection_listings.clear();
  EXPECT_TRUE(service.IsOnline());
  EXPECT_TRUE(ras.connection_listings.empty());
}

}  // namespace
}  // namespace pelnor
