// Loading from a URL against a server on the loopback address that the
// test runs itself: pictures of each format by their content, the failures
// (error status, redirect loop, cut body, oversized length, wrong scheme,
// nobody listening), the address rules, the proxy, and a slow trickle
// stopped by the abort flag. Nothing leaves the machine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "tests/common/http_kit.h"
#include "tests/io/io_kit.h"

using namespace iokit;
using httpkit::Response;

namespace {

// A 21 x 13 picture encoded as Type.
std::string Encoded(Integer Type) {
  TLumerakIO io;
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(21, 13, lk24RGB);
  for (Integer y = 0; y < 13; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < 21 * 3; ++x) row[x] = Byte(x * 7 + y * 11);
  }
  TMemoryStream s;
  io.SaveToStream(&s, Type);
  EXPECT_FALSE(io.GetAborted()) << Type;
  return std::string(static_cast<const char*>(s.Memory()), size_t(s.Size()));
}

void Serve(httpkit::Server& S, const std::string& Path, const std::string& Raw) {
  S.On(Path, [Raw](const httpkit::Request&, const httpkit::Client& C) { C.Send(Raw); });
}

struct Url : ::testing::Test {
  httpkit::Server server;
  TLumerakIO io;
  void SetUp() override { io.GetLKBitmap()->Allocate(3, 2, lk24RGB); }
};

// Each format loads by its content, whatever the name it is served under.
TEST_F(Url, PicturesLoadByTheirContent) {
  for (Integer type : {lkftPNG, lkftBMP, lkftJPEG, lkftGIF, lkftTIFF, lkftPXM}) {
    SCOPED_TRACE(type);
    Serve(server, "/noext", Response(200, Encoded(type)));
    Serve(server, "/wrong.ico", Response(200, Encoded(type)));
    for (const char* path : {"/noext", "/wrong.ico"}) {
      io.GetLKBitmap()->Allocate(3, 2, lk24RGB);
      Recorder rec(io);
      io.LoadFromURL(server.Url(path));
      EXPECT_FALSE(io.GetAborted()) << path << ": " << io.GetAbortReason();
      EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 21);
      EXPECT_EQ(io.GetLKBitmap()->GetHeight(), 13);
      EXPECT_EQ(io.GetIOParams()->FILETYPE, type);
      EXPECT_EQ(rec.Finishes, 1);
    }
  }
}

// Responses that carry the picture in other ways still load it.
TEST_F(Url, RedirectsUnstatedLengthsAndExtraBytesStillLoad) {
  const std::string png = Encoded(lkftPNG);
  Serve(server, "/pic", Response(200, png));
  Serve(server, "/moved", Response(302, "", 0, "Location: /pic\r\n"));
  Serve(server, "/nolength", Response(200, png, -1));
  // Garbage after the stated length is not part of the body.
  Serve(server, "/longer", Response(200, png + std::string(5000, 'x'), (long long)png.size()));
  for (const char* path : {"/moved", "/nolength", "/longer"}) {
    io.GetLKBitmap()->Allocate(3, 2, lk24RGB);
    io.LoadFromFile(server.Url(path));  // the file road sends addresses here
    EXPECT_FALSE(io.GetAborted()) << path << ": " << io.GetAbortReason();
    EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 21) << path;
  }
}

// Every failed transfer: abort flag with a reason, one finish, the picture
// left as it was.
TEST_F(Url, FailedTransfersLoadNothing) {
  const std::string png = Encoded(lkftPNG);
  Serve(server, "/loop", Response(302, "", 0, "Location: /loop\r\n"));
  Serve(server, "/https", Response(302, "", 0, "Location: https://127.0.0.1/\r\n"));
  // The body stops 100 bytes short of what the header says.
  Serve(server, "/cut", Response(200, png, (long long)png.size() + 100));
  // A header claiming 10 GB, refused before the body is taken.
  Serve(server, "/huge", Response(200, png, 10LL * 1024 * 1024 * 1024));
  int closedPort;
  {
    httpkit::Server gone;
    closedPort = gone.Port();
  }
  struct Row {
    std::string Url, Reason;
  };
  const std::vector<Row> rows = {
      {server.Url("/missing"), "404"},
      {server.Url("/loop"), "redirects"},
      {server.Url("/https"), ""},
      {server.Url("/cut"), "ended after"},
      {server.Url("/huge"), "larger than"},
      {"https://127.0.0.1:" + std::to_string(server.Port()) + "/pic", "http://"},
      {"ftp://127.0.0.1/pic", "http://"},
      {"http://127.0.0.1:" + std::to_string(closedPort) + "/pic", ""},
      {"http://:80/pic", "no host"},
  };
  // The body is held to the allocation limit (the default one may well
  // allow 10 GB on a large machine).
  LKSetAllocationLimit(Int64(256) << 20);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Url);
    Recorder rec(io);
    io.LoadFromURL(r.Url);
    EXPECT_TRUE(io.GetAborted());
    EXPECT_NE(io.GetAbortReason().find(r.Reason), String::npos) << io.GetAbortReason();
    EXPECT_EQ(rec.Finishes, 1);
    EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 3);
  }
  LKSetAllocationLimit(0);
}

