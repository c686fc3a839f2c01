// The images of the name tables: a table viewed in its image (as a later
// process takes it from the store) selects the rows the table it was made
// from selects; an image of another shape is refused; an image whose lists
// hold what no finished table holds is selected through without a row
// outside the table's rows and without a read outside the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/message.h"
#include "matching/data_folder_cache.h"
#include "matching/derived_bytes.h"
#include "matching/name_candidates.h"
#include "matching/name_compare.h"
#include "sample_folder.h"
#include "support/long_prefix_names.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"

namespace {

using testutil::Show;

// The sample folder's pairs and the key rules made of them.
class SamplePairs {
 public:
  SamplePairs() {
    char msg[kMessageSize] = "";
    ok_ = LeaseFolderDictionaries(sample::Folder(), &lease_, msg) == 1;
    if (!ok_) return;
    rules_.AddPairs(extra());
    rules_.AddPairs(replacements());
    rules_.Finish();
  }
  bool ok() const { return ok_ && !rules_.unbounded && extra()->GetCount() > 0; }
  const CRecordList* extra() const { return &lease_.Get()->extra; }
  const CRecordList* replacements() const { return &lease_.Get()->replacements; }
  const NameKeyRules& rules() const { return rules_; }

 private:
  bool ok_ = false;
  CDictionaryLease lease_;
  NameKeyRules rules_;
};

using testutil::LongPrefixNames;

// Names for the edge cases: no key, numerals, single-byte and empty names,
// trail bytes 0x5C and ASCII letters, iteration marks, pair texts.
const std::vector<std::string>& EdgeNames() {
  static const std::vector<std::string> names = {
      "表町", "ソ連町", "ア丁目", "佐々木", "一の瀬", "十日町", "１０日町", "三番町",   "上町",
      "",     "ab",     "ｱｲ",     "予ソ表", "々",     "松々",   "恵比須",   "大字松田", "東"};
  return names;
}

// How a level files its names.
enum class Kind {
  kOaza,            // kanji names by their keys, those without one by heads and windows
  kReadings,        // every name by its heads
  kMunicipalities,  // every name by its heads and second characters
};

uint16_t Count(const std::vector<std::string>& names) {
  return static_cast<uint16_t>(names.size());
}

NameTable Made(const std::vector<std::string>& names, Kind kind, const SamplePairs& pairs) {
  NameTable table;
  table.Reserve(names.size(), kind == Kind::kOaza);
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto row = static_cast<uint16_t>(n + 1);
    const char* name = names[n].c_str();
    switch (kind) {
      case Kind::kOaza:
        if (!table.AddKey(row, name, pairs.rules()))
          table.AddName(row, name, pairs.extra(), true, true);
        break;
      case Kind::kReadings:
        table.AddName(row, name, pairs.extra(), true, false);
        break;
      case Kind::kMunicipalities:
        table.AddName(row, name, pairs.extra(), false, false, true);
        break;
    }
  }
  table.Finish(Count(names));
  return table;
}

// The texts compared with the names: each name followed by a number, with
// 大字 in front, cut to its first character or short of its last, with の
// after its first character; and texts of no name.
std::vector<std::string> TextsFor(const std::vector<std::string>& names) {
  std::vector<std::string> texts = {"", "１２３", "五番町", "ab", "xyz", "々", "の"};
  for (const std::string& name : names) {
    texts.push_back(name + "１２３");
    texts.push_back("大字" + name + "２");
    if (name.size() >= 2) {
      texts.push_back(name.substr(0, 2) + "１");
      texts.push_back(name.substr(0, 2) + "の" + name.substr(2));
      texts.push_back(name.substr(0, name.size() - 2));
    }
  }
  return texts;
}

// The query of a level for a text.
NameQuery QueryOf(const std::string& text, Kind kind, const SamplePairs& pairs) {
  NameQuery query;
  query.AddText(text.c_str(), pairs.extra());
  query.AddText(text.c_str(), nullptr, true);
  if (kind == Kind::kOaza) {
    query.AddKeyText(text.c_str(), pairs.rules());
    if (const std::string expanded = ExpandIterationMark(text); !expanded.empty())
      query.AddKeyText(expanded.c_str(), pairs.rules());
    query.AddChangingPairs(pairs.replacements());
  }
  return query;
}

