// A small HTTP server on the loopback address for tests: one thread, one
// connection at a time, each path answered by a handler that writes raw
// bytes, so that tests can send what a well-behaved server never would
// (lying lengths, cut bodies, slow trickles, endless redirects).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httpkit {

/// One request as the server saw it.
struct Request {
  std::string Line;     ///< the request line, "GET /x HTTP/1.1"
  std::string Target;   ///< the target as sent (absolute through a proxy)
  std::string Path;     ///< the path, "http://host" taken off a proxy's target
  std::string Headers;  ///< the header lines as received
};

/// Writes to the client; false once the client has gone.
struct Client {
  int Fd;
  bool Send(const std::string& Bytes) const {
    size_t done = 0;
    while (done < Bytes.size()) {
      const ssize_t n = ::send(Fd, Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
};

using Handler = std::function<void(const Request&, const Client&)>;

/// A whole response: status line, Content-Length unless Length says
/// otherwise (-1: none, the connection's end ends the body), the body.
inline std::string Response(int Status, const std::string& Body, long long Length = -2,
                            const std::string& Extra = "") {
  std::string r = "HTTP/1.1 " + std::to_string(Status) + (Status < 300 ? " OK" : " Other") + "\r\n";
  if (Length == -2) Length = (long long)Body.size();
  if (Length >= 0) r += "Content-Length: " + std::to_string(Length) + "\r\n";
  r += "Connection: close\r\n" + Extra + "\r\n" + Body;
  return r;
}

class Server {
 public:
  Server() {
    FListen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    const int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(FListen, 8);
    socklen_t len = sizeof a;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
    FPort = ntohs(a.sin_port);
    FThread = std::thread([this] { Run(); });
  }
  ~Server() {
    FStop = true;
    FThread.join();
    ::close(FListen);
  }
  int Port() const { return FPort; }
  /// "http://127.0.0.1:<port>" followed by Path.
  std::string Url(const std::string& Path) const { return "http://127.0.0.1:" + std::to_string(FPort) + Path; }
  void On(const std::string& Path, Handler H) {
    std::lock_guard<std::mutex> l(FLock);
    FHandlers[Path] = std::move(H);
  }
  /// Requests seen so far.
  std::vector<Request> Seen() {
    std::lock_guard<std::mutex> l(FLock);
    return FSeen;
  }
  /// Set while a handler should keep going; cleared when the server stops.
  bool Running() const { return !FStop; }

 private:
  void Run() {
    while (!FStop) {
      pollfd p{FListen, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept(FListen, nullptr, nullptr);
      if (fd < 0) continue;
      Serve(fd);
      ::close(fd);
    }
  }
  void Serve(int Fd) {
    std::string in;
    char buf[4096];
    while (in.find("\r\n\r\n") == std::string::npos) {
      pollfd p{Fd, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) return;
      const ssize_t n = ::recv(Fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      in.append(buf, size_t(n));
    }
    Request r;
    const size_t eol = in.find("\r\n");
    r.Line = in.substr(0, eol);
    r.Headers = in.substr(eol + 2, in.find("\r\n\r\n") - eol - 2);
    const size_t s1 = r.Line.find(' '), s2 = r.Line.rfind(' ');
    r.Target = r.Line.substr(s1 + 1, s2 - s1 - 1);
    r.Path = r.Target;
    if (r.Path.rfind("http://", 0) == 0) {
      const size_t slash = r.Path.find('/', 7);
      r.Path = slash == std::string::npos ? "/" : r.Path.substr(slash);
    }
    Handler h;
    {
      std::lock_guard<std::mutex> l(FLock);
      FSeen.push_back(r);
      auto it = FHandlers.find(r.Path);
      if (it != FHandlers.end()) h = it->second;
    }
    const Client c{Fd};
    if (h)
      h(r, c);
    else
      c.Send(Response(404, "not here"));
  }

  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStop{false};
  std::thread FThread;
  std::mutex FLock;
  std::map<std::string, Handler> FHandlers;
  std::vector<Request> FSeen;
};

}  // namespace httpkit
