// The prefecture names the scan without a prefecture name keeps between
// processes in the store of derived values: the same results as reading
// the data files, used only while those files are unchanged, and ignored
// (then written again) when they do not decode or could come from
// elsewhere.
#include "matching/prefecture_lookup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/message.h"
#include "match_line.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "plat/cp932.h"
#include "plat/derived_store.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"

using matchtest::MatchLine;
using testutil::ScopedEnv;
using testutil::Show;
using testutil::TempDir;

namespace {

const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

plat::FileStamp Stamp(uint64_t n) {
  plat::FileStamp s;
  s.size = n;
  s.modifiedNs = static_cast<int64_t>(n) * 1000;
  s.changedNs = static_cast<int64_t>(n) * 2000;
  s.device = 7;
  s.inode = n + 1;
  return s;
}

// Prefecture 1 known with a table of four rows, 2 present but unknown,
// the others without files.
FolderPrefectureLookups SomeLookups() {
  FolderPrefectureLookups lookups;
  auto table = std::make_shared<NameTable>();
  table->AddName(1, "中央区", nullptr, false, false, true);
  table->AddName(2, "５番町", nullptr, false, false, true);
  table->AddName(3, "ab", nullptr, false, false, true);
  table->AddName(4, "港区", nullptr, false, false, true);
  table->Finish(4);
  PrefectureLookup& first = lookups[1];
  first.files = true;
  first.ndb = Stamp(100);
  first.tix = Stamp(200);
  first.known = true;
  first.name = "東京都";
  first.count = 4;
  first.cities = table;
  lookups[2].files = true;
  lookups[2].ndb = Stamp(300);
  lookups[2].tix = Stamp(400);
  return lookups;
}

// A copy of the sample data folder and a cache folder of its own, both
// scratch; every match runs as the first of a new process.
class PrefectureLookupFile : public ::testing::Test {
 protected:
  // The copied files count as settled (what is kept is the question here).
  const testutil::SettledClock settled_;
  void SetUp() override {
    std::string source;
    ASSERT_TRUE(plat::cp932::ToUtf8(sample::Folder(), source));
    ASSERT_FALSE(source.empty());
    for (char& c : source) c = c == '\\' ? '/' : c;
    std::error_code ec;
    std::filesystem::copy(source, data_.Native(Utf8(u8"住所")),
                          std::filesystem::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    folder_ = data_.path() + "\\" + testutil::Sjis(u8"住所") + "\\";
    ForgetKeptPrefectureNames();
  }
  void TearDown() override { ForgetKeptPrefectureNames(); }

  // The texts without a prefecture name: every sample address that begins
  // with one of the sample's two prefecture names, without it, and some
  // that are in no prefecture.
  static std::vector<std::string> Texts() {
    sampledata::Description d;
    char msg[kMessageSize] = "";
    std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町", "無い市無い町１",
                                      "１２３", "ａｂｃ"};
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &d, msg))
      return texts;
    for (const std::string& address : sampledata::MakeAddressCorpus(d)) {
      for (const std::string prefecture : {"東京都", "京都府"}) {
        if (address.compare(0, prefecture.size(), prefecture) == 0)
          texts.push_back(address.substr(prefecture.size()));
      }
    }
    return texts;
  }

  std::vector<std::string> MatchAll(const std::vector<std::string>& texts) {
    ForgetKeptPrefectureNames();
    std::vector<std::string> lines;
    for (const std::string& text : texts) lines.push_back(MatchLine(folder_, text));
    return lines;
  }

  ~PrefectureLookupFile() override { plat::detail::ForgetDerivedStore(); }

  // The key of the folder's one value of prefecture names (beside it, the
  // matches keep the name tables of the lists of rows they met); empty
  // when there is none.
  std::string StoredKey() const {
    std::string only;
    for (const auto& e : plat::detail::DerivedStoreEntries()) {
      if (e.kind == "prefectures") only = e.folder;
    }
    return only;
  }
  std::string StorePath() const { return cache_.path() + "/kort/store.mdb"; }

  // The entries of the one value, with its key (and its names in names_).
  bool ReadEntries(FolderPrefectureLookups* out, std::string* key) {
    *key = StoredKey();
    plat::DerivedStore store;
    std::string_view bytes;
    return !key->empty() && store.Get(PrefectureLookupStoreKey(*key), bytes) &&
           DecodePrefectureLookups(bytes, out, &names_);
  }
  // Keeps bytes as the value of the key.
  static bool WriteValue(const std::string& key, const std::string& bytes) {
    return plat::DerivedStore::Put(PrefectureLookupStoreKey(key), bytes);
  }

  TempDir data_;
  TempDir cache_;
  std::string folder_;
  FolderPrefectureNames names_;
};