std::vector<uint16_t> Rows(const NameTable& table, const NameQuery& query, uint16_t count) {
  std::vector<uint16_t> rows;
  CurrentNameCandidateSource().Select(&table, query, count, &rows);
  return rows;
}

std::string ImageOf(const NameTable& table) {
  std::string image;
  table.AppendTo(&image);
  return image;
}

// The image viewed in a copy of exactly its bytes (so that a read past
// them is caught under the address sanitizer).
bool ViewCopy(const std::string& image, uint16_t count, NameTable* out) {
  const plat::DerivedBytes copy = AlignedCopy(image);
  return out->View(copy.bytes.data(), copy.bytes.size(), count, copy.hold);
}

// Every list filled: keys, heads, pairs, windows, numerals, always-rows.
struct MixedTable {
  std::vector<std::string> names;
  NameTable table;
  uint16_t count = 0;
};

MixedTable Mixed(const SamplePairs& pairs) {
  MixedTable m;
  m.names = EdgeNames();
  const std::vector<std::string> more = LongPrefixNames();
  m.names.insert(m.names.end(), more.begin(), more.begin() + 40);
  m.count = Count(m.names);
  for (std::size_t n = 0; n < m.names.size(); ++n) {
    const auto row = static_cast<uint16_t>(n + 1);
    const char* name = m.names[n].c_str();
    if (n % 3 != 0 && m.table.AddKey(row, name, pairs.rules())) continue;
    m.table.AddName(row, name, pairs.extra(), true, true, n % 2 == 0);
  }
  m.table.Finish(m.count);
  return m;
}

// A table viewed in its image selects, text by text, the rows the table
// it was made from selects: oaza tables (1,280 names whose keys share long
// prefixes, and the edge cases), readings, municipalities, tables of no
// names and of names no head bounds.
TEST(NameTableImage, ViewedTablesSelectAsTheTablesTheyWereMadeFrom) {
  const SamplePairs pairs;
  ASSERT_TRUE(pairs.ok());
  std::vector<std::string> large = LongPrefixNames();
  large.insert(large.end(), EdgeNames().begin(), EdgeNames().end());
  ASSERT_GT(large.size(), 1122u);
  const std::vector<std::string> readings = {"たかの", "まつだ", "まつだまち", "きりたに",
                                             "いだ",   "ｲﾀﾞ",    "",           "１ばん"};
  const std::vector<std::string> municipalities = {
      "中央区", "港区", "富山市", "高岡市", "上新川郡大山町", "大山町", "５番町", "ab", "千代田区"};
  const std::vector<std::string> unbounded = {"", "ab", "1", "ｱ"};
  struct Case {
    const char* what;
    std::vector<std::string> names;
    Kind kind;
  };
  const std::vector<Case> cases = {
      {"oaza names", large, Kind::kOaza},
      {"readings", readings, Kind::kReadings},
      {"municipalities", municipalities, Kind::kMunicipalities},
      {"no names", {}, Kind::kOaza},
      {"names no head bounds", unbounded, Kind::kReadings},
  };
  for (const Case& c : cases) {
    const NameTable made = Made(c.names, c.kind, pairs);
    ASSERT_TRUE(made.complete) << c.what;
    NameTable viewed;
    ASSERT_TRUE(ViewCopy(ImageOf(made), Count(c.names), &viewed)) << c.what;
    EXPECT_TRUE(viewed.complete) << c.what;
    EXPECT_EQ(viewed.Keyed(), made.Keyed()) << c.what;
    EXPECT_EQ(viewed.KeyCount(), made.KeyCount()) << c.what;
    std::size_t narrowed = 0;
    const std::vector<std::string> texts = TextsFor(c.names);
    for (const std::string& text : texts) {
      const NameQuery query = QueryOf(text, c.kind, pairs);
      const std::vector<uint16_t> rows = Rows(made, query, Count(c.names));
      EXPECT_EQ(Rows(viewed, query, Count(c.names)), rows) << c.what << ": " << Show(text.c_str());
      narrowed += rows.size() < c.names.size() ? 1 : 0;
    }
    if (c.names.size() > 1000) {
      EXPECT_TRUE(made.Keyed());
      EXPECT_GT(made.KeyCount(), 1000u);
      EXPECT_GT(made.Windows().size(), 0u) << "names without a key";
      EXPECT_GT(narrowed * 10, texts.size() * 9) << "most texts try a few rows";
    }
  }
  // The same rows with a table of five rows that lists none of them.
  NameTable none;
  none.Finish(5);
  NameTable viewed;
  ASSERT_TRUE(ViewCopy(ImageOf(none), 5, &viewed));
  for (const char* text : {"高野", "１", "ab"}) {
    const NameQuery query = QueryOf(text, Kind::kReadings, pairs);
    EXPECT_EQ(Rows(viewed, query, 5), Rows(none, query, 5)) << Show(text);
  }
}

