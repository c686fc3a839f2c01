#pragma once
// A data set of the country's shape, made up from a seed, for measuring
// the matcher at the size real users load:
//  - 47 prefectures (their real names, readings and seats);
//  - about 1,900 municipalities: cities, towns and villages in counties,
//    and the wards of the large cities (郡名 = the city, as in the
//    sample); made-up names from kanji elements with their readings, some
//    of them repeated across prefectures (府中市, 伊達市, 北区, ...);
//  - about 120,000 TC_Oaza rows: oaza with chome (一丁目..), oaza without
//    chome (one placeholder row) and oaza with aza rows; town names are
//    often shared between municipalities (本町, 中央, 栄町, ...) and, within
//    a large municipality, come as the postal code list's do: in families
//    of variants (上/下/東/西… in front, 新/新町/町/東… after), under the
//    names of former municipalities, with connecting kana and numerals;
//  - municipalities as large as real ones: their towns (TC_Oaza rows)
//    drawn from a model of the distribution of towns per municipality of
//    the public postal code list (tens for most, a long tail), from two
//    towns (one oaza and its one row) upwards; the largest, 富山市, has the
//    list's 1,122 towns as oaza, with their rows;
//  - a thin block level (a few blocks under one aza/chome row in eight);
//    no change history, no areas.
// The dictionaries and the user replacement list are those of the sample
// description. The same seed and options give the same rows.
//
// MakeNationalAddresses draws test addresses from such a description:
// written with the prefecture, without it, and not in the data (a
// municipality or town name altered so that no row carries it).
//
// Texts are CP932. Functions return 1 on success and 0 with a message
// (kMessageSize bytes) on failure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sampledata/description.h"
#include "tools/staged_output.h"

namespace sampledata {

struct NationalOptions {
  uint32_t seed = 1;
  // Share of the municipalities of each prefecture, in percent (1-100;
  // at least two per prefecture): a smaller set of the same shape.
  int percent = 100;
};

// Replaces out with the national-shape description; the dictionaries are
// copied from dictionaries (the sample description). Validated.
int MakeNationalDescription(const Description& dictionaries, const NationalOptions& options,
                            Description* out, char* msg);

struct NationalAddresses {
  std::vector<std::string> withPrefecture;
  std::vector<std::string> withoutPrefecture;
  std::vector<std::string> notInData;
};

// perKind addresses of each kind, the same for the same description and
// seed.
NationalAddresses MakeNationalAddresses(const Description& d, uint32_t seed, int perKind);

// The addresses of the given rows of d (indexes into d.oaza of aza/chome
// rows under a municipality), written as MakeNationalAddresses writes
// them, with or without the prefecture; the numbers and the spelling drawn
// from the seed.
std::vector<std::string> NationalAddressesOfRows(const Description& d,
                                                 const std::vector<std::size_t>& rows,
                                                 bool withPrefecture, uint32_t seed);

// The file names of the three lists (written by gensample --addresses).
inline constexpr const char* kAddressesWithPrefectureFile = "addresses_with_prefecture.txt";
inline constexpr const char* kAddressesWithoutPrefectureFile = "addresses_without_prefecture.txt";
inline constexpr const char* kAddressesNotInDataFile = "addresses_not_in_data.txt";

// Writes the three lists into the folder (a CP932 path), one address per
// line, CR LF: aside first, the three renamed into place when all are
// complete.
int WriteNationalAddresses(const NationalAddresses& a, const std::string& folder, char* msg);
// The same, written aside into files only: the caller commits them.
int StageNationalAddresses(const NationalAddresses& a, const std::string& folder,
                           builder::StagedFiles* files, char* msg);

}  // namespace sampledata