void ExpectSameLines(const std::vector<std::string>& texts, const std::vector<std::string>& got,
                     const std::vector<std::string>& want) {
  ASSERT_EQ(got.size(), want.size());
  int differing = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i] && ++differing <= 5)
      ADD_FAILURE() << Show(texts[i].c_str()) << "\n got:  " << Show(got[i].c_str())
                    << "\n want: " << Show(want[i].c_str());
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace

TEST(PrefectureLookupBytes, ReadBackAsWritten) {
  const FolderPrefectureLookups lookups = SomeLookups();
  const std::string bytes = EncodePrefectureLookups(lookups);
  FolderPrefectureLookups back;
  ASSERT_TRUE(DecodePrefectureLookups(bytes, &back));
  for (int j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureLookup& a = lookups[static_cast<std::size_t>(j)];
    const PrefectureLookup& b = back[static_cast<std::size_t>(j)];
    EXPECT_EQ(a.files, b.files) << j;
    EXPECT_EQ(a.ndb, b.ndb) << j;
    EXPECT_EQ(a.tix, b.tix) << j;
    EXPECT_EQ(a.known, b.known) << j;
    EXPECT_EQ(a.name, b.name) << j;
    EXPECT_EQ(a.count, b.count) << j;
    ASSERT_EQ(a.cities == nullptr, b.cities == nullptr) << j;
    if (!a.cities) continue;
    EXPECT_TRUE(b.cities->complete);
    // Every list (the image, byte for byte).
    EXPECT_TRUE(a.cities->Image() == b.cities->Image());
  }
}

// Bytes that are no table of the rows they claim are refused: cut short
// anywhere, a table of other rows than the entry's count, a list larger
// than the bytes that follow, padding that is not zeros, a list off its
// alignment; and the entries are then left all unknown. Lists whose
// contents are no finished list (out of order, a repeat, row 0, a row
// beyond the count) are not looked for (the store checks a value's bytes
// whole), but the rows selected through them stay within the count.
TEST(PrefectureLookupBytes, RefusesWhatIsNoTableOfItsRows) {
  FolderPrefectureLookups lookups = SomeLookups();
  const std::string bytes = EncodePrefectureLookups(lookups);
  FolderPrefectureLookups back;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(DecodePrefectureLookups(bytes.substr(0, size), &back)) << size;
    EXPECT_FALSE(back[1].files) << size;
  }
  // One byte more.
  EXPECT_FALSE(DecodePrefectureLookups(bytes + '\0', &back));

  auto refused = [&](const NameTable& table, uint16_t count) {
    FolderPrefectureLookups bad = SomeLookups();
    bad[1].cities = std::make_shared<NameTable>(table);
    bad[1].count = count;
    return !DecodePrefectureLookups(EncodePrefectureLookups(bad), &back);
  };
  const NameTable table = *lookups[1].cities;
  EXPECT_FALSE(refused(table, 4));
  EXPECT_TRUE(refused(table, 3));  // a table of four rows
  EXPECT_TRUE(refused(table, 5));

  // The table's image: 8-aligned after the name and the row count.
  const std::size_t name = bytes.find("東京都");
  ASSERT_NE(name, std::string::npos);
  const std::size_t padding = name + 6 + 2;
  const std::size_t image = (padding + 7) / 8 * 8;
  ASSERT_GT(image, padding) << "the value holds padding to check";
  NameTableHeader header;
  std::memcpy(&header, bytes.data() + image, sizeof header);
  ASSERT_EQ(header.magic, NameTableHeader::kMagic);
  auto changed = [&](std::size_t at, const void* value, std::size_t size) {
    std::string b = bytes;
    b.replace(at, size, static_cast<const char*>(value), size);
    return b;
  };
  auto sectionAt = [&](NameTableHeader::Section s) {
    return image + offsetof(NameTableHeader, sections) + s * sizeof(NameTableHeader::Extent);
  };
  // A list count far beyond the bytes that follow it.
  const uint32_t many = 0x7FFFFFFF;
  EXPECT_FALSE(
      DecodePrefectureLookups(changed(sectionAt(NameTableHeader::kHeads) + 4, &many, 4), &back));
  const char one = 1;
  EXPECT_FALSE(DecodePrefectureLookups(changed(padding, &one, 1), &back)) << "padding";
  const uint32_t offAlignment = header.sections[NameTableHeader::kPairs].offset + 2;
  EXPECT_FALSE(DecodePrefectureLookups(
      changed(sectionAt(NameTableHeader::kPairs), &offAlignment, 4), &back));

  // 中央区 and 港区 by their pairs, ５番町 by its head (and as a numeral),
  // ab always.
  ASSERT_EQ(header.sections[NameTableHeader::kPairs].count, 2u);
  ASSERT_EQ(header.sections[NameTableHeader::kAlways].count, 1u);
  ASSERT_EQ(header.sections[NameTableHeader::kNumerals].count, 1u);
  auto listAt = [&](NameTableHeader::Section s, std::size_t i, std::size_t size) {
    return image + header.sections[s].offset + i * size;
  };
  std::string swapped = bytes;
  std::swap_ranges(
      swapped.begin() + static_cast<std::ptrdiff_t>(listAt(NameTableHeader::kPairs, 0, 8)),
      swapped.begin() + static_cast<std::ptrdiff_t>(listAt(NameTableHeader::kPairs, 1, 8)),
      swapped.begin() + static_cast<std::ptrdiff_t>(listAt(NameTableHeader::kPairs, 1, 8)));
  uint64_t pair = 0;
  std::memcpy(&pair, bytes.data() + listAt(NameTableHeader::kPairs, 1, 8), 8);
  const uint64_t pairBeyond = (pair & ~uint64_t{0xFFFF}) | 9;
  const uint16_t zero = 0;
  const uint16_t beyond = 5;
  const std::vector<std::pair<const char*, std::string>> taken = {
      {"pairs out of order", swapped},
      {"a repeat", changed(listAt(NameTableHeader::kPairs, 0, 8), &pair, 8)},
      {"row 0", changed(listAt(NameTableHeader::kNumerals, 0, 2), &zero, 2)},
      {"a row beyond the count", changed(listAt(NameTableHeader::kAlways, 0, 2), &beyond, 2)},
      {"a pair's row beyond the count",
       changed(listAt(NameTableHeader::kPairs, 1, 8), &pairBeyond, 8)},
  };
  for (const auto& [what, value] : taken) {
    ASSERT_TRUE(DecodePrefectureLookups(value, &back)) << what;
    ASSERT_TRUE(back[1].cities && back[1].cities->complete) << what;
    for (const char* text : {"中央区", "港区", "５番町", "１", "ab", "中", "港"}) {
      NameQuery query;
      query.AddText(text, nullptr);
      std::vector<uint16_t> rows;
      CurrentNameCandidateSource().Select(back[1].cities.get(), query, 4, &rows);
      EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end())) << what;
      EXPECT_EQ(std::adjacent_find(rows.begin(), rows.end()), rows.end()) << what;
      for (const uint16_t row : rows) EXPECT_TRUE(row >= 1 && row <= 4) << what << ": " << row;
    }
  }
}

