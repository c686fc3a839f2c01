// MatchAddress: the entry of the address matcher. It resets the state of
// the last match, notes the special name the caller's line contains, and
// runs the level cascade from the prefecture down.

#include <cstring>

#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "matching/edit_text.h"
#include "matching/name_compare.h"

namespace {

// Names whose oaza row must not be taken by its name, with the place code
// of that row. Searched in this order; the last one found wins.
struct SpecialName {
  const char* name;
  const char* placeCode;
};
constexpr SpecialName kSpecialNames[] = {
    {"榴岡", "04102034000"},   {"日之出町", "23341046000"}, {"舟屋町", "26104397000"},
    {"船屋町", "26104395000"}, {"北条", "27218050000"},
};

}  // namespace

int CAdrsEngine::MatchAddress(CEditText* text, int32_t* level, int32_t* parent, int16_t* entry,
                              char* msg, const char* rawInput) {
  ResetMatchState();
  if (!CheckReady(msg)) return 0;
  if (text == nullptr || text->GetText() == nullptr || level == nullptr || parent == nullptr ||
      entry == nullptr) {
    SetMessage(msg, kMsgInvalidParameter, "検索文字列");
    return 0;
  }
  if (rawInput != nullptr) {
    for (const SpecialName& special : kSpecialNames) {
      if (FindSubstring(special.name, rawInput) == 0) continue;
      SetSpecialName(special.name, special.placeCode);
    }
  }
  // The extra pairs do not change during the match.
  const CExtraPairsScope pairs(extraReplacementList_);
  const int16_t mark = text->BeginMark();
  const int result = MatchPrefecture(text, level, parent, entry, msg);
  text->RollbackTo(mark);
  if (result < 0) return 0;
  if (result == 0) {
    *entry = 0;
    *level = 0;
  }
  return 1;
}
