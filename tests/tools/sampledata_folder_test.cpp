// The data folders generated at build time, reopened through the system's
// readers: every index entry points at its row, every code index is
// ordered and complete, every normalised name is in its name index, every
// change record is found by code and by name, the dictionaries and the
// grid load.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/code_parse.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "generated_data.h"
#include "matching/adrs_engine.h"
#include "matching/datum_converter.h"
#include "matching/dictionary_loaders.h"
#include "matching/normalize.h"
#include "plat/path.h"
#include "support/test_util.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/code_index_files.h"
#include "tabledb/dictionaries.h"
#include "tabledb/name_index.h"
#include "tools/sampledata/generate.h"

using namespace sampledata;
using gendata::Int;
using gendata::Sample;
using gendata::SampleFolder;
using gendata::TableRecords;
using gendata::Text;
using testutil::Show;
using testutil::Sjis;

namespace {

std::string NdbPath(const std::string& folder, const PrefectureRow& p) {
  return folder + PrefectureFileName("QVAD%02d.NDB", PrefectureNumber(p.code));
}

// The name a change file's reader makes for an empty name: the code's
// number in full-width digits.
std::string NameOrNumber(const std::string& name, const std::string& code) {
  if (!name.empty() || code.empty()) return name;
  uint32_t n = 0;
  EXPECT_EQ(ParseCode5(code.c_str(), &n), 1) << code;
  char text[32];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(n));
  return ToFullWidth(text, sizeof text);
}

class SampleFolderTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    folder_ = SampleFolder(GetParam());
    ASSERT_FALSE(folder_.empty()) << "the build folder has no CP932 form";
    ASSERT_FALSE(Sample().prefectures.empty());
  }
  std::string folder_;
};

INSTANTIATE_TEST_SUITE_P(BothIndexKinds, SampleFolderTest, ::testing::Values(2, 1));

// The normalised names as the README of the description gives them, and
// every stored normalised name a fixed point of the normaliser with the
// folder's dictionaries (the matcher's input, normalised the same way,
// compares equal byte for byte).
TEST_P(SampleFolderTest, NormalisedNamesAreTheNormalisersForm) {
  struct Expected {
    const char* code;
    const char* field;
    const char8_t* value;
  };
  const Expected expected[] = {
      {"13101001001", "正規字丁目名", u8"１丁目"},
      {"13101001001", "正規かな読み字丁目名", u8"いつちようめ"},
      {"13101003000", "正規大字通称名", u8"５番町"},
      {"13303001000", "正規大字通称名", u8"大字箱根け崎"},
      {"26104124901", "正規大字通称名", u8"河原町通３条上る"},
      {"26104124901", "正規かな読み大字通称名", u8"かわらまちどおりさんじようあがる"},
      {"26303000000", "正規大字通称名", u8"（大字なし）"},
      {"13101001000", "正規字丁目名", u8""},
  };
  CSampleDictionaries dictionaries;
  char msg[kMessageSize] = "";
  ASSERT_EQ(dictionaries.Load(folder_, msg), 1) << Show(msg);

  int checked = 0;
  for (const PrefectureRow& p : Sample().prefectures) {
    CTableDatabase db;
    ASSERT_EQ(db.Open(NdbPath(folder_, p).c_str()), 1);
    for (const uint32_t rec : TableRecords(&db, "TC_Oaza")) {
      const std::string code = Text(&db, rec, "TC_Oaza", "地名コード");
      for (const Expected& e : expected) {
        if (code != e.code) continue;
        EXPECT_EQ(Show(Text(&db, rec, "TC_Oaza", e.field)), Show(Sjis(e.value))) << e.code;
        ++checked;
      }
    }
    const struct {
      const char* table;
      std::vector<const char*> fields;
    } normalised[] = {
        {"TC_Todoufuken", {"正規都道府県名", "正規かな読み都道府県名"}},
        {"TC_Shikutyoson",
         {"正規郡名", "正規市区町村名", "正規かな読み郡名", "正規かな読み市区町村名"}},
        {"TC_Oaza",
         {"正規大字通称名", "正規かな読み大字通称名", "正規字丁目名", "正規かな読み字丁目名"}},
    };
    for (const auto& t : normalised) {
      for (const uint32_t rec : TableRecords(&db, t.table)) {
        for (const char* field : t.fields) {
          const std::string stored = Text(&db, rec, t.table, field);
          std::string again;
          ASSERT_EQ(dictionaries.Normalize(stored, &again), 1) << Show(stored);
          EXPECT_EQ(Show(again), Show(stored)) << t.table << " " << field;
        }
      }
    }
  }
  // Rows of the same code (oaza and placeholder chome) both count.
  EXPECT_EQ(checked, 12);
}

