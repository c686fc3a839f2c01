// The rows the name levels compare: the tables never leave out a row that
// a comparison would take, and matching through them gives the result
// lines of the plain scan over every row, kept here as the reference.
#include "matching/name_candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/data_folder_cache.h"
#include "matching/derived_bytes.h"
#include "matching/edit_text.h"
#include "matching/match_entries.h"
#include "matching/name_compare.h"
#include "matching/normalize.h"
#include "matching/prefecture_names.h"
#include "national_shape_folder.h"
#include "pair_list_fixture.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"

namespace {

using testutil::Show;

using pairtest::FillList;

std::vector<uint16_t> Rows(const NameTable& table, const NameQuery& query, uint16_t count) {
  std::vector<uint16_t> rows;
  CurrentNameCandidateSource().Select(&table, query, count, &rows);
  return rows;
}

// A list of a table's image as a vector.
template <typename T>
std::vector<T> Listed(const NameTableList<T>& list) {
  std::vector<T> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.push_back(list[i]);
  return out;
}

// Every name that the tolerant comparison accepts against a text is among
// the rows selected for it: the same head, numerals of the other script,
// the extra pairs on both sides, names no head bounds.
TEST(NameTable, KeepsEveryRowTheComparisonTakes) {
  CRecordList extra;
  FillList(extra, {{"け", "が"}, {"ヶ", "が"}, {"旧", ""}});
  const std::vector<std::string> names = {
      "丸の内", "大手町", "五番町", "５番町", "旧町", "",   "ab",   "霞が関", "霞け関", "けやき台",
      "ヶ丘",   "が丘",   "二十三", "山田",   "山",   "ｶﾞ", "山口", "東五",   "東京"};
  const std::vector<std::string> texts = {
      "丸の内一丁目", "大手町", "５番町１", "五番町",   "町２",     "霞け関３", "霞が関",
      "が丘",         "ヶ丘",   "けやき台", "二十三番", "２３番",   "山田町",   "",
      "abc",          "ｶﾞ丁目", "旧町",     "山",       "東５丁目", "東京都",   "東"};
  int taken = 0;
  for (const bool withSecond : {false, true}) {
    NameTable table;
    for (std::size_t n = 0; n < names.size(); ++n)
      table.AddName(static_cast<uint16_t>(n + 1), names[n].c_str(), &extra, true, true, withSecond);
    table.Finish(static_cast<uint16_t>(names.size()));
    for (const std::string& text : texts) {
      NameQuery query;
      query.AddText(text.c_str(), &extra);
      const std::vector<uint16_t> rows = Rows(table, query, static_cast<uint16_t>(names.size()));
      EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
      for (std::size_t n = 0; n < names.size(); ++n) {
        int consumed = 0;
        if (!ComparePrefixTolerant(text.c_str(), names[n].c_str(), &extra, &consumed)) continue;
        ++taken;
        EXPECT_NE(std::find(rows.begin(), rows.end(), n + 1), rows.end())
            << Show(names[n].c_str()) << " left out for " << Show(text.c_str());
      }
      if (!query.everything) {
        EXPECT_LT(rows.size(), names.size()) << "no row left out for " << Show(text.c_str());
      }
    }
  }
  EXPECT_GT(taken, 20);
  extra.Free();
}

// A replacement pair whose search text a name holds anywhere brings that
// row in; a one-byte search text or an unreadable list asks for every row.
TEST(NameTable, RowsAReplacementPairCanChangeAreTried) {
  NameTable table;
  table.AddName(1, "大字丸の内", nullptr, true, true);
  table.AddName(2, "青葉台", nullptr, true, true);
  table.AddName(3, "吉祥寺", nullptr, true, true);
  table.Finish(3);
  CRecordList list;
  FillList(list, {{"葉台", "葉臺"}});
  NameQuery query;
  query.AddText("東町", nullptr);
  query.AddChangingPairs(&list);
  EXPECT_EQ(Rows(table, query, 3), std::vector<uint16_t>({2}));
  CRecordList single;
  FillList(single, {{"a", "b"}});
  NameQuery all;
  all.AddText("東町", nullptr);
  all.AddChangingPairs(&single);
  EXPECT_EQ(Rows(table, all, 3), std::vector<uint16_t>({1, 2, 3}));
  // A text beginning with a single-byte character is not bounded.
  NameQuery odd;
  odd.AddText("1丁目", nullptr);
  EXPECT_TRUE(odd.everything);
  // An incomplete table, or none, gives every row.
  NameTable partial;
  partial.AddName(1, "丸の内", nullptr, true, true);
  NameQuery head;
  head.AddText("青葉台", nullptr);
  EXPECT_EQ(Rows(partial, head, 2), std::vector<uint16_t>({1, 2}));
  list.Free();
  single.Free();
}

// A finished table lists each (key, row) once in ascending order, as a
// whole sort of what was added would: rows added in ascending order (the
// order the levels add them, sorted by key alone), rows added out of order,
// short lists; equal keys from many rows and from one row twice, names
// whose trail bytes are 0x5C or ASCII letters (表, ソ, ア), numerals,
// single-byte names and empty ones.
TEST(NameTable, FinishedListsStandAsAWholeSortWouldLeaveThem) {
  const std::vector<std::string> names = {
      "表町",   "ソ連",   "ア丁目", "表",   "本町", "本町", "",     "ab", "五番町", "５番", "能見",
      "十日町", "表参道", "圭ソ",   "ポア", "東京", "京都", "\x82", "ｱ",  "予ソ表", "本郷", "本"};
  // The lists of a whole sort: what each name adds alone, gathered,
  // sorted and each entry once.
  struct Lists {
    std::vector<uint32_t> heads;
    std::vector<uint64_t> pairs;
    std::vector<uint32_t> windows;
    std::vector<uint16_t> numerals;
    std::vector<uint16_t> always;
  };
  constexpr uint16_t kRows = 700;
  auto make = [&](const std::vector<uint16_t>& rows, NameTable* table, Lists* reference) {
    auto gather = [](auto* into, const auto& list) {
      const auto listed = Listed(list);
      into->insert(into->end(), listed.begin(), listed.end());
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const char* name = names[i % names.size()].c_str();
      table->AddName(rows[i], name, nullptr, true, true);
      NameTable alone;
      alone.AddName(rows[i], name, nullptr, true, true);
      alone.Finish(kRows);
      gather(&reference->heads, alone.Heads());
      gather(&reference->pairs, alone.Pairs());
      gather(&reference->windows, alone.Windows());
      gather(&reference->numerals, alone.Numerals());
      gather(&reference->always, alone.Always());
    }
    auto sortAll = [](auto* list) {
      std::sort(list->begin(), list->end());
      list->erase(std::unique(list->begin(), list->end()), list->end());
    };
    sortAll(&reference->heads);
    sortAll(&reference->pairs);
    sortAll(&reference->windows);
    sortAll(&reference->numerals);
    sortAll(&reference->always);
    table->Finish(kRows);
  };
  std::vector<uint16_t> ascending;
  for (uint16_t row = 1; row <= kRows; ++row) {
    ascending.push_back(row);
    if (row % 7 == 0) ascending.push_back(row);  // a row with two names
  }
  std::vector<uint16_t> descending(ascending.rbegin(), ascending.rend());
  std::vector<uint16_t> shuffled = ascending;
  std::mt19937 random(5);
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  std::vector<uint16_t> shortList = {3, 1, 2, 2, 5};
  for (const std::vector<uint16_t>* rows : {&ascending, &descending, &shuffled, &shortList}) {
    NameTable table;
    Lists reference;
    make(*rows, &table, &reference);
    ASSERT_TRUE(table.complete);
    EXPECT_EQ(Listed(table.Heads()), reference.heads);
    EXPECT_EQ(Listed(table.Pairs()), reference.pairs);
    EXPECT_EQ(Listed(table.Windows()), reference.windows);
    EXPECT_EQ(Listed(table.Numerals()), reference.numerals);
    EXPECT_EQ(Listed(table.Always()), reference.always);
    if (rows->size() > 100) {
      EXPECT_GT(table.Windows().size(), 500u);
    }
  }
}

namespace {

// The sample description and the national-shape set made from it (seed 1).
testing::AssertionResult SampleAndNational(sampledata::Description* sample,
                                           sampledata::Description* national) {
  char msg[kMessageSize] = "";
  if (sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), sample, msg) !=
          1 ||
      sampledata::MakeNationalDescription(*sample, sampledata::NationalOptions(), national, msg) !=
          1)
    return testing::AssertionFailure() << Show(msg);
  return testing::AssertionSuccess();
}

