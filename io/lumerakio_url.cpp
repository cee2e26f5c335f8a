// Loading a picture from an "http://" address: the body is fetched into
// memory (platform/httpget.h) and loaded by its content.

#include <vector>

#include "core/lkallocgate.h"
#include "core/lklists.h"
#include "io/lkiothread.h"
#include "io/lkurlfetch.h"
#include "io/lumerakio.h"
#include "platform/httpget.h"
#include "platform/sysutils.h"

namespace {

struct TUrlParts {
  String Host;
  Integer Port = 80;
  String Path = "/";
};

// The address after "http://": the host up to the first "/", an optional
// ":port" (not a number: 80), the path from that "/" on ("/" without one).
TUrlParts SplitAddress(const String& Rest) {
  TUrlParts u;
  const size_t slash = Rest.find('/');
  String host = Rest.substr(0, slash);
  if (slash != String::npos) u.Path = Rest.substr(slash);
  const size_t colon = host.find(':');
  if (colon != String::npos) {
    u.Port = StrToIntDef(host.substr(colon + 1), 80);
    host.resize(colon);
  }
  u.Host = host;
  return u;
}

}  // namespace

TLKUrlFetch LKFetchURL(const String& URL, const String& ProxyServer, const String& ProxyUserName,
                       const String& ProxyUserPassword, std::function<bool()> Stop,
                       std::function<void(Integer Percent)> Progress) {
  TLKUrlFetch out;
  const TUrlParts parts = SplitAddress(URL.substr(7));
  if (parts.Host.empty() || parts.Port <= 0 || parts.Port > 65535) {
    out.BadAddress = true;
    out.Error = "no host and port in \"" + URL + "\"";
    return out;
  }
  THttpGetRequest rq;
  rq.Host = parts.Host;
  rq.Port = parts.Port;
  rq.Path = parts.Path;
  rq.ProxyServer = ProxyServer;
  rq.ProxyUserName = ProxyUserName;
  rq.ProxyUserPassword = ProxyUserPassword;
  // The body is held in memory while it arrives.
  rq.MaxBytes = LKMemoryAllocationLimit();
  rq.Stop = std::move(Stop);
  if (Progress)
    rq.Progress = [Progress](Int64 Received, Int64 Length) {
      const Int64 per = Length > 0 ? Received * 100 / Length : 0;
      Progress(Integer(per > 100 ? 100 : per));
    };
  const THttpGetResult r = HttpGet(rq, out.Body);
  out.Ok = r.Ok;
  out.ContentType = r.ContentType;
  if (!r.Ok) out.Error = URL + ": " + r.Error;
  return out;
}

void TLumerakIO::LoadFromURL(const String& URL) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodURL([this](const String& U) { LoadFromURL(U); }), URL, 0.0);
    return;
  }
  SetAborted(false);
  if (LowerCase(URL.substr(0, 7)) != "http://") {
    SetAbortedWith("only http:// addresses are loaded: \"" + URL + "\"");
    DoFinishWork();
    return;
  }
  TLKUrlFetch got = LKFetchURL(URL, FProxyServer, FProxyUserName, FProxyUserPassword, [this] { return GetAborted(); },
                               [this](Integer Percent) { GetProgressHook()(this, Percent); });
  if (!got.Ok) {
    SetAbortedWith(got.Error);
    DoFinishWork();
    return;
  }
  std::vector<Byte>& body = got.Body;
  TLKMemStream s(body.data(), Int64(body.size()));
  LoadFromStream(&s);
}
