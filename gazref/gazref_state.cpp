#include "gazref/gazref_state.h"

#include <algorithm>
#include <cstring>

namespace {

// Built at load, before any export can be called; destroyed at unload.
GazrefState gState;

}  // namespace

GazrefState& TheGazrefState() { return gState; }

int32_t ExchangeOption(int32_t* option, int32_t value) {
  const int32_t previous = *option;
  *option = value;
  return previous;
}

bool SetFooter(GazrefOptions* options, Footer which, const char* text) {
  const char* value = text ? text : "";
  if (std::strlen(value) > kFooterMaxBytes) return false;
  options->Footers[static_cast<int>(which)] = value;
  return true;
}

int32_t RowCount(const CStringArray& rows) {
  return static_cast<int32_t>(std::min<std::size_t>(rows.size(), INT32_MAX));
}

void ClearAddrResults(GazrefState* state) {
  state->AddrResultArray.clear();
  state->AddrTotal = 0;
}

void ClearShisetsuResults(GazrefState* state) {
  state->ShisetsuResultArray.clear();
  state->ShisetsuTotal = 0;
}

int32_t RefreshAddrTotal(GazrefState* state) {
  state->AddrTotal = RowCount(state->AddrResultArray);
  return state->AddrTotal;
}

int32_t RefreshShisetsuTotal(GazrefState* state) {
  state->ShisetsuTotal = RowCount(state->ShisetsuResultArray);
  return state->ShisetsuTotal;
}
