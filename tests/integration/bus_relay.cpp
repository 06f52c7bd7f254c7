// A relay that stands between a check and a bus and goes silent on cue, so that tests can
// have a manager stop answering at a chosen moment:
//   bus_relay PATH TARGET TRIGGER COUNT
// listens on the unix socket PATH and forwards each connection to the unix socket TARGET,
// both ways, until TRIGGER has passed COUNT times from the clients towards TARGET (counted
// over all connections). The bytes up to the end of that occurrence are still forwarded;
// from then on nothing is, in either direction, on every connection, new ones included,
// while all sockets stay open. COUNT 0: silent from the start, TARGET is never reached.
//   bus_relay tcp
// listens on a port of 127.0.0.1 and accepts connections without ever sending a byte.
// Once listening it writes "ready" (unix) or the port (tcp) and a line end to standard
// output. It runs until it is killed.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Link {
  int client = -1;
  int server = -1;
  std::string tail;  // the client's last bytes, for a trigger split across reads
};

bool silent = false;

sockaddr_un UnixAddress(const char* path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
  return address;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// How many of the bytes just read from a client may go on before the relay falls silent:
// all of them, or those up to the end of the occurrence of the trigger that is the last
// one allowed to pass.
std::size_t BytesToForward(Link& link, std::string_view data, std::string_view trigger,
                           long& left) {
  const std::string seen = link.tail + std::string(data);
  std::size_t forward = data.size();
  for (std::size_t at = seen.find(trigger); at != std::string::npos;
       at = seen.find(trigger, at + 1)) {
    if (--left == 0) {
      forward = at + trigger.size() - link.tail.size();
      silent = true;
      break;
    }
  }
  const std::size_t keep = std::min(seen.size(), trigger.size() - 1);
  link.tail = seen.substr(seen.size() - keep);
  return forward;
}

int Listen(bool tcp, const char* path) {
  const int listener = socket(tcp ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return -1;
  int r;
  if (tcp) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    r = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } else {
    unlink(path);
    const sockaddr_un address = UnixAddress(path);
    r = bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  if (r < 0 || listen(listener, 16) < 0) return -1;
  if (tcp) {
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size);
    std::printf("%u\n", ntohs(bound.sin_port));
  } else {
    std::printf("ready\n");
  }
  std::fflush(stdout);
  return listener;
}

}  // namespace

int main(int argc, char** argv) {
  const bool tcp = argc == 2 && std::strcmp(argv[1], "tcp") == 0;
  if (!tcp && argc != 5) {
    std::fputs("usage: bus_relay PATH TARGET TRIGGER COUNT | bus_relay tcp\n", stderr);
    return 2;
  }
  const std::string_view trigger = tcp ? "" : argv[3];
  long left = tcp ? 0 : std::atol(argv[4]);
  silent = left <= 0;
  if (!silent && trigger.empty()) return 2;
  const int listener = Listen(tcp, tcp ? nullptr : argv[1]);
  if (listener < 0) {
    std::perror("bus_relay");
    return 1;
  }
  std::vector<Link> links;
  std::vector<int> held;  // silent connections, kept open
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> fds = {{listener, POLLIN, 0}};
    for (const Link& link : links) {
      fds.push_back({link.client, POLLIN, 0});
      fds.push_back({link.server, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0 && silent) {
        held.push_back(client);
      } else if (client >= 0) {
        const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = UnixAddress(argv[2]);
        if (connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
          close(server);
          close(client);
        } else {
          links.push_back({client, server, {}});
        }
      }
    }
    std::vector<Link> open;
    for (std::size_t i = 0; i < links.size(); ++i) {
      Link& link = links[i];
      bool ended = false;
      for (const bool fromClient : {true, false}) {
        const pollfd& ready = fds[1 + 2 * i + (fromClient ? 0 : 1)];
        if (ended || silent || !(ready.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = read(ready.fd, buffer, sizeof buffer);
        std::size_t forward = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (fromClient && n > 0) forward = BytesToForward(link, {buffer, forward}, trigger, left);
        ended = n <= 0 || !WriteAll(fromClient ? link.server : link.client, buffer, forward);
      }
      if (ended && !silent) {
        close(link.client);
        close(link.server);
      } else {
        open.push_back(std::move(link));
      }
    }
    links = std::move(open);
    if (silent) {
      for (const Link& link : links) held.insert(held.end(), {link.client, link.server});
      links.clear();
    }
  }
}