// Variants of a name as an address may write it, each followed by a
// number: the name itself, with its first iteration mark written out or
// one written in, with a connecting kana put in or dropped, with 大字 in
// front, numerals of the other script, the pairs' texts swapped back, a
// direction word after it, the name cut short.
std::vector<std::string> WrittenVariants(const std::string& name) {
  std::vector<std::string> out = {name + "１２３", name, "大字" + name + "２", name + "上る３"};
  if (const std::string expanded = ExpandIterationMark(name); !expanded.empty())
    out.push_back(expanded + "１");
  auto replaceFirst = [&](const std::string& from, const std::string& to) {
    const std::size_t at = name.find(from);
    if (at != std::string::npos && at % 2 == 0)
      out.push_back(name.substr(0, at) + to + name.substr(at + from.size()) + "１");
  };
  replaceFirst("の", "");
  replaceFirst("之", "の");
  replaceFirst("の", "之");
  replaceFirst("十", "１０");
  replaceFirst("１０", "十");
  replaceFirst("三", "３");
  replaceFirst("恵比須", "恵比寿");
  replaceFirst("町", "");
  if (name.size() >= 4) {
    out.push_back(name.substr(0, 2) + "々" + name.substr(4) + "１");
    out.push_back(name.substr(0, 2) + "の" + name.substr(2) + "１");
    out.push_back(name.substr(0, name.size() - 2));
  }
  return out;
}

}  // namespace

