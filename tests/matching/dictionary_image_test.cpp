// The dictionaries of a folder kept as an image in the store of derived
// values between processes: a later load takes exactly what the loaders
// make from the files (records, counts, capacities, growth steps, and so
// every look-up and replacement), with the records used where they stand
// in the image; an image of files that have changed, been replaced, added
// or removed, of another folder or another build, an image that does not
// check or a record damaged in the store's file, is never used (the files
// are loaded and the image written again); a file that does not load fails
// with its message whatever image there is; without a cache folder the
// files are loaded every time.
#include "matching/dictionary_image.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/message.h"
#include "matching/data_folder_cache.h"
#include "matching/normalize.h"
#include "plat/cp932.h"
#include "plat/derived_store.h"
#include "plat/file_stamp.h"
#include "plat/path.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/store_damage.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tools/dictbuild/pair_file_writer.h"

namespace {

using dictbuild::PairFileForm;
using dictbuild::TextPair;
using testutil::ScopedEnv;
using testutil::Show;
using testutil::Sjis;

// A data folder with the three dictionary files (the user's as text, or
// none).
struct DictionaryFolder {
  testutil::TempDir dir;
  std::string folder = dir.path() + "\\";

  std::string Native(const char* cp932Name) const {
    std::string utf8;
    EXPECT_TRUE(plat::cp932::ToUtf8(cp932Name, utf8));
    return dir.Native(utf8);
  }
  void Write(const char* name, PairFileForm form, const std::vector<TextPair>& pairs) {
    std::string error;
    ASSERT_TRUE(dictbuild::WritePairFile(dir.Sys(name).c_str(), form, pairs, &error)) << error;
  }
  void WriteUser(const std::optional<std::string>& text) {
    if (text) {
      ASSERT_TRUE(testutil::WriteBytes(Native(kUserReplacementFile), *text));
    } else {
      std::remove(Native(kUserReplacementFile).c_str());
    }
  }
};

// The sample's kinds of entry: full-width and half-width forms, kanji
// variants, a "１００００" that the loader turns into "万", and pairs that
// normalise differently from how they are written.
void WriteWidthFolder(DictionaryFolder& f, const std::optional<std::string>& user) {
  f.Write(kUnificationDictionaryFile, PairFileForm::kUnification,
          {{Sjis(u8"髙"), Sjis(u8"高")},
           {Sjis(u8"ｱ"), Sjis(u8"ア")},
           {Sjis(u8"ｶﾞ"), Sjis(u8"ガ")},
           {Sjis(u8"１"), "1"},
           {Sjis(u8"Ａ"), "A"},
           {Sjis(u8"﨑"), Sjis(u8"崎")},
           {Sjis(u8"ヶ"), Sjis(u8"ケ")}});
  f.Write(kReplacementDictionaryFile, PairFileForm::kReplacement,
          {{Sjis(u8"１００００"), Sjis(u8"一万")},
           {Sjis(u8"丁目"), ""},
           {Sjis(u8"ﾏﾙﾉｳﾁ"), Sjis(u8"丸の内")}});
  f.WriteUser(user);
}

std::string Bytes(const void* buffer, uint32_t capacity, uint32_t size) {
  if (buffer == nullptr) return std::string();
  return std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(capacity) * size);
}

// The texts a matcher puts through the dictionaries.
const std::u8string_view kProbes[] = {u8"東京都千代田区丸の内一丁目",
                                      u8"髙田馬場１－２",
                                      u8"ｶﾞｰﾃﾞﾝﾏﾙﾉｳﾁ１００００番地",
                                      u8"ＡＢ﨑ヶ丘",
                                      u8"中京区亀屋町",
                                      u8""};

