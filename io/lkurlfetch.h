// Fetching the body of an "http://" address for the I/O components: the
// address split into host, port and path, the proxy settings, the body held
// to the allocation limit, a stop test and progress in percent.
#pragma once

#include <functional>
#include <vector>

#include "core/hylkdefs.h"

/// What a fetch brought.
struct TLKUrlFetch {
  bool Ok = false;
  /// The address has no host or port: nothing was asked for.
  bool BadAddress = false;
  std::vector<Byte> Body;
  String ContentType;  ///< as the server stated it ("" when it did not)
  String Error;        ///< why it failed ("" when Ok)
};

/// Fetches URL (which starts with "http://", any case) through the proxy
/// when ProxyServer is not empty. Stop is asked while the body arrives;
/// Progress gets percentages of a stated length.
TLKUrlFetch LKFetchURL(const String& URL, const String& ProxyServer, const String& ProxyUserName,
                       const String& ProxyUserPassword, std::function<bool()> Stop,
                       std::function<void(Integer Percent)> Progress);
