#include "platform/linux/swayipc/SwayIpcClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/UniqueFd.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char MAGIC[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t HEADER = sizeof MAGIC + 2 * sizeof(std::uint32_t);

// Waits until the socket is ready for `events` or the deadline passes.
bool ready(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, events, 0};
    const int got = poll(&entry, 1, static_cast<int>(left));
    if (got > 0) return (entry.revents & events) != 0;
    if (got < 0 && errno != EINTR) return false;
  }
}

bool sendAll(int fd, const std::string& bytes, Clock::time_point deadline) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!ready(fd, POLLOUT, deadline)) return false;
    const ssize_t done = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (done < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (done > 0) sent += static_cast<std::size_t>(done);
  }
  return true;
}

bool receiveAll(int fd, char* into, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    if (!ready(fd, POLLIN, deadline)) return false;
    const ssize_t done = recv(fd, into + got, size - got, 0);
    if (done == 0) return false;  // closed before the whole reply
    if (done < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (done > 0) got += static_cast<std::size_t>(done);
  }
  return true;
}

UniqueFd connectTo(const std::string& path, Clock::time_point deadline) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) return {};
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return fd;
  }
  // A listener with a full backlog makes a non-blocking connect wait.
  if (errno != EAGAIN && errno != EINPROGRESS) return {};
  if (!ready(fd.get(), POLLOUT, deadline)) return {};
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return {};
  return fd;
}

}  // namespace

SwayIpcClient::SwayIpcClient(std::string socketPath, std::chrono::milliseconds limit)
    : socketPath_(std::move(socketPath)), limit_(limit) {}

std::optional<std::string> SwayIpcClient::request(std::uint32_t type,
                                                  const std::string& payload) const {
  const auto deadline = Clock::now() + limit_;
  UniqueFd fd = connectTo(socketPath_, deadline);
  if (!fd) return std::nullopt;
  std::string message(MAGIC, sizeof MAGIC);
  const auto length = static_cast<std::uint32_t>(payload.size());
  message.append(reinterpret_cast<const char*>(&length), sizeof length);
  message.append(reinterpret_cast<const char*>(&type), sizeof type);
  message += payload;
  if (!sendAll(fd.get(), message, deadline)) return std::nullopt;
  char header[HEADER];
  if (!receiveAll(fd.get(), header, sizeof header, deadline)) return std::nullopt;
  std::uint32_t replyLength = 0;
  std::uint32_t replyType = 0;
  std::memcpy(&replyLength, header + sizeof MAGIC, sizeof replyLength);
  std::memcpy(&replyType, header + sizeof MAGIC + sizeof replyLength, sizeof replyType);
  if (std::memcmp(header, MAGIC, sizeof MAGIC) != 0 || replyType != type ||
      replyLength > MAX_REPLY) {
    return std::nullopt;
  }
  std::string reply(replyLength, '\0');
  if (!receiveAll(fd.get(), reply.data(), reply.size(), deadline)) return std::nullopt;
  return reply;
}
