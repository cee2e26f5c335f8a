#include "io/lkacquirehooks.h"

TLKAcquireHooks& LKAcquireHooks() {
  static TLKAcquireHooks Hooks;
  return Hooks;
}