// The firm keys of the oaza level leave out no row that a comparison of
// the level takes (every variant form, with and without the street
// direction words), with the sample folder's dictionaries and pairs: over
// names made for the edge cases (one key for many rows, trail bytes 0x5C
// and ASCII letters, iteration marks, connecting kana, numerals, unit and
// direction words, pair texts) and the oaza names of the national-shape
// set's largest municipality (many of them under a former municipality's
// name), each against its written variants; and they leave out most
// rows.
TEST(NameTable, FirmKeysKeepEveryRowTheComparisonsTake) {
  char msg[kMessageSize] = "";
  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(sample::Folder(), &lease, msg), 1) << Show(msg);
  FolderDictionaries& dictionaries = *lease.Get();
  ASSERT_GT(dictionaries.replacements.GetCount(), 0u);
  NameKeyRules rules;
  rules.AddPairs(&dictionaries.extra);
  rules.AddPairs(&dictionaries.replacements);
  rules.Finish();
  ASSERT_FALSE(rules.unbounded);

  std::vector<std::string> names = {
      "表町",   "表参道", "ソ連町",   "アカ町",   "ア丁目", "佐々木", "佐佐木", "一の瀬",
      "一瀬",   "十日町", "１０日町", "三番町",   "三番",   "上る町", "西入",   "松之山",
      "松の山", "恵比寿", "恵比須",   "大字松田", "字松田", "松田",   "松田",   "松田町",
      "松田村", "",       "ab",       "ｱｲ",       "予ソ表", "能見",   "圭ソ",   "十",
      "本町",   "本町通", "本町通り", "北本町",   "々",     "松々"};
  sampledata::Description sample;
  sampledata::Description national;
  ASSERT_TRUE(SampleAndNational(&sample, &national));
  std::vector<int> towns(national.municipalities.size(), 0);
  for (const auto& o : national.oaza) ++towns[static_cast<std::size_t>(o.municipality)];
  const int largest =
      static_cast<int>(std::max_element(towns.begin(), towns.end()) - towns.begin());
  std::size_t fromNational = 0;
  for (const auto& o : national.oaza) {
    if (o.municipality == largest && o.IsOaza()) {
      names.push_back(o.oazaName);
      ++fromNational;
    }
  }
  ASSERT_GT(fromNational, 200u);
  ASSERT_LT(names.size(), 65535u);

  NameTable table;
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto row = static_cast<uint16_t>(n + 1);
    // As the oaza level files them: by key, a name without one by its heads.
    if (!table.AddKey(row, names[n].c_str(), rules))
      table.AddName(row, names[n].c_str(), &dictionaries.extra, true, true);
  }
  const auto count = static_cast<uint16_t>(names.size());
  table.Finish(count);
  ASSERT_TRUE(table.Keyed());

  int taken = 0;
  std::size_t tried = 0;
  std::size_t texts = 0;
  for (const std::string& name : names) {
    for (const std::string& text : WrittenVariants(name)) {
      NameQuery query;
      query.AddText(text.c_str(), &dictionaries.extra);
      query.AddChangingPairs(&dictionaries.replacements);
      query.AddKeyText(text.c_str(), rules);
      if (const std::string expanded = ExpandIterationMark(text); !expanded.empty())
        query.AddKeyText(expanded.c_str(), rules);
      const std::vector<uint16_t> rows = Rows(table, query, count);
      ++texts;
      tried += rows.size();
      for (std::size_t n = 0; n < names.size(); ++n) {
        for (const int direction : {0, 1}) {
          int flag = 0;
          if (CompareNameVariantsKanji(text.c_str(), names[n].c_str(), &dictionaries.unification,
                                       &dictionaries.replacements, direction, &dictionaries.extra,
                                       &flag) <= 0 &&
              !(names[n].empty()))
            continue;
          ++taken;
          EXPECT_TRUE(std::binary_search(rows.begin(), rows.end(), n + 1))
              << Show(names[n].c_str()) << " left out for " << Show(text.c_str());
        }
      }
    }
  }
  EXPECT_GT(taken, 2000);
  // A text tries a few rows: under a tenth of them on average.
  EXPECT_LT(tried * 10, texts * names.size());
}

