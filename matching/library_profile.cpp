// The reference library's profile of the search context: footers on block
// and lot numbers and the treatment of placeholder oaza and aza/chome names.

#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/number_parse.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/adrs_context.h"
#include "tabledb/tc_access.h"

namespace {

constexpr std::size_t kFooterSize = 256;  // with its NUL
enum Footer { kBlock = 0, kResidence = 1, kParentLot = 2, kChildNumber = 3 };

constexpr char kNoOaza[] = "大字なし地区";
constexpr char kNoOazaReading[] = "おおあざなしちく";
constexpr char kNoChome[] = "丁目なし地区";
constexpr char kNoChomeReading[] = "ちょうもくなしちく";

// A number text with its full-width digits read as ASCII digits is a
// signed 32-bit number.
bool IsFooterNumber(const std::string& text) {
  std::vector<char> work(text.begin(), text.end());
  work.push_back('\0');
  MapCharCodes(work.data(), FullWidthDigitCodeToHalf, work.size());
  const char* p = work.data();
  if (*p == '\0') return false;
  for (const char* q = p; *q; ++q) {
    if (*q < '0' || *q > '9') return false;
  }
  int32_t value = 0;
  return ParseIntInRange(p, &value, INT32_MIN, INT32_MAX) != 0;
}

}  // namespace

void CAdrsContext::EnableLibraryProfile() {
  libraryProfile_ = 1;
  useChangeHistory_ = 1;
  footersEnabled_ = 1;
  azaModeSwitch_ = 0;
  defaultAzaMode_ = 1;
  for (std::string& f : footers_) f.clear();
}

void CAdrsContext::SetFooters(const char* block, const char* residence, const char* parentLot,
                              const char* childNumber) {
  const char* texts[4] = {block, residence, parentLot, childNumber};
  for (int i = 0; i < 4; ++i) {
    char work[kFooterSize] = "";
    if (texts[i]) {
      std::strncpy(work, texts[i], kFooterSize - 1);
      CutAtCharBoundary(work, kFooterSize - 1);
    }
    footers_[i] = work;
  }
}

int CAdrsContext::AppendBlockFooter(std::string* text, int32_t kind) const {
  if (!libraryProfile_ || !footersEnabled_ || kind == 0 || !text || text->empty()) return 0;
  if (footers_[kBlock].empty() || !IsFooterNumber(*text)) return 0;
  *text += footers_[kind == 1 ? kBlock : kParentLot];
  return 1;
}

int CAdrsContext::AppendLotFooter(std::string* text, int32_t kind) const {
  if (!libraryProfile_ || !footersEnabled_ || kind == 0 || !text || text->empty()) return 0;
  if (footers_[kResidence].empty() || !IsFooterNumber(*text)) return 0;
  *text += footers_[kind == 1 ? kResidence : kChildNumber];
  return 1;
}

int CAdrsContext::SetDefaultAzaMode(int32_t mode) {
  if (mode != 1 && mode != 2) return 0;
  defaultAzaMode_ = mode;
  return 1;
}

void CAdrsContext::TreatOazaName(std::string* name, std::string* reading, int32_t kana) const {
  if (!libraryProfile_ || !name || !reading) return;
  if (azaModeSwitch_ == 1) {
    if (IsNoOazaName(name->c_str(), 0)) {
      *name = kNoOaza;
      *reading = kNoOazaReading;
    }
    return;
  }
  const bool placeholder = FindSubstring("大字なし", name->c_str()) > 0 ||
                           (kana && FindSubstring("おおあざなし", reading->c_str()) > 0);
  if (placeholder) {
    name->clear();
    reading->clear();
  }
}

void CAdrsContext::TreatChomeName(std::string* name, std::string* reading, int32_t kana) const {
  (void)kana;
  if (!libraryProfile_ || !name || !reading || azaModeSwitch_ != 1) return;
  if (IsNoChomeName(name->c_str(), 0)) {
    *name = kNoChome;
    *reading = kNoChomeReading;
  }
  if (defaultAzaMode_ == 2) {
    if (*name == kNoChome) name->clear();
    if (*reading == kNoChomeReading) reading->clear();
  }
}

void CAdrsContext::TreatRowNames(int32_t level, std::string* oaza, std::string* oazaReading,
                                 std::string* chome, std::string* chomeReading) const {
  if (level >= 3) TreatOazaName(oaza, oazaReading, 0);
  if (level >= 4) TreatChomeName(chome, chomeReading, 0);
}

int32_t FooterKindOf(const char* flagText) {
  int32_t kind = 0;
  return flagText && ParseIntInRange(flagText, &kind, INT32_MIN, INT32_MAX) ? kind : 0;
}
