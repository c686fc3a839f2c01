#pragma once
// The result line of an address match, and the lookups of a prefecture,
// municipality or oaza by its code through the code index files
// <database title>_CD1.INX .. _CD3.INX.
//
// Match levels: 1 prefecture, 2 municipality, 3 oaza, 4 aza/chome, 5 block
// estimated, 6 block, 7 lot estimated, 8 lot. (level, reference, entry) are
// as the matcher reports them: levels 1 to 4 and 6 (entry > 0) an index
// entry under its child base; 6 and 8 with entry -1 a change-history record
// number, with entry -2 a lot-candidate number (change-code index); 5 and 7
// an estimation record number.
//
// Output style 2 (the options of the validating entries), 17 columns:
//   prefecture, county+municipality, their readings, oaza, oaza reading,
//   chome, chome reading, block, lot, latitude text, longitude text (datum
//   and coordinate format of the options), address code, status, level,
//   whole-input flag ("1" when the unmatched rest is empty), unmatched
//   rest, postal code (levels 4 to 8)
// with the chome, number and reading formats applied to the names. Output
// style 1, 14 columns: the first nine, latitude and longitude as integer
// milliseconds of arc on the Tokyo datum, code, status, level; with the
// engine's bit 8 also ",1," or ",0," and the rest.
//
// Address codes: 1 都道府県コード; 2 行政JISコード; 3 the first 8 bytes of
// 地名コード; 4 地名コード; 6 地名コード + the block code padded to 5 (change
// history: "%05ld" municipality + FormatCode3 of both code parts +
// FormatCodePart of the block number; change-code index: its city, area
// and block codes); 8 as 6 + the lot code; 5 the place code (11) + "%05ld"
// of the estimated number; 7 the place code + block code + "%05ld" of the
// number.
//
// The unmatched rest is the caller's text as written; "," and ";" in it are
// written as "，" and "；", and CR, LF, 0x1A and a lead byte without its
// trail byte are dropped, so that neither the CSV line nor the ";"-joined
// buffer records are split by it; the whole-input flag is taken from the
// rest as written. An oaza named with 大字なし leaves the
// oaza columns empty (levels 3 to 8).
//
// Text outputs of the fetches and lookups hold kResultTextSize bytes.

#include <cstddef>
#include <cstdint>
#include <string>

class CAdrsContext;
class CAdrsEngine;
class CTableDatabase;

inline constexpr std::size_t kResultTextSize = 512;

// Builds the line into *line without writing it (the reference library's
// multi-level search reads its block, lot and level fields); 1, or 0 with a
// message.
int BuildMatchResultLine(CAdrsEngine* engine, CTableDatabase* database, CAdrsContext* context,
                         int32_t level, int32_t reference, int16_t entryNumber, std::string* line,
                         char* message);
// Builds and writes the line through the context; 1, or 0 with a message
// (nothing written).
int WriteMatchResultLine(CAdrsEngine* engine, CTableDatabase* database, CAdrsContext* context,
                         int32_t level, int32_t reference, int16_t entryNumber, char* message);

// The names of the rows the last match kept (matched prefecture, city and
// name rows of the engine); "解析結果の取得に失敗しました！" when the row
// position is 0.
int FetchPrefectureResultName(CAdrsEngine* engine, CTableDatabase* database, char* name,
                              char* message);
int FetchCityResultNames(CAdrsEngine* engine, CTableDatabase* database, char* municipality,
                         char* county, char* municipalityReading, char* countyReading,
                         char* message);
int FetchOazaResultNames(CAdrsEngine* engine, CTableDatabase* database, char* oaza, char* chome,
                         char* oazaReading, char* chomeReading, char* postalCode, char* message);

// Lookups by code through the code index beside the database: _CD1 by
// 都道府県コード, _CD2 by 行政JISコード, _CD3 by 地名コード (the first of equal
// codes).
int LookupPrefectureByCode(CTableDatabase* database, const char* code, char* name, char* message);
int LookupCityByCode(CTableDatabase* database, const char* code, char* municipality, char* county,
                     char* municipalityReading, char* countyReading, char* message);
int LookupOazaByCode(CTableDatabase* database, const char* code, char* oaza, char* chome,
                     char* oazaReading, char* chomeReading, char* message);

// "%03ld" below 1000; from 1000 on one character of value / 100 + 55 ("A"
// for 10) and "%02ld" of value % 100. out holds kCodePartTextSize bytes.
char* FormatCode3(char* out, int32_t value);