// Images appended after other bytes start 8-aligned from the start of the
// value, after zeros, and are read back at the reader's place; a reader
// that meets padding other than zeros refuses it.
TEST(NameTableImage, ImagesAfterOtherBytesStartAlignedAndAreReadBackInTurn) {
  const SamplePairs pairs;
  ASSERT_TRUE(pairs.ok());
  const MixedTable mixed = Mixed(pairs);
  const std::vector<std::string> few = {"中央区", "港区", "５番町"};
  const NameTable small = Made(few, Kind::kMunicipalities, pairs);
  std::string value = "abc";
  mixed.table.AppendTo(&value);
  const std::size_t second = value.size() + 2;
  value += "de";
  small.AppendTo(&value);
  EXPECT_EQ(value.substr(3, 5), std::string(5, '\0'));
  EXPECT_EQ(value.substr(8, mixed.table.Image().size()), mixed.table.Image());
  const std::size_t aligned = (second + 7) / 8 * 8;
  EXPECT_EQ(value.substr(second, aligned - second), std::string(aligned - second, '\0'));
  EXPECT_EQ(value.substr(aligned), small.Image());

  const plat::DerivedBytes copy = AlignedCopy(value);
  CDerivedBytesReader in(copy.bytes.data(), copy.bytes.data() + copy.bytes.size());
  const char* skipped = nullptr;
  NameTable first;
  NameTable last;
  ASSERT_TRUE(in.GetBytes(3, &skipped));
  ASSERT_TRUE(first.View(&in, mixed.count, copy.hold));
  ASSERT_TRUE(in.GetBytes(2, &skipped));
  ASSERT_TRUE(last.View(&in, Count(few), copy.hold));
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(first.Image(), mixed.table.Image());
  EXPECT_EQ(last.Image(), small.Image());
  for (const std::string& text : TextsFor(mixed.names)) {
    const NameQuery query = QueryOf(text, Kind::kOaza, pairs);
    EXPECT_EQ(Rows(first, query, mixed.count), Rows(mixed.table, query, mixed.count))
        << Show(text.c_str());
  }

  std::string dirty = value;
  dirty[5] = 'x';
  const plat::DerivedBytes dirtyCopy = AlignedCopy(dirty);
  CDerivedBytesReader dirtyIn(dirtyCopy.bytes.data(),
                              dirtyCopy.bytes.data() + dirtyCopy.bytes.size());
  NameTable refused;
  ASSERT_TRUE(dirtyIn.GetBytes(3, &skipped));
  EXPECT_FALSE(refused.View(&dirtyIn, mixed.count, dirtyCopy.hold));
  EXPECT_FALSE(refused.complete);
}

