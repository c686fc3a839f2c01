#pragma once
// The calculation state behind Toll handles, the worker thread and the
// message that carries a result back to the creating thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toll/delay_call.h"
#include "toll/toll.h"
#include "toll/toll_facil.h"

class TollControl;

// What the worker posts; freed by the dispatcher, or by the instance when
// it goes away before the message ran.
struct TollMessage {
  enum Type : int32_t { kResult = 0, kCancel = 1, kError = 2, kNotify = 3 };
  int32_t type = kResult;
  TollResult result;
  int32_t value = 0;        // the int of onResult
  int32_t error = 0;        // the code of onError
  uint64_t generation = 0;  // the calculation that sent it
};

// How workers are started: a std::thread running body. Replaceable, for
// the whole process, so that a worker that cannot start (the starter throws
// std::system_error, as std::thread does) or that is held back can be
// brought about; nullptr restores the default.
using TollThreadStarter = std::thread (*)(std::function<void()> body);
void setTollThreadStarter(TollThreadStarter starter);

class TollInstance {
 public:
  // Creates the message window on the calling thread.
  TollInstance();
  // Waits for a running worker, destroys the window (dropping a result not
  // yet delivered) and frees what was never delivered.
  ~TollInstance();
  TollInstance(const TollInstance&) = delete;
  TollInstance& operator=(const TollInstance&) = delete;

  int init(Toll* owner, TollHandler* handler, const char* folder);
  int startCalc(const TollInputParam& input);

  // Facility record by number: the cache first, else FACIL.DAT (added to
  // the cache): 0, -22, -60, -30.
  int lookupFacility(int number, TollFacilRecord* out);

  Toll* owner = nullptr;  // the handle given to the handler
  TollHandler* handler = nullptr;

  const std::string& tollPath() const { return tollPath_; }
  const std::string& facilPath() const { return facilPath_; }

 private:
  struct CachedFacility {
    int32_t number;
    TollFacilRecord record;
  };

  // folder: the folder generation the calculation's files belong to.
  void calcThreadMain(uint64_t generation, uint64_t folder, std::string tollPath,
                      std::string facilPath);
  // The items and profiles of a finished calculation.
  void fillResult(TollControl& control, TollResultRaw& raw, uint64_t folder);
  void buildProfiles(TollControl& control, TollResultRaw& raw, uint64_t folder);
  // The cache answers and takes records only for the folder generation it
  // holds: a calculation on a folder given before the last init neither
  // reads the new folder's records nor leaves its own behind.
  bool findCached(int number, TollFacilRecord* out, uint64_t folder);
  void addCached(const TollFacilRecord& record, uint64_t folder);
  uint64_t cachedFolder();
  // The facility's record from the cache, else from the calculation's file.
  bool facilityOf(TollControl& control, int number, TollFacilRecord* out, uint64_t folder);
  static int dispatchTollMessage(void* object, void* argument);

  // The worker; joinable from its start until its end was handled by the
  // dispatcher or by the next calc.
  std::thread worker_;
  std::atomic<bool> running_{false};
  uint64_t generation_ = 0;  // of the worker held in worker_
  std::unique_ptr<DelayCall> window_;

  // The running calculation's input (vehicle class 3 until the first
  // calc), written only while no worker runs.
  TollInputParam input_;

  std::string folder_;
  std::string tollPath_;
  std::string facilPath_;

  std::mutex cacheMutex_;
  std::vector<CachedFacility> cache_;
  // Counts the inits: the folder whose records cache_ holds.
  uint64_t cacheFolder_ = 0;

  // Messages posted but not yet dispatched.
  std::mutex outboxMutex_;
  std::vector<std::unique_ptr<TollMessage>> outbox_;
};