// Walks the address index of every prefecture through the engine's entry
// readers: each entry names a row of its level's table, in the order and
// under the parent the description gives, with the description's values,
// and every row has one entry.
TEST_P(SampleFolderTest, AddressIndexEntriesPointAtTheirRowsInDescriptionOrder) {
  const Description& d = Sample();
  EXPECT_EQ(ProbeIndexFiles(folder_.c_str()), GetParam());
  for (std::size_t pi = 0; pi < d.prefectures.size(); ++pi) {
    const PrefectureRow& p = d.prefectures[pi];
    const std::string tix = folder_ + PrefectureFileName("QVAD%02d.TIX", PrefectureNumber(p.code));
    CTableDatabase db;
    ASSERT_EQ(db.Open(NdbPath(folder_, p).c_str()), 1);
    CAdrsEngine engine;
    EXPECT_EQ(engine.Open(tix.c_str(), 3 - GetParam()), 0) << "the other kind";
    ASSERT_EQ(engine.Open(tix.c_str(), GetParam()), 1);
    ASSERT_EQ(engine.SetDatabase(&db), 1);
    TixHeader header;
    ASSERT_EQ(engine.GetHeader(&header), 1);
    ASSERT_EQ(header.levels[kTixPrefecture].count, 1u);

    const auto cityRecords = TableRecords(&db, "TC_Shikutyoson");
    const auto oazaRecords = TableRecords(&db, "TC_Oaza");
    const auto blockRecords = TableRecords(&db, "TC_Gaiku");
    std::set<uint32_t> seen[kTixLevelCount];
    char msg[kMessageSize] = "";
    TixEntry pe;
    ASSERT_EQ(engine.ReadPrefectureEntry(1, &pe, msg), 1) << Show(msg);
    seen[kTixPrefecture].insert(pe.record);
    EXPECT_EQ(Text(&db, pe.record, "TC_Todoufuken", "都道府県コード"), p.code);
    EXPECT_EQ(Text(&db, pe.record, "TC_Todoufuken", "かな読み都道府県名"), p.kana);
    EXPECT_EQ(Int(&db, pe.record, "TC_Todoufuken", "経度"), p.longitude);

    std::vector<std::size_t> cities;
    for (std::size_t i = 0; i < d.municipalities.size(); ++i) {
      if (d.municipalities[i].parent == static_cast<int>(pi)) cities.push_back(i);
    }
    ASSERT_EQ(pe.childCount, cities.size());
    for (uint16_t ci = 1; ci <= pe.childCount; ++ci) {
      const MunicipalityRow& city = d.municipalities[cities[ci - 1]];
      TixEntry ce;
      ASSERT_EQ(engine.ReadCityEntry(pe.childBase, ci, &ce, msg), 1) << Show(msg);
      seen[kTixCity].insert(ce.record);
      EXPECT_EQ(Text(&db, ce.record, "TC_Shikutyoson", "行政JISコード"), city.code);
      EXPECT_EQ(Text(&db, ce.record, "TC_Shikutyoson", "郡名"), city.county);
      EXPECT_EQ(Text(&db, ce.record, "TC_Shikutyoson", "かな読み市区町村名"), city.kana);
      EXPECT_EQ(Text(&db, ce.record, "TC_Shikutyoson", "状態フラグ"), city.status);
      std::vector<std::size_t> oaza;
      for (std::size_t i = 0; i < d.oaza.size(); ++i) {
        if (d.oaza[i].IsOaza() && d.oaza[i].municipality == static_cast<int>(cities[ci - 1])) {
          oaza.push_back(i);
        }
      }
      ASSERT_EQ(ce.childCount, oaza.size()) << city.line;
      for (uint16_t oi = 1; oi <= ce.childCount; ++oi) {
        TixEntry oe;
        ASSERT_EQ(engine.ReadOazaEntry(ce.childBase, oi, &oe, msg), 1) << Show(msg);
        seen[kTixOaza].insert(oe.record);
        EXPECT_EQ(Text(&db, oe.record, "TC_Oaza", "大字代表点フラグ"), "1");
        EXPECT_EQ(Text(&db, oe.record, "TC_Oaza", "地名コード"), d.oaza[oaza[oi - 1]].placeCode);
        std::vector<std::size_t> chomes;
        for (std::size_t i = 0; i < d.oaza.size(); ++i) {
          if (d.oaza[i].parent == static_cast<int>(oaza[oi - 1])) chomes.push_back(i);
        }
        ASSERT_EQ(oe.childCount, chomes.size());
        for (uint16_t hi = 1; hi <= oe.childCount; ++hi) {
          const OazaRow& chome = d.oaza[chomes[hi - 1]];
          TixEntry he;
          ASSERT_EQ(engine.ReadChomeEntry(oe.childBase, hi, &he, msg), 1) << Show(msg);
          seen[kTixChome].insert(he.record);
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "大字代表点フラグ"), "0");
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "地名コード"), chome.placeCode);
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "字丁目名"), chome.chomeName);
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "大字通称名"), chome.oazaName);
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "グループコード"), chome.groupCode);
          EXPECT_EQ(Text(&db, he.record, "TC_Oaza", "郵便番号"), chome.postalCode);
          EXPECT_EQ(Int(&db, he.record, "TC_Oaza", "制御コード"), chome.control);
          EXPECT_EQ(Int(&db, he.record, "TC_Oaza", "緯度"), chome.latitude);
          std::vector<const BlockRow*> blocks;
          for (const BlockRow& b : d.blocks) {
            if (b.parent == static_cast<int>(chomes[hi - 1])) blocks.push_back(&b);
          }
          ASSERT_EQ(he.childCount, blocks.size()) << chome.line;
          for (uint16_t bi = 1; bi <= he.childCount; ++bi) {
            TixEntry be;
            ASSERT_EQ(engine.ReadBlockEntry(he.childBase, bi, &be, msg), 1) << Show(msg);
            seen[kTixBlock].insert(be.record);
            EXPECT_EQ(be.childCount, 0);
            EXPECT_EQ(Text(&db, be.record, "TC_Gaiku", "地名コード"), blocks[bi - 1]->placeCode);
            EXPECT_EQ(Text(&db, be.record, "TC_Gaiku", "街区番号コード"), blocks[bi - 1]->code);
            EXPECT_EQ(Text(&db, be.record, "TC_Gaiku", "状態フラグ"), blocks[bi - 1]->status);
            EXPECT_EQ(Text(&db, be.record, "TC_Gaiku", "街区番号"), blocks[bi - 1]->name);
            EXPECT_EQ(Text(&db, be.record, "TC_Gaiku", "住居表示フラグ"),
                      blocks[bi - 1]->residenceFlag);
            EXPECT_EQ(Int(&db, be.record, "TC_Gaiku", "経度"), blocks[bi - 1]->longitude);
          }
        }
      }
    }
    // Every entry is a distinct row of its table, and every row has an entry.
    for (int level = 0; level < kTixLevelCount; ++level) {
      EXPECT_EQ(seen[level].size(), header.levels[level].count) << level;
    }
    EXPECT_EQ(seen[kTixCity], std::set<uint32_t>(cityRecords.begin(), cityRecords.end()));
    std::set<uint32_t> oazaAndChome = seen[kTixOaza];
    oazaAndChome.insert(seen[kTixChome].begin(), seen[kTixChome].end());
    EXPECT_EQ(oazaAndChome, std::set<uint32_t>(oazaRecords.begin(), oazaRecords.end()));
    EXPECT_EQ(seen[kTixBlock], std::set<uint32_t>(blockRecords.begin(), blockRecords.end()));
    uint32_t lots = 99;
    EXPECT_EQ(CountTableRecords(&db, "TC_Chiban", &lots), 1);
    EXPECT_EQ(lots, 0u) << "TC_Chiban is empty";
  }
}

