#include "platform/linux/swayipc/SwayIpcClient.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <future>
#include <thread>

#include "platform/linux/UniqueFd.h"
#include "support/Scratch.h"

namespace {

using namespace std::chrono_literals;

std::string frame(std::uint32_t type, const std::string& payload, std::uint32_t length) {
  std::string bytes = "i3-ipc";
  bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
  bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
  return bytes + payload;
}

// A socket that takes one request and gives the canned bytes back, then keeps the connection
// open until the test ends.
class CannedServer {
 public:
  CannedServer(const std::string& path, std::string reply) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listener_ = UniqueFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener_.get(), 1), 0);
    thread_ = std::thread([this, reply = std::move(reply)] {
      UniqueFd client(accept(listener_.get(), nullptr, nullptr));
      char header[14];
      if (recv(client.get(), header, sizeof header, MSG_WAITALL) != sizeof header) return;
      request_.set_value(std::string(header, sizeof header));
      if (!reply.empty()) send(client.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
      done_.get_future().wait();
    });
  }
  ~CannedServer() {
    done_.set_value();
    thread_.join();
  }
  std::future<std::string> request() { return request_.get_future(); }

 private:
  UniqueFd listener_;
  std::promise<std::string> request_;
  std::promise<void> done_;
  std::thread thread_;
};

TEST(SwayIpcClient, returnsOnlyAWholeReplyOfTheRequestedTypeWithinTheLimit) {
  struct Case {
    const char* name;
    std::string reply;
    std::optional<std::string> payload;
  };
  const std::vector<Case> cases = {
      {"answered", frame(4, "{\"type\":\"root\"}", 15), "{\"type\":\"root\"}"},
      {"silent", "", std::nullopt},
      {"cut short", frame(4, "{\"ty", 15), std::nullopt},
      {"another type", frame(7, "{}", 2), std::nullopt},
      {"not i3-ipc", "HTTP/1.1 400 Bad Request\r\n\r\n", std::nullopt},
      {"too large", frame(4, "", SwayIpcClient::MAX_REPLY + 1), std::nullopt},
  };
  for (const auto& c : cases) {
    Scratch scratch;
    const std::string path = (scratch.root() / "ipc.sock").string();
    CannedServer server(path, c.reply);
    auto request = server.request();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(SwayIpcClient(path, 200ms).request(SwayIpcClient::GET_TREE), c.payload) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << c.name;
    ASSERT_EQ(request.wait_for(0s), std::future_status::ready) << c.name;
    EXPECT_EQ(request.get(), frame(4, "", 0)) << c.name;
  }
}

TEST(SwayIpcClient, noSocketIsNoReply) {
  Scratch scratch;
  EXPECT_FALSE(SwayIpcClient((scratch.root() / "none.sock").string(), 200ms).request(7));
  EXPECT_FALSE(SwayIpcClient("", 200ms).request(7));
}

}  // namespace
