// Fetching a body over HTTP into memory, over libcurl.
//
// One call, one transfer: nothing is cached or kept between calls (the
// request asks caches along the way for a fresh copy), and the body stays in
// memory. Only plain HTTP is spoken, also after a redirect; redirects are
// followed up to a limit, so a redirect loop ends as a failure.
//
// Threads: a call runs on the calling thread and blocks until the transfer
// has ended, failed or been stopped. The stop test and the progress report
// are called on that thread; the stop test is asked at least once a second,
// also while the server sends nothing, so a stalled transfer can be ended
// from another thread through a flag the test reads.
#pragma once

#include <functional>
#include <vector>

#include "platform/system.h"

/// What to fetch and how.
struct THttpGetRequest {
  String Host;                ///< host name or address
  Integer Port = 80;          ///< TCP port
  String Path = "/";          ///< request path from its "/" on
  String ProxyServer;         ///< "host:port" of an HTTP proxy; empty: connect directly (environment proxies ignored)
  String ProxyUserName;       ///< user name given to the proxy (with a proxy only)
  String ProxyUserPassword;   ///< password given to the proxy
  Int64 MaxBytes = 0;         ///< largest body accepted, in bytes; 0: no limit of its own
  Integer MaxRedirects = 10;  ///< redirects followed before the transfer fails
  /// True stops the transfer (it then fails with Stopped set).
  std::function<bool()> Stop;
  /// After each piece of a body whose length the server stated: bytes so
  /// far and that length. Not called for a body of unknown length.
  std::function<void(Int64 Received, Int64 Length)> Progress;
};

/// How a transfer ended.
struct THttpGetResult {
  bool Ok = false;        ///< the whole body arrived with a success status
  bool Stopped = false;   ///< the stop test ended it
  Integer Status = 0;     ///< the last HTTP status received, 0 when none
  Int64 Length = -1;      ///< the length the server stated, -1 when it stated none
  String ContentType;     ///< the content type the server stated ("" when none)
  String Error;           ///< why it failed, in words ("" when Ok)
};

/// Fetches Request.Path from Request.Host with GET over HTTP/1.1 and puts the
/// body in Body (emptied first). Fails (Ok false, Error saying why) when the
/// connection cannot be made, the status is 400 or more, the redirects pass
/// the limit or leave plain HTTP, the stated or received length passes
/// MaxBytes (checked before the body is taken when the length is stated),
/// the body ends before its stated length, or Stop asks for it. Body then
/// holds what arrived so far. Never raises.
THttpGetResult HttpGet(const THttpGetRequest& Request, std::vector<Byte>& Body);
