// The multi-level address search: a prefecture and an address text the
// user may still be typing, consumed level by level in one call.

#include "gazref/gazref_state.h"
#include "gazref/lib/export.h"
#include "gazref/multi_level_search.h"

namespace {

GazrefState& State() { return TheGazrefState(); }

// The footers as the options hold them now.
AddressFooters CurrentFooters(const GazrefOptions& options) {
  AddressFooters footers;
  footers.gaiku = options.Footers[static_cast<int>(Footer::Gaiku)].c_str();
  footers.zyukyo = options.Footers[static_cast<int>(Footer::Zyukyo)].c_str();
  footers.oyaban = options.Footers[static_cast<int>(Footer::Oyaban)].c_str();
  footers.koban = options.Footers[static_cast<int>(Footer::Koban)].c_str();
  return footers;
}

}  // namespace

GZR_API int GZR_TVX_Jyusyo_FindListFirst2_EX(const char* prefecture, const char* address,
                                             const char* dataFolder, int maxRows, int* stop,
                                             char* message) {
  GazrefState& state = State();
  state.FuyoFromCode = 1;
  ClearAddrResults(&state);
  const int result =
      FindListFirst2Array(&state.AddrResultArray, prefecture, address, dataFolder, maxRows, stop,
                          CurrentFooters(state.Options), state.Options.DefaultAzaMode, message);
  RefreshAddrTotal(&state);
  return result;
}

GZR_API int GZR_TVX_Jyusyo_FindListFirst2_EX_FL(const char* resultFile, const char* prefecture,
                                                const char* address, const char* dataFolder,
                                                int maxRows, int* stop, char* message) {
  GazrefState& state = State();
  state.FuyoFromCode = 1;
  ClearAddrResults(&state);
  const int result =
      FindListFirst2File(resultFile, prefecture, address, dataFolder, maxRows, stop,
                         CurrentFooters(state.Options), state.Options.DefaultAzaMode, message);
  RefreshAddrTotal(&state);
  return result;
}
