// The prefecture names the scan without a prefecture name keeps between
// processes in the store of derived values: the same results as reading
// the data files, used only while those files are unchanged, and ignored
// (then written again) when they do not decode, their record in the
// store's file is damaged, or they could come from elsewhere (another
// build, a store others could have written).
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
#include "plat/file_stamp.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/store_damage.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
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

// Bytes decoded for the sources the lookups list.
bool Decode(const std::string& bytes, const FolderPrefectureLookups& of,
            FolderPrefectureLookups* out) {
  const auto hold = std::make_shared<const std::string>(bytes);
  return DecodePrefectureLookups(*hold, hold, PrefectureLookupSources(of), out);
}

// The build the store keys this process's values by, while it lives.
struct AsBuild {
  explicit AsBuild(std::uint64_t build) { plat::detail::SetDerivedStoreBuild(build); }
  ~AsBuild() { plat::detail::SetDerivedStoreBuild(0); }
  AsBuild(const AsBuild&) = delete;
  AsBuild& operator=(const AsBuild&) = delete;
};

// A value of the store as its entry names it: its folder and item.
struct StoredValue {
  std::string path;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::string item;
  plat::DerivedFolder Folder() const { return {device, inode, path}; }
  PrefectureLookupPlace Place() const { return {Folder(), item}; }
};

// The one value of the kind in the store (beside it, the matches keep the
// dictionaries' image and the name tables of the lists of rows they met);
// false when there is none or more than one.
bool TheValueOf(const std::string& kind, StoredValue* out) {
  int found = 0;
  for (const auto& e : plat::detail::DerivedStoreEntries()) {
    if (e.kind != kind) continue;
    ++found;
    *out = {e.folder, e.device, e.inode, e.item};
  }
  return found == 1;
}