// Every code index holds each record of its table once, ordered by its
// keys (unsigned bytes); _CDG.TIX has the bytes of _CDG.INX.
TEST_P(SampleFolderTest, EveryCodeIndexIsOrderedAndComplete) {
  for (const PrefectureRow& p : Sample().prefectures) {
    const std::string ndb = NdbPath(folder_, p);
    const std::string base = ndb.substr(0, ndb.size() - 4);
    CTableDatabase db;
    ASSERT_EQ(db.Open(ndb.c_str()), 1);
    for (const CodeIndexFile& def : kCodeIndexFiles) {
      if (std::string(def.extension) != ".INX") continue;  // _CDG.TIX: compared below
      std::string native;
      ASSERT_TRUE(plat::path::ToNative((base + def.suffix + def.extension).c_str(), native));
      const std::string bytes = testutil::ReadBytes(native);
      ASSERT_EQ(bytes.size() % 4, 0u) << def.suffix;
      std::vector<uint32_t> slots;
      for (std::size_t i = 0; i < bytes.size(); i += 4) {
        slots.push_back(static_cast<uint32_t>(
            LoadLe(reinterpret_cast<const unsigned char*>(bytes.data()) + i, 4)));
      }
      const auto records = TableRecords(&db, def.table);
      EXPECT_EQ(std::multiset<uint32_t>(slots.begin(), slots.end()),
                std::multiset<uint32_t>(records.begin(), records.end()))
          << def.suffix;
      for (std::size_t i = 1; i < slots.size(); ++i) {
        const std::string a = Text(&db, slots[i - 1], def.table, def.field);
        const std::string b = Text(&db, slots[i], def.table, def.field);
        ASSERT_LE(CompareStrings(a.c_str(), b.c_str()), 0) << def.suffix << " slot " << i;
        if (def.secondField == nullptr || a != b) continue;
        const std::string a2 = Text(&db, slots[i - 1], def.table, def.secondField);
        const std::string b2 = Text(&db, slots[i], def.table, def.secondField);
        EXPECT_LE(CompareStrings(a2.c_str(), b2.c_str()), 0) << def.suffix << " slot " << i;
      }
      if (std::string(def.suffix) == "_CDG") {
        std::string tix;
        ASSERT_TRUE(plat::path::ToNative((base + "_CDG.TIX").c_str(), tix));
        EXPECT_EQ(testutil::ReadBytes(tix), bytes);
      }
    }
  }
}

