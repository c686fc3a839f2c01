#include "tabledb/container_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Folder(const char* path, std::size_t size = 256) {
  char out[256] = "junk";
  if (!GetFolderOfPath(path, out, size)) return "<failed:" + std::string(out) + ">";
  return out;
}

}  // namespace

TEST(GetFolderOfPath, CutsAtTheLastSeparatorOutsideCharacters) {
  EXPECT_EQ(Folder("a\\b\\c.txt"), "a\\b");
  EXPECT_EQ(Folder("c.txt"), "c.txt");
  EXPECT_EQ(Folder("d\\表.txt"), "d");  // 表 = 95 5C
  EXPECT_EQ(Folder("表\\ソ"), "表");
  EXPECT_EQ(Folder("dir/sub/file"), "dir/sub");
  EXPECT_EQ(Folder("\\root"), "");
  EXPECT_EQ(Folder("a\\"), "a");
  EXPECT_EQ(Folder(""), "");
  EXPECT_EQ(Folder("abc\\def", 4), "abc");
  EXPECT_EQ(Folder("abc\\def", 3), "<failed:>");
  char out[4];
  EXPECT_EQ(GetFolderOfPath(nullptr, out, sizeof out), 0);
}

TEST(CopyRecordArray, CopiesAllOrTheFirstElements) {
  CRecordArray source;
  ASSERT_EQ(source.Create(4, 3), 1);
  for (uint32_t n = 1; n <= 4; ++n) {
    const char rec[3] = {static_cast<char>('a' + n), 'x', static_cast<char>(n)};
    ASSERT_EQ(source.SetAt(n, rec), 1);
  }
  CRecordArray target;
  ASSERT_EQ(target.Create(10, 8), 1);
  ASSERT_EQ(CopyRecordArray(&target, &source), 1);
  EXPECT_EQ(target.GetCapacity(), 4u);
  EXPECT_EQ(target.GetElementSize(), 3u);
  EXPECT_EQ(std::memcmp(target.GetBuffer(), source.GetBuffer(), 12), 0);

  ASSERT_EQ(CopyRecordArrayPart(&target, &source, 2), 1);
  EXPECT_EQ(target.GetCapacity(), 2u);
  EXPECT_EQ(std::memcmp(target.GetBuffer(), source.GetBuffer(), 6), 0);

  EXPECT_EQ(CopyRecordArrayPart(&target, &source, 0), 0);
  EXPECT_EQ(CopyRecordArrayPart(&target, &source, 5), 0);  // more than the source has
  EXPECT_EQ(CopyRecordArray(nullptr, &source), 0);
  EXPECT_EQ(CopyRecordArray(&target, nullptr), 0);
  CRecordArray empty;
  EXPECT_EQ(CopyRecordArray(&target, &empty), 0);
}

TEST(CopyRecordList, CapacityCopyTakesWholeBufferAndCount) {
  CRecordList source;
  ASSERT_EQ(source.Create(5, 4, 2), 1);
  for (int32_t v : {10, 20, 30}) ASSERT_EQ(source.Add(&v), 1);
  CRecordList target;
  ASSERT_EQ(CopyRecordListCapacity(&target, &source), 1);
  EXPECT_EQ(target.GetCapacity(), 5u);
  EXPECT_EQ(target.GetCount(), 3u);
  int32_t v = 0;
  ASSERT_EQ(target.GetInt(3, &v), 1);
  EXPECT_EQ(v, 30);
  // Growth step 128: the sixth element grows the list to 133.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(target.Add(&v), 1);
  EXPECT_EQ(target.GetCapacity(), 133u);

  CRecordList empty;
  EXPECT_EQ(CopyRecordListCapacity(&target, &empty), 0);
  EXPECT_EQ(target.GetCapacity(), 0u);  // left freed
  EXPECT_EQ(target.GetCount(), 0u);
}

TEST(CopyRecordList, ElementCopyTakesTheCountOrN) {
  CRecordList source;
  ASSERT_EQ(source.Create(8, 2, 1), 1);
  for (int16_t v : {1, 2, 3}) ASSERT_EQ(source.Add(&v), 1);
  CRecordList target;
  ASSERT_EQ(CopyRecordListElements(&target, &source, 99), 1);
  EXPECT_EQ(target.GetCapacity(), 3u);
  EXPECT_EQ(target.GetCount(), 3u);
  int16_t v = 0;
  ASSERT_EQ(target.GetShort(2, &v), 1);
  EXPECT_EQ(v, 2);

  CRecordList empty;
  ASSERT_EQ(empty.Create(1, 2, 1), 1);
  ASSERT_EQ(CopyRecordListElements(&target, &empty, 10), 1);
  EXPECT_EQ(target.GetCapacity(), 10u);
  EXPECT_EQ(target.GetCount(), 0u);

  EXPECT_EQ(CopyRecordListElements(&target, &source, 0), 0);
  EXPECT_EQ(target.GetCapacity(), 0u);  // left freed
}

TEST(CopyBitSet, CopiesBitsAndCount) {
  CBitSet source;
  ASSERT_EQ(source.Create(13, 0), 1);
  for (uint32_t k : {1u, 8u, 9u, 13u}) ASSERT_EQ(source.Set(k, 1), 1);
  CBitSet target;
  ASSERT_EQ(target.Create(100, 1), 1);
  ASSERT_EQ(CopyBitSet(&target, &source), 1);
  EXPECT_EQ(target.GetBitCount(), 13u);
  EXPECT_EQ(target.GetByteSize(), 2u);
  for (uint32_t k = 1; k <= 13; ++k) EXPECT_EQ(target.Test(k), source.Test(k)) << k;
  CBitSet none;
  EXPECT_EQ(CopyBitSet(&target, &none), 0);
  EXPECT_EQ(CopyBitSet(nullptr, &source), 0);
}