// The host, port and path of an address, and what every request says.
TEST_F(Url, AddressesAndRequestHeaders) {
  Serve(server, "/", Response(200, Encoded(lkftBMP)));
  Serve(server, "/a/b.x", Response(200, Encoded(lkftBMP)));
  const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
  // The scheme in capitals; no "/" after the host asks for "/".
  io.LoadFromURL("HTTP://" + hostPort);
  EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
  io.LoadFromURL("Http://" + hostPort + "/a/b.x?q=1");
  const auto seen = server.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Line, "GET / HTTP/1.1");
  EXPECT_EQ(seen[1].Target, "/a/b.x?q=1");
  for (const char* h : {"User-Agent: Mozilla/4.*", "Cache-Control: no-cache", "Pragma: no-cache"})
    EXPECT_NE(seen[0].Headers.find(h), std::string::npos) << h;
}

// Through a proxy the absolute address goes to the proxy with its
// credentials; without one, proxies named by the environment are ignored.
TEST_F(Url, ProxySettings) {
  const std::string bmp = Encoded(lkftBMP);
  Serve(server, "/p.bmp", Response(200, bmp));
  io.SetProxyServer("127.0.0.1:" + std::to_string(server.Port()));
  io.SetProxyUserName("ann");
  io.SetProxyUserPassword("secret");
  io.LoadFromURL("http://pictures.invalid:8080/p.bmp");
  EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
  auto seen = server.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Target, "http://pictures.invalid:8080/p.bmp");
  EXPECT_NE(seen[0].Headers.find("Proxy-Authorization: Basic YW5uOnNlY3JldA=="), std::string::npos);

  io.SetProxyServer("");
  ::setenv("http_proxy", "http://127.0.0.1:9/", 1);
  io.LoadFromURL(server.Url("/p.bmp"));
  ::unsetenv("http_proxy");
  EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
  seen = server.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].Target, "/p.bmp");
}

// A stated length reports progress up to 100; an unstated one none.
TEST_F(Url, ProgressFollowsAStatedLength) {
  const std::string junk(300000, 'j');  // no picture: only the download reports
  Serve(server, "/stated", Response(200, junk));
  Serve(server, "/unstated", Response(200, junk, -1));
  Recorder rec(io);
  io.LoadFromURL(server.Url("/stated"));
  ASSERT_GE(rec.Progresses(), 1);
  int last = -1;
  for (const auto& e : rec.Events) {
    if (e[0] != 'p') continue;
    const int per = std::stoi(e.substr(1));
    EXPECT_GE(per, last);
    last = per;
  }
  EXPECT_EQ(last, 100);
  rec.Events.clear();
  io.LoadFromURL(server.Url("/unstated"));
  EXPECT_EQ(rec.Progresses(), 0);
}

// A server that trickles one byte at a time is stopped by the abort flag,
// here on the asynchronous road.
TEST_F(Url, AbortStopsASlowTrickle) {
  server.On("/slow", [&](const httpkit::Request&, const httpkit::Client& C) {
    if (!C.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n")) return;
    while (server.Running() && C.Send("x")) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  TLKBitmap outside;
  outside.Allocate(3, 2, lk24RGB);
  io.SetAttachedLKBitmap(&outside);
  io.SetAsyncEnabled(true);
  Recorder rec(io);
  const auto start = std::chrono::steady_clock::now();
  io.LoadFromURL(server.Url("/slow"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  io.SetAborted(true);
  io.WaitThreads(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(io.GetAborted());
  EXPECT_NE(io.GetAbortReason().find("stopped"), String::npos) << io.GetAbortReason();
  EXPECT_EQ(outside.GetWidth(), 3);
  EXPECT_EQ(rec.Finishes, 1);
}

}  // namespace
