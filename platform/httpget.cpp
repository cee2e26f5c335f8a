#include "platform/httpget.h"

#include <curl/curl.h>

#include <mutex>

namespace {

// What the callbacks share during one transfer.
struct TTransfer {
  const THttpGetRequest* Request = nullptr;
  std::vector<Byte>* Body = nullptr;
  CURL* Handle = nullptr;
  bool Stopped = false;
  bool TooLarge = false;
};

bool StopAsked(TTransfer& T) {
  if (!T.Stopped && T.Request->Stop && T.Request->Stop()) T.Stopped = true;
  return T.Stopped;
}

size_t OnBody(char* Data, size_t Size, size_t Count, void* User) {
  auto& t = *static_cast<TTransfer*>(User);
  const size_t n = Size * Count;
  if (StopAsked(t)) return 0;
  const Int64 max = t.Request->MaxBytes;
  if (max > 0 && Int64(t.Body->size()) + Int64(n) > max) {
    t.TooLarge = true;
    return 0;
  }
  try {
    t.Body->insert(t.Body->end(), reinterpret_cast<Byte*>(Data), reinterpret_cast<Byte*>(Data) + n);
  } catch (const std::bad_alloc&) {
    t.TooLarge = true;
    return 0;
  }
  curl_off_t length = -1;
  if (t.Request->Progress && curl_easy_getinfo(t.Handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      length > 0)
    t.Request->Progress(Int64(t.Body->size()), Int64(length));
  return n;
}

// Called about once a second while nothing arrives, and after each piece.
int OnTick(void* User, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return StopAsked(*static_cast<TTransfer*>(User)) ? 1 : 0;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

THttpGetResult HttpGet(const THttpGetRequest& Request, std::vector<Byte>& Body) {
  THttpGetResult r;
  Body.clear();
  GlobalInit();
  CURL* h = curl_easy_init();
  if (!h) {
    r.Error = "the HTTP library could not start a transfer";
    return r;
  }
  TTransfer t;
  t.Request = &Request;
  t.Body = &Body;
  t.Handle = h;
  const String path = Request.Path.empty() || Request.Path[0] != '/' ? "/" + Request.Path : Request.Path;
  const String url = "http://" + Request.Host + ":" + std::to_string(Request.Port) + path;
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");

  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, long(Request.MaxRedirects));
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/4.*");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 30L);
  // An empty proxy switches off the proxies of the environment as well.
  curl_easy_setopt(h, CURLOPT_PROXY, Request.ProxyServer.c_str());
  if (!Request.ProxyServer.empty()) {
    curl_easy_setopt(h, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
    if (!Request.ProxyUserName.empty()) {
      curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, Request.ProxyUserName.c_str());
      curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, Request.ProxyUserPassword.c_str());
    }
  }
  // A stated length past the limit fails before the body is taken.
  if (Request.MaxBytes > 0) curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(Request.MaxBytes));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnTick);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);

  const CURLcode rc = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  r.Status = Integer(status);
  curl_off_t length = -1;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) r.Length = Int64(length);
  const char* type = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) r.ContentType = type;
  r.Stopped = t.Stopped;
  if (rc == CURLE_OK) {
    r.Ok = true;
  } else if (t.Stopped) {
    r.Error = "the transfer was stopped";
  } else if (t.TooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
    r.Error = "the body is larger than the " + std::to_string(Request.MaxBytes) + " bytes allowed";
  } else if (rc == CURLE_HTTP_RETURNED_ERROR) {
    r.Error = "the server answered with status " + std::to_string(status);
  } else if (rc == CURLE_PARTIAL_FILE) {
    r.Error = "the body ended after " + std::to_string(Body.size()) + " of " + std::to_string(r.Length) + " bytes";
  } else if (rc == CURLE_TOO_MANY_REDIRECTS) {
    r.Error = "more than " + std::to_string(Request.MaxRedirects) + " redirects";
  } else {
    r.Error = curl_easy_strerror(rc);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(h);
  return r;
}
