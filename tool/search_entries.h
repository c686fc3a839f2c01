#pragma once
// The search entries that a kort job runs, one per job kind, with the
// arguments the job run hands them, and the table through which the job run
// reaches them.
//
// Every entry returns 1 on success and 0 on failure with its Japanese
// message in the message buffer (kJobMessageSize bytes). The file entries
// create and fill the result file themselves and delete it when they fail;
// ReverseGeocode instead leaves one result line in its result buffer
// (kJobResultTextSize bytes), which the job run writes to the result file.
//
// Texts handed as char* live in the job run's line buffers of kJobTextSize
// bytes; an entry may rewrite such a text in place as long as it does not
// grow. The interrupted flag is the caller's word, set to 1 by a search
// that stopped at its maximum number of lines.

#include <cstddef>
#include <cstdint>

#include "matching/match_entries.h"

inline constexpr std::size_t kJobTextSize = 1024;
inline constexpr std::size_t kJobMessageSize = 1024;
inline constexpr std::size_t kJobResultTextSize = 1024;

// Kind 1: keyword search.
int KeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                        const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                        char* message, const char* prefectureRestriction,
                        const char* municipalityRestriction, int32_t restrictionMode,
                        const char* datasetName, int32_t searchTextKind, int32_t datum,
                        int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                        int32_t readingFormat, const char* prefectureOrderFile);

// Kind 1000 with a text that begins with a digit: hierarchy listing by code.
int ListByCodeToFile(const char* resultFile, const char* searchText, const char* dataFolder,
                     int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                     int32_t datum, int32_t coordinateFormat, int32_t lotListing);

// Kind 1000 with any other text: hierarchy listing by names.
int ListByNamesToFile(const char* resultFile, const char* searchText, const char* dataFolder,
                      int32_t maxLines, int32_t* interrupted, char* message,
                      const char* datasetName, int32_t searchTextKind, int32_t datum,
                      int32_t coordinateFormat, int32_t lotListing);

// Kind 2000: postal-code search.
int SearchPostalCodeToFile(const char* resultFile, const char* postalCode, const char* dataFolder,
                           char* message, const char* datasetName, int32_t datum,
                           int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                           int32_t readingFormat);

// Kind 3000: address matching, MatchAddressesToFile of
// matching/match_entries.h (the address text is shortened in place by the
// entry's retries).

// Kind 4000: reverse geocoding; the result line goes to result
// (kJobResultTextSize bytes, the entry writes at most that many with the NUL).
int ReverseGeocode(char* result, double latitude, double longitude, const char* dataFolder,
                   char* message, const char* datasetName, int32_t inputDatum,
                   int32_t inputCoordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                   int32_t readingFormat);

// The entries the job run calls. A null entry is a search this program does
// not carry yet: its job fails like a failing search (see the job run);
// a null address-matching entry stands for MatchAddressesToFile itself.
struct SearchEntries {
  decltype(&KeywordSearchToFile) keywordSearchToFile = nullptr;
  decltype(&ListByCodeToFile) listByCodeToFile = nullptr;
  decltype(&ListByNamesToFile) listByNamesToFile = nullptr;
  decltype(&SearchPostalCodeToFile) searchPostalCodeToFile = nullptr;
  decltype(&MatchAddressesToFile) matchAddressesToFile = nullptr;
  decltype(&ReverseGeocode) reverseGeocode = nullptr;
};

// The entries built into kort.
const SearchEntries& KortSearchEntries();