// Everything the loaders made, and what the dictionaries answer.
void ExpectSame(FolderDictionaries& a, FolderDictionaries& b, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(a.hasExtra, b.hasExtra);
  EXPECT_EQ(a.filesStamp, b.filesStamp);
  EXPECT_EQ(a.unification.GetCount(), b.unification.GetCount());
  EXPECT_EQ(a.unification.GetCapacity(), b.unification.GetCapacity());
  EXPECT_EQ(a.unification.GetGrowthStep(), b.unification.GetGrowthStep());
  EXPECT_EQ(a.unification.GetRecordSize(), b.unification.GetRecordSize());
  EXPECT_EQ(Bytes(a.unification.GetBuffer(), a.unification.GetCapacity(), sizeof(PairRecord)),
            Bytes(b.unification.GetBuffer(), b.unification.GetCapacity(), sizeof(PairRecord)));
  for (auto [x, y] : {std::pair{&a.replacements, &b.replacements}, std::pair{&a.extra, &b.extra}}) {
    EXPECT_EQ(x->GetCount(), y->GetCount());
    EXPECT_EQ(x->GetCapacity(), y->GetCapacity());
    EXPECT_EQ(x->GetGrowthStep(), y->GetGrowthStep());
    EXPECT_EQ(x->GetElementSize(), y->GetElementSize());
    EXPECT_EQ(Bytes(x->GetBuffer(), x->GetCapacity(), x->GetElementSize()),
              Bytes(y->GetBuffer(), y->GetCapacity(), y->GetElementSize()));
  }
  for (const std::u8string_view probe : kProbes) {
    for (const bool extra : {false, true}) {
      char x[256] = {};
      char y[256] = {};
      std::strcpy(x, Sjis(probe).c_str());
      std::strcpy(y, x);
      const CRecordList* listA = extra ? (a.hasExtra ? &a.extra : nullptr) : &a.replacements;
      const CRecordList* listB = extra ? (b.hasExtra ? &b.extra : nullptr) : &b.replacements;
      EXPECT_EQ(NormalizeSearchText(listA, &a.unification, x, sizeof x),
                NormalizeSearchText(listB, &b.unification, y, sizeof y));
      EXPECT_STREQ(x, y) << Show(Sjis(probe));
    }
  }
  for (uint32_t n = 1; n <= b.unification.GetCount(); ++n) {
    PairRecord key{};
    ASSERT_EQ(b.unification.GetAt(n, &key), 1);
    for (const char* op : {"=", "<=", ">=", "<", ">"}) {
      EXPECT_EQ(a.unification.Find(op, key.search, CompareDictionaryKeys),
                b.unification.Find(op, key.search, CompareDictionaryKeys))
          << op << " " << Show(key.search);
    }
  }
}

// Whether the records stand in the image's bytes (not copied out of it).
bool InPlace(const FolderDictionaries& d) {
  auto inside = [&](const void* p) {
    const char* c = static_cast<const char*>(p);
    return c >= d.image.data() && c < d.image.data() + d.image.size();
  };
  return !d.image.empty() && inside(d.unification.GetBuffer()) &&
         inside(d.replacements.GetBuffer()) && (!d.hasExtra || inside(d.extra.GetBuffer()));
}

// Where the store keeps a folder's image, as the folder and its files stand
// now: the folder itself, and the stamps of its dictionary files
// (unification, replacement, user list; a missing file's the default).
struct ImagePlace {
  std::string native;
  plat::FileStamp folderStamp;
  std::vector<plat::FileStamp> files;
  plat::DerivedFolder Folder() const { return plat::DerivedFolderOf(folderStamp, native); }
};

ImagePlace PlaceOf(const std::string& folder) {
  ImagePlace p;
  EXPECT_TRUE(plat::path::Resolve(folder.c_str(), false, p.native)) << Show(folder);
  while (p.native.size() > 1 && p.native.back() == '/') p.native.pop_back();
  EXPECT_TRUE(plat::StampOfNative(p.native, p.folderStamp)) << p.native;
  for (const char* name :
       {kUnificationDictionaryFile, kReplacementDictionaryFile, kUserReplacementFile}) {
    std::string utf8;
    EXPECT_TRUE(plat::cp932::ToUtf8(name, utf8));
    plat::FileStamp stamp;
    if (!plat::StampOfNative(p.native + "/" + utf8, stamp)) stamp = plat::FileStamp();
    p.files.push_back(stamp);
  }
  return p;
}

