#pragma once
// Test and benchmark material made from the sample description:
//  - ScaleDescription: more municipalities in the same prefectures, every
//    municipality copied (with its oaza, aza/chome and block rows) under new
//    names and codes: ten or a hundred times the sample's municipalities,
//    still two prefectures with the sample's towns under each (national.h
//    makes a set of the country's shape);
//  - MakeAddressCorpus: a fixed list of address texts written the ways
//    people write them: kanji numerals, half-width and full-width digits,
//    "1-9-1" forms, without the prefecture, and about one in eight naming a
//    place that is not in the data.
//
// Texts are CP932. Functions return 1 on success and 0 with a message
// (kMessageSize bytes) on failure.

#include <string>
#include <vector>

#include "tools/sampledata/description.h"

namespace sampledata {

// Adds factor - 1 copies of every municipality (factor 1 leaves the
// description as it is). A copy's name has a two-kanji prefix of its own
// ("東山千代田区"), its code is the next code of its prefecture that no
// municipality uses; its oaza, aza/chome and block rows follow with their
// place and group codes moved to the new code. The change history is not
// copied. The result is validated again. 0 when the factor is below 1 or
// above 100, or a prefecture runs out of codes.
int ScaleDescription(Description* d, int factor, char* msg);

// The corpus of a description, the same texts in the same order on every
// call (about 2,500 for the sample).
std::vector<std::string> MakeAddressCorpus(const Description& d);

}  // namespace sampledata
