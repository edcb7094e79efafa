// A small provider where the fake RAS and the fake WinINet agree: a dial hands
// out the next address of a pool, and the IP-echo page then answers with it.
// Without a dial-up connection the page is out of reach, unless a router
// answers with its own address.
#pragma once

#include <string>

#include "fakes/fake_clock.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_ras.h"

namespace pelnor {

inline constexpr const char* kEchoUrl = "http://echo.test/ic.asp";

struct FakeNetwork {
  FakeNetwork() {
    ras.phone_book = {"宽带连接", "ADSL"};
    internet.server = [this](const std::string&, const std::string& path) {
      FakeInternet::Response response;
      if (echo_down) {
        response.unreachable = true;
        return response;
      }
      std::string address = ras.OnlineAddress();
      if (ras.ConnectedCount() == 0) address = router_address;
      if (address.empty() && ras.ConnectedCount() == 0) {
        response.unreachable = true;
      } else if (path != "/ic.asp") {
        response.body = "<html>404</html>";
      } else {
        response.body =
            "<html><body><center>您的IP是：[" + address + "] 来自：电信</center></body></html>";
      }
      return response;
    };
  }

  FakeClock clock;
  FakeRas ras;
  FakeInternet internet;
  std::string router_address;  // set: a router reaches the internet without a dial-up connection
  bool echo_down = false;
};

}  // namespace pelnor
