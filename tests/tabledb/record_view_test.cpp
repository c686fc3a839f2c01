// Fields read through a record read once (CTableDatabase::ReadRecord and
// the getters on its view) against the same fields read by record
// position: every typed getter at every field's offset, at the record's
// last bytes and past them, with text and object buffers too small, on the
// intact file (read from its image and opened for update) and on damaged
// copies (cut short, bits flipped, words replaced). Each pair of reads must
// give the same answer and leave the same bytes in every output.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "tabledb/table_database.h"

using testutil::TempDir;

namespace {

constexpr const char* kTable = "TC_Oaza";
constexpr const char* kSmall = "TC_Gaiku";

// The first table's fields, one of every type with a typed getter; the
// last one ends the record.
struct FieldDef {
  const char* name;
  int32_t type;
};
constexpr FieldDef kFields[] = {
    {"u", kTdbUchar},      {"c", kTdbChar},         {"w", kTdbWord},
    {"s", kTdbShort},      {"d", kTdbDword},        {"i", kTdbInt},
    {"f", kTdbDouble},     {"t", kTdbString},       {"q", kTdbQuad},
    {"p", kTdbStringPair}, {"r", kTdbStringTriple}, {"o", kTdbDword},  // an object (below)
    {"g", kTdbString},     {"h", kTdbString},       {"e", kTdbString},
};

const char* const kNames[] = {"丸の内", "大手町", ""};
// Texts of every length a copy takes apart: 1 to 3, 4 to 7, 8 to 16 bytes
// and longer.
const char* const kLong[] = {"12345678", "1234567890123456", "12345678901234567"};
const char* const kShort[] = {"abc", "東京都千代田区丸の内一丁目", "ab"};

void Build(const std::string& path) {
  CTableDatabase db;
  ASSERT_EQ(db.Create(path.c_str()), 1);
  ASSERT_NE(db.CreateTable(kTable), 0u);
  ASSERT_NE(db.CreateTable(kSmall), 0u);
  for (const FieldDef& f : kFields) {
    const uint32_t at = db.AddField(kTable, f.name, f.type, 0, nullptr, nullptr, 0, 0);
    ASSERT_NE(at, 0u) << f.name;
    if (std::strcmp(f.name, "o") == 0) {
      TdbFieldEntry entry;
      ASSERT_EQ(db.ReadFieldEntry(at, &entry), 1);
      entry.type = kTdbObject;
      ASSERT_EQ(db.WriteFieldEntry(at, &entry), 1);
    }
  }
  ASSERT_NE(db.AddField(kSmall, "街区", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  for (int i = 0; i < 3; ++i) {
    const uint32_t r = db.AddRecord(kTable);
    ASSERT_NE(r, 0u);
    ASSERT_EQ(db.SetUchar(r, kTable, "u", static_cast<unsigned char>(200 + i)), 1);
    ASSERT_EQ(db.SetChar(r, kTable, "c", static_cast<char>(-5 - i)), 1);
    ASSERT_EQ(db.SetWord(r, kTable, "w", static_cast<uint16_t>(60000 + i)), 1);
    ASSERT_EQ(db.SetShort(r, kTable, "s", static_cast<int16_t>(-30000 - i)), 1);
    ASSERT_EQ(db.SetDword(r, kTable, "d", 4000000000u + static_cast<uint32_t>(i)), 1);
    ASSERT_EQ(db.SetInt(r, kTable, "i", -503000000 - i), 1);
    ASSERT_EQ(db.SetDouble(r, kTable, "f", 35.25 + i), 1);
    ASSERT_EQ(db.SetString(r, kTable, "t", kNames[i]), 1);
    const int32_t quad[4] = {1 + i, -2, 3, -4 - i};
    ASSERT_EQ(db.SetQuad(r, kTable, "q", quad), 1);
    ASSERT_EQ(db.SetStringPair(r, kTable, "p", kNames[i], "まるのうち"), 1);
    ASSERT_EQ(db.SetStringTriple(r, kTable, "r", "a", kNames[i], "表"), 1);
    if (i != 2) {
      ASSERT_EQ(db.SetObject(r, kTable, "o", "ob\0ject", 7), 1);
    }
    ASSERT_EQ(db.SetString(r, kTable, "g", kLong[i]), 1);
    ASSERT_EQ(db.SetString(r, kTable, "h", kShort[i]), 1);
    ASSERT_EQ(db.SetString(r, kTable, "e", i == 1 ? "" : "末尾"), 1);
  }
  for (int i = 0; i < 2; ++i) {
    const uint32_t r = db.AddRecord(kSmall);
    ASSERT_NE(r, 0u);
    ASSERT_EQ(db.SetString(r, kSmall, "街区", std::to_string(i + 1).c_str()), 1);
  }
}

// The record-header positions of a table's records, walked as a careful
// caller walks them.
std::vector<uint32_t> RecordsOf(CTableDatabase& db, const char* table, uint32_t fileSize) {
  std::vector<uint32_t> records;
  const uint32_t at = db.FindTable(table);
  TdbTableEntry entry;
  if (at == 0 || !db.ReadTableEntry(at, &entry)) return records;
  TdbRecordHeader header;
  for (uint32_t r = entry.firstRecord; r != 0 && records.size() <= fileSize / 20;
       r = header.nextRecord) {
    records.push_back(r);
    if (!db.ReadRecordHeader(r, &header)) break;
  }
  return records;
}

// What the pairs of reads gave.
struct Tally {
  int reads = 0;   // pairs compared
  int read = 0;    // pairs that both succeeded
  int viewed = 0;  // texts read where they stand in the image
};

constexpr unsigned char kFill = 0xA5;

template <typename T>
void CompareValue(int byRecord, const T& a, int byView, const T& b, const char* what,
                  uint32_t offset, Tally* tally) {
  ++tally->reads;
  tally->read += byRecord;
  EXPECT_EQ(byRecord, byView) << what << " at " << offset;
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << " at " << offset;
}

void CompareBytes(int byRecord, const std::vector<char>& a, int byView, const std::vector<char>& b,
                  const char* what, uint32_t offset, std::size_t size, Tally* tally) {
  ++tally->reads;
  tally->read += byRecord;
  EXPECT_EQ(byRecord, byView) << what << " at " << offset << " size " << size;
  EXPECT_EQ(a, b) << what << " at " << offset << " size " << size;
}

// Every getter at the offset, by record position and through the view.
void CompareAt(CTableDatabase& db, uint32_t record, const TdbRecordView& view, uint32_t offset,
               Tally* tally) {
  auto typed = [&](auto fill, const char* what, auto byRecord, auto byView) {
    auto a = fill;
    auto b = fill;
    const int ra = byRecord(&a);
    const int rb = byView(&b);
    CompareValue(ra, a, rb, b, what, offset, tally);
  };
  typed(
      static_cast<unsigned char>(kFill), "uchar",
      [&](unsigned char* v) { return db.GetUcharAt(record, offset, v); },
      [&](unsigned char* v) { return db.GetUcharAt(view, offset, v); });
  typed(
      static_cast<char>(kFill), "char", [&](char* v) { return db.GetCharAt(record, offset, v); },
      [&](char* v) { return db.GetCharAt(view, offset, v); });
  typed(
      static_cast<uint16_t>(0xA5A5), "word",
      [&](uint16_t* v) { return db.GetWordAt(record, offset, v); },
      [&](uint16_t* v) { return db.GetWordAt(view, offset, v); });
  typed(
      static_cast<int16_t>(0x5A5A), "short",
      [&](int16_t* v) { return db.GetShortAt(record, offset, v); },
      [&](int16_t* v) { return db.GetShortAt(view, offset, v); });
  typed(
      0xA5A5A5A5u, "dword", [&](uint32_t* v) { return db.GetDwordAt(record, offset, v); },
      [&](uint32_t* v) { return db.GetDwordAt(view, offset, v); });
  typed(
      int32_t{0x5A5A5A5A}, "int", [&](int32_t* v) { return db.GetIntAt(record, offset, v); },
      [&](int32_t* v) { return db.GetIntAt(view, offset, v); });
  typed(
      -1.5, "double", [&](double* v) { return db.GetDoubleAt(record, offset, v); },
      [&](double* v) { return db.GetDoubleAt(view, offset, v); });
  {
    int32_t a[4] = {7, 7, 7, 7};
    int32_t b[4] = {7, 7, 7, 7};
    const int ra = db.GetQuadAt(record, offset, a);
    const int rb = db.GetQuadAt(view, offset, b);
    ++tally->reads;
    tally->read += ra;
    EXPECT_EQ(ra, rb) << "quad at " << offset;
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << "quad at " << offset;
  }
  // Texts: buffers of several sizes (one that holds nothing, ones that cut
  // the sample's texts, a large one), filled alike beforehand; the whole
  // buffers must agree afterwards.
  for (const std::size_t size : {std::size_t{1}, std::size_t{4}, std::size_t{7}, std::size_t{64}}) {
    std::vector<char> a(3 * size, static_cast<char>(kFill));
    std::vector<char> b(3 * size, static_cast<char>(kFill));
    int ra = db.GetStringAt(record, offset, a.data(), size);
    int rb = db.GetStringAt(view, offset, b.data(), size);
    CompareBytes(ra, a, rb, b, "string", offset, size, tally);
    std::fill(a.begin(), a.end(), static_cast<char>(kFill));
    std::fill(b.begin(), b.end(), static_cast<char>(kFill));
    ra = db.GetStringPairAt(record, offset, a.data(), a.data() + size, size);
    rb = db.GetStringPairAt(view, offset, b.data(), b.data() + size, size);
    CompareBytes(ra, a, rb, b, "pair", offset, size, tally);
    std::fill(a.begin(), a.end(), static_cast<char>(kFill));
    std::fill(b.begin(), b.end(), static_cast<char>(kFill));
    ra = db.GetStringTripleAt(record, offset, a.data(), a.data() + size, a.data() + 2 * size, size);
    rb = db.GetStringTripleAt(view, offset, b.data(), b.data() + size, b.data() + 2 * size, size);
    CompareBytes(ra, a, rb, b, "triple", offset, size, tally);
  }
  // Several texts read at once, as they read one after another (up to the
  // first that does not read): this offset's, the first text field's, the
  // last field's and the next four bytes'.
  uint32_t textAt = 0, lastAt = 0;
  db.FindField(kTable, "t", nullptr, nullptr, &textAt, nullptr);
  db.FindField(kTable, "e", nullptr, nullptr, &lastAt, nullptr);
  const uint32_t offsets[4] = {offset, textAt, lastAt, offset + 4};
  for (const std::size_t size : {std::size_t{1}, std::size_t{7}, std::size_t{64}}) {
    for (int n = 0; n <= 4; ++n) {
      std::vector<char> a(4 * size, static_cast<char>(kFill));
      std::vector<char> b(4 * size, static_cast<char>(kFill));
      char* textsA[4] = {a.data(), a.data() + size, a.data() + 2 * size, a.data() + 3 * size};
      char* textsB[4] = {b.data(), b.data() + size, b.data() + 2 * size, b.data() + 3 * size};
      int ra = 1;
      for (int i = 0; i < n && ra; ++i) ra = db.GetStringAt(view, offsets[i], textsA[i], size);
      const int rb = db.GetStringsAt(view, offsets, textsB, n, size);
      CompareBytes(ra, a, rb, b, "texts", offset, size, tally);
    }
  }
  // The same texts viewed where they stand: the view answers wherever
  // the record's data lie in the image, and as the copies do (each view
  // holds the bytes of its copy before the copy's NUL).
  for (const std::size_t size : {std::size_t{1}, std::size_t{7}, std::size_t{64}}) {
    for (int n = 0; n <= 4; ++n) {
      std::vector<char> b(4 * size, static_cast<char>(kFill));
      char* textsB[4] = {b.data(), b.data() + size, b.data() + 2 * size, b.data() + 3 * size};
      const int rb = db.GetStringsAt(view, offsets, textsB, n, size);
      TdbTextView viewed[4];
      const int rv = db.ViewStringsAt(view, offsets, viewed, n, size);
      EXPECT_EQ(rv<0, n> 0 && view.data == nullptr) << "viewed texts at " << offset;
      if (rv < 0) continue;
      EXPECT_EQ(rv, rb) << "viewed texts at " << offset << " size " << size << " n " << n;
      if (rv != 1 || rb != 1) continue;
      for (int i = 0; i < n; ++i) {
        ++tally->viewed;
        const TdbTextView& t = viewed[i];
        ASSERT_LT(t.length, size) << "viewed text " << i << " at " << offset;
        EXPECT_EQ(t.length == 0, t.bytes == nullptr);
        EXPECT_EQ(std::string(textsB[i], t.length), std::string(t.bytes ? t.bytes : "", t.length))
            << "viewed text " << i << " at " << offset;
        EXPECT_EQ(textsB[i][t.length], '\0') << "viewed text " << i << " at " << offset;
      }
    }
  }
  {
    TdbTextView one[1];
    EXPECT_EQ(db.ViewStringsAt(view, offsets, one, 0, 8), 1);
    EXPECT_EQ(db.ViewStringsAt(view, nullptr, one, 1, 8), 0);
    EXPECT_EQ(db.ViewStringsAt(view, offsets, nullptr, 1, 8), 0);
    EXPECT_EQ(db.ViewStringsAt(view, offsets, one, 1, 0), 0);
  }
  {
    char* none[1] = {nullptr};
    char one[8] = "x";
    char* texts[1] = {one};
    EXPECT_EQ(db.GetStringsAt(view, offsets, none, 1, 8), db.GetStringAt(view, offset, nullptr, 8));
    EXPECT_EQ(db.GetStringsAt(view, nullptr, texts, 1, 8), 0);
    EXPECT_EQ(db.GetStringsAt(view, offsets, nullptr, 1, 8), 0);
    EXPECT_EQ(db.GetStringsAt(view, nullptr, nullptr, 0, 8), 1);
    EXPECT_STREQ(one, "x");
  }
  // A text size of 0 and a null text fail alike.
  {
    char a = 'x', b = 'x';
    EXPECT_EQ(db.GetStringAt(record, offset, &a, 0), db.GetStringAt(view, offset, &b, 0));
    EXPECT_EQ(a, b);
    EXPECT_EQ(db.GetStringAt(record, offset, nullptr, 8), db.GetStringAt(view, offset, nullptr, 8));
  }
  // Objects: into buffers too small, large enough and none, and allocated.
  for (const uint32_t size : {0u, 3u, 7u, 64u}) {
    std::vector<char> a(64, static_cast<char>(kFill));
    std::vector<char> b(64, static_cast<char>(kFill));
    uint32_t la = 99, lb = 99;
    const int ra = db.ReadObjectAt(record, offset, size == 0 ? nullptr : a.data(), size, &la);
    const int rb = db.ReadObjectAt(view, offset, size == 0 ? nullptr : b.data(), size, &lb);
    CompareBytes(ra, a, rb, b, "object", offset, size, tally);
    EXPECT_EQ(la, lb) << "object length at " << offset;
  }
  {
    void* a = reinterpret_cast<void*>(1);
    void* b = reinterpret_cast<void*>(1);
    uint32_t la = 99, lb = 99;
    const int ra = db.ReadObjectAllocAt(record, offset, &a, &la);
    const int rb = db.ReadObjectAllocAt(view, offset, &b, &lb);
    ++tally->reads;
    tally->read += ra;
    EXPECT_EQ(ra, rb) << "object block at " << offset;
    EXPECT_EQ(la, lb) << "object block at " << offset;
    EXPECT_EQ(a == nullptr, b == nullptr) << "object block at " << offset;
    if (a != nullptr && b != nullptr && la == lb) {
      EXPECT_EQ(std::memcmp(a, b, la), 0) << "object block at " << offset;
    }
    std::free(a);
    std::free(b);
  }
}

// The offsets compared in a record of dataSize bytes: every field's own,
// the bytes around the record's end, and ones far past it (thorough: also
// every field's second byte and the record's last 16 bytes).
std::vector<uint32_t> OffsetsOf(CTableDatabase& db, uint32_t dataSize, bool thorough) {
  std::vector<uint32_t> offsets = {0, 1};
  for (const FieldDef& f : kFields) {
    uint32_t offset = 0;
    if (db.FindField(kTable, f.name, nullptr, nullptr, &offset, nullptr)) {
      offsets.push_back(offset);
      if (thorough) offsets.push_back(offset + 1);
    }
  }
  for (uint32_t back = 0; back <= (thorough ? 16u : 4u); ++back) {
    if (dataSize + 1 > back) offsets.push_back(dataSize + 1 - back);
  }
  offsets.push_back(dataSize + 2);
  offsets.push_back(0x7FFFFFFFu);
  offsets.push_back(0xFFFFFFFFu);
  return offsets;
}

// Compares every read of every record of both tables (and of positions
// that are no record) in the open database.
Tally CompareThrough(CTableDatabase& db, uint32_t fileSize, bool expectImageBytes, bool thorough) {
  Tally tally;
  std::vector<uint32_t> records = RecordsOf(db, kTable, fileSize);
  for (const uint32_t r : RecordsOf(db, kSmall, fileSize)) records.push_back(r);
  const std::size_t chained = records.size();
  // Positions that are no record header: the file's start, its middle, its
  // last bytes, past its end.
  for (const uint32_t p : {0u, 1u, fileSize / 2, fileSize - 20, fileSize - 1, fileSize,
                           fileSize + 1000, 0xFFFFFFF0u}) {
    records.push_back(p);
  }
  for (std::size_t k = 0; k < records.size(); ++k) {
    const uint32_t record = records[k];
    TdbRecordView view;
    view.dataPosition = 1234;  // the read replaces whatever the view held
    const int read = db.ReadRecord(record, &view);
    TdbRecordHeader header;
    const int headerRead = db.ReadRecordHeader(record, &header);
    EXPECT_EQ(read, headerRead && header.dataPosition != 0) << record;
    if (read) {
      EXPECT_EQ(view.dataPosition, header.dataPosition);
      EXPECT_EQ(view.dataSize, header.dataSize);
      // (A record of the chain: its data lie in the image whole.)
      if (expectImageBytes && k < chained) {
        EXPECT_NE(view.data, nullptr) << record;
      }
    } else {
      EXPECT_EQ(view.dataPosition, 0u);
      EXPECT_EQ(view.data, nullptr);
    }
    for (const uint32_t offset : OffsetsOf(db, read ? view.dataSize : 64, thorough)) {
      CompareAt(db, record, view, offset, &tally);
    }
  }
  EXPECT_EQ(db.ReadRecord(records.front(), nullptr), 0);
  return tally;
}

// The values written, read through a view of each record.
void ExpectWrittenValues(CTableDatabase& db, uint32_t fileSize) {
  const std::vector<uint32_t> records = RecordsOf(db, kTable, fileSize);
  ASSERT_EQ(records.size(), 3u);
  auto offsetOf = [&](const char* field) {
    uint32_t offset = 0;
    EXPECT_EQ(db.FindField(kTable, field, nullptr, nullptr, &offset, nullptr), 1) << field;
    return offset;
  };
  for (int i = 0; i < 3; ++i) {
    TdbRecordView v;
    ASSERT_EQ(db.ReadRecord(records[static_cast<std::size_t>(i)], &v), 1);
    unsigned char u = 0;
    char c = 0;
    uint16_t w = 0;
    int16_t s = 0;
    uint32_t d = 0;
    int32_t n = 0;
    double f = 0;
    int32_t q[4] = {};
    EXPECT_EQ(db.GetUcharAt(v, offsetOf("u"), &u), 1);
    EXPECT_EQ(u, 200 + i);
    EXPECT_EQ(db.GetCharAt(v, offsetOf("c"), &c), 1);
    EXPECT_EQ(c, -5 - i);
    EXPECT_EQ(db.GetWordAt(v, offsetOf("w"), &w), 1);
    EXPECT_EQ(w, 60000 + i);
    EXPECT_EQ(db.GetShortAt(v, offsetOf("s"), &s), 1);
    EXPECT_EQ(s, -30000 - i);
    EXPECT_EQ(db.GetDwordAt(v, offsetOf("d"), &d), 1);
    EXPECT_EQ(d, 4000000000u + static_cast<uint32_t>(i));
    EXPECT_EQ(db.GetIntAt(v, offsetOf("i"), &n), 1);
    EXPECT_EQ(n, -503000000 - i);
    EXPECT_EQ(db.GetDoubleAt(v, offsetOf("f"), &f), 1);
    EXPECT_EQ(f, 35.25 + i);
    EXPECT_EQ(db.GetQuadAt(v, offsetOf("q"), q), 1);
    EXPECT_EQ(q[0], 1 + i);
    EXPECT_EQ(q[3], -4 - i);
    char a[64], b[64], t[64];
    EXPECT_EQ(db.GetStringAt(v, offsetOf("t"), a, sizeof a), 1);
    EXPECT_STREQ(a, kNames[i]);
    EXPECT_EQ(db.GetStringPairAt(v, offsetOf("p"), a, b, sizeof a), 1);
    EXPECT_STREQ(a, kNames[i]);
    EXPECT_STREQ(b, "まるのうち");
    EXPECT_EQ(db.GetStringTripleAt(v, offsetOf("r"), a, b, t, sizeof a), 1);
    EXPECT_STREQ(a, "a");
    EXPECT_STREQ(b, kNames[i]);
    EXPECT_STREQ(t, "表");
    EXPECT_EQ(db.GetStringAt(v, offsetOf("g"), a, sizeof a), 1);
    EXPECT_STREQ(a, kLong[i]);
    EXPECT_EQ(db.GetStringAt(v, offsetOf("h"), a, sizeof a), 1);
    EXPECT_STREQ(a, kShort[i]);
    // The last field ends the record.
    EXPECT_EQ(offsetOf("e") + 4 - 1, v.dataSize);
    EXPECT_EQ(db.GetStringAt(v, offsetOf("e"), a, sizeof a), 1);
    EXPECT_STREQ(a, i == 1 ? "" : "末尾");
    EXPECT_EQ(db.GetStringAt(v, offsetOf("e") + 1, a, sizeof a), 0);
    EXPECT_STREQ(a, "");
    // A text that does not fit with its NUL: "末尾" is four bytes.
    if (i != 1) {
      EXPECT_EQ(db.GetStringAt(v, offsetOf("e"), a, 4), 0);
      EXPECT_STREQ(a, "");
      EXPECT_EQ(db.GetStringAt(v, offsetOf("e"), a, 5), 1);
      EXPECT_STREQ(a, "末尾");
    }
    uint32_t length = 0;
    EXPECT_EQ(db.ReadObjectAt(v, offsetOf("o"), a, sizeof a, &length), 1);
    EXPECT_EQ(length, i == 2 ? 0u : 7u);
    if (i != 2) {
      EXPECT_EQ(std::memcmp(a, "ob\0ject", 7), 0);
    }
  }
}

}  // namespace

TEST(TableRecordView, ReadsEveryFieldAsTheReadsByRecordPosition) {
  TempDir dir;
  const std::string path = dir.Sys("view.ndb");
  ASSERT_NO_FATAL_FAILURE(Build(path));
  const auto size = static_cast<uint32_t>(testutil::ReadBytes(dir.Native("view.ndb")).size());

  CTableDatabase db;
  ASSERT_EQ(db.Open(path.c_str()), 1);
  ASSERT_NO_FATAL_FAILURE(ExpectWrittenValues(db, size));
  const Tally fromImage = CompareThrough(db, size, true, true);
  EXPECT_GT(fromImage.reads, 2000);
  EXPECT_GT(fromImage.read, 300);
  EXPECT_GT(fromImage.viewed, 300);
  db.Close();

  // Opened for update: the reads come from the copy of the file's bytes.
  ASSERT_EQ(db.OpenForUpdate(path.c_str()), 1);
  ASSERT_NO_FATAL_FAILURE(ExpectWrittenValues(db, size));
  const Tally fromCopy = CompareThrough(db, size, false, true);
  EXPECT_EQ(fromCopy.reads, fromImage.reads);
  EXPECT_EQ(fromCopy.read, fromImage.read);
  EXPECT_EQ(fromCopy.viewed, 0) << "no image to view the texts in";
}

TEST(TableRecordView, RecordCutShortByTheFileEndReadsTheFieldsThatLieInIt) {
  TempDir dir;
  const std::string good = dir.Sys("good.ndb");
  ASSERT_NO_FATAL_FAILURE(Build(good));
  const std::string bytes = testutil::ReadBytes(dir.Native("good.ndb"));
  // The first table's last record, cut in the middle of its data: its
  // first fields still read, the ones past the cut do not.
  CTableDatabase whole;
  ASSERT_EQ(whole.Open(good.c_str()), 1);
  const std::vector<uint32_t> records =
      RecordsOf(whole, kTable, static_cast<uint32_t>(bytes.size()));
  ASSERT_EQ(records.size(), 3u);
  TdbRecordHeader header;
  ASSERT_EQ(whole.ReadRecordHeader(records[2], &header), 1);
  uint32_t wordAt = 0, textAt = 0;
  ASSERT_EQ(whole.FindField(kTable, "w", nullptr, nullptr, &wordAt, nullptr), 1);
  ASSERT_EQ(whole.FindField(kTable, "e", nullptr, nullptr, &textAt, nullptr), 1);
  whole.Close();

  // (Each record's texts and object were appended after its data: the cut
  // leaves them out.)
  const std::string cut = bytes.substr(0, header.dataPosition + wordAt + 1);
  const std::string path = dir.Sys("cut.ndb");
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("cut.ndb"), cut));
  CTableDatabase damaged;
  ASSERT_EQ(damaged.Open(path.c_str()), 1);
  TdbRecordView view;
  ASSERT_EQ(damaged.ReadRecord(records[2], &view), 1);
  EXPECT_EQ(view.data, nullptr);  // the data do not lie in the image whole
  uint16_t a = 0, b = 0;
  EXPECT_EQ(damaged.GetWordAt(records[2], wordAt, &a), 1);
  EXPECT_EQ(damaged.GetWordAt(view, wordAt, &b), 1);
  EXPECT_EQ(b, 60002);
  EXPECT_EQ(a, b);
  char text[16] = "x";
  EXPECT_EQ(damaged.GetStringAt(view, textAt, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  Tally tally;
  for (const uint32_t offset : OffsetsOf(damaged, view.dataSize, true)) {
    CompareAt(damaged, records[2], view, offset, &tally);
  }
  EXPECT_GT(tally.read, 0);
}

TEST(TableRecordView, ViewKeptPastItsOpeningReadsTheFileAsItIsNow) {
  TempDir dir;
  const std::string path = dir.Sys("kept.ndb");
  ASSERT_NO_FATAL_FAILURE(Build(path));
  const std::string bytes = testutil::ReadBytes(dir.Native("kept.ndb"));
  const auto size = static_cast<uint32_t>(bytes.size());
  CTableDatabase db;
  ASSERT_EQ(db.Open(path.c_str()), 1);
  const std::vector<uint32_t> records = RecordsOf(db, kTable, size);
  ASSERT_EQ(records.size(), 3u);
  uint32_t intAt = 0;
  ASSERT_EQ(db.FindField(kTable, "i", nullptr, nullptr, &intAt, nullptr), 1);
  TdbRecordView view;
  ASSERT_EQ(db.ReadRecord(records[0], &view), 1);
  ASSERT_NE(view.data, nullptr);
  int32_t value = 0;
  EXPECT_EQ(db.GetIntAt(view, intAt, &value), 1);
  EXPECT_EQ(value, -503000000);

  // Closed: nothing reads through the view.
  db.Close();
  value = 7;
  EXPECT_EQ(db.GetIntAt(view, intAt, &value), 0);
  EXPECT_EQ(value, 7);

  // Open again on another file of the same layout whose value differs: the
  // view reads that file's bytes at the data position it names.
  std::string other = bytes;
  const uint32_t at = view.dataPosition + intAt - 1;
  for (int k = 0; k < 4; ++k) other[at + k] = static_cast<char>(0x11 * (k + 1));
  const std::string otherPath = dir.Sys("other.ndb");
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("other.ndb"), other));
  ASSERT_EQ(db.Open(otherPath.c_str()), 1);
  EXPECT_EQ(db.GetIntAt(view, intAt, &value), 1);
  EXPECT_EQ(value, 0x44332211);
  int32_t byRecord = 0;
  EXPECT_EQ(db.GetIntAt(records[0], intAt, &byRecord), 1);
  EXPECT_EQ(byRecord, value);
}