TEST_F(PrefectureLookupFile, GivesTheResultsOfReadingTheDataFiles) {
  const std::vector<std::string> texts = Texts();
  ASSERT_GT(texts.size(), 100u);
  // No cache where the folder cannot be made: the data files are read.
  ASSERT_TRUE(testutil::WriteBytes(cache_.Native("plain"), "a file"));
  std::vector<std::string> reference;
  {
    const ScopedEnv xdg("XDG_CACHE_HOME", cache_.Native("plain").c_str());
    reference = MatchAll(texts);
  }
  int matched = 0;
  for (const std::string& line : reference) matched += line[0] == '1' ? 1 : 0;
  EXPECT_GT(matched, 100);
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  // The first process writes the value, the next reads it.
  ExpectSameLines(texts, MatchAll(texts), reference);
  ASSERT_FALSE(StoredKey().empty());
  FolderPrefectureLookups entries;
  std::string key;
  ASSERT_TRUE(ReadEntries(&entries, &key));
  EXPECT_TRUE(entries[13].known);
  EXPECT_TRUE(entries[26].known);
  EXPECT_FALSE(entries[1].files);
  ExpectSameLines(texts, MatchAll(texts), reference);
}

TEST_F(PrefectureLookupFile, IsUsedOnlyWhileTheDataFilesAreUnchanged) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  // A file whose table says no municipality of 東京都 can begin the text:
  // while it is taken as current, the scan leaves 東京都 out.
  FolderPrefectureLookups entries;
  std::string key;
  ASSERT_TRUE(ReadEntries(&entries, &key));
  ASSERT_TRUE(entries[13].known);
  auto empty = std::make_shared<NameTable>();
  empty->Finish(entries[13].count);
  entries[13].cities = empty;
  ASSERT_TRUE(WriteValue(key, EncodePrefectureLookups(entries, names_)));
  EXPECT_NE(MatchAll(texts), reference);
  // Another modification time of the prefecture's database: its names are
  // read again, and the file is written with them.
  const std::string ndb = data_.Native(Utf8(u8"住所/QVAD13.NDB"));
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, ndb.c_str(), times, 0), 0);
  EXPECT_EQ(MatchAll(texts), reference);
  ASSERT_TRUE(ReadEntries(&entries, &key));
  ASSERT_TRUE(entries[13].cities);
  EXPECT_FALSE(entries[13].cities->Pairs().empty() && entries[13].cities->Heads().empty());
  // The same when its index is replaced by a copy of itself.
  entries[13].cities = empty;
  ASSERT_TRUE(WriteValue(key, EncodePrefectureLookups(entries, names_)));
  EXPECT_NE(MatchAll(texts), reference);
  const std::string tix = data_.Native(Utf8(u8"住所/QVAD13.TIX"));
  ASSERT_TRUE(std::filesystem::copy_file(tix, tix + ".new"));
  std::filesystem::rename(tix + ".new", tix);
  EXPECT_EQ(MatchAll(texts), reference);
}

