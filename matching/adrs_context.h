#pragma once
// The per-call context of every address service (CAdrsContext): one I/O
// channel that is both the output sink for result lines and the input
// source for records (a text file, a string array or a ";"-joined caller
// buffer), the caller's option values, each checked against its range, the
// dataset switches, the address index kind, and the datum conversion state.
// The formatting services that read the options (coordinates, name
// formats) are members as well; their free-standing helpers are in
// matching/result_format.h.
//
// Operations answer 1 for success and 0 for failure; nothing throws and the
// context writes no messages of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "matching/datum_converter.h"
#include "plat/file.h"

// The channel's string array.
using CStringArray = std::vector<std::string>;

// Coordinates (milliseconds of arc, Tokyo datum) to format, and the two
// caller buffers that receive the texts.
struct CoordinateRequest {
  int32_t latitude = 0;
  int32_t longitude = 0;
  char* latitudeText = nullptr;
  std::size_t latitudeTextSize = 0;  // bytes, NUL included
  char* longitudeText = nullptr;
  std::size_t longitudeTextSize = 0;
};

// Caller coordinates in the caller's format and datum, and the converted
// values (milliseconds of arc, Tokyo datum, not rounded).
struct InputCoordinateRequest {
  double latitude = 0.0;
  double longitude = 0.0;
  double outLatitude = 0.0;
  double outLongitude = 0.0;
};

// Buffers of at least this size hold every coordinate text.
inline constexpr std::size_t kCoordinateTextSize = 32;

class CAdrsContext {
 public:
  enum ChannelMode : int32_t {
    kChannelNone = 0,
    kChannelFile = 1,
    kChannelArray = 2,
    kChannelBuffer = 3
  };

  CAdrsContext();
  ~CAdrsContext();
  CAdrsContext(const CAdrsContext&) = delete;
  CAdrsContext& operator=(const CAdrsContext&) = delete;

  // ---- Channel ----
  // Each selects its channel (the targets are not owned) and resets the
  // input state; 0 and nothing changed for a null target (or a buffer size
  // below 1). The buffer is not cleared: the first line overwrites it.
  int SetOutputFile(plat::File* file);
  int SetOutputArray(CStringArray* array);
  int SetOutputBuffer(char* buffer, int32_t size);
  int32_t GetChannelMode() const { return mode_; }

  // File: the text and a line feed. Array: a new element. Buffer: lines
  // joined by ";" (none before the first or after the last); a line that
  // does not fit with the NUL is refused whole. No channel: 0.
  int WriteLine(const char* text);
  // Back to the first record; 0 when there is nothing to read.
  int RewindInput();
  // The next record (file: the next line without its line end; array: the
  // next element; buffer: the text up to the next ";"); 0 at the end.
  int ReadNextInput();
  // 0 when no record is present (before a read, after a rewind or a failed
  // read).
  int GetInputRecord(std::string* out) const;

  // ---- Dataset switches and index kind ----
  void SetUseChangeHistory(int32_t v) { useChangeHistory_ = v; }
  void SetMatchingEnabled(int32_t v) { matchingEnabled_ = v; }
  void SetReverseGeocodingEnabled(int32_t v) { reverseGeocodingEnabled_ = v; }
  int32_t UsesChangeHistory() const { return useChangeHistory_; }
  int32_t UsesChangeCodeIndex() const { return useChangeHistory_; }
  int32_t IsMatchingEnabled() const { return matchingEnabled_; }
  int32_t IsReverseGeocodingEnabled() const { return reverseGeocodingEnabled_; }
  int32_t IsListingByNameEnabled() const { return 1; }
  int32_t IsListingByCodeEnabled() const { return 1; }
  int32_t IsKeywordSearchEnabled() const { return 1; }
  int32_t IsPostalSearchEnabled() const { return 1; }
  // 0 none, 1 plain header, 2 check-value header; not range-checked.
  void SetIndexKind(int32_t kind) { indexKind_ = kind; }
  int32_t GetIndexKind() const { return indexKind_; }

