#pragma once
// The toll interface for clients that hold a whole route result of the
// route library: Toll2 turns the route's toll points into toll input,
// runs a Toll of its own, writes the toll into its copy of the route
// result and hands that copy to the client's Toll2Handler.
//
// As with Toll: construct, init, calc and destroy on one thread, which
// must pump its messages (plat/message.h); results arrive on it. One
// calculation at a time. Copies of a Toll2 share one state.

#include <memory>

#include "outside/route_result.h"
#include "toll/toll_export.h"

class Toll2;
class Toll2Core;

// Implemented by the client.
class TOLL_API Toll2Handler {
 public:
  virtual ~Toll2Handler() = default;
  // The calculation ended: the route result with its toll word set (the
  // third total with the route's option byte set, else the second, in yen; 0 when
  // the calculation failed); the int is 0.
  virtual void onResult(Toll2* toll, int reserved, RouteSingleResult result) = 0;
  virtual void onCancel(Toll2* toll) = 0;
  virtual void onError(Toll2* toll, int code) = 0;
  virtual void onNotify(Toll2* toll) = 0;
};

class TOLL_API Toll2 {
 public:
  Toll2();
  ~Toll2();
  Toll2(const Toll2& other);
  Toll2& operator=(const Toll2& other);

  // Stores the handler and the data folder (CP932, with or without its
  // trailing separator) and checks its files as Toll::init does: 0, -21,
  // -22 (-1 when the Toll2 could not allocate its state). Call it before
  // calc or after the result arrived; an init while a calculation runs
  // lets that calculation end on the folder it started with, and its route
  // result goes to the handler given last.
  int init(Toll2Handler* handler, const char* folder);
  // Starts the toll calculation of the route: 0, -1, -2. A route without
  // toll points is answered at once, before calc returns, with the route
  // unchanged.
  int calc(RouteSingleResult route);
  // Has no effect.
  void cancel();

 private:
  void release();

  std::shared_ptr<Toll2Core> core_;
};