// Finished rules make a key with one look per character: the keys the
// rules' own lists give (the kanji of levels 1 and 2, less the pairs'
// characters, the aza, direction and street words and the numerals), for
// every double-byte code there is, alone, between firm kanji and before a
// unit word, as a text and as a name.
TEST(NameKeyRules, FinishedRulesKeyEveryCharacterAsTheirListsSay) {
  char msg[kMessageSize] = "";
  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(sample::Folder(), &lease, msg), 1) << Show(msg);
  NameKeyRules finished;
  finished.AddPairs(&lease.Get()->extra);
  finished.AddPairs(&lease.Get()->replacements);
  finished.Finish();
  ASSERT_FALSE(finished.loose.empty());
  NameKeyRules listed = finished;
  listed.firm.clear();  // each character looked up in the lists
  int firm = 0;
  int differing = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x01; trail <= 0xFF; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      for (const std::string& text : {code, "松" + code + "田", "松" + code + "町"}) {
        for (const bool name : {false, true}) {
          std::string fast;
          std::string slow;
          finished.KeyOf(text.c_str(), name, &fast);
          listed.KeyOf(text.c_str(), name, &slow);
          if (fast != slow && ++differing <= 5)
            ADD_FAILURE() << Show(text.c_str()) << ": " << Show(fast.c_str()) << " against "
                          << Show(slow.c_str());
        }
      }
      std::string key;
      finished.KeyOf(code.c_str(), false, &key);
      firm += key.empty() ? 0 : 1;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(firm, 6000);
  std::string key;
  finished.KeyOf("一松大町東字三田", false, &key);
  EXPECT_EQ(key, "松田");
}

// The key of a text given by its bytes is the key of the text they hold:
// up to the view's end (bytes after it, a lead byte alone at its end, are
// not read as a character) or to a NUL among them; for every double-byte
// code (a second byte of 0 included), by finished rules and by the lists.
TEST(NameKeyRules, KeysOfBytesAreTheKeysOfTheTextTheyHold) {
  char msg[kMessageSize] = "";
  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(sample::Folder(), &lease, msg), 1) << Show(msg);
  NameKeyRules finished;
  finished.AddPairs(&lease.Get()->extra);
  finished.AddPairs(&lease.Get()->replacements);
  finished.Finish();
  NameKeyRules listed = finished;
  listed.firm.clear();
  int differing = 0;
  int keyed = 0;
  auto expectKey = [&](const std::string& held, std::size_t length, const std::string& text) {
    for (const NameKeyRules* rules : {&finished, &listed}) {
      for (const bool name : {false, true}) {
        std::string expected;
        rules->KeyOf(text.c_str(), name, &expected);
        std::string out(held.size() + 1, '\x7F');
        const std::size_t got =
            rules->KeyInto(std::string_view(held.data(), length), name, out.data());
        keyed += got > 0;
        if (out.substr(0, got) != expected && ++differing <= 5)
          ADD_FAILURE() << Show(held.c_str()) << " (" << length
                        << " bytes): " << Show(out.substr(0, got)) << " against " << Show(expected);
      }
    }
  };
  for (int lead = 0x81; lead <= 0xFF; ++lead) {
    const std::string alone(1, static_cast<char>(lead));
    // A lead byte alone at the view's end, a firm character after it.
    expectKey("松" + alone + "田", 3, "松" + alone);
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string text = std::string("松") + code + "田";
      expectKey(text + "野", text.size(), text.c_str());  // (a NUL ends it)
      expectKey(text + '\0' + "野", text.size() + 2, text.c_str());
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(keyed, 100000);
}

