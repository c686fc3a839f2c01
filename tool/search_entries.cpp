#include "tool/search_entries.h"

#include "tool/hierarchy_listing.h"
#include "tool/keyword_search.h"
#include "tool/postal_search.h"
#include "tool/reverse_geocode.h"

// Each search is added here, one line each, when it is built.
const SearchEntries& KortSearchEntries() {
  static const SearchEntries entries = [] {
    SearchEntries e;
    e.matchAddressesToFile = MatchAddressesToFile;
    e.listByCodeToFile = ListByCodeToFile;
    e.listByNamesToFile = ListByNamesToFile;
    e.keywordSearchToFile = KeywordSearchToFile;
    e.searchPostalCodeToFile = SearchPostalCodeToFile;
    e.reverseGeocode = ReverseGeocode;
    return e;
  }();
  return entries;
}