// Every normalised name (and reading) of a municipality or oaza/aza row is
// found in its name index, pointing at the row's record; so is the row's
// whole indexed text from its first character.
TEST_P(SampleFolderTest, EveryNormalisedNameIsFoundInItsNameIndex) {
  for (const PrefectureRow& p : Sample().prefectures) {
    const std::string ndb = NdbPath(folder_, p);
    CTableDatabase db;
    ASSERT_EQ(db.Open(ndb.c_str()), 1);
    int searched = 0;
    for (const AddressNameIndexDefinition& def : kAddressNameIndexes) {
      const std::string sif = ndb.substr(0, ndb.size() - 4) + def.suffix;
      for (const uint32_t rec : TableRecords(&db, def.table)) {
        const std::string first = Text(&db, rec, def.table, def.fields[0]);
        const std::string second = Text(&db, rec, def.table, def.fields[1]);
        const struct {
          std::string key;
          int mode;
        } searches[] = {{first, kNameIndexContains},
                        {second, kNameIndexContains},
                        {first + second, kNameIndexStartsWith}};
        for (const auto& s : searches) {
          if (s.key.empty()) continue;
          CRecordList found;
          ASSERT_EQ(found.Create(8, 4, 8), 1);
          char msg[kMessageSize] = "";
          ASSERT_EQ(SearchNameIndexToList(&found, sif.c_str(), ndb.c_str(), s.key.c_str(),
                                          kNameIndexCharacterPair, s.mode, msg),
                    1)
              << Show(msg);
          bool hit = false;
          for (uint32_t i = 1; i <= found.GetCount(); ++i) {
            uint32_t position = 0;
            ASSERT_EQ(found.GetAt(i, &position), 1);
            hit = hit || position == rec;
          }
          EXPECT_TRUE(hit) << def.suffix << " " << Show(s.key);
          ++searched;
        }
      }
    }
    EXPECT_GT(searched, 40);
  }
}