// A keyed table comes back from its image as it was made; an image cut
// short anywhere, or viewed for another count of rows, is refused. Keys
// that are no finished list of the rows (out of order, a repeat, an empty
// key, half a character, a row beyond the count or 0, starts beyond the
// key bytes) are not looked for when an image is viewed (the store checks
// its bytes whole): selecting through them still gives rows of 1..count
// only, ascending and each once, and reads nothing outside the image.
TEST(NameTable, KeyedImagesComeBackAsMadeAndBadKeysStayWithinTheRows) {
  NameKeyRules rules;
  rules.Finish();
  NameTable made;
  const char* names[] = {"高野", "松田町", "松田", "上町", "表ソ"};
  for (uint16_t row = 1; row <= 5; ++row) {
    if (!made.AddKey(row, names[row - 1], rules))
      made.AddName(row, names[row - 1], nullptr, true, true);
  }
  made.Finish(5);
  // 高野, 松田 (of 松田町 and 松田, by row), 表; 上町 has no key.
  std::vector<uint16_t> keyRows;
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < made.KeyCount(); ++i) {
    keyRows.push_back(made.KeyRowAt(i));
    keys.emplace_back(made.KeyAt(i));
  }
  ASSERT_EQ(keyRows, std::vector<uint16_t>({1, 2, 3, 5}));
  ASSERT_EQ(keys, std::vector<std::string>({"高野", "松田", "松田", "表"}));
  ASSERT_FALSE(made.Heads().empty());

  // Viewed in a copy of exactly the image's bytes.
  auto view = [](const std::string& image, uint16_t count, NameTable* out) {
    const plat::DerivedBytes copy = AlignedCopy(image);
    return out->View(copy.bytes.data(), copy.bytes.size(), count, copy.hold);
  };
  std::string image;
  made.AppendTo(&image);
  NameTable back;
  ASSERT_TRUE(view(image, 5, &back));
  EXPECT_TRUE(back.Keyed());
  EXPECT_EQ(back.Image(), made.Image());
  EXPECT_FALSE(view(image, 4, &back)) << "a table of five rows is no table of four";
  EXPECT_FALSE(view(image, 6, &back)) << "nor one of six";
  for (std::size_t cut = 0; cut < image.size(); ++cut) {
    NameTable partial;
    EXPECT_FALSE(view(image.substr(0, cut), 5, &partial)) << "cut at " << cut;
    EXPECT_FALSE(partial.complete);
  }

  const std::vector<std::string> texts = {"高野１", "松田町２", "松田",   "表ソ", "上町",
                                          "松",     "高",       "表参道", "野田", ""};
  auto query = [&](const std::string& text) {
    NameQuery q;
    q.AddText(text.c_str(), nullptr);
    q.AddKeyText(text.c_str(), rules);
    return q;
  };
  for (const std::string& text : texts)
    EXPECT_EQ(Rows(back, query(text), 5), Rows(made, query(text), 5)) << Show(text.c_str());

  NameTableHeader header;
  std::memcpy(&header, image.data(), sizeof header);
  auto at = [&](NameTableHeader::Section s, std::size_t i, std::size_t size) {
    return header.sections[s].offset + i * size;
  };
  auto put16 = [&](std::string* bytes, std::size_t offset, uint16_t v) {
    std::memcpy(bytes->data() + offset, &v, sizeof v);
  };
  auto put32 = [&](std::string* bytes, std::size_t offset, uint32_t v) {
    std::memcpy(bytes->data() + offset, &v, sizeof v);
  };
  const auto rowsAt = NameTableHeader::kKeyRows;
  const auto startsAt = NameTableHeader::kKeyStarts;
  const auto bytesAt = NameTableHeader::kKeyBytes;
  std::vector<std::pair<const char*, std::string>> bad;
  auto add = [&](const char* what, auto change) {
    std::string bytes = image;
    change(&bytes);
    bad.emplace_back(what, std::move(bytes));
  };
  add("rows of one key out of order", [&](std::string* b) {
    put16(b, at(rowsAt, 1, 2), 3);
    put16(b, at(rowsAt, 2, 2), 2);
  });
  add("a repeat", [&](std::string* b) { put16(b, at(rowsAt, 2, 2), 2); });
  add("an empty key", [&](std::string* b) { put32(b, at(startsAt, 1, 4), 8); });
  add("half a character", [&](std::string* b) { put32(b, at(startsAt, 1, 4), 3); });
  add("keys out of order", [&](std::string* b) {
    // 松田 before 高野.
    std::swap_ranges(b->begin() + static_cast<std::ptrdiff_t>(at(bytesAt, 0, 1)),
                     b->begin() + static_cast<std::ptrdiff_t>(at(bytesAt, 4, 1)),
                     b->begin() + static_cast<std::ptrdiff_t>(at(bytesAt, 4, 1)));
  });
  add("a row beyond the count", [&](std::string* b) { put16(b, at(rowsAt, 3, 2), 6); });
  add("the last row there is", [&](std::string* b) { put16(b, at(rowsAt, 0, 2), 0xFFFF); });
  add("row 0", [&](std::string* b) { put16(b, at(rowsAt, 1, 2), 0); });
  add("a start beyond the bytes", [&](std::string* b) { put32(b, at(startsAt, 2, 4), 1000); });
  add("the end beyond the bytes",
      [&](std::string* b) { put32(b, at(startsAt, 4, 4), 0xFFFFFFFF); });
  add("starts descending", [&](std::string* b) {
    for (uint32_t i = 0; i <= 4; ++i) put32(b, at(startsAt, i, 4), 14 - 3 * i);
  });
  for (const auto& [what, bytes] : bad) {
    NameTable viewed;
    ASSERT_TRUE(view(bytes, 5, &viewed)) << what;
    for (const std::string& text : texts) {
      const std::vector<uint16_t> rows = Rows(viewed, query(text), 5);
      EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end())) << what;
      EXPECT_EQ(std::adjacent_find(rows.begin(), rows.end()), rows.end()) << what;
      for (const uint16_t row : rows) {
        EXPECT_TRUE(row >= 1 && row <= 5)
            << what << ": row " << row << " for " << Show(text.c_str());
      }
    }
  }
}

