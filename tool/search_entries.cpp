#include "tool/search_entries.h"

// Each search is added here, one line each, when it is built.
const SearchEntries& KortSearchEntries() {
  static const SearchEntries entries = [] {
    SearchEntries e;
    e.matchAddressesToFile = MatchAddressesToFile;
    return e;
  }();
  return entries;
}