// The build the store keys this process's values by, while it lives.
struct AsBuild {
  explicit AsBuild(std::uint64_t build) { plat::detail::SetDerivedStoreBuild(build); }
  ~AsBuild() { plat::detail::SetDerivedStoreBuild(0); }
  AsBuild(const AsBuild&) = delete;
  AsBuild& operator=(const AsBuild&) = delete;
};

// The number of images the store holds.
std::size_t Images() {
  std::size_t n = 0;
  for (const auto& e : plat::detail::DerivedStoreEntries()) n += e.kind == "dictionaries" ? 1 : 0;
  return n;
}

class DictionaryImageTest : public ::testing::Test {
 protected:
  // The files written by the tests count as settled (what is kept is the
  // question here).
  const testutil::SettledClock settled_;
  // The folder's dictionaries loaded from the files alone (no cache folder).
  void Fresh(const std::string& folder, FolderDictionaries* d) {
    const ScopedEnv xdg("XDG_CACHE_HOME", none_.Native("plain").c_str());
    ASSERT_TRUE(testutil::WriteBytes(none_.Native("plain"), "x"));
    char msg[kMessageSize] = "";
    bool fromImage = true;
    ASSERT_EQ(LoadFolderDictionaries(folder, d, msg, &fromImage), 1) << Show(msg);
    EXPECT_FALSE(fromImage);
  }
  // A load with the test's cache folder; false when it failed.
  bool Load(const std::string& folder, FolderDictionaries* d, bool* fromImage) {
    char msg[kMessageSize] = "";
    const bool ok = LoadFolderDictionaries(folder, d, msg, fromImage) == 1;
    EXPECT_TRUE(ok) << Show(msg);
    return ok;
  }
  ~DictionaryImageTest() override { plat::detail::ForgetDerivedStore(); }
  // The image the store answers for the place ("" when there is none).
  static std::string ImageBytes(const ImagePlace& place) {
    plat::DerivedBytes value;
    return plat::GetDerived(DictionaryImageStoreKey(place.Folder()), place.files, value)
               ? std::string(value.bytes)
               : std::string();
  }
  // The folder's image for its files as they stand now.
  static std::string ImageBytes(const std::string& folder) { return ImageBytes(PlaceOf(folder)); }
  // Keeps bytes as the folder's image for its files as they stand now,
  // through the store (a sound record of bytes that may not be an image).
  static bool PutImage(const std::string& folder, const std::string& bytes) {
    const ImagePlace place = PlaceOf(folder);
    return plat::PutDerived(DictionaryImageStoreKey(place.Folder()), place.files, bytes);
  }
  std::string StorePath() const { return cache_.path() + "/kort/store.mdb"; }
  // Loads through the image twice: the first writes it (from image or not
  // as expected), the second takes it, in place; both as the files give.
  void ExpectImageTakenAfter(const std::string& folder, bool firstFromImage,
                             const std::string& what) {
    SCOPED_TRACE(what);
    FolderDictionaries fresh;
    Fresh(folder, &fresh);
    FolderDictionaries first;
    bool fromImage = !firstFromImage;
    ASSERT_TRUE(Load(folder, &first, &fromImage));
    EXPECT_EQ(fromImage, firstFromImage);
    ExpectSame(first, fresh, "first");
    FolderDictionaries second;
    ASSERT_TRUE(Load(folder, &second, &fromImage));
    EXPECT_TRUE(fromImage);
    EXPECT_TRUE(InPlace(second));
    ExpectSame(second, fresh, "second");
  }

  testutil::TempDir none_;
  testutil::TempDir cache_;
  const ScopedEnv xdg_{"XDG_CACHE_HOME", cache_.path().c_str()};
};