// The table of names as the levels make it (the replacement pairs applied
// only to the names they can change) against the table of its definition:
// the heads of each name as it is, of the name after the pairs and of its
// first character after the pairs, every pair list applied to every name.
// Over every municipality, oaza and aza/chome name of the sample and of
// the national-shape set, with the folder's extra pairs, its replacement
// pairs (many, some of one character) and pairs made to change heads.
TEST(NameTable, PairsAppliedOnlyWhereTheyCanChangeANameGiveTheDefinedTable) {
  sampledata::Description sample;
  sampledata::Description national;
  ASSERT_TRUE(SampleAndNational(&sample, &national));
  char msg[kMessageSize] = "";
  std::set<std::string> unique;
  for (const sampledata::Description* d : {&sample, &national}) {
    for (const auto& m : d->municipalities) {
      unique.insert(m.county + m.name);
      unique.insert(m.name);
    }
    for (const auto& o : d->oaza) {
      unique.insert(o.oazaName);
      unique.insert(o.chomeName);
      unique.insert(o.oazaKana);
    }
  }
  const std::vector<std::string> names(unique.begin(), unique.end());
  ASSERT_GT(names.size(), 20000u);

  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(sample::Folder(), &lease, msg), 1) << Show(msg);
  ASSERT_GT(lease.Get()->extra.GetCount(), 0u);
  ASSERT_GT(lease.Get()->replacements.GetCount(), 0u);
  // Pairs that change heads; a search text that ends in a lead byte (which
  // a search compares as a character: no name is left alone).
  CRecordList heads;
  FillList(heads, {{"旧", ""}, {"大字", ""}, {"ケ", "が"}, {"本", "元"}, {"東", "ひがし"}});
  CRecordList leadByte;
  FillList(leadByte, {{"\x82", "x"}, {"東", "ひがし"}});
  int changed = 0;
  const CRecordList* lists[] = {&lease.Get()->extra, &lease.Get()->replacements, &heads, &leadByte};
  for (const CRecordList* extra : lists) {
    for (const int flags : {0, 1, 2, 3}) {
      const bool withHeadAlone = (flags & 1) != 0;
      const bool withSecond = (flags & 2) != 0;
      for (std::size_t from = 0; from < names.size(); from += 60000) {
        const std::size_t to = std::min(names.size(), from + 60000);
        NameTable made;
        NameTable defined;
        NameTable plain;
        for (std::size_t i = from; i < to; ++i) {
          const auto row = static_cast<uint16_t>(i - from + 1);
          const char* name = names[i].c_str();
          made.AddName(row, name, extra, withHeadAlone, true, withSecond);
          plain.AddName(row, name, nullptr, withHeadAlone, true, withSecond);
          defined.AddName(row, name, nullptr, false, true, withSecond);
          char edited[kMaxSearchTextLength + 1];
          std::snprintf(edited, sizeof edited, "%s", name);
          if (ApplyReplacementPairs(extra, edited, sizeof edited)) {
            changed += names[i] != edited;
            defined.AddName(row, edited, nullptr, false, false, withSecond);
          }
          if (withHeadAlone && name[0] != '\0') {
            const unsigned char lead = static_cast<unsigned char>(name[0]);
            const bool twoBytes = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
            const std::size_t length = twoBytes && name[1] != '\0' ? 2 : 1;
            std::snprintf(edited, sizeof edited, "%.*s", static_cast<int>(length), name);
            if (ApplyReplacementPairs(extra, edited, sizeof edited))
              defined.AddName(row, edited, nullptr, false, false, withSecond);
          }
        }
        const auto rows = static_cast<uint16_t>(to - from);
        made.Finish(rows);
        defined.Finish(rows);
        plain.Finish(rows);
        EXPECT_EQ(Listed(made.Heads()), Listed(defined.Heads()));
        EXPECT_EQ(Listed(made.Pairs()), Listed(defined.Pairs()));
        EXPECT_EQ(Listed(made.Always()), Listed(defined.Always()));
        EXPECT_EQ(Listed(made.Windows()), Listed(plain.Windows()));
        EXPECT_EQ(Listed(made.Numerals()), Listed(plain.Numerals()));
      }
    }
  }
  EXPECT_GT(changed, 1000);
  heads.Free();
  leadByte.Free();
}