TEST_P(SampleFolderTest, EveryChangeRecordIsFoundByCodeAndNames) {
  const Description& d = Sample();
  for (const PrefectureRow& p : d.prefectures) {
    const int n = PrefectureNumber(p.code);
    CChangeHistory history;
    char msg[kMessageSize] = "";
    ASSERT_EQ(history.Open((folder_ + PrefectureFileName("QAD_CH%02d.CDB", n)).c_str(),
                           (folder_ + PrefectureFileName("QAD_CH%02d.CIX", n)).c_str(), msg),
              1)
        << Show(msg);
    EXPECT_EQ(history.GetFormatVersion(), 200u);
    uint32_t rows = 0;
    for (const ChangeRow& r : d.changes) {
      if (!gendata::InPrefecture(r.placeCode, p.code)) continue;
      ++rows;
      EXPECT_NE(history.FindByCode(r.placeCode.c_str()), 0u) << r.line;
      const std::string block =
          NameOrNumber(r.blockSort.empty() ? r.blockName : r.blockSort, r.blockCode);
      const std::string lot = NameOrNumber(r.lotSort.empty() ? r.lotName : r.lotSort, r.lotCode);
      EXPECT_NE(history.FindByCodeAndName(r.placeCode.c_str(), block.c_str()), 0u) << r.line;
      const uint32_t found =
          history.FindByCodeAndNames(r.placeCode.c_str(), block.c_str(), lot.c_str());
      ASSERT_NE(found, 0u) << r.line << " " << Show(block) << " " << Show(lot);
      ChangeRecord rec;
      char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
      ASSERT_EQ(history.GetRecord(found, &rec, n1, n2, s1, s2), 1);
      EXPECT_EQ(rec.coordinate1, static_cast<uint32_t>(r.latitude)) << r.line;
      EXPECT_EQ(rec.coordinate2, static_cast<uint32_t>(r.longitude)) << r.line;
      EXPECT_EQ(rec.classCode, r.status) << r.line;
      EXPECT_EQ(ChangeRecordPrecisionDigit(rec), r.digit.empty() ? 0 : r.digit[0] - '0');
      EXPECT_EQ(std::string(n1), NameOrNumber(r.blockName, r.blockCode)) << r.line;
    }
    EXPECT_EQ(history.GetSearchCount(CChangeHistory::kByCodeAndNames), rows);
  }
}

TEST_P(SampleFolderTest, EveryChangeCodeRowIsFoundByCodeAndByName) {
  const Description& d = Sample();
  for (const PrefectureRow& p : d.prefectures) {
    CChangeCodeIndex index;
    char msg[kMessageSize] = "";
    const std::string path =
        folder_ + PrefectureFileName("QAD_CH%02d.CDI", PrefectureNumber(p.code));
    ASSERT_EQ(index.Open(path.c_str(), msg), 1) << Show(msg);
    for (const ChangeCodeRow& r : d.changeCodes) {
      if (!gendata::InPrefecture(r.placeCode, p.code)) continue;
      const char* code = r.placeCode.c_str();
      const uint32_t byCode = index.FindChangeByCode(code, r.blockCode.c_str(), r.lotCode.c_str());
      ASSERT_NE(byCode, 0u) << r.line;
      const std::string blockText = NameOrNumber(r.blockName, r.blockCode);
      const std::string lotText = NameOrNumber(r.lotName, r.lotCode);
      EXPECT_EQ(index.FindChange(code, blockText.c_str(), lotText.c_str()), byCode) << r.line;

      // The numbers of a record are coded against the first record of its
      // block: decode that one first.
      const uint32_t blockEntry = index.FindBlockByCode(code, r.blockCode.c_str());
      uint32_t table = 0, count = 0, size = 0;
      int wide = 0;
      char codeText[kChangeCodeTextSize], name[kChangeCodeNameSize], second[kChangeCodeNameSize];
      ASSERT_EQ(
          index.ReadBlockEntry(blockEntry, codeText, name, second, &table, &count, &size, &wide),
          1);
      uint32_t first = 0, base1 = 0, base2 = 0, n1 = 0, n2 = 0;
      int digit = 0, precision = 0, cls = 0;
      ASSERT_EQ(index.ReadChildOffset(table, 0, wide, &first), 1);
      ASSERT_EQ(index.ReadChangeRecord(table + size + first, 0, &base1, &base2, codeText, name,
                                       second, &n1, &n2, &digit, &precision, &cls),
                1);
      ASSERT_EQ(index.ReadChangeRecord(byCode, byCode != table + size + first, &base1, &base2,
                                       codeText, name, second, &n1, &n2, &digit, &precision, &cls),
                1);
      EXPECT_EQ(std::string(codeText), r.lotCode) << r.line;
      EXPECT_EQ(n1, static_cast<uint32_t>(r.latitude)) << r.line;
      EXPECT_EQ(n2, static_cast<uint32_t>(r.longitude)) << r.line;
      EXPECT_EQ(digit, r.digit) << r.line;
      EXPECT_EQ(cls, r.status) << r.line;
    }
  }
}