std::size_t ValuesOf(const std::string& kind) {
  std::size_t n = 0;
  for (const auto& e : plat::detail::DerivedStoreEntries()) n += e.kind == kind ? 1 : 0;
  return n;
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

  std::string StorePath() const { return cache_.path() + "/kort/store.mdb"; }
  std::string Native() const { return data_.Native(Utf8(u8"住所")); }

  // The sources of the folder's look-ups as its files stand now: each
  // prefecture's database and index stamps, both or neither.
  std::vector<plat::FileStamp> LookupSources() const {
    std::vector<plat::FileStamp> sources;
    for (int j = 1; j <= kPrefectureCount; ++j) {
      char ndb[16];
      char tix[16];
      std::snprintf(ndb, sizeof ndb, "/QVAD%02d.NDB", j);
      std::snprintf(tix, sizeof tix, "/QVAD%02d.TIX", j);
      plat::FileStamp n;
      plat::FileStamp t;
      const bool both =
          plat::StampOfNative(Native() + ndb, n) && plat::StampOfNative(Native() + tix, t);
      sources.push_back(both ? n : plat::FileStamp());
      sources.push_back(both ? t : plat::FileStamp());
    }
    return sources;
  }
  // The sources of the prefecture names: the folder's dictionary files.
  std::vector<plat::FileStamp> DictionarySources() const {
    std::vector<plat::FileStamp> sources;
    for (const char* name :
         {kUnificationDictionaryFile, kReplacementDictionaryFile, kUserReplacementFile}) {
      std::string utf8;
      EXPECT_TRUE(plat::cp932::ToUtf8(name, utf8));
      plat::FileStamp stamp;
      if (!plat::StampOfNative(Native() + "/" + utf8, stamp)) stamp = plat::FileStamp();
      sources.push_back(stamp);
    }
    return sources;
  }

  // The entries of the one value for the files as they stand, with where
  // it is kept.
  // The folder's stored entries with 東京都's municipality table emptied:
  // a value that leaves 東京都 out.
  void EntriesWithoutTokyo(FolderPrefectureLookups* entries, StoredValue* stored) {
    ASSERT_TRUE(ReadEntries(entries, stored));
    auto empty = std::make_shared<NameTable>();
    empty->Finish((*entries)[13].count);
    (*entries)[13].cities = empty;
  }
  bool ReadEntries(FolderPrefectureLookups* out, StoredValue* stored) {
    return TheValueOf("prefectures", stored) &&
           LoadPrefectureLookups(stored->Place(), LookupSources(), out);
  }
  // The bytes of the one value for the files as they stand ("" when the
  // store answers none).
  std::string ValueBytes(const StoredValue& stored) {
    plat::DerivedBytes value;
    return plat::GetDerived(PrefectureLookupStoreKey(stored.Place()), LookupSources(), value)
               ? std::string(value.bytes)
               : std::string();
  }
  // Keeps bytes as that value for the files as they stand (a sound record
  // of the store, whatever the bytes).
  bool WriteBytesAsValue(const StoredValue& stored, const std::string& bytes) {
    return plat::PutDerived(PrefectureLookupStoreKey(stored.Place()), LookupSources(), bytes);
  }
  // The one value of the prefecture names, for the dictionary files as
  // they stand, into names_.
  bool ReadNames(StoredValue* stored) {
    plat::DerivedBytes value;
    return TheValueOf("prefnames", stored) &&
           plat::GetDerived(PrefectureNamesStoreKey(stored->Folder(), stored->item),
                            DictionarySources(), value) &&
           DecodePrefectureNames(value.bytes, &names_) &&
           stored->item == PrefectureNamesItem(names_.useKanjiNames);
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
  ASSERT_TRUE(Decode(bytes, lookups, &back));
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

// The entries' stamps are the value's sources: bytes are read only with
// sources of every prefecture (database and index in turn), and only when
// the files are there exactly for the entries that had them; bytes refused
// leave the entries all unknown.
TEST(PrefectureLookupBytes, TakesTheStampsFromSourcesThatFitTheEntries) {
  const FolderPrefectureLookups lookups = SomeLookups();
  const std::string bytes = EncodePrefectureLookups(lookups);
  const std::vector<plat::FileStamp> sources = PrefectureLookupSources(lookups);
  ASSERT_EQ(sources.size(), 2u * kPrefectureCount);
  EXPECT_EQ(sources[0], Stamp(100));
  EXPECT_EQ(sources[1], Stamp(200));
  EXPECT_EQ(sources[2], Stamp(300));
  EXPECT_EQ(sources[3], Stamp(400));
  for (std::size_t i = 4; i < sources.size(); ++i) EXPECT_EQ(sources[i], plat::FileStamp()) << i;
  FolderPrefectureLookups back;
  // Other stamps of the same files: the entries take them.
  std::vector<plat::FileStamp> other = sources;
  other[0] = Stamp(500);
  other[3] = Stamp(600);
  ASSERT_TRUE(DecodePrefectureLookups(bytes, nullptr, other, &back));
  EXPECT_EQ(back[1].ndb, Stamp(500));
  EXPECT_EQ(back[2].tix, Stamp(600));
  EXPECT_TRUE(back[1].known);
  auto refused = [&](const std::vector<plat::FileStamp>& s, const char* what) {
    back = FolderPrefectureLookups();
    back[1].files = true;
    EXPECT_FALSE(DecodePrefectureLookups(bytes, nullptr, s, &back)) << what;
    EXPECT_FALSE(back[1].files) << what;
    EXPECT_FALSE(back[1].known) << what;
  };
  refused({}, "no sources");
  refused(std::vector<plat::FileStamp>(sources.begin(), sources.end() - 2), "a prefecture fewer");
  std::vector<plat::FileStamp> more = sources;
  more.push_back(Stamp(700));
  refused(more, "a source more");
  std::vector<plat::FileStamp> gone = sources;
  gone[2] = gone[3] = plat::FileStamp();
  refused(gone, "the files of an entry gone");
  std::vector<plat::FileStamp> added = sources;
  added[4] = Stamp(800);
  added[5] = Stamp(900);
  refused(added, "files where an entry had none");
  std::vector<plat::FileStamp> half = sources;
  half[1] = plat::FileStamp();
  refused(half, "a database without its index");
}

// The prefecture names, a value of their own, read back as written; bytes
// cut short anywhere, longer, or with flags that no names have are refused
// and leave the names as they were.
TEST(PrefectureLookupBytes, NamesReadBackAsWrittenAndNothingElse) {
  FolderPrefectureNames names;
  names.useKanjiNames = 2;
  for (int j = 1; j <= kPrefectureCount; ++j) {
    PrefectureNameForms& f = names.forms[static_cast<std::size_t>(j)];
    f.name = j % 3 == 0 ? std::string() : "県" + std::to_string(j);
    f.again = j % 2 == 0;
    f.againEmpty = j % 5 == 0;
  }
  const std::string bytes = EncodePrefectureNames(names);
  FolderPrefectureNames back;
  back.dictionaries = "the process's own";
  ASSERT_TRUE(DecodePrefectureNames(bytes, &back));
  EXPECT_EQ(back.dictionaries, "the process's own");
  EXPECT_EQ(back.useKanjiNames, 2);
  for (int j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureNameForms& a = names.forms[static_cast<std::size_t>(j)];
    const PrefectureNameForms& b = back.forms[static_cast<std::size_t>(j)];
    EXPECT_EQ(a.name, b.name) << j;
    EXPECT_EQ(a.again, b.again) << j;
    EXPECT_EQ(a.againEmpty, b.againEmpty) << j;
  }
  auto refused = [&](const std::string& damaged) {
    FolderPrefectureNames left;
    left.useKanjiNames = 7;
    left.forms[1].name = "left";
    const bool taken = DecodePrefectureNames(damaged, &left);
    EXPECT_EQ(left.useKanjiNames, 7);
    EXPECT_EQ(left.forms[1].name, "left");
    return !taken;
  };
  for (std::size_t size = 0; size < bytes.size(); ++size)
    EXPECT_TRUE(refused(bytes.substr(0, size))) << size;
  EXPECT_TRUE(refused(bytes + '\0'));
  // The last prefecture's flags are the last byte.
  std::string flags = bytes;
  flags.back() = 4;
  EXPECT_TRUE(refused(flags));
  flags.back() = 3;
  ASSERT_TRUE(DecodePrefectureNames(flags, &back));
  EXPECT_TRUE(back.forms[kPrefectureCount].again);
  EXPECT_TRUE(back.forms[kPrefectureCount].againEmpty);
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
    EXPECT_FALSE(Decode(bytes.substr(0, size), lookups, &back)) << size;
    EXPECT_FALSE(back[1].files) << size;
  }
  // One byte more.
  EXPECT_FALSE(Decode(bytes + '\0', lookups, &back));

  auto refused = [&](const NameTable& table, uint16_t count) {
    FolderPrefectureLookups bad = SomeLookups();
    bad[1].cities = std::make_shared<NameTable>(table);
    bad[1].count = count;
    return !Decode(EncodePrefectureLookups(bad), bad, &back);
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
  EXPECT_FALSE(Decode(changed(sectionAt(NameTableHeader::kHeads) + 4, &many, 4), lookups, &back));
  const char one = 1;
  EXPECT_FALSE(Decode(changed(padding, &one, 1), lookups, &back)) << "padding";
  const uint32_t offAlignment = header.sections[NameTableHeader::kPairs].offset + 2;
  EXPECT_FALSE(
      Decode(changed(sectionAt(NameTableHeader::kPairs), &offAlignment, 4), lookups, &back));

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
    ASSERT_TRUE(Decode(value, lookups, &back)) << what;
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
  FolderPrefectureLookups entries;
  StoredValue stored;
  ASSERT_TRUE(ReadEntries(&entries, &stored));
  EXPECT_TRUE(entries[13].known);
  EXPECT_TRUE(entries[26].known);
  EXPECT_FALSE(entries[1].files);
  // The value of the data folder itself.
  const plat::DerivedFolder folder = plat::DerivedFolderAt(Native());
  ASSERT_TRUE(folder.Known());
  EXPECT_EQ(stored.device, folder.device);
  EXPECT_EQ(stored.inode, folder.inode);
  ExpectSameLines(texts, MatchAll(texts), reference);
}

TEST_F(PrefectureLookupFile, IsUsedOnlyWhileTheDataFilesAreUnchanged) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  // A value whose table says no municipality of 東京都 can begin the text:
  // while it is taken as current, the scan leaves 東京都 out.
  FolderPrefectureLookups entries;
  StoredValue stored;
  ASSERT_TRUE(ReadEntries(&entries, &stored));
  ASSERT_TRUE(entries[13].known);
  auto empty = std::make_shared<NameTable>();
  empty->Finish(entries[13].count);
  entries[13].cities = empty;
  ASSERT_TRUE(StorePrefectureLookups(stored.Place(), entries));
  EXPECT_NE(MatchAll(texts), reference);
  // Another modification time of the prefecture's database: its names are
  // read again, and the value is written with them.
  const std::string ndb = data_.Native(Utf8(u8"住所/QVAD13.NDB"));
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, ndb.c_str(), times, 0), 0);
  EXPECT_EQ(MatchAll(texts), reference);
  ASSERT_TRUE(ReadEntries(&entries, &stored));
  ASSERT_TRUE(entries[13].cities);
  EXPECT_FALSE(entries[13].cities->Pairs().empty() && entries[13].cities->Heads().empty());
  // The same when its index is replaced by a copy of itself.
  entries[13].cities = empty;
  ASSERT_TRUE(StorePrefectureLookups(stored.Place(), entries));
  EXPECT_NE(MatchAll(texts), reference);
  const std::string tix = data_.Native(Utf8(u8"住所/QVAD13.TIX"));
  ASSERT_TRUE(std::filesystem::copy_file(tix, tix + ".new"));
  std::filesystem::rename(tix + ".new", tix);
  EXPECT_EQ(MatchAll(texts), reference);
}

