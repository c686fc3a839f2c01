#include "tool/search_entries.h"

// Each search is added here when it is built, e.g.
//   entries.matchAddressesToFile = MatchAddressesToFile;
const SearchEntries& KortSearchEntries() {
  static const SearchEntries entries = [] {
    SearchEntries e;
    return e;
  }();
  return entries;
}
