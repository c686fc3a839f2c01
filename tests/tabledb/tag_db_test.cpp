#include "tabledb/tag_db.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/le_bytes.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

uint32_t U32(const unsigned char* bytes, std::size_t at) {
  return static_cast<uint32_t>(LoadLe(bytes + at, 4));
}

uint32_t U32(const std::string& bytes, std::size_t at) {
  return U32(reinterpret_cast<const unsigned char*>(bytes.data()), at);
}

class TagDbTest : public ::testing::Test {
 protected:
  std::string Sys() const { return dir_.Sys("tree.tdb"); }
  std::string Bytes() const { return testutil::ReadBytes(dir_.Native("tree.tdb")); }

  TempDir dir_;
  CTagDb tree_;
};

}  // namespace

TEST_F(TagDbTest, FileGrowsByNodesAndTextItems) {
  ASSERT_EQ(tree_.Create(Sys().c_str()), 1);
  EXPECT_EQ(tree_.GetLength(), 128u);
  EXPECT_EQ(Bytes().substr(0, 5), "TAGDB");
  EXPECT_EQ(tree_.GetFirstTopNode(), 0u);

  const uint32_t top = tree_.AddTopNode();
  ASSERT_EQ(top, 128u);
  std::string bytes = Bytes();
  EXPECT_EQ(U32(bytes, 5), 128u);
  EXPECT_EQ(U32(bytes, 9), 128u);
  EXPECT_EQ(U32(bytes, 128 + 12), 0xFFFFFFFFu);  // parent of a top-level node

  const uint32_t child = tree_.AddNamedChild(top, "abc");
  ASSERT_EQ(child, 160u);
  EXPECT_EQ(tree_.GetLength(), 202u);  // node 160-191, text item 192-201
  bytes = Bytes();
  EXPECT_EQ(U32(bytes, 160 + 4), 192u);
  EXPECT_EQ(U32(bytes, 160 + 12), 128u);
  EXPECT_EQ(U32(bytes, 128 + 16), 160u);
  EXPECT_EQ(U32(bytes, 128 + 20), 160u);

  ASSERT_EQ(tree_.SetName(child, "ab"), 1);
  EXPECT_EQ(tree_.GetLength(), 202u);
  ASSERT_EQ(tree_.SetName(child, "abcd"), 1);  // the stored text is 2 bytes now
  EXPECT_EQ(tree_.GetLength(), 213u);
  char name[8];
  ASSERT_EQ(tree_.GetName(child, name, sizeof name), 1);
  EXPECT_STREQ(name, "abcd");
  EXPECT_EQ(tree_.GetName(child, name, 4), 0);  // "abcd" needs 5 bytes
}

TEST_F(TagDbTest, ChildrenKeepInsertionOrder) {
  ASSERT_EQ(tree_.Create(Sys().c_str()), 1);
  const uint32_t top = tree_.AddTopNode();
  const uint32_t second = tree_.AddTopNode();
  uint32_t kids[3];
  for (int i = 0; i < 3; ++i) {
    const std::string name = "child" + std::to_string(i);
    kids[i] = tree_.AddNamedChild(top, name.c_str());
    ASSERT_NE(kids[i], 0u);
  }
  TagNode node;
  ASSERT_EQ(tree_.ReadNode(top, &node), 1);
  EXPECT_EQ(node.firstChild, kids[0]);
  EXPECT_EQ(node.lastChild, kids[2]);
  EXPECT_EQ(node.next, second);
  char name[16];
  uint32_t at = node.firstChild;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(tree_.GetName(at, name, sizeof name, &node), 1);
    EXPECT_EQ(std::string(name), "child" + std::to_string(i));
    EXPECT_EQ(node.previous, i == 0 ? 0u : kids[i - 1]);
    EXPECT_EQ(node.parent, top);
    at = node.next;
  }
  EXPECT_EQ(at, 0u);
  TagDbHeader header;
  ASSERT_EQ(tree_.ReadHeader(&header), 1);
  EXPECT_EQ(header.firstTop, top);
  EXPECT_EQ(header.lastTop, second);
  EXPECT_EQ(tree_.AddChild(0), 0u);  // position 0 holds the header
}

