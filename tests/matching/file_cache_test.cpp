// The shared images of read-only data files and the per-folder state of
// the matching entries: kept while the files are unchanged, made anew when
// one is replaced.
#include "tabledb/file_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/data_folder_cache.h"
#include "plat/file_stamp.h"
#include "support/test_util.h"
#include "tabledb/data_source.h"
#include "tabledb/table_database.h"

using testutil::TempDir;

namespace {

std::string Pattern(std::size_t n, char salt) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + salt) & 0xFF);
  return s;
}

TEST(CachedFile, ReadsAcrossBlocksAndIsKeptWhileUnchanged) {
  const testutil::SettledClock settled;  // the files written here count as settled
  TempDir dir;
  const std::string bytes = Pattern(100000, 1);  // four blocks
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.bin"), bytes));
  const std::string path = dir.path() + "\\A.BIN";  // found as an open finds it
  const auto image = AcquireCachedFile(path.c_str());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetSize(), bytes.size());
  std::string out(40000, '\0');
  ASSERT_EQ(image->ReadAt(30000, out.data(), 40000), 1) << "across three blocks";
  EXPECT_EQ(out, bytes.substr(30000, 40000));
  ASSERT_EQ(image->ReadAt(99990, out.data(), 10), 1);
  EXPECT_EQ(out.substr(0, 10), bytes.substr(99990));
  EXPECT_EQ(image->ReadAt(99991, out.data(), 10), 0) << "past the end";
  EXPECT_EQ(image->Bytes(100000, 1), nullptr);

  // Unchanged: the same image, one status call, no read.
  const uint64_t before = plat::SystemCallCount();
  EXPECT_EQ(AcquireCachedFile(path.c_str()), image);
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);

  // Replaced by another file: a new image, while the old one still reads
  // the bytes it was opened on.
  const std::string other = Pattern(100000, 2);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b.bin"), other));
  ASSERT_EQ(rename(dir.Native("b.bin").c_str(), dir.Native("a.bin").c_str()), 0);
  const auto fresh = AcquireCachedFile(path.c_str());
  ASSERT_TRUE(fresh);
  EXPECT_NE(fresh, image);
  ASSERT_EQ(fresh->ReadAt(0, out.data(), 100), 1);
  EXPECT_EQ(out.substr(0, 100), other.substr(0, 100));
  ASSERT_EQ(image->ReadAt(0, out.data(), 100), 1);
  EXPECT_EQ(out.substr(0, 100), bytes.substr(0, 100));

  EXPECT_FALSE(AcquireCachedFile((dir.path() + "\\none.bin").c_str()));
  EXPECT_FALSE(AcquireCachedFile(dir.path().c_str())) << "a folder";
  EXPECT_FALSE(AcquireCachedFile(""));
}

// An image of a file changed within the settle time answers only the call
// (scope) that opened it: on a file system of whole-second times the file
// could be rewritten without a new stamp. A later call opens the file
// again and reads what it holds then; once settled, the image is kept.
TEST(CachedFile, AnImageOfAFileJustWrittenAnswersOnlyTheCallThatOpenedIt) {
  TempDir dir;
  const std::string native = dir.Native("f.bin");
  const std::string path = dir.path() + "\\f.bin";
  ASSERT_TRUE(testutil::WriteBytes(native, "abcd"));
  const auto first = AcquireCachedFile(path.c_str());
  const auto second = AcquireCachedFile(path.c_str());
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second) << "outside a scope each acquisition is a call of its own";
  {
    plat::StampScope call;
    const auto once = AcquireCachedFile(path.c_str());
    EXPECT_EQ(AcquireCachedFile(path.c_str()), once);
    EXPECT_NE(once, second);
  }
  // Rewritten in place at the same size, its modification time put back.
  struct stat st {};
  ASSERT_EQ(stat(native.c_str(), &st), 0);
  FILE* f = std::fopen(native.c_str(), "r+b");
  ASSERT_TRUE(f);
  ASSERT_EQ(std::fwrite("wxyz", 1, 4, f), 4u);
  ASSERT_EQ(std::fclose(f), 0);
  const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, native.c_str(), times, 0), 0);
  {
    plat::StampScope call;
    const auto image = AcquireCachedFile(path.c_str());
    ASSERT_TRUE(image);
    const unsigned char* bytes = image->Bytes(0, 4);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "wxyz");
  }
  const testutil::SettledClock settled;
  const auto kept = AcquireCachedFile(path.c_str());
  EXPECT_EQ(AcquireCachedFile(path.c_str()), kept);
}

