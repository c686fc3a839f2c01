#pragma once
// The fee calculation: turns the toll points of a route into toll sections
// and computes three fees per section (undiscounted; the lowest reached by
// the discounts that do not need the first option byte; the lowest reached
// by all discounts considered), the discounts that gave them, link fees and
// the totals. One TollControl serves one calculation and closes both data
// files when it goes away.

#include <cstdint>
#include <string>
#include <vector>

#include "toll/toll_facil.h"
#include "toll/toll_records.h"
#include "toll/toll_table.h"

// Return codes of the calculation.
enum TollCode : int {
  kTollOk = 0,
  kTollNoTable = -21,      // TOLL.DAT does not open
  kTollNoFacil = -22,      // FACIL.DAT does not open
  kTollVersion = -25,      // the two files differ in format version
  kTollDay = -26,          // ... or in conversion day
  kTollBadSequence = -40,  // an impossible sequence of toll points
  kTollBadHeader = -50,    // TOLL.DAT header unusable
  kTollNoFacility = -60,   // a facility cannot be read
  kTollNoFeeList = -70,    // no fee list or no base fee
  kTollNoDiscount = -80,   // no discount rule or discount value
};

// Discount identifiers kept in a section.
inline constexpr int32_t kSecondFeeRule = 0x10000;  // + rule key
inline constexpr int32_t kLinkFee = 0x20000;        // + link kind x 256 + second byte
inline constexpr int32_t kThirdFeeRule = 0x40000;   // + rule key
inline constexpr int32_t kHalfFee = 0x80000;

// One half of a section: the facility passed and when.
struct TollSectionHalf {
  TollFacilRecord facil;
  uint32_t time = 0;
  int32_t dayOfWeek = 1;
  uint8_t holiday = 0;
  int32_t code = 0;  // entrance 2 opened, 3 own fee, 4 no own fee, 6 entrance-only; exit 1 or 5
};

enum TollSectionState : int32_t {
  kSectionComplete = 0,
  kSectionOpen = 1,
  kSectionEntranceOnly = 2,
  kSectionDropped = 3
};

struct TollSection {
  TollSectionHalf entrance;
  TollSectionHalf exit;
  int32_t fee1 = 0;
  int32_t discount2 = 0;
  int32_t fee2 = 0;
  int32_t discount3 = 0;
  int32_t fee3 = 0;
  uint8_t group3 = 0;  // group and item bytes of the discount that gave fee3
  uint8_t item3 = 0;
  int32_t state = kSectionComplete;
  uint8_t taken = 0;
  std::vector<uint16_t> passed;  // facilities passed while the section was open
  int32_t reserved[3] = {0, 0, 0};
};

// amount less rate per mille, rounded down to a whole yen, then roundFee.
int32_t applyDiscountRate(int32_t amount, int32_t rate, int32_t unit);
// Rounds to a multiple of unit (0 means 10, 1 no rounding), halves up.
int32_t roundFee(int32_t amount, int32_t unit);

class TollControl {
 public:
  TollControl() = default;
  virtual ~TollControl();
  TollControl(const TollControl&) = delete;
  TollControl& operator=(const TollControl&) = delete;

  // Opens both files (CP932 paths), compares them when check is set and
  // reads both headers: 0 or -21, -22, -25, -26, -50, -60.
  int open(const char* tollPath, const char* facilPath, bool check);
  // Builds the sections and their fees: 0, -40, -60, -70 or -80. The
  // sections built so far stay readable after a failure.
  int calc(const TollInputParam& input);

  const std::vector<TollSection>& sections() const { return sections_; }
  int32_t code() const { return code_; }
  int32_t total1() const { return total1_; }
  int32_t total2() const { return total2_; }
  int32_t total3() const { return total3_; }

  // The first section not taken yet whose entrance (code k, this facility)
  // or exit (code k, this facility) matches; marked as taken. Null when none.
  TollSection* takeSection(int facility, int code);

  // Thin forwards to the readers.
  int facility(int number, TollFacilRecord* out);
  int facilityCoordinates(int number, int32_t* first, int32_t* second);
  bool discountName(int table, int first, int second, std::string* name);
  int formatVersion() const { return table_.formatVersion(); }
  uint32_t conversionDay() const { return table_.conversionDay(); }

 private:
  int checkPairs();
  int buildSections();
  bool buildSection(std::size_t i);
  bool passOrAppend(std::size_t i, int code, int32_t state);
  bool appendEntranceOnly(std::size_t i);
  bool closeSection(std::size_t i, int code);
  bool passLinkPoint(std::size_t i);
  int computeFees(TollSection& section, std::size_t index);
  int discountLoop(TollSection& target, std::size_t index, const TollTable::FeeDataList& list,
                   const TollSectionHalf& entry, const TollSectionHalf* exit, const TollLink* link);
  bool repeatExcluded(const TollDiscountRule& rule, std::size_t index, const TollSectionHalf& entry,
                      const TollSectionHalf* exit);
  int linkFees();
  int evaluateLinks(const std::vector<TollLink>& links, const TollSectionHalf& entry,
                    const TollSectionHalf& exit, TollSection& target, std::size_t index);
  TollSection* openSection();
  bool kind4Link(int from, int to) const;
  TollSectionHalf half(std::size_t item, const TollFacilRecord& facil, int code) const;

  const TollInputParam* input_ = nullptr;
  TollTable table_;
  TollFacil facil_;
  int32_t code_ = 0;
  int32_t total1_ = 0;
  int32_t total2_ = 0;
  int32_t total3_ = 0;
  std::vector<TollSection> sections_;
  std::vector<TollFacilRecord> points_;  // the facility of each input item
  int column_ = 0;
};