// View takes an image only of the shape a finished table of the count
// writes: refused when cut short anywhere or longer, at an address that is
// not 8-aligned, for another count, with another magic or format, with a
// list that does not lie within the image or is off its alignment, with
// key lists that do not fit each other; a table that refuses an image
// stays as it was.
TEST(NameTableImage, ViewRefusesAnImageOfAnotherShape) {
  const SamplePairs pairs;
  ASSERT_TRUE(pairs.ok());
  const MixedTable mixed = Mixed(pairs);
  const std::string image = ImageOf(mixed.table);
  const uint16_t count = mixed.count;
  NameTableHeader header;
  std::memcpy(&header, image.data(), sizeof header);
  for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s)
    ASSERT_GT(header.sections[s].count, 0u) << "section " << s << " empty";

  NameTable kept;
  ASSERT_TRUE(ViewCopy(image, count, &kept));
  auto refused = [&](const std::string& bytes, uint16_t n, const std::string& what) {
    NameTable table = kept;
    EXPECT_FALSE(ViewCopy(bytes, n, &table)) << what;
    EXPECT_TRUE(table.complete && table.Image() == kept.Image()) << what << ": left as it was";
  };
  for (std::size_t cut = 0; cut < image.size(); ++cut)
    refused(image.substr(0, cut), count, "cut at " + std::to_string(cut));
  refused(image + std::string(8, '\0'), count, "longer");
  refused(image, static_cast<uint16_t>(count - 1), "fewer rows");
  refused(image, static_cast<uint16_t>(count + 1), "more rows");
  refused(image, 0, "no rows");

  // Not 8-aligned: an aligned copy of the image placed 1 and 4 bytes in.
  for (const std::size_t shift : {1, 4}) {
    const plat::DerivedBytes copy = AlignedCopy(std::string(shift, '\0') + image);
    NameTable table;
    EXPECT_FALSE(table.View(copy.bytes.data() + shift, image.size(), count, copy.hold)) << shift;
  }
  NameTable table;
  EXPECT_FALSE(table.View(nullptr, 0, 0, nullptr));

  auto withHeader = [&](auto change) {
    NameTableHeader h = header;
    change(&h);
    std::string bytes = image;
    std::memcpy(bytes.data(), &h, sizeof h);
    return bytes;
  };
  refused(withHeader([](NameTableHeader* h) { h->magic ^= 1; }), count, "magic");
  refused(withHeader([](NameTableHeader* h) { ++h->format; }), count, "format");
  refused(withHeader([](NameTableHeader* h) { h->keyed = 2; }), count, "keyed 2");
  refused(withHeader([](NameTableHeader* h) { h->keyed = 0; }), count, "key lists, not keyed");
  refused(withHeader([](NameTableHeader* h) { h->size += 8; }), count, "a size beyond the bytes");
  refused(withHeader([](NameTableHeader* h) { h->size = sizeof *h; }), count, "a size short");
  refused(withHeader([](NameTableHeader* h) { --h->sections[NameTableHeader::kKeyStarts].count; }),
          count, "key starts short of the keys");
  refused(withHeader([](NameTableHeader* h) { ++h->sections[NameTableHeader::kKeyRows].count; }),
          count, "more key rows than starts");
  const std::size_t sizes[NameTableHeader::kSectionCount] = {4, 8, 4, 2, 2, 4, 2, 1};
  for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
    const std::string of = " of section " + std::to_string(s);
    const uint32_t size = header.size;
    refused(withHeader([&](NameTableHeader* h) { h->sections[s].offset = size + 8; }), count,
            "an offset beyond the image" + of);
    refused(withHeader([&](NameTableHeader* h) {
              h->sections[s].offset = size;
              h->sections[s].count = 1;
            }),
            count, "a list at the end" + of);
    refused(withHeader([&](NameTableHeader* h) {
              h->sections[s].count =
                  static_cast<uint32_t>((size - h->sections[s].offset) / sizes[s] + 1);
            }),
            count, "a list past the end" + of);
    refused(withHeader([&](NameTableHeader* h) { h->sections[s].count = 0xFFFFFFFF; }), count,
            "a count without bytes" + of);
    refused(withHeader([&](NameTableHeader* h) { h->sections[s].offset += 2; }), count,
            "off alignment" + of);
    refused(withHeader([&](NameTableHeader* h) { h->sections[s].offset = 8; }), count,
            "within the header" + of);
  }
}