TEST_F(DictionaryImageTest, ALaterLoadTakesTheImageInPlaceAndAnswersAsTheFiles) {
  {
    const std::string sample = sample::Folder();
    ASSERT_FALSE(sample.empty());
    ExpectImageTakenAfter(sample, false, "the sample folder");
  }
  const std::pair<const char*, std::optional<std::string>> users[] = {
      {"no user file", std::nullopt},
      {"an empty user file", ""},
      {"comments and blank lines only", Sjis(u8"; 置換\r\n\r\n   \r\n;,\r\n")},
      {"full- and half-width pairs",
       Sjis(
           u8"; ユーザー置換\r\nﾏﾙﾉｳﾁ,丸の内\r\n髙田,高田,余り\r\n  ＡＢ１ , ab1 \r\nｶﾞｰﾃﾞﾝ\r\n")}};
  for (const auto& [what, user] : users) {
    DictionaryFolder f;
    WriteWidthFolder(f, user);
    ExpectImageTakenAfter(f.folder, false, what);
  }
}

TEST_F(DictionaryImageTest, AnImageOfFilesThatChangedIsNeverTaken) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  ExpectImageTakenAfter(f.folder, false, "written");
  const std::string userPath = f.Native(kUserReplacementFile);
  const std::string replacePath = f.Native(kReplacementDictionaryFile);
  const std::string unifyPath = f.Native(kUnificationDictionaryFile);

  // Another size.
  ASSERT_TRUE(testutil::WriteBytes(userPath, Sjis(u8"ﾏﾙﾉｳﾁ,丸ノ内\r\n髙,高\r\n")));
  ExpectImageTakenAfter(f.folder, false, "the user file grew");

  // The same size and modification time, other bytes (the status change
  // tells).
  {
    std::string bytes = testutil::ReadBytes(replacePath);
    struct stat before {};
    ASSERT_EQ(stat(replacePath.c_str(), &before), 0);
    bytes[bytes.size() - 1] = static_cast<char>(~static_cast<unsigned char>(Sjis(u8"円")[1]));
    ASSERT_TRUE(testutil::WriteBytes(replacePath, bytes));
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, replacePath.c_str(), times, 0), 0);
    ExpectImageTakenAfter(f.folder, false, "the replacement file rewritten, same size and time");
  }

  // Only the modification time.
  {
    struct stat before {};
    ASSERT_EQ(stat(unifyPath.c_str(), &before), 0);
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_sec -= 3600;
    ASSERT_EQ(utimensat(AT_FDCWD, unifyPath.c_str(), times, 0), 0);
    ExpectImageTakenAfter(f.folder, false, "the unification file touched");
  }

  // Replaced by another file of the same bytes (another inode).
  {
    const std::string other = f.dir.Native("other.bin");
    ASSERT_TRUE(testutil::WriteBytes(other, testutil::ReadBytes(unifyPath)));
    ASSERT_EQ(std::rename(other.c_str(), unifyPath.c_str()), 0);
    ExpectImageTakenAfter(f.folder, false, "the unification file replaced");
  }

  // The user file removed, then back (a missing file is a state too).
  f.WriteUser(std::nullopt);
  ExpectImageTakenAfter(f.folder, false, "the user file removed");
  f.WriteUser(Sjis(u8"髙,高\r\n"));
  ExpectImageTakenAfter(f.folder, false, "the user file added");
}