  // ---- Options ----
  // Validators: 1 when the value lies in the option's range.
  static int IsValidEstimationFlag(int32_t v);         // 0..1
  static int IsValidCalculationSwitch(int32_t v);      // 0..1
  static int IsValidSearchTextKind(int32_t v);         // 1..4
  static int IsValidDatum(int32_t v);                  // 1..2
  static int IsValidCoordinateFormat(int32_t v);       // 1..8
  static int IsValidChomeFormat(int32_t v);            // 1..2
  static int IsValidNumberFormat(int32_t v);           // 1..2
  static int IsValidReadingFormat(int32_t v);          // 1..3
  static int IsValidListingTextKind(int32_t v);        // 1..2
  static int IsValidFormattedOutputSwitch(int32_t v);  // 0..1
  // Setters: 0 and the old value kept when out of range.
  int SetEstimationFlag(int32_t v);
  int SetCalculationSwitch(int32_t v);
  int SetSearchTextKind(int32_t v);
  int SetDatum(int32_t v);
  int SetCoordinateFormat(int32_t v);
  int SetChomeFormat(int32_t v);
  int SetNumberFormat(int32_t v);
  int SetReadingFormat(int32_t v);
  int SetListingTextKind(int32_t v);
  int SetFormattedOutputSwitch(int32_t v);
  // Getters: 0 and *out untouched while the option is unset (or out of
  // range); else *out = the value, 1.
  int GetEstimationFlag(int32_t* out) const;
  int GetCalculationSwitch(int32_t* out) const;
  int GetSearchTextKind(int32_t* out) const;
  int GetDatum(int32_t* out) const;
  int GetCoordinateFormat(int32_t* out) const;
  int GetChomeFormat(int32_t* out) const;
  int GetNumberFormat(int32_t* out) const;
  int GetReadingFormat(int32_t* out) const;
  int GetListingTextKind(int32_t* out) const;
  int GetFormattedOutputSwitch(int32_t* out) const;

  // Style 1 clears the formatted-output switch, style 2 sets it; any other
  // style: 0 and nothing changed.
  int SetOutputStyle(int32_t style);
  int32_t GetOutputStyle() const { return outputStyle_; }

  // The grid parameter file for JGD2000 output; it is loaded by the first
  // conversion that needs it.
  int SetDatumParameterFile(const char* path);
  const char* GetDatumParameterFile() const { return datumPath_.c_str(); }
  int32_t IsDatumParameterFileLoaded() const { return datumLoaded_; }

  // ---- Result text formatting ----
  // Converts the pair to the output datum and writes both texts by the
  // coordinate format (1 when unset). 0 for a failed conversion, a format
  // outside 1..8, or a text that does not fit its buffer.
  int FormatCoordinates(CoordinateRequest* request);
  // Datum unset or 1: the pair as it is. Datum 2: JGD2000, rounded half
  // away from zero to whole milliseconds (the parameter file is loaded
  // first when needed). 0 when the conversion fails or the datum is
  // another value.
  int ToOutputDatum(int32_t latitude, int32_t longitude, int32_t* outLatitude,
                    int32_t* outLongitude);
  // Caller coordinates (format and datum of the options) to milliseconds of
  // arc on the Tokyo datum.
  int ConvertInputCoordinates(InputCoordinateRequest* request);
  // Rewrites the texts in place by the chome, reading and number formats
  // (null texts are skipped).
  void ApplyOutputFormats(char* oaza, char* chome, char* block, char* lot, char* countyReading,
                          char* municipalityReading, char* oazaReading, char* chomeReading);
  // Chome format 2: "丁目" and "ちょうめ" removed when the name and the
  // reading end with them; 1 when removed.
  int ApplyChomeFormat(char* chome, char* chomeReading);
  // Reading format 2: hiragana to katakana; 3: to half-width katakana. 1
  // when the text changed.
  int ApplyReadingFormat(char* text);
  // Number format 2: full-width digits to ASCII digits; 1 when changed.
  int ApplyNumberFormat(char* text);
  // Empties both texts when the name holds "大字なし" (or, with byReading
  // 1, "おおあざなし").
  void DropNoOazaName(char* oaza, char* oazaReading, int32_t byReading);