// One address through the validating buffer entry: the answer and the line.
std::string MatchLine(const std::string& folder, const std::string& address, int32_t flags,
                      int32_t kind) {
  char buffer[4096] = "";
  char message[kMessageSize] = "";
  char text[600];
  std::snprintf(text, sizeof text, "%s", address.c_str());
  const int r = MatchAddressesToBuffer(buffer, sizeof buffer, text, flags, 1, folder.c_str(),
                                       message, 0, kind, 1, 1, 1, 1, 1, "VRG_EXTEND");
  return std::to_string(r) + "|" + buffer + "|" + message;
}

// The texts of the comparison: the corpus, each also cut after half its
// characters, and with its first character after a prefecture name left out.
std::vector<std::string> ComparisonTexts() {
  sampledata::Description d;
  char msg[kMessageSize] = "";
  if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &d, msg))
    return {};
  std::vector<std::string> texts;
  for (const std::string& address : sampledata::MakeAddressCorpus(d)) {
    texts.push_back(address);
    std::size_t half = 0;
    for (std::size_t i = 0, chars = 0; i < address.size(); ++chars) {
      if (chars * 2 >= address.size() / 2 && half == 0) half = i;
      const unsigned char c = static_cast<unsigned char>(address[i]);
      i += ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
    }
    if (half > 0) texts.push_back(address.substr(0, half));
  }
  return texts;
}