// Bytes kept as the image (sound records of the store) that are no image:
// never taken, and the image is written again.
TEST_F(DictionaryImageTest, AnImageCutShortOrOtherwiseNoImageIsNotTakenAndIsWrittenAgain) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n;\r\n"));
  ExpectImageTakenAfter(f.folder, false, "written");
  const std::string whole = ImageBytes(f.folder);
  ASSERT_GT(whole.size(), 1000u);

  std::vector<std::pair<std::string, std::string>> damaged = {
      {"empty", ""},
      {"the magic only", whole.substr(0, 8)},
      {"cut to a third", whole.substr(0, whole.size() / 3)},
      {"eight bytes short", whole.substr(0, whole.size() - 8)},
      {"a byte short", whole.substr(0, whole.size() - 1)},
      {"a byte more", whole + '\0'},
      {"eight bytes more", whole + std::string(8, '\0')}};
  {
    std::string magic = whole;
    magic[1] ^= 0x20;
    damaged.emplace_back("another magic", magic);
    // The format number follows the magic.
    std::string format = whole;
    format[8] ^= 0x01;
    damaged.emplace_back("another format", format);
  }
  for (const auto& [what, bytes] : damaged) {
    ASSERT_TRUE(PutImage(f.folder, bytes)) << what;
    ASSERT_EQ(ImageBytes(f.folder), bytes) << what;
    ExpectImageTakenAfter(f.folder, false, what);
    EXPECT_EQ(ImageBytes(f.folder), whole) << what;
  }

  // Images read into memory: one that checks is taken once, whole; one
  // that does not leaves the dictionaries as they were.
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  FolderDictionaries d;
  for (const auto& [what, bytes] : damaged) {
    EXPECT_FALSE(UseDictionaryImage(std::string(bytes), &d)) << what;
    EXPECT_EQ(d.unification.GetBuffer(), nullptr) << what;
    EXPECT_TRUE(d.image.empty()) << what;
  }
  ASSERT_TRUE(UseDictionaryImage(std::string(whole), &d));
  d.filesStamp = fresh.filesStamp;
  ExpectSame(d, fresh, "from memory");
  EXPECT_EQ(MakeDictionaryImage(d), whole);
}

// The store answers the image only for its own folder and the stamps it
// was kept under: another folder, or other stamps of the files, get none,
// and the dictionaries are left as they were.
TEST_F(DictionaryImageTest, AnImageIsReadOnlyForItsFolderAndTheStampsOfItsFiles) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  ExpectImageTakenAfter(f.folder, false, "written");
  const ImagePlace place = PlaceOf(f.folder);
  ASSERT_FALSE(ImageBytes(place).empty());
  DictionaryFolder g;
  WriteWidthFolder(g, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  const ImagePlace other = PlaceOf(g.folder);
  FolderDictionaries d;
  EXPECT_FALSE(ReadDictionaryImage(other.Folder(), place.files, &d)) << "another folder";
  for (std::size_t i = 0; i < place.files.size(); ++i) {
    std::vector<plat::FileStamp> files = place.files;
    files[i].modifiedNs += 1;
    EXPECT_FALSE(ReadDictionaryImage(place.Folder(), files, &d)) << "file " << i << " touched";
    files[i] = plat::FileStamp();
    EXPECT_FALSE(ReadDictionaryImage(place.Folder(), files, &d)) << "file " << i << " missing";
  }
  EXPECT_FALSE(ReadDictionaryImage(
      place.Folder(), plat::DerivedSources(place.files).first(place.files.size() - 1), &d))
      << "a file fewer";
  EXPECT_EQ(d.unification.GetBuffer(), nullptr);
  EXPECT_TRUE(d.image.empty());
  ASSERT_TRUE(ReadDictionaryImage(place.Folder(), place.files, &d));
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  d.filesStamp = fresh.filesStamp;
  ExpectSame(d, fresh, "read");
}

// A folder's image is kept under the folder itself: another folder whose
// dictionary files are the very same files (links: the same stamps) does
// not take it, while the folder under another spelling (through a
// symbolic link) takes its own.
TEST_F(DictionaryImageTest, AnImageIsTakenOnlyForItsOwnFolderUnderAnySpelling) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  testutil::TempDir other;
  for (const char* name :
       {kUnificationDictionaryFile, kReplacementDictionaryFile, kUserReplacementFile}) {
    std::string utf8;
    ASSERT_TRUE(plat::cp932::ToUtf8(name, utf8));
    ASSERT_EQ(link(f.dir.Native(utf8).c_str(), other.Native(utf8).c_str()), 0) << utf8;
  }
  const std::string otherFolder = other.path() + "\\";
  ExpectImageTakenAfter(f.folder, false, "the folder");
  ASSERT_EQ(PlaceOf(otherFolder).files, PlaceOf(f.folder).files) << "the same files";
  ExpectImageTakenAfter(otherFolder, false, "another folder of the same files");
  EXPECT_EQ(Images(), 2u);
  {
    FolderDictionaries d;
    bool fromImage = false;
    ASSERT_TRUE(Load(f.folder, &d, &fromImage));
    EXPECT_TRUE(fromImage) << "the folder still takes its own";
  }
  testutil::TempDir links;
  ASSERT_EQ(symlink(f.dir.path().c_str(), links.Native("alias").c_str()), 0);
  ExpectImageTakenAfter(links.path() + "\\alias\\", true, "the folder through a link");
  EXPECT_EQ(Images(), 2u);
}