// The prefecture names put in front of a text come from the folder's
// dictionaries: the value kept of them is used only while the dictionary
// files are unchanged.
TEST_F(PrefectureLookupFile, KeptNamesAreUsedOnlyWhileTheDictionaryFilesAreUnchanged) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  StoredValue stored;
  ASSERT_TRUE(ReadNames(&stored));
  EXPECT_EQ(names_.forms[13].name, "東京都");
  EXPECT_TRUE(names_.forms[13].again);
  // Names under which no prefecture row begins a text of 東京都: while
  // they are taken as current, the scan leaves 東京都 out.
  for (int j = 1; j <= kPrefectureCount; ++j) {
    names_.forms[static_cast<std::size_t>(j)].name = "京都府";
    names_.forms[static_cast<std::size_t>(j)].again = true;
    names_.forms[static_cast<std::size_t>(j)].againEmpty = true;
  }
  ASSERT_TRUE(StorePrefectureNames(stored.Folder(), DictionarySources(), names_));
  EXPECT_NE(MatchAll(texts), reference);
  // Another modification time of a dictionary file: the names are made
  // again, and the value is written with them.
  const std::string dictionary = data_.Native(Utf8(u8"住所/文字置換.BIN"));
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dictionary.c_str(), times, 0), 0);
  EXPECT_EQ(MatchAll(texts), reference);
  ASSERT_TRUE(ReadNames(&stored));
  EXPECT_EQ(names_.forms[13].name, "東京都");
  EXPECT_TRUE(names_.forms[13].again);
}