TEST_P(SampleFolderTest, DictionariesAndUserFileLoadAsTheSystemReadsThem) {
  const Description& d = Sample();
  char msg[kMessageSize] = "";
  CCharDictionary unification;
  ASSERT_EQ(LoadUnificationDictionary((folder_ + kUnificationDictionaryFile).c_str(), &unification,
                                      msg, 1),
            1)
      << Show(msg);
  // 髙, 﨑 and 德 have two CP932 codes each (IBM extension and NEC-selected
  // IBM extension): the one text line of each gives a pair under both codes.
  EXPECT_EQ(unification.GetCount(), d.unification.size() + 3);
  for (const auto& [code, canonical] : {std::pair<std::string, std::u8string>{"\xFA\xB1", u8"崎"},
                                        {"\xED\x95", u8"崎"},
                                        {"\xFB\xFC", u8"高"},
                                        {"\xEE\xE0", u8"高"},
                                        {"\xFA\xBA", u8"徳"},
                                        {"\xED\x9E", u8"徳"}}) {
    const uint32_t n = unification.Find("=", code.c_str(), CompareDictionaryKeys);
    ASSERT_NE(n, 0u) << Show(code);
    PairRecord pair;
    ASSERT_EQ(unification.GetAt(n, &pair), 1);
    EXPECT_EQ(Show(pair.replacement), Show(Sjis(canonical))) << Show(code);
  }
  CRecordList replacements;
  ASSERT_EQ(LoadReplacementDictionary((folder_ + kReplacementDictionaryFile).c_str(), &replacements,
                                      &unification, msg, 1),
            1)
      << Show(msg);
  ASSERT_EQ(replacements.GetCount(), d.replacements.size());
  for (uint32_t i = 1; i <= replacements.GetCount(); ++i) {
    PairRecord pair;
    ASSERT_EQ(replacements.GetAt(i, &pair), 1);
    EXPECT_EQ(std::string(pair.search), d.replacements[i - 1].search) << i;
    EXPECT_EQ(std::string(pair.replacement), d.replacements[i - 1].replacement) << i;
  }

  // The user file: the comment and the empty line are skipped; lines end in
  // CR LF.
  const std::string user = folder_ + kUserReplacementFile;
  CRecordList extra;
  ASSERT_EQ(LoadReplacementDictionaryText(user.c_str(), &extra, &unification, msg), 1) << Show(msg);
  ASSERT_EQ(extra.GetCount(), 2u);
  PairRecord second;
  ASSERT_EQ(extra.GetAt(2, &second), 1);
  EXPECT_EQ(Show(second.search), Show(Sjis(u8"紫の")));
  EXPECT_EQ(Show(second.replacement), Show(Sjis(u8"紫野")));
  std::string native;
  ASSERT_TRUE(plat::path::ToNative(user.c_str(), native));
  const std::string bytes = testutil::ReadBytes(native);
  std::string expected;
  for (const std::string& line : d.userReplacementLines) expected += line + "\r\n";
  EXPECT_EQ(bytes, expected);
}

// Every point of the description lies where the grid has all four corners,
// and the grid's shift agrees with the three-parameter shift it was made
// from (to well below a millisecond of arc per mesh).
TEST_P(SampleFolderTest, DatumGridCoversEveryPoint) {
  CDatumConverter grid;
  ASSERT_EQ(grid.LoadGridParameters((folder_ + "TKY2JGD.PAR").c_str()), 1);
  CDatumConverter fallback;
  const Description& d = Sample();
  std::vector<std::pair<int32_t, int32_t>> points;
  for (const auto& r : d.prefectures) points.emplace_back(r.latitude, r.longitude);
  for (const auto& r : d.municipalities) points.emplace_back(r.latitude, r.longitude);
  for (const auto& r : d.oaza) points.emplace_back(r.latitude, r.longitude);
  for (const auto& r : d.blocks) points.emplace_back(r.latitude, r.longitude);
  for (const auto& r : d.changes) points.emplace_back(r.latitude, r.longitude);
  for (const auto& r : d.changeCodes) points.emplace_back(r.latitude, r.longitude);
  for (const auto& [lat, lon] : points) {
    const double latitude = lat / 3600000.0;
    const double longitude = lon / 3600000.0;
    double gx = 0, gy = 0, fx = 0, fy = 0;
    int method = -1;
    ASSERT_EQ(grid.TokyoToJgd(longitude, latitude, &gx, &gy, &method), 1);
    EXPECT_EQ(method, 1) << lat << " " << lon;
    ASSERT_EQ(fallback.TokyoToJgd(longitude, latitude, &fx, &fy, &method), 1);
    EXPECT_EQ(method, 0);
    EXPECT_NEAR(gx * 3600000.0, fx * 3600000.0, 5.0);
    EXPECT_NEAR(gy * 3600000.0, fy * 3600000.0, 5.0);
  }
}

}  // namespace
