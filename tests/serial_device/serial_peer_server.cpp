// serial-peer-server: the far end of serial lines for a program that cannot
// make pseudo-terminals itself, a Windows test under Wine.
//
//   serial-peer-server LINK -- COMMAND...
//
// Runs COMMAND with QUARNEL_SERIAL_PEER=127.0.0.1:PORT and exits with its
// status. Each connection to PORT gets a fresh pseudo-terminal: LINK (e.g.
// $WINEPREFIX/dosdevices/com8) becomes a symbolic link to its near end,
// "ready" is sent, and then these requests, one a line, are answered:
//
//   send HEX          the far end sends the bytes          -> ok
//   receive N MS      waits up to MS ms for N bytes        -> ok HEX (what came)
//   vanish            the far end closes, the line hangs up -> ok
//
// The line's far end closes with its connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/pseudo_terminal.h"
#include "platform/pty_test_support.h"
#include "serial_device/peer_requests.h"

namespace {

using platform::PseudoTerminal;
using platform::testing::BytesOfHexText;
using platform::testing::HexText;

bool SendLine(int socket, const std::string& line) {
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(socket, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Points `link` at `target`, replacing what it pointed at in one step.
void Relink(const std::filesystem::path& link, const std::string& target) {
  const std::filesystem::path fresh = link.string() + ".new";
  std::error_code ec;
  std::filesystem::remove(fresh, ec);
  std::filesystem::create_symlink(target, fresh);
  std::filesystem::rename(fresh, link);
}

std::string Answer(PseudoTerminal& pty, const std::string& request) {
  std::istringstream words(request);
  std::string verb;
  words >> verb;
  if (verb == "send") {
    std::string hex;
    words >> hex;
    const auto bytes = BytesOfHexText(hex);
    if (!bytes) return "error bad hex";
    platform::testing::WriteAll(pty.MasterFd(), *bytes);
    return "ok";
  }
  if (verb == "receive") {
    size_t count = 0;
    int ms = 0;
    if (!(words >> count >> ms)) return "error bad receive";
    return "ok " + HexText(platform::testing::ReadUpTo(pty.MasterFd(), count,
                                                       std::chrono::milliseconds(ms)));
  }
  if (verb == "vanish") {
    pty.CloseMaster();
    return "ok";
  }
  return "error unknown request";
}

void Serve(int listener, const std::filesystem::path& link) {
  for (;;) {
    const int connection = ::accept(listener, nullptr, nullptr);
    if (connection < 0) continue;
    try {
      PseudoTerminal pty;
      Relink(link, pty.SlavePath());
      std::string pending;
      if (SendLine(connection, "ready")) {
        const auto receive = [connection](char* buffer, int size) {
          return ::recv(connection, buffer, static_cast<size_t>(size), 0);
        };
        while (const auto request = platform::testing::NextLine(pending, receive)) {
          if (!SendLine(connection, Answer(pty, *request))) break;
        }
      }
    } catch (const std::exception& e) {
      SendLine(connection, std::string("error ") + e.what());
    }
    ::close(connection);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[2]) != "--") {
    std::fprintf(stderr, "usage: %s LINK -- COMMAND...\n", argv[0]);
    return 2;
  }
  const std::filesystem::path link = argv[1];
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("serial-peer-server: socket");
    return 2;
  }
  const std::string peer = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("serial-peer-server: fork");
    return 2;
  }
  if (child == 0) {
    ::setenv("QUARNEL_SERIAL_PEER", peer.c_str(), 1);
    ::execvp(argv[3], argv + 3);
    std::perror(argv[3]);
    _exit(127);
  }
  std::thread(Serve, listener, link).detach();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::error_code ec;
  std::filesystem::remove(link, ec);
  // The serving thread may still hold a line; leaving ends it.
  std::_Exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}