// Bytes kept as the value (sound records of the store) that do not decode
// as look-ups of the folder's files: ignored, the answers those of the
// data files, and the value written again.
TEST_F(PrefectureLookupFile, AValueThatDoesNotDecodeIsIgnoredAndWrittenAgain) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町", "無い市無い町１"};
  const std::vector<std::string> reference = MatchAll(texts);
  StoredValue stored;
  ASSERT_TRUE(TheValueOf("prefectures", &stored));
  const std::string good = ValueBytes(stored);
  ASSERT_GT(good.size(), 100u);
  // Entries with files for a prefecture that has none in the folder.
  FolderPrefectureLookups entries;
  ASSERT_TRUE(ReadEntries(&entries, &stored));
  ASSERT_FALSE(entries[1].files);
  entries[1].files = true;
  entries[1].ndb = entries[13].ndb;
  entries[1].tix = entries[13].tix;
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"empty", ""},
      {"cut in half", good.substr(0, good.size() / 2)},
      {"one byte short", good.substr(0, good.size() - 1)},
      {"one byte more", good + '\0'},
      {"no value of ours", std::string(good.size(), 'x')},
      {"files where there are none", EncodePrefectureLookups(entries)},
  };
  for (const auto& [what, bytes] : damaged) {
    ASSERT_TRUE(WriteBytesAsValue(stored, bytes)) << what;
    ASSERT_EQ(ValueBytes(stored), bytes) << what;
    EXPECT_EQ(MatchAll(texts), reference) << what;
    EXPECT_EQ(ValueBytes(stored), good) << what;
  }
}

