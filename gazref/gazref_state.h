#pragma once
// The library's process-wide state: the options a host sets, the two result
// arrays with their totals, the three row records and the switch that
// decides how the full-form record's final number is read. One object,
// built when the library is loaded and destroyed when it is unloaded.
//
// Single-threaded: a host that calls the library from several threads
// serialises its calls.

#include <cstddef>
#include <cstdint>
#include <string>

#include "gazref/result_records.h"

// Bytes of a footer text without its NUL (the search context keeps each in
// a 256-byte field).
inline constexpr std::size_t kFooterMaxBytes = 255;

enum class Footer { Gaiku = 0, Zyukyo = 1, Oyaban = 2, Koban = 3 };

struct GazrefOptions {
  int32_t DefaultAzaMode = 0;
  int32_t AnalyzeExClass = 4;
  int32_t DeleteGun = 0;
  int32_t SkipAzaNasi = 0;
  // In the order Gaiku, Zyukyo, Oyaban, Koban.
  std::string Footers[4];
};

struct GazrefState {
  GazrefOptions Options;
  int32_t FuyoFromCode = 0;
  CStringArray AddrResultArray;
  CStringArray ShisetsuResultArray;
  int32_t AddrTotal = 0;
  int32_t ShisetsuTotal = 0;
  AddrRecord Addr;
  AddrFwRecord AddrFw;
  ShisetsuRecord Shisetsu;
};

// The one state of the process.
GazrefState& TheGazrefState();

// Stores an int option and answers its previous value.
int32_t ExchangeOption(int32_t* option, int32_t value);
// Stores a footer: a null text is the empty text; a text over
// kFooterMaxBytes bytes is refused (false), leaving the footer as it was.
bool SetFooter(GazrefOptions* options, Footer which, const char* text);

// The number of rows an array holds, as a 32-bit count.
int32_t RowCount(const CStringArray& rows);
// Empties the address rows (AddrTotal 0), the facility rows
// (ShisetsuTotal 0). The records keep what they hold.
void ClearAddrResults(GazrefState* state);
void ClearShisetsuResults(GazrefState* state);
// Copies the array's size into its total and answers it.
int32_t RefreshAddrTotal(GazrefState* state);
int32_t RefreshShisetsuTotal(GazrefState* state);
