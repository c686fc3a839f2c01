// The border code: the address code of the area that holds a point.

#include <cstring>
#include <string>

#include "gazref/gazref_state.h"
#include "gazref/lib/export.h"
#include "tool/reverse_geocode.h"
#include "tool/search_entries.h"

GZR_API int GZR_Border_GetCode(char* result, int latitude, int longitude, const char* dataFolder,
                               char* message) {
  ClearAddrResults(&TheGazrefState());
  // The reverse geocoding answers the whole line; the code text is its
  // last field, the eighth.
  char line[kJobResultTextSize] = "";
  const int found = GetAddressCodeAtPoint(result ? line : nullptr, latitude * 0.001,
                                          longitude * 0.001, dataFolder ? dataFolder : "", message);
  if (!result) return found;
  const std::string code = found == 1 ? GetCsvField(line, 7) : std::string();
  std::memcpy(result, code.c_str(), code.size() + 1);
  return found;
}