// Matching through the tables gives, line for line, what the plain scan of
// every row gives: with and without the prefecture, with the estimation
// switched on, in kanji and in hiragana search texts.
TEST(NameCandidates, TablesMatchLikeThePlainScanOverTheSample) {
  const std::string folder = sample::Folder();
  ASSERT_FALSE(folder.empty());
  const std::vector<std::string> texts = ComparisonTexts();
  ASSERT_GT(texts.size(), 2000u);
  int differing = 0;
  int matched = 0;
  for (const int32_t flags : {0, 0x10}) {
    for (const std::string& text : texts) {
      const std::string indexed = MatchLine(folder, text, flags, 1);
      std::string plain;
      {
        const CNameCandidateSourceScope scan(&EveryRowSource());
        plain = MatchLine(folder, text, flags, 1);
      }
      if (indexed[0] == '1') ++matched;
      if (indexed != plain && ++differing <= 10) {
        ADD_FAILURE() << Show(text.c_str()) << "\n tables: " << Show(indexed.c_str())
                      << "\n scan:   " << Show(plain.c_str());
      }
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(matched, static_cast<int>(texts.size()));
}

// The same on a data set of the country's shape (all 47 prefectures, a
// twentieth of the municipalities, names shared across municipalities and
// prefectures): addresses with and without the prefecture and ones not in
// the data, each also cut after half its characters.
TEST(NameCandidates, TablesMatchLikeThePlainScanOverANationalShape) {
  testutil::TempDir dir;
  sampledata::Description d;
  std::string folder;
  ASSERT_TRUE(sample::MakeNationalShapeFolder(7, 5, dir, &d, &folder));
  const sampledata::NationalAddresses a = sampledata::MakeNationalAddresses(d, 7, 700);
  std::vector<std::string> texts;
  for (const auto* list : {&a.withPrefecture, &a.withoutPrefecture, &a.notInData}) {
    for (const std::string& address : *list) {
      texts.push_back(address);
      texts.push_back(address.substr(0, address.size() / 4 * 2));
    }
  }
  ASSERT_GT(texts.size(), 4000u);
  int differing = 0;
  int matched = 0;
  for (const std::string& text : texts) {
    const std::string indexed = MatchLine(folder, text, 0, 1);
    std::string plain;
    {
      const CNameCandidateSourceScope scan(&EveryRowSource());
      plain = MatchLine(folder, text, 0, 1);
    }
    if (indexed[0] == '1') ++matched;
    if (indexed != plain && ++differing <= 10) {
      ADD_FAILURE() << Show(text.c_str()) << "\n tables: " << Show(indexed.c_str())
                    << "\n scan:   " << Show(plain.c_str());
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(matched, static_cast<int>(texts.size()) / 3);
}

// The scan without a prefecture name leaves prefectures out by the input
// normalised alone: that must be what follows every prefecture name when
// the two are normalised together, in kanji and in readings.
TEST(NameCandidates, InputNormalisesAloneAsAfterEveryPrefectureName) {
  const std::string folder = sample::Folder();
  ASSERT_FALSE(folder.empty());
  CDictionaryLease lease;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1) << Show(msg);
  FolderDictionaries* d = lease.Get();
  std::vector<std::string> texts;
  const std::vector<std::string> all = ComparisonTexts();
  for (std::size_t n = 0; n < all.size(); n += 8) texts.push_back(all[n]);
  for (const char* odd : {"ｶﾞｰﾃﾞﾝ１丁目", "三条通", "一二三", "十", "－１", "地割１", "ノ３",
                          "ヶ丘", "ぁ", "条", "二〇〇〇番", "千代田区"})
    texts.push_back(odd);
  int compared = 0;
  for (const std::string& text : texts) {
    CEditText alone;
    ASSERT_TRUE(alone.Init(text.c_str()));
    NormalizeEditText(nullptr, &d->unification, &alone);
    for (int32_t j = 1; j <= kPrefectureCount; ++j) {
      for (const bool kanji : {true, false}) {
        char name[kPrefectureTextSize * 4] = {};
        if (kanji) {
          GetPrefectureName(j, name);
        } else {
          GetPrefectureKana(j, name);
        }
        NormalizeSearchText(&d->replacements, &d->unification, name, sizeof name);
        CEditText both;
        ASSERT_TRUE(both.Init((std::string(name) + text).c_str()));
        NormalizeEditText(nullptr, &d->unification, &both);
        EXPECT_EQ(std::string(both.GetText()), std::string(name) + alone.GetText())
            << Show(name) << " + " << Show(text.c_str());
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 50000);
}

}  // namespace