TEST(TableRecordView, DamagedFilesReadAlikeThroughTheView) {
  TempDir dir;
  const std::string good = dir.Sys("good.ndb");
  ASSERT_NO_FATAL_FAILURE(Build(good));
  const std::string base = testutil::ReadBytes(dir.Native("good.ndb"));
  ASSERT_GT(base.size(), 4000u);

  std::mt19937 rng(20240611u);  // fixed: the same mutations on every run
  const auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const std::string path = dir.Sys("bad.ndb");
  const std::string native = dir.Native("bad.ndb");
  int opened = 0;
  Tally tally;
  const auto trial = [&](const std::string& bytes) {
    ASSERT_TRUE(testutil::WriteBytes(native, bytes));
    CTableDatabase damaged;
    if (!damaged.Open(path.c_str())) return;
    ++opened;
    const Tally t = CompareThrough(damaged, static_cast<uint32_t>(bytes.size()), false, false);
    tally.reads += t.reads;
    tally.read += t.read;
    tally.viewed += t.viewed;
  };
  // Cuts of the file, in steps of 37 bytes.
  for (std::size_t len = 0; len < base.size(); len += 37) {
    ASSERT_NO_FATAL_FAILURE(trial(base.substr(0, len)));
  }
  // One to four flipped bits anywhere.
  for (int i = 0; i < 120; ++i) {
    std::string bytes = base;
    const int flips = 1 + static_cast<int>(pick(4));
    for (int k = 0; k < flips; ++k) {
      bytes[pick(static_cast<uint32_t>(bytes.size()))] ^= static_cast<char>(1u << pick(8));
    }
    ASSERT_NO_FATAL_FAILURE(trial(bytes));
  }
  // A 32-bit word replaced by a position inside the file, none, its end
  // or a huge one: record links, data positions and sizes, string
  // positions and lengths.
  for (int i = 0; i < 120; ++i) {
    std::string bytes = base;
    const uint32_t at = pick(static_cast<uint32_t>(bytes.size()) - 3);
    uint32_t value = 0;
    switch (pick(4)) {
      case 0:
        value = pick(static_cast<uint32_t>(bytes.size()));
        break;
      case 1:
        value = 0;
        break;
      case 2:
        value = static_cast<uint32_t>(bytes.size()) - pick(8);
        break;
      default:
        value = 0xFFFFFFFFu - pick(16);
        break;
    }
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(value >> (8 * k));
    ASSERT_NO_FATAL_FAILURE(trial(bytes));
  }
  EXPECT_GT(opened, 200);
  EXPECT_GT(tally.read, 10000);
  EXPECT_GT(tally.viewed, 1000);
}
