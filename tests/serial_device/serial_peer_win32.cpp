// The far end on Windows: serial-peer-server, a Linux program that holds a
// pseudo-terminal's far end and has Wine map its near end to the COM port
// named by QUARNEL_SERIAL_PEER_PORT. The test asks it over a local socket
// (QUARNEL_SERIAL_PEER, host:port) to send, to report what came and to
// vanish.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/device_names.h"
#include "serial_device/peer_requests.h"
#include "serial_device/serial_peer.h"

namespace platform::testing {
namespace {

class Winsock {
 public:
  Winsock() { ok_ = ::WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~Winsock() {
    if (ok_) ::WSACleanup();
  }
  Winsock(const Winsock&) = delete;
  Winsock& operator=(const Winsock&) = delete;
  bool ok() const { return ok_; }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

class RemotePeer final : public SerialPeer {
 public:
  RemotePeer(SOCKET socket, std::string port) : socket_(socket), port_(std::move(port)) {}
  ~RemotePeer() override { ::closesocket(socket_); }
  RemotePeer(const RemotePeer&) = delete;
  RemotePeer& operator=(const RemotePeer&) = delete;

  // The first line of a new connection: the line is there.
  bool Ready(std::string* answer) {
    *answer = ReadLine();
    return *answer == "ready";
  }

  std::string DevicePath() const override { return ResolveDeviceName(port_); }
  void Send(const std::string& bytes) override { Ask("send " + HexText(bytes)); }
  std::string Receive(size_t count, std::chrono::milliseconds limit) override {
    const std::string answer =
        Ask("receive " + std::to_string(count) + " " + std::to_string(limit.count()));
    const auto bytes = BytesOfHexText(answer);
    if (!bytes) throw std::runtime_error("the serial peer answered " + answer);
    return *bytes;
  }
  void Vanish() override { Ask("vanish"); }

 private:
  // The answer after "ok" and its blank.
  std::string Ask(const std::string& request) {
    const std::string line = request + "\n";
    for (size_t done = 0; done < line.size();) {
      const int n = ::send(socket_, line.data() + done, static_cast<int>(line.size() - done), 0);
      if (n <= 0) throw std::runtime_error("the serial peer has gone");
      done += static_cast<size_t>(n);
    }
    const std::string answer = ReadLine();
    if (answer.rfind("ok", 0) != 0) throw std::runtime_error(request + ": " + answer);
    return answer.size() > 3 ? answer.substr(3) : std::string();
  }

  std::string ReadLine() {
    const auto receive = [this](char* buffer, int size) {
      return ::recv(socket_, buffer, size, 0);
    };
    const auto line = NextLine(pending_, receive);
    if (!line) throw std::runtime_error("the serial peer has gone");
    return *line;
  }

  SOCKET socket_;
  std::string port_;
  std::string pending_;
};

}  // namespace

std::unique_ptr<SerialPeer> NewSerialPeer(std::string* why_none) {
  static Winsock winsock;
  const char* server = std::getenv("QUARNEL_SERIAL_PEER");
  const char* port = std::getenv("QUARNEL_SERIAL_PEER_PORT");
  if (server == nullptr || port == nullptr) {
    *why_none = "no serial peer (QUARNEL_SERIAL_PEER, QUARNEL_SERIAL_PEER_PORT)";
    return nullptr;
  }
  const std::string address = server;
  const size_t colon = address.rfind(':');
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (!winsock.ok() || colon == std::string::npos ||
      ::getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints,
                    &found) != 0) {
    throw std::runtime_error("bad serial peer address " + address);
  }
  const SOCKET socket = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const bool connected =
      socket != INVALID_SOCKET &&
      ::connect(socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
  ::freeaddrinfo(found);
  if (!connected) {
    if (socket != INVALID_SOCKET) ::closesocket(socket);
    throw std::runtime_error("no serial peer at " + address);
  }
  auto peer = std::make_unique<RemotePeer>(socket, port);
  if (std::string answer; !peer->Ready(&answer)) {
    throw std::runtime_error("the serial peer made no line: " + answer);
  }
  return peer;
}

// Wine's own entry point, which Windows does not have.
bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const SystemFacts& ThisSystem() {
  static const SystemFacts facts{
      .missing_device = ResolveDeviceName("COM199"),
      .not_serial_devices = {"NUL"},
      .keeps_a_port_to_one_user = !RunningUnderWine(),
      .invalid_argument = ERROR_INVALID_PARAMETER,
      .cancelled = ERROR_OPERATION_ABORTED,
      .timed_out = ERROR_TIMEOUT,
      .shut_down = ERROR_INVALID_HANDLE,
  };
  return facts;
}

}  // namespace platform::testing