TEST_F(TagDbTest, ValuesReadBackAfterReopening) {
  ASSERT_EQ(tree_.Create(Sys().c_str()), 1);
  const uint32_t top = tree_.AddNamedChild(kTagTopLevel, "root");
  const std::string text = testutil::Sjis(u8"東京都");
  const unsigned char data[4] = {9, 0, 8, 7};
  const uint32_t withText = tree_.AddNamedChildWithText(top, "T", text.c_str());
  const uint32_t withObject = tree_.AddNamedChildWithObject(top, "O", data, 4);
  ASSERT_NE(withText, 0u);
  ASSERT_NE(withObject, 0u);
  tree_.Close();

  ASSERT_EQ(tree_.Open(Sys().c_str()), 1);
  char name[8];
  char value[16];
  ASSERT_EQ(tree_.GetNameAndText(withText, name, sizeof name, value, sizeof value), 1);
  EXPECT_STREQ(name, "T");
  EXPECT_EQ(std::string(value), text);
  unsigned char got[8] = {};
  uint32_t length = 0;
  ASSERT_EQ(tree_.GetNameAndObject(withObject, name, sizeof name, got, sizeof got, &length), 1);
  EXPECT_STREQ(name, "O");
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(std::memcmp(got, data, 4), 0);
  // A node without a value reads an empty text.
  ASSERT_EQ(tree_.GetNameAndText(top, name, sizeof name, value, sizeof value), 1);
  EXPECT_STREQ(name, "root");
  EXPECT_STREQ(value, "");
  // Opened for reading only: nothing can be added.
  EXPECT_EQ(tree_.AddChild(top), 0u);
}

TEST_F(TagDbTest, OpenRequiresTheMagic) {
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("tree.tdb"), "TAGDA" + std::string(123, '\0')));
  EXPECT_EQ(tree_.Open(Sys().c_str()), 0);
  EXPECT_EQ(tree_.IsOpen(), 0);
  EXPECT_EQ(tree_.OpenForUpdate(Sys().c_str()), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("tree.tdb"), "TAGDB"));  // short header
  EXPECT_EQ(tree_.Open(Sys().c_str()), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("tree.tdb"), "TAGDB" + std::string(123, '\0')));
  ASSERT_EQ(tree_.OpenForUpdate(Sys().c_str()), 1);
  EXPECT_EQ(tree_.AddTopNode(), 128u);
}

TEST(TagTree, MemoryTreeCountsFromOneAndStoresTheNul) {
  CTagTree tree;
  ASSERT_EQ(tree.Create(64), 1);
  EXPECT_EQ(tree.GetSize(), 128u);
  EXPECT_EQ(tree.CheckHeader(), 1);
  EXPECT_EQ(std::memcmp(tree.GetBytes(), "TAGDB", 5), 0);

  const uint32_t top = tree.AddTopNode();
  ASSERT_EQ(top, 129u);
  EXPECT_EQ(tree.GetFirstTopNode(), 129u);
  const uint32_t child = tree.AddNamedChild(top, "abc");
  ASSERT_EQ(child, 161u);
  EXPECT_EQ(tree.GetSize(), 200u);  // node 161-192, text 193-200: length 4, "abc", NUL
  const unsigned char* bytes = tree.GetBytes();
  EXPECT_EQ(U32(bytes, 192), 4u);
  EXPECT_EQ(std::memcmp(bytes + 196, "abc", 4), 0);
  EXPECT_EQ(U32(bytes, 160 + 4), 193u);
  EXPECT_EQ(U32(bytes, 128 + 12), 0xFFFFFFFFu);

  ASSERT_EQ(tree.SetName(child, "ab"), 1);
  EXPECT_EQ(tree.GetSize(), 200u);
  EXPECT_EQ(U32(tree.GetBytes(), 192), 3u);
  ASSERT_EQ(tree.SetName(child, "abcd"), 1);
  EXPECT_EQ(tree.GetSize(), 209u);
  char name[8];
  ASSERT_EQ(tree.GetName(child, name, sizeof name), 1);
  EXPECT_STREQ(name, "abcd");
}

TEST(TagTree, ValuesAndSiblings) {
  CTagTree tree;
  ASSERT_EQ(tree.Create(16), 1);
  const uint32_t top = tree.AddTopNode();
  const uint32_t a = tree.AddNamedChildWithText(top, "a", "one");
  const unsigned char data[3] = {1, 0, 2};
  const uint32_t b = tree.AddNamedChildWithObject(top, "b", data, 3);
  TagNode node;
  ASSERT_EQ(tree.ReadNode(b, &node), 1);
  EXPECT_EQ(node.previous, a);
  char name[8];
  char text[8];
  ASSERT_EQ(tree.SetNameAndText(a, "a", "two"), 1);
  ASSERT_EQ(tree.GetNameAndText(a, name, sizeof name, text, sizeof text, &node), 1);
  EXPECT_STREQ(text, "two");
  EXPECT_EQ(node.next, b);
  unsigned char got[4] = {};
  uint32_t length = 0;
  ASSERT_EQ(tree.GetNameAndObject(b, name, sizeof name, got, sizeof got, &length), 1);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(got[2], 2);
  EXPECT_EQ(tree.ReadNode(tree.GetSize(), &node), 0);  // past the end
}
