#pragma once
// The toll library's calculation interface.
//
// Create a Toll on a thread that pumps its messages (plat::PumpMessages or
// plat::PumpUntil of plat/message.h), call init with a TollHandler and the
// data folder, then calc with the toll points of a route. calc only starts
// a worker thread and returns; the worker reads TOLL.DAT and FACIL.DAT,
// computes the fees and hands the result back, so that the handler's
// onResult runs on the thread that created the Toll, once per started
// calculation, while that thread pumps. A failed calculation arrives the
// same way, with a negative code in the record.
//
// Construct, init, calc, the lookups, pumping and destruction all belong
// on the creating thread. Copies of a Toll share one calculation state;
// it goes away with the last copy.
//
// Return codes: 0 success; -1 the worker could not be started (or the
// Toll could not allocate its state, then every call answers -1); -2 the
// previous calculation is still running; -21 TOLL.DAT missing or not
// readable; -22 FACIL.DAT missing or not readable; -25/-26 the two files
// differ in format version / conversion day; -30 facility not in FACIL.DAT;
// -40 impossible sequence of toll points; -50 unusable TOLL.DAT header or
// discount key not in the table; -60 unusable FACIL.DAT header, no
// coordinate table, or a facility of the input cannot be read; -70 no fee
// list; -80 no discount rule or value.

#include <cstdint>
#include <memory>

#include "toll/toll_export.h"
#include "toll/toll_records.h"

class TollInstance;

class TOLL_API Toll {
 public:
  // Creates the calculation state and its message window on the calling
  // thread, which receives every handler call of this Toll.
  Toll();
  // The last copy waits for a running worker to end; its result is
  // dropped (no handler call comes after the destructor).
  ~Toll();
  // The copy shares the calculation state.
  Toll(const Toll& other);
  Toll& operator=(const Toll& other);

  // Stores the handler and the data folder (CP932, with or without its
  // trailing path separator: TOLL.DAT and FACIL.DAT follow it after one
  // separator either way), forgets the facility records cached from the
  // folder before and checks that both files exist: 0, -21, -22. A null
  // handler serves the lookups only.
  // Call init before calc or after the result arrived. An init while a
  // calculation runs does not wait for it or stop it: the calculation ends
  // on the files it started with, its result goes to the handler given
  // last, and the facility records it read are not kept, so that the
  // lookups answer from the new folder only. A calc meanwhile answers -2.
  int init(TollHandler* handler, const char* folder);
  // Masks the facility number of every item of param to its low 15 bits
  // (param is changed), copies the input and starts the worker: 0 (also
  // for an input without items, when nothing is started and no result
  // comes), -1, -2.
  int calc(TollInputParam* param);
  // Has no effect: a started calculation runs to its end.
  void cancel();

  // Lookups on the data files, on the caller's thread. Facility numbers
  // are masked to 15 bits.
  int getNodeTF(int facility, uint8_t* kind);
  int getName(int facility, FacilName* name);
  // The facility's coordinate pair as FACIL.DAT stores it (two 23-bit
  // values, in the file's own unit; format version 34 and later).
  int getLL(int facility, int32_t* first, int32_t* second);
  // Discount names: key (a, b) of the first name table; (a, 0) of the second.
  int getDiscountNameETC(uint8_t a, uint8_t b, DiscountName* name);
  int getDiscountNameTransit(uint8_t a, uint8_t b, DiscountName* name);
  // Format version and conversion day of FACIL.DAT, or -22, -60.
  int getFmtVer();
  int getConvertDay();

 private:
  void release();

  std::shared_ptr<TollInstance> instance_;
};