// An image of the right shape whose lists hold anything (rows 0, beyond
// the count or 0xFFFF in every list, lists out of order, key starts beyond
// the key bytes, bytes at random) is viewed, and selecting through it
// gives rows of 1..count only, ascending and each once, reading nothing
// outside the image.
TEST(NameTableImage, SelectingThroughAnyListsStaysWithinTheRowsAndTheImage) {
  const SamplePairs pairs;
  ASSERT_TRUE(pairs.ok());
  const MixedTable mixed = Mixed(pairs);
  const std::string image = ImageOf(mixed.table);
  const uint16_t count = mixed.count;
  NameTableHeader header;
  std::memcpy(&header, image.data(), sizeof header);
  std::vector<std::string> texts = TextsFor(mixed.names);
  const std::size_t kSizes[NameTableHeader::kSectionCount] = {4, 8, 4, 2, 2, 4, 2, 1};

  std::vector<std::pair<std::string, std::string>> images;
  // Every row number of every list set to one outside the rows.
  for (const uint32_t row : {0u, count + 1u, 0xFFFFu}) {
    std::string bytes = image;
    for (const auto s :
         {NameTableHeader::kHeads, NameTableHeader::kPairs, NameTableHeader::kWindows,
          NameTableHeader::kNumerals, NameTableHeader::kAlways, NameTableHeader::kKeyRows}) {
      for (uint32_t i = 0; i < header.sections[s].count; ++i) {
        const std::size_t at = header.sections[s].offset + i * kSizes[s];
        const auto low = static_cast<uint16_t>(row);
        std::memcpy(bytes.data() + at, &low, 2);  // the row: the low 16 bits
      }
    }
    images.emplace_back("rows " + std::to_string(row), bytes);
  }
  // Every list backwards.
  {
    std::string bytes = image;
    for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
      const NameTableHeader::Extent& e = header.sections[s];
      for (uint32_t i = 0, j = e.count - 1; i < j; ++i, --j)
        std::swap_ranges(bytes.begin() + e.offset + i * kSizes[s],
                         bytes.begin() + e.offset + (i + 1) * kSizes[s],
                         bytes.begin() + e.offset + j * kSizes[s]);
    }
    images.emplace_back("backwards", bytes);
  }
  // Key starts beyond the key bytes, and each start past the next.
  for (const uint32_t start :
       {header.sections[NameTableHeader::kKeyBytes].count + 1, 0xFFFFFFFFu}) {
    std::string bytes = image;
    const NameTableHeader::Extent& e = header.sections[NameTableHeader::kKeyStarts];
    for (uint32_t i = 0; i < e.count; i += 2)
      std::memcpy(bytes.data() + e.offset + 4 * i, &start, 4);
    images.emplace_back("starts " + std::to_string(start), bytes);
  }
  // Bytes at random after the header.
  std::mt19937 random(11);
  for (int seed = 0; seed < 24; ++seed) {
    std::string bytes = image;
    for (std::size_t at = sizeof header; at < bytes.size(); ++at)
      bytes[at] = static_cast<char>(random() & 0xFF);
    images.emplace_back("random " + std::to_string(seed), bytes);
  }

  for (const auto& [what, bytes] : images) {
    NameTable viewed;
    ASSERT_TRUE(ViewCopy(bytes, count, &viewed)) << what;
    for (const std::string& text : texts) {
      const std::vector<uint16_t> rows = Rows(viewed, QueryOf(text, Kind::kOaza, pairs), count);
      ASSERT_TRUE(std::is_sorted(rows.begin(), rows.end())) << what << ": " << Show(text.c_str());
      ASSERT_EQ(std::adjacent_find(rows.begin(), rows.end()), rows.end()) << what;
      for (const uint16_t row : rows)
        ASSERT_TRUE(row >= 1 && row <= count) << what << ": row " << row;
    }
  }
}