// A missing file is answered from the folder's listing, and found as soon
// as it is there.
TEST(CachedFile, MissingFileIsFoundOnceItAppears) {
  const testutil::SettledClock settled;  // the files written here count as settled
  TempDir dir;
  const std::string path = dir.path() + "\\LATE.BIN";
  EXPECT_FALSE(AcquireCachedFile(path.c_str()));
  const uint64_t before = plat::SystemCallCount();
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(AcquireCachedFile(path.c_str()));
  // A path walk would take a status call per component and a folder scan.
  EXPECT_LE(plat::SystemCallCount() - before, 30u) << "no path walk per ask";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("late.bin"), "late"));
  const auto image = AcquireCachedFile(path.c_str());
  ASSERT_TRUE(image) << "found under case folding once written";
  EXPECT_EQ(image->GetSize(), 4u);
  ASSERT_EQ(remove(dir.Native("late.bin").c_str()), 0);
  EXPECT_FALSE(AcquireCachedFile(path.c_str())) << "removed again";
  EXPECT_FALSE(AcquireCachedFile((dir.path() + "\\sub\\x.bin").c_str())) << "no such folder";
}

// count small files f0.bin .. in the folder, and their paths as the
// readers give them.
std::vector<std::string> SmallFiles(const TempDir& dir, std::size_t count) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    if (!testutil::WriteBytes(dir.Native(name), name)) return {};
    paths.push_back(dir.path() + "\\" + name);
  }
  return paths;
}

// Beyond the limit the image asked for least recently goes, and only that
// one: the images of other folders a process works in stay.
TEST(CachedFile, TheLeastRecentlyAskedForGoesFirstOneAtATime) {
  const testutil::SettledClock settled;  // the files written here count as settled
  TempDir dir;
  const std::size_t limit = CachedFileLimit();
  const std::vector<std::string> paths = SmallFiles(dir, limit + 1);
  ASSERT_EQ(paths.size(), limit + 1);
  std::vector<std::weak_ptr<CCachedFile>> images;
  for (std::size_t i = 0; i < limit; ++i) {
    images.push_back(AcquireCachedFile(paths[i].c_str()));
    ASSERT_FALSE(images.back().expired());
  }
  EXPECT_EQ(CachedFileCount(), limit) << "full: the older images of the process went";
  // Images other tests still hold stay kept and take room: the ones of
  // this test that went for them are the oldest.
  std::size_t first = 0;
  while (first < limit && images[first].expired()) ++first;
  ASSERT_LT(first + 2, limit);
  for (std::size_t i = first; i < limit; ++i) EXPECT_FALSE(images[i].expired()) << i;

  // Asked for again, the oldest becomes the newest: the next oldest goes
  // when one more comes in, and no other.
  EXPECT_EQ(AcquireCachedFile(paths[first].c_str()), images[first].lock());
  const auto added = AcquireCachedFile(paths[limit].c_str());
  ASSERT_TRUE(added);
  EXPECT_EQ(CachedFileCount(), limit);
  EXPECT_FALSE(images[first].expired()) << "asked for last but one";
  EXPECT_TRUE(images[first + 1].expired()) << "the least recently asked for went";
  for (std::size_t i = first + 2; i < limit; ++i) EXPECT_FALSE(images[i].expired()) << i;
}

// An image a reader holds is never let go, however long ago it was asked
// for: it is handed out again, not opened a second time.
TEST(CachedFile, AnImageAReaderHoldsIsNotLetGo) {
  const testutil::SettledClock settled;  // the files written here count as settled
  TempDir dir;
  const std::size_t limit = CachedFileLimit();
  const std::vector<std::string> paths = SmallFiles(dir, limit + 2);
  ASSERT_EQ(paths.size(), limit + 2);
  const auto held = AcquireCachedFile(paths[0].c_str());
  ASSERT_TRUE(held);
  const std::weak_ptr<CCachedFile> next = AcquireCachedFile(paths[1].c_str());
  ASSERT_FALSE(next.expired());
  for (std::size_t i = 2; i < paths.size(); ++i) ASSERT_TRUE(AcquireCachedFile(paths[i].c_str()));
  EXPECT_EQ(CachedFileCount(), limit);
  EXPECT_TRUE(next.expired()) << "the oldest image no reader holds went instead";
  EXPECT_EQ(AcquireCachedFile(paths[0].c_str()), held);
}