// Each build keeps an image of its own: the image of another build is not
// taken, and stands beside this build's.
TEST_F(DictionaryImageTest, AnImageOfAnotherBuildIsNotTaken) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  ExpectImageTakenAfter(f.folder, false, "this build");
  {
    const AsBuild another(0x5eed0f0b011d);
    ExpectImageTakenAfter(f.folder, false, "another build");
  }
  EXPECT_EQ(Images(), 2u);
  FolderDictionaries d;
  bool fromImage = false;
  ASSERT_TRUE(Load(f.folder, &d, &fromImage));
  EXPECT_TRUE(fromImage) << "this build's image stays";
}

// A record damaged in the store's file (a byte of the image changed: its
// checksum no longer fits) is not answered at all: the store is taken as
// damaged, the files are loaded with the same dictionaries, and the image
// written then (into a new store) is taken by the next load.
TEST_F(DictionaryImageTest, ARecordDamagedInTheStoreFileIsNotAnsweredAndTheFilesAreLoaded) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  ExpectImageTakenAfter(f.folder, false, "written");
  const std::string whole = ImageBytes(f.folder);
  ASSERT_GT(whole.size(), 1000u);
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  plat::detail::ForgetDerivedStore();
  ASSERT_GE(testutil::DamageValueInStoreFile(StorePath(), whole), 1);
  EXPECT_FALSE(plat::detail::DerivedStoreFoundDamaged());
  FolderDictionaries first;
  bool fromImage = true;
  ASSERT_TRUE(Load(f.folder, &first, &fromImage));
  EXPECT_FALSE(fromImage);
  EXPECT_TRUE(plat::detail::DerivedStoreFoundDamaged());
  ExpectSame(first, fresh, "from the files");
  FolderDictionaries second;
  ASSERT_TRUE(Load(f.folder, &second, &fromImage));
  EXPECT_TRUE(fromImage);
  EXPECT_TRUE(InPlace(second));
  ExpectSame(second, fresh, "from the new image");
  EXPECT_EQ(ImageBytes(f.folder), whole);
}

TEST_F(DictionaryImageTest, AFileThatDoesNotLoadFailsAsItAlwaysDidWhateverTheImage) {
  DictionaryFolder f;
  WriteWidthFolder(f, std::nullopt);
  ExpectImageTakenAfter(f.folder, false, "written");
  // The files as the image was written for them.
  const ImagePlace written = PlaceOf(f.folder);
  const std::string image = ImageBytes(written);
  ASSERT_FALSE(image.empty());
  const std::string replacePath = f.Native(kReplacementDictionaryFile);
  const std::string replace = testutil::ReadBytes(replacePath);

  // Each damage gives the loader's own message, with the image in place or
  // not, and leaves no image of its own.
  auto expectFailure = [&](const std::string& what) {
    SCOPED_TRACE(what);
    char expected[kMessageSize] = "";
    {
      const ScopedEnv xdg("XDG_CACHE_HOME", none_.Native("plain").c_str());
      FolderDictionaries d;
      ASSERT_EQ(LoadFolderDictionaries(f.folder, &d, expected, nullptr), 0);
    }
    ASSERT_NE(expected[0], '\0');
    for (int round = 0; round < 2; ++round) {
      FolderDictionaries d;
      char msg[kMessageSize] = "";
      bool fromImage = true;
      EXPECT_EQ(LoadFolderDictionaries(f.folder, &d, msg, &fromImage), 0);
      EXPECT_STREQ(msg, expected) << Show(msg);
      EXPECT_FALSE(fromImage);
    }
    EXPECT_EQ(ImageBytes(written), image) << "the old image stays";
    EXPECT_EQ(ImageBytes(f.folder), "") << "none for the files as they stand";
    EXPECT_EQ(Images(), 1u);
  };
  ASSERT_TRUE(testutil::WriteBytes(replacePath, replace.substr(0, replace.size() - 3)));
  expectFailure("the replacement file cut short");
  ASSERT_TRUE(testutil::WriteBytes(replacePath, std::string(replace.size(), 'x')));
  expectFailure("the replacement file of the same size without its header");
  ASSERT_TRUE(testutil::WriteBytes(replacePath, replace));
  f.WriteUser(Sjis(u8"髙,") + std::string(300, 'a') + "\r\n");
  expectFailure("a user pair over its limit");
  f.WriteUser(std::nullopt);
  std::remove(f.Native(kUnificationDictionaryFile).c_str());
  expectFailure("no unification file");
}