  // ---- Reference-library profile ----
  // Off at construction (kort's behaviour); EnableLibraryProfile switches
  // it on with the library's defaults: change history on, footers on, the
  // aza-mode switch 0, the default aza mode 1 and four empty footers.
  void EnableLibraryProfile();
  int32_t IsLibraryProfile() const { return libraryProfile_; }
  // Block-number, residence-number, parent-lot and child-number footers
  // (null counts as ""; each is cut to 255 bytes at a character boundary).
  void SetFooters(const char* block, const char* residence, const char* parentLot,
                  const char* childNumber);
  void SetFootersEnabled(int32_t on) { footersEnabled_ = on; }
  // Appends the block footer (kind 1) or the parent-lot footer (other
  // kinds) to a block number and answers 1, when the profile and the footer
  // switch are on, the kind is not 0, the text and the block footer are not
  // empty and the text (full-width digits read as ASCII) is a signed 32-bit
  // number; else 0 and the text unchanged.
  int AppendBlockFooter(std::string* text, int32_t kind) const;
  // The same for a lot number with the residence-number footer (kind 1) and
  // the child-number footer.
  int AppendLotFooter(std::string* text, int32_t kind) const;
  void SetAzaModeSwitch(int32_t v) { azaModeSwitch_ = v; }
  int32_t GetAzaModeSwitch() const { return azaModeSwitch_; }
  // Stored only for 1 or 2 (answers 1).
  int SetDefaultAzaMode(int32_t mode);
  int32_t GetDefaultAzaMode() const { return defaultAzaMode_; }
  // Placeholder oaza names: with the aza-mode switch exactly 1 an empty or
  // placeholder name becomes "大字なし地区" (reading "おおあざなしちく");
  // otherwise a name holding "大字なし" (kana: "おおあざなし") is emptied
  // with its reading. Nothing happens while the profile is off.
  void TreatOazaName(std::string* name, std::string* reading, int32_t kana) const;
  // Placeholder aza/chome names, only with the aza-mode switch exactly 1:
  // empty or placeholder becomes "丁目なし地区" ("ちょうもくなしちく"); in
  // default aza mode 2 these are emptied again.
  void TreatChomeName(std::string* name, std::string* reading, int32_t kana) const;
  // A row's oaza (level 3) and, from level 4, aza/chome names through the
  // two above; nothing for levels below 3.
  void TreatRowNames(int32_t level, std::string* oaza, std::string* oazaReading, std::string* chome,
                     std::string* chomeReading) const;
  // Engine settings of the address analysis (kEngineSettingUnset: the
  // engine's own default, as kort runs): the county-optional switch and the
  // analysis depth.
  static constexpr int32_t kEngineSettingUnset = INT32_MIN;
  void SetEngineCountyOptional(int32_t v) { engineCountyOptional_ = v; }
  int32_t GetEngineCountyOptional() const { return engineCountyOptional_; }
  void SetEngineAnalyzeDepth(int32_t v) { engineAnalyzeDepth_ = v; }
  int32_t GetEngineAnalyzeDepth() const { return engineAnalyzeDepth_; }

 private:
  enum Option {
    kEstimationFlag,
    kCalculationSwitch,
    kSearchTextKind,
    kDatum,
    kCoordinateFormat,
    kChomeFormat,
    kNumberFormat,
    kReadingFormat,
    kListingTextKind,
    kFormattedOutputSwitch,
    kOptionCount
  };
  static int IsValidOption(Option option, int32_t v);
  int SetOption(Option option, int32_t v);
  int GetOption(Option option, int32_t* out) const;
  void ResetInput();
  int AppendToBuffer(const char* text);
  int ReadBufferRecord();
  // The point (milliseconds of arc) in the other datum, in degrees: Tokyo
  // to JGD2000 with toJgd, else back; the parameter file is loaded on first
  // need. 0 when it cannot be loaded or the conversion fails.
  int ConvertDatum(bool toJgd, double latitude, double longitude, double* outLatitude,
                   double* outLongitude);

  int32_t mode_ = kChannelNone;
  plat::File* file_ = nullptr;
  CStringArray* array_ = nullptr;
  int32_t arrayIndex_ = 0;
  char* buffer_ = nullptr;
  int32_t bufferOffset_ = 0;
  int32_t bufferSize_ = 0;
  int32_t bufferUsed_ = 0;
  int32_t bufferLines_ = 0;  // lines written to the buffer
  std::string record_;
  int32_t recordPresent_ = 0;
  int32_t useChangeHistory_ = 1;
  int32_t matchingEnabled_ = 1;
  int32_t reverseGeocodingEnabled_ = 1;
  int32_t indexKind_ = 0;
  int32_t outputStyle_ = 1;
  int32_t options_[kOptionCount];
  int32_t datumLoaded_ = 0;
  std::string datumPath_;
  CDatumConverter converter_;
  int32_t libraryProfile_ = 0;
  int32_t footersEnabled_ = 0;
  int32_t azaModeSwitch_ = 0;
  int32_t defaultAzaMode_ = 1;
  std::string footers_[4];
  int32_t engineCountyOptional_ = kEngineSettingUnset;
  int32_t engineAnalyzeDepth_ = kEngineSettingUnset;
};

// The footer kind of a row: its 住居表示フラグ (TC_Gaiku) or its precision
// digit (change records) as text; a text that is no 32-bit number is 0.
int32_t FooterKindOf(const char* flagText);