// A finished table's keys stand ascending by key, then row, each (key,
// row) once, as a whole sort of what was added would leave them: keys that
// share their first eight bytes or more, end at 8 or 16 bytes or between,
// repeat in a row and across rows; rows added ascending, descending and
// shuffled.
TEST(NameTable, KeysStandAsAWholeSortWouldLeaveThem) {
  NameKeyRules rules;
  rules.Finish();
  std::vector<std::string> names = LongPrefixNames();
  for (const char* name :
       {"婦中町富", "婦中町富川", "婦中町富川高", "婦中町富川高野松", "婦中町富川高野松田",
        "婦中町富川高野松田黒", "婦中町富川高野松田黒瀬岩木"})
    names.push_back(name);
  std::vector<uint16_t> ascending;
  std::vector<std::string> added;
  for (std::size_t n = 0; n < names.size(); ++n) {
    ascending.push_back(static_cast<uint16_t>(n + 1));
    added.push_back(names[n]);
    if (n % 5 == 0) {  // a row with its name twice, and a name in another row
      ascending.push_back(static_cast<uint16_t>(n + 1));
      added.push_back(names[n]);
      ascending.push_back(static_cast<uint16_t>(names.size() - n));
      added.push_back(names[n]);
    }
  }
  std::vector<std::size_t> order(added.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<std::size_t> descending(order.rbegin(), order.rend());
  std::vector<std::size_t> shuffled = order;
  std::mt19937 random(3);
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  const auto count = static_cast<uint16_t>(names.size());
  for (const std::vector<std::size_t>* o : {&order, &descending, &shuffled}) {
    NameTable table;
    std::set<std::pair<std::string, uint16_t>> reference;
    for (const std::size_t i : *o) {
      const char* name = added[i].c_str();
      std::string key;
      rules.KeyOf(name, true, &key);
      EXPECT_EQ(table.AddKey(ascending[i], name, rules), !key.empty()) << Show(name);
      if (!key.empty()) reference.emplace(key, ascending[i]);
    }
    table.Finish(count);
    ASSERT_EQ(table.KeyCount(), reference.size());
    std::size_t i = 0;
    std::size_t longShared = 0;
    for (const auto& [key, row] : reference) {
      EXPECT_EQ(table.KeyAt(i), key) << i;
      EXPECT_EQ(table.KeyRowAt(i), row) << i;
      if (i > 0 && key.size() > 8 && table.KeyAt(i - 1).substr(0, 8) == key.substr(0, 8))
        ++longShared;
      ++i;
    }
    EXPECT_GT(longShared, 100u);
    // The image's bytes after each list (the room of the repeats left
    // out, among them) are zeros, and the image views back as made.
    const std::string_view image = table.Image();
    NameTableHeader header;
    ASSERT_GE(image.size(), sizeof header);
    std::memcpy(&header, image.data(), sizeof header);
    constexpr std::size_t kSizes[] = {4, 8, 4, 2, 2, 4, 2, 1};
    for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
      const NameTableHeader::Extent e = header.sections[s];
      const std::size_t end = e.offset + e.count * kSizes[s];
      const std::size_t next =
          s + 1 < NameTableHeader::kSectionCount ? header.sections[s + 1].offset : image.size();
      ASSERT_LE(end, next) << s;
      EXPECT_EQ(image.substr(end, next - end).find_first_not_of('\0'), std::string_view::npos) << s;
    }
    EXPECT_EQ(header.sections[NameTableHeader::kKeyRows].count, reference.size());
    std::string stored;
    table.AppendTo(&stored);
    const plat::DerivedBytes copy = AlignedCopy(stored);
    NameTable back;
    ASSERT_TRUE(back.View(copy.bytes.data(), copy.bytes.size(), count, copy.hold));
    ASSERT_EQ(back.KeyCount(), reference.size());
    for (std::size_t k = 0; k < back.KeyCount(); ++k) {
      EXPECT_EQ(back.KeyAt(k), table.KeyAt(k));
      EXPECT_EQ(back.KeyRowAt(k), table.KeyRowAt(k));
    }
  }
}

// A table made of names given by their bytes (ending where a view of them
// ends, or at a NUL among them) is the table of the texts they hold; a
// table given every name twice (by its key or by its heads) is the table
// given each once.
TEST(NameTable, NamesByTheirBytesOrTwiceGiveTheTableOfTheirTexts) {
  const SamplePairs pairs;
  ASSERT_TRUE(pairs.ok());
  std::vector<std::string> names = LongPrefixNames();
  for (const std::string& name : EdgeNames()) names.push_back(name);
  const auto count = Count(names);
  auto add = [&](NameTable* table, uint16_t row, std::string_view bytes, const std::string& text) {
    if (!table->AddKey(row, bytes, pairs.rules()))
      table->AddName(row, text.c_str(), pairs.extra(), true, true);
  };
  NameTable once;
  NameTable byBytes;
  NameTable twice;
  for (NameTable* t : {&once, &byBytes, &twice}) t->Reserve(names.size(), true);
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto row = static_cast<uint16_t>(n + 1);
    const std::string& name = names[n];
    add(&once, row, name, name);
    // Other bytes after the view's end, or after a NUL within it.
    const std::string held = n % 2 == 0 ? name + "松田" : name + '\0' + "松田";
    const std::string_view bytes(held.data(), n % 2 == 0 ? name.size() : held.size());
    add(&byBytes, row, bytes, name);
    add(&twice, row, name, name);
    add(&twice, row, bytes, name);
  }
  for (NameTable* t : {&once, &byBytes, &twice}) t->Finish(count);
  ASSERT_TRUE(once.Keyed());
  EXPECT_GT(once.KeyCount(), 1000u);
  EXPECT_FALSE(once.Always().empty());
  EXPECT_TRUE(byBytes.Image() == once.Image());
  EXPECT_TRUE(twice.Image() == once.Image());
}

}  // namespace