TEST_F(DictionaryImageTest, WithoutAUsableCacheFolderTheFilesAreLoadedEveryTime) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  testutil::TempDir home;
  // The cache folder's place taken by a file; a folder that others may
  // write to; no cache home at all.
  ASSERT_TRUE(testutil::WriteBytes(home.Native("file"), "x"));
  ASSERT_EQ(mkdir(home.Native("open").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(home.Native("open/kort").c_str(), 0777), 0);
  ASSERT_EQ(chmod(home.Native("open/kort").c_str(), 0777), 0);
  for (const std::string& xdg :
       {home.Native("file"), home.Native("open"), std::string("relative")}) {
    const ScopedEnv env("XDG_CACHE_HOME", xdg.c_str());
    const ScopedEnv noHome("HOME", nullptr);
    for (int round = 0; round < 2; ++round) {
      FolderDictionaries d;
      bool fromImage = true;
      ASSERT_TRUE(Load(f.folder, &d, &fromImage));
      EXPECT_FALSE(fromImage) << xdg;
      ExpectSame(d, fresh, xdg);
    }
  }
  EXPECT_TRUE(testutil::FolderNames(home.Native("open/kort")).empty());
}

// Loads at once (threads here, processes alike) each write or take the
// image whole: every one gets the files' dictionaries, and the image left
// is one a later load takes.
TEST_F(DictionaryImageTest, LoadsAtOnceEachGetTheFilesDictionaries) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<FolderDictionaries>> loaded;
  for (int i = 0; i < 2 * kThreads; ++i) loaded.push_back(std::make_unique<FolderDictionaries>());
  for (int round = 0; round < 2; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        char msg[kMessageSize] = "";
        EXPECT_EQ(LoadFolderDictionaries(f.folder, loaded[round * kThreads + i].get(), msg), 1);
      });
    }
    for (std::thread& t : threads) t.join();
  }
  for (auto& d : loaded) ExpectSame(*d, fresh, "at once");
  ExpectImageTakenAfter(f.folder, true, "afterwards");
}

// A process keeps a folder's dictionaries for its later calls as before,
// whether they came from the image or the files.
TEST_F(DictionaryImageTest, ALeaseKeepsWhatTheImageGaveForLaterCalls) {
  DictionaryFolder f;
  WriteWidthFolder(f, Sjis(u8"ﾏﾙﾉｳﾁ,丸の内\r\n"));
  {
    FolderDictionaries d;
    bool fromImage = true;
    ASSERT_TRUE(Load(f.folder, &d, &fromImage));
    EXPECT_FALSE(fromImage);
  }
  char msg[kMessageSize] = "";
  FolderDictionaries* kept = nullptr;
  {
    CDictionaryLease lease;
    ASSERT_EQ(LeaseFolderDictionaries(f.folder, &lease, msg), 1) << Show(msg);
    kept = lease.Get();
    EXPECT_TRUE(InPlace(*kept));
  }
  ASSERT_TRUE(PutImage(f.folder, "gone"));
  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(f.folder, &lease, msg), 1) << Show(msg);
  EXPECT_EQ(lease.Get(), kept);
  FolderDictionaries fresh;
  Fresh(f.folder, &fresh);
  ExpectSame(*lease.Get(), fresh, "kept");
}

}  // namespace