// The value's record damaged in the store's file (its checksum no longer
// fits): not answered at all, the answers those of the data files, and
// the value written again (into a new store in the damaged one's place).
TEST_F(PrefectureLookupFile, ARecordDamagedInTheStoreFileChangesNoAnswer) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町", "無い市無い町１"};
  const std::vector<std::string> reference = MatchAll(texts);
  StoredValue stored;
  ASSERT_TRUE(TheValueOf("prefectures", &stored));
  const std::string good = ValueBytes(stored);
  ASSERT_GT(good.size(), 100u);
  plat::detail::ForgetDerivedStore();
  ASSERT_GE(testutil::DamageValueInStoreFile(StorePath(), good), 1);
  EXPECT_EQ(MatchAll(texts), reference);
  EXPECT_TRUE(plat::detail::DerivedStoreFoundDamaged());
  plat::detail::ForgetDerivedStore();
  ASSERT_TRUE(TheValueOf("prefectures", &stored));
  EXPECT_EQ(ValueBytes(stored), good);
  EXPECT_EQ(MatchAll(texts), reference);
}

// Each build keeps values of its own: a value that leaves 東京都 out, kept
// by another build, changes no answer of this one, and this build's value
// stands beside it.
TEST_F(PrefectureLookupFile, AValueOfAnotherBuildChangesNoAnswer) {
  const ScopedEnv xdg("XDG_CACHE_HOME", cache_.path().c_str());
  const std::vector<std::string> texts = {"千代田区丸の内一丁目", "中京区亀屋町"};
  const std::vector<std::string> reference = MatchAll(texts);
  ASSERT_EQ(reference[0][0], '1') << Show(reference[0].c_str());
  FolderPrefectureLookups entries;
  StoredValue stored;
  ASSERT_NO_FATAL_FAILURE(EntriesWithoutTokyo(&entries, &stored));
  {
    const AsBuild another(0x0be1dc0de);
    ASSERT_TRUE(StorePrefectureLookups(stored.Place(), entries));
    EXPECT_NE(MatchAll(texts), reference) << "the build that kept it takes it";
  }
  EXPECT_EQ(MatchAll(texts), reference);
  EXPECT_EQ(ValuesOf("prefectures"), 2u);
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
  StoredValue stored;
  ASSERT_NO_FATAL_FAILURE(EntriesWithoutTokyo(&entries, &stored));
  ASSERT_TRUE(StorePrefectureLookups(stored.Place(), entries));
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