TEST(DataSourceSharedImage, ReadsLikeTheFileAndOpensEmptyFiles) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.bin"), "abcdef"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("empty.bin"), ""));
  CDataSource source;
  ASSERT_EQ(source.OpenSharedImage(dir.Sys("a.bin").c_str()), 1);
  EXPECT_EQ(source.GetSize(), 6u);
  char buffer[4] = {};
  ASSERT_EQ(source.ReadAt(2, buffer, 3), 1);
  EXPECT_EQ(std::string(buffer, 3), "cde");
  ASSERT_EQ(source.Read(buffer, 1), 1);
  EXPECT_EQ(buffer[0], 'f');
  EXPECT_EQ(source.GetPosition(), 6u);
  EXPECT_EQ(source.Read(buffer, 1), 0);
  EXPECT_EQ(source.Write("x", 1), 0) << "read only";
  EXPECT_EQ(source.Close(), 1);
  ASSERT_EQ(source.OpenSharedImage(dir.Sys("empty.bin").c_str()), 1);
  EXPECT_EQ(source.GetSize(), 0u);
  EXPECT_EQ(source.OpenSharedImage(dir.Sys("none.bin").c_str()), 0);
}

// A database opened for reading sees a replaced file at its next open,
// and refuses writes.
TEST(TableDatabaseImage, ReopenSeesTheReplacedFileAndWritesFail) {
  TempDir dir;
  for (const char* name : {"a.ndb", "b.ndb"}) {
    CTableDatabase db;
    ASSERT_EQ(db.Create(dir.Sys(name).c_str()), 1);
    ASSERT_NE(db.CreateTable("T"), 0u);
    ASSERT_NE(db.AddField("T", "F", kTdbInt, 4, nullptr, nullptr, 0, 0), 0u);
    ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
    const uint32_t record = db.AddRecord("T");
    ASSERT_NE(record, 0u);
    ASSERT_EQ(db.SetInt(record, "T", "F", name[0] == 'a' ? 1 : 2), 1);
    if (name[0] == 'b') {
      ASSERT_NE(db.AddField("T", "G", kTdbInt, 4, nullptr, nullptr, 0, 0), 0u);
    }
  }
  auto firstValue = [&](int32_t* value) {
    CTableDatabase db;
    if (!db.Open(dir.Sys("a.ndb").c_str())) return 0;
    TdbTableEntry entry;
    uint32_t table = db.FindTable("T");
    if (!table || !db.ReadTableEntry(table, &entry)) return 0;
    if (db.SetInt(entry.firstRecord, "T", "F", 9)) return 0;  // opened for reading
    const int hasG = db.FindField("T", "G", nullptr, nullptr, nullptr, nullptr);
    return db.GetInt(entry.firstRecord, "T", "F", value) ? 1 + hasG : 0;
  };
  int32_t value = 0;
  ASSERT_EQ(firstValue(&value), 1);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(rename(dir.Native("b.ndb").c_str(), dir.Native("a.ndb").c_str()), 0);
  ASSERT_EQ(firstValue(&value), 2) << "the new file's directory has field G";
  EXPECT_EQ(value, 2);
}

// The dictionaries of a folder are reused while unchanged and loaded anew
// after a change; a failed load is not kept.
TEST(FolderDictionaries, ReusedWhileUnchangedAndReloadedAfterAChange) {
  const testutil::SettledClock settled;  // the files written here count as settled
  TempDir dir;
  const std::string folder = dir.path() + "\\";
  char msg[kMessageSize] = "";
  {
    CDictionaryLease lease;
    EXPECT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 0) << "no files";
  }
  // Unification: header "TVXBT_T", no pairs; replacement "TVXBT_O", no pairs.
  std::string unify(32, '\0'), replace(32, '\0');
  unify.replace(0, 7, "TVXBT_T");
  replace.replace(0, 7, "TVXBT_O");
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native(reinterpret_cast<const char*>(u8"文字統一.BIN")), unify));
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native(reinterpret_cast<const char*>(u8"文字置換.BIN")), replace));
  FolderDictionaries* first = nullptr;
  {
    CDictionaryLease lease;
    ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1) << testutil::Show(msg);
    first = lease.Get();
    EXPECT_FALSE(first->hasExtra);
    // In use: a second lease gets a private load.
    CDictionaryLease second;
    ASSERT_EQ(LeaseFolderDictionaries(folder, &second, msg), 1);
    EXPECT_NE(second.Get(), first);
  }
  {
    CDictionaryLease lease;
    ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1);
    EXPECT_EQ(lease.Get(), first) << "kept while unchanged";
  }
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(reinterpret_cast<const char*>(u8"ユーザー置換.TXT")),
                                   testutil::Sjis(u8"あ,い\n")));
  CDictionaryLease lease;
  ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1);
  EXPECT_TRUE(lease.Get()->hasExtra);
  EXPECT_EQ(lease.Get()->extra.GetCount(), 1u);
}

}  // namespace
