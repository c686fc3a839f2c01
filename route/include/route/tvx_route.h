#pragma once
// The route library's calculation interface.
//
// Create a TVXRoute with the number of the message that is to tell the end
// of a calculation, call init once with the data folder (ALLDATA.KWI,
// HIGHWAY.DAT, TOLL.DAT and FACIL.DAT), then calc with a window of the
// host's (plat::CreateWindow of plat/message.h), a condition and the slot
// that receives the result. calc returns at once; the legs are searched,
// the tolls computed and the result built while the thread that called
// init pumps its messages (plat::PumpMessages or plat::PumpUntil). When the
// calculation has ended, exactly one message (window, msgId, 0, 0) is
// posted; getLastError then tells how it ended, and on success the slot
// holds a new result, which the host releases with Release(). A route
// whose toll the toll engine could not compute is a success too: its
// result's tollError (route/tvx_result.h) holds the toll engine's code and
// its toll reads as unknown (-1), never as 0.
//
// Construct, init, calc, cancel, pumping and destruction all belong on one
// thread. Destroying a TVXRoute while a calculation runs stops it: nothing
// is delivered afterwards and no message is posted for it.
//
// The registry value "param01" (REG_DWORD) under
// HKEY_CURRENT_USER\Software\Orvanta\PLW, read at every calc: 1 lets a leg
// whose start and goal are the same place through; absent, of another type
// or any other number, such a leg ends the calculation with kBadPoint. On
// Linux the value is kept in the per-user registry file of plat/registry.h.

#include <cstdint>

#include "plat/message.h"
#include "route/tvx_condition.h"
#include "route/tvx_export.h"
#include "route/tvx_result.h"
#include "route/tvx_values.h"

namespace TvxRoute {

class CTVXRouteCore;

class TVXROUTE_API TVXRoute {
 public:
  enum vErrCode : std::int32_t {
    kNoError = 0,
    kNotDone = 1,  // cancel refused by the route engine, or the result could not be built
    kCancelled = 2,
    kInitFailed =
        3,  // data folder empty or missing, map, route engine, toll engine or data check failed
    kOutOfMemory = 4,
    kBusy = 6,             // a calculation is running
    kNotInitialised = 7,   // no successful init yet (or the last one failed)
    kEngineFailure = 8,    // route engine codes 10 and 11
    kTooFewPoints = 9,     // fewer than two nodes; route engine code 13
    kEngineFailure2 = 10,  // route engine code 12
    kBadPoint =
        11,  // direction outside -1..360, a leg that starts where it ends; engine codes 1, 8
    kTimeMissing = 12,   // no node carries a time
    kTimeOrder = 13,     // node times in the wrong place or not increasing
    kSearchFailed = 15,  // the route engine refused a leg or failed otherwise
    kTollFailed = 16,    // the toll engine refused or failed
  };

  // msgId: the message posted at the end of each calculation (default
  // WM_USER + 500).
  explicit TVXRoute(int msgId = 1524);
  virtual ~TVXRoute();
  TVXRoute(const TVXRoute&) = delete;
  TVXRoute& operator=(const TVXRoute&) = delete;

  // Opens the data of the folder (CP932; a '/' is appended when it ends in
  // neither '/' nor '\'). false with kBusy while a calculation runs, else
  // with kInitFailed or kOutOfMemory. A failed re-init leaves the object
  // uninitialised.
  bool init(const char* dataDir);
  // Starts a calculation. true: one message will come at its end. false:
  // nothing started, no message comes; getLastError tells why. The
  // condition must stay alive and unchanged until the message, and as long
  // as the result is used.
  bool calc(plat::HWND window, const TVXRouteCondition* condition, TVXRouteResult** result);
  // Asks the route engine to stop the running leg search: true when it
  // accepted (the end comes as kCancelled); false with kNotDone when it
  // refused, with kNotInitialised before a successful init.
  bool cancel();
  vErrCode getLastError() const;

 private:
  CTVXRouteCore* core_;
};

}  // namespace TvxRoute