// The prefecture names put in front of a text come from the folder's
// dictionaries: the file's are used only while the dictionary files are
// unchanged.
TEST_F(PrefectureLookupFile, KeptNamesAreUsedOnlyWhileTheDictionaryFilesAreUnchanged) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  FolderPrefectureLookups entries;
  std::string key;
  ASSERT_TRUE(ReadEntries(&entries, &key));
  ASSERT_FALSE(names_.dictionaries.empty());
  EXPECT_EQ(names_.forms[13].name, "東京都");
  EXPECT_TRUE(names_.forms[13].again);
  // Names under which no prefecture row begins a text of 東京都: while
  // they are taken as current, the scan leaves 東京都 out.
  for (int j = 1; j <= kPrefectureCount; ++j) {
    names_.forms[static_cast<std::size_t>(j)].name = "京都府";
    names_.forms[static_cast<std::size_t>(j)].again = true;
    names_.forms[static_cast<std::size_t>(j)].againEmpty = true;
  }
  ASSERT_TRUE(WriteValue(key, EncodePrefectureLookups(entries, names_)));
  EXPECT_NE(MatchAll(texts), reference);
  // Another modification time of a dictionary file: the names are made
  // again, and the file is written with them.
  const std::string dictionary = data_.Native(Utf8(u8"住所/文字置換.BIN"));
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dictionary.c_str(), times, 0), 0);
  EXPECT_EQ(MatchAll(texts), reference);
  ASSERT_TRUE(ReadEntries(&entries, &key));
  EXPECT_EQ(names_.forms[13].name, "東京都");
  EXPECT_TRUE(names_.forms[13].again);
}

TEST_F(PrefectureLookupFile, AValueThatDoesNotDecodeIsIgnoredAndWrittenAgain) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町", "無い市無い町１"};
  const std::vector<std::string> reference = MatchAll(texts);
  const std::string key = StoredKey();
  ASSERT_FALSE(key.empty());
  std::string good;
  {
    plat::DerivedStore store;
    std::string_view value;
    ASSERT_TRUE(store.Get(PrefectureLookupStoreKey(key), value));
    good = std::string(value);
  }
  ASSERT_GT(good.size(), 100u);
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"empty", ""},
      {"cut in half", good.substr(0, good.size() / 2)},
      {"one byte short", good.substr(0, good.size() - 1)},
      {"one byte more", good + '\0'},
      {"no value of ours", std::string(good.size(), 'x')},
  };
  for (const auto& [what, bytes] : damaged) {
    ASSERT_TRUE(WriteValue(key, bytes));
    EXPECT_EQ(MatchAll(texts), reference) << what;
    plat::DerivedStore store;
    std::string_view value;
    ASSERT_TRUE(store.Get(PrefectureLookupStoreKey(key), value)) << what;
    EXPECT_EQ(value, good) << what;
  }
}

// A value whose table leaves 東京都 out, in a store or folder that someone
// other than the user could have placed or changed: not read, so the
// answers stay those of the data files (and the store is not written).
TEST_F(PrefectureLookupFile, AStoreOthersCouldHavePlacedChangesNoAnswer) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  FolderPrefectureLookups entries;
  std::string key;
  ASSERT_TRUE(ReadEntries(&entries, &key));
  auto empty = std::make_shared<NameTable>();
  empty->Finish(entries[13].count);
  entries[13].cities = empty;
  ASSERT_TRUE(WriteValue(key, EncodePrefectureLookups(entries, names_)));
  // The user's own store is taken as it is.
  ASSERT_NE(MatchAll(texts), reference);
  plat::detail::ForgetDerivedStore();
  const std::string folder = cache_.path() + "/kort";
  const std::string forged = testutil::ReadBytes(StorePath());
  auto unchanged = [&](const char* what) {
    plat::detail::ForgetDerivedStore();
    EXPECT_EQ(MatchAll(texts), reference) << what;
    EXPECT_EQ(testutil::ReadBytes(StorePath()), forged) << what;
  };
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  unchanged("a folder anyone can write to");
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  ASSERT_EQ(chmod(StorePath().c_str(), 0620), 0);
  unchanged("a store the group can write to");
  ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(StorePath().c_str(), 12345, 12345), 0);
    unchanged("a store of another user");
  }
}
