#include "tabledb/string_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string KeyOf(CStringTree& tree, int32_t node) {
  char buffer[256];
  return tree.GetKey(node, buffer, sizeof buffer) ? buffer : "<none>";
}

int32_t Child(CStringTree& tree, int32_t node, bool right) {
  StringTreeNode n{};
  EXPECT_TRUE(tree.GetNode(node, &n));
  return right ? n.right : n.left;
}

// Walks the whole tree in order through the node handles: every node hangs
// where its parent link says, the keys never decrease, and the nodes number
// the count. Returns the keys; *height gets the longest path in nodes.
std::vector<std::string> CheckTree(CStringTree& tree, int* height) {
  constexpr int32_t kNone = CStringTree::kNone;
  std::vector<std::string> keys;
  std::vector<std::pair<int32_t, int>> stack;  // node, depth
  *height = 0;
  for (int32_t at = tree.GetRoot(), depth = 1; at != kNone || !stack.empty();) {
    if (at != kNone) {
      stack.emplace_back(at, depth++);
      at = Child(tree, at, false);
      continue;
    }
    std::tie(at, depth) = stack.back();
    stack.pop_back();
    StringTreeNode n{};
    EXPECT_TRUE(tree.GetNode(at, &n));
    EXPECT_TRUE(n.parent == kNone
                    ? tree.GetRoot() == at
                    : Child(tree, n.parent, false) == at || Child(tree, n.parent, true) == at);
    *height = std::max(*height, depth);
    keys.push_back(KeyOf(tree, at));
    if (keys.size() > 1) {
      EXPECT_LE(keys[keys.size() - 2], keys.back());
    }
    at = n.right;
    ++depth;
  }
  EXPECT_EQ(static_cast<int32_t>(keys.size()), tree.GetCount());
  return keys;
}

std::string Code(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "13101%06d", i);
  return text;
}

TEST(StringTree, SortedKeysAreRebalancedAtThe2048thInsertion) {
  for (const bool ascending : {true, false}) {
    SCOPED_TRACE(ascending ? "ascending" : "descending");
    CStringTree tree;
    ASSERT_TRUE(tree.Create(512, 4096));
    std::vector<int32_t> node(2048);
    auto key = [&](int i) { return Code(ascending ? i : 2047 - i); };
    for (int i = 0; i < 2047; ++i) node[i] = tree.Insert(0, key(i).c_str());
    int height = 0;
    CheckTree(tree, &height);
    EXPECT_EQ(height, 2047);  // one chain so far
    node[2047] = tree.Insert(0, key(2047).c_str());
    CheckTree(tree, &height);
    EXPECT_LE(height, 32);
    // The root's chain of 2047 is cut at its 1024th node, the part above
    // hung on the far side; then the chains below are halved in turn.
    const bool far = !ascending;
    EXPECT_EQ(tree.GetRoot(), node[0]);
    EXPECT_EQ(Child(tree, node[0], ascending), node[1024]);
    EXPECT_EQ(Child(tree, node[1024], far), node[1]);
    EXPECT_EQ(Child(tree, node[1024], ascending), node[1536]);  // 1023 below: 512th
    EXPECT_EQ(Child(tree, node[1], ascending), node[512]);      // 1022 above: 511th
    for (int i = 0; i < 2048; ++i) EXPECT_EQ(tree.Find(key(i).c_str()), node[i]);
    for (int i = 0; i < 2048; ++i) EXPECT_EQ(tree.RemoveKey(key(i).c_str()), 1);
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.GetRoot(), CStringTree::kNone);
  }
}

TEST(StringTree, RemoveRelinksEachShape) {
  struct Case {
    const char* remove;
    const char* takesPlace;  // "" when the place stays empty
  } cases[] = {
      {"20", "10"},  // only a left child
      {"10", ""},    // no child
      {"60", "65"},  // only a right child
      {"30", "40"},  // two children: 20 goes under 40
      {"50", "70"},  // the root: 30 goes under 60
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remove);
    CStringTree tree;
    ASSERT_TRUE(tree.Create(512, 4096));
    std::set<std::string> expected;
    for (const char* k : {"50", "30", "70", "20", "40", "60", "80", "65", "10"}) {
      tree.Insert(0, k);
      expected.insert(k);
    }
    StringTreeNode n{};
    ASSERT_TRUE(tree.GetNode(tree.Find(c.remove), &n));
    const std::string parent = n.parent == CStringTree::kNone ? "" : KeyOf(tree, n.parent);
    const bool onRight = !parent.empty() && Child(tree, n.parent, true) == tree.Find(c.remove);
    const int32_t stale = tree.Find(c.remove);
    EXPECT_EQ(tree.Remove(stale), 1);
    expected.erase(c.remove);
    const int32_t place =
        parent.empty() ? tree.GetRoot() : Child(tree, tree.Find(parent.c_str()), onRight);
    EXPECT_EQ(place == CStringTree::kNone ? "" : KeyOf(tree, place), c.takesPlace);
    int height = 0;
    const auto keys = CheckTree(tree, &height);
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()), expected);
    EXPECT_EQ(tree.Remove(stale), 0);
    for (int32_t bad : {CStringTree::kNone, 0, 3, 1 << 30}) EXPECT_EQ(tree.Remove(bad), 0);
    EXPECT_EQ(tree.RemoveKey(c.remove), 0);
  }
}

TEST(StringTree, EqualKeysAndEmptyingOperations) {
  CStringTree tree;
  EXPECT_EQ(tree.Reset(), 0);  // no pool yet
  EXPECT_EQ(tree.Insert(0, "A"), CStringTree::kNone);
  EXPECT_EQ(tree.Create(0, 4096), 0);
  ASSERT_TRUE(tree.Create(512, 4096));
  EXPECT_EQ(tree.Insert(0, ""), CStringTree::kNone);
  EXPECT_EQ(tree.Insert(0, nullptr), CStringTree::kNone);
  const int32_t a1 = tree.Insert(1, "A");
  const int32_t a2 = tree.Insert(2, "A");
  tree.Insert(3, "B");
  EXPECT_NE(a1, a2);
  EXPECT_EQ(tree.GetCount(), 3);
  EXPECT_EQ(tree.RemoveKey("A"), 1);
  EXPECT_EQ(tree.RemoveKey("A"), 1);
  EXPECT_EQ(tree.RemoveKey("A"), 0);
  EXPECT_EQ(tree.GetCount(), 1);
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 0; i < 300; ++i) tree.Insert(i, Code(i).c_str());
    const uint32_t capacity = tree.GetPoolCapacity();
    if (pass == 0) {
      // Every block freed: the same keys again fit without growing (a
      // growth adds 4,096 bytes; unlinked headers join their neighbours).
      tree.Clear();
      for (int i = 0; i < 300; ++i) tree.Insert(i, Code(i).c_str());
      EXPECT_LT(tree.GetPoolCapacity(), capacity + 4096);
      tree.Clear();
    }
    if (pass == 1) {
      EXPECT_EQ(tree.Reset(), 1);
    }
    if (pass == 2) tree.Free();
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.GetRoot(), CStringTree::kNone);
    EXPECT_EQ(tree.Find(Code(5).c_str()), CStringTree::kNone);
    EXPECT_EQ(tree.Find("B"), CStringTree::kNone);
    EXPECT_EQ(tree.Insert(0, "C") != CStringTree::kNone, pass < 2);
  }
}

// A small pool grows many times in the middle of a long run of inserts and
// removals: a handle kept all along stays valid, every key stays findable.
TEST(StringTree, HandlesAndKeysStayValidWhileThePoolGrows) {
  CStringTree tree;
  ASSERT_TRUE(tree.Create(64, 64));
  const int32_t kept = tree.Insert(-5, "0kept");
  std::multiset<std::string> oracle{"0kept"};
  std::mt19937 random(11);
  auto key = [](int n) { return Code(n) + std::string(n % 40, 'x'); };
  int growths = 0;
  for (int i = 0; i < 6000; ++i) {
    const uint32_t capacity = tree.GetPoolCapacity();
    const std::string k = key(static_cast<int>(random() % 700));
    if (random() % 3 != 0) {
      ASSERT_NE(tree.Insert(i, k.c_str()), CStringTree::kNone);
      oracle.insert(k);
      ASSERT_NE(tree.Find(k.c_str()), CStringTree::kNone) << i;
    } else {
      const auto it = oracle.find(k);
      ASSERT_EQ(tree.RemoveKey(k.c_str()), it != oracle.end() ? 1 : 0) << k;
      if (it != oracle.end()) oracle.erase(it);
    }
    if (tree.GetPoolCapacity() >= capacity + 64) ++growths;  // unlinks add 12 each
    StringTreeNode n{};
    ASSERT_TRUE(tree.GetNode(kept, &n)) << i;
    ASSERT_EQ(n.value, -5);
    ASSERT_EQ(KeyOf(tree, kept), "0kept");
  }
  EXPECT_GT(growths, 100);
  int height = 0;
  const auto keys = CheckTree(tree, &height);
  EXPECT_EQ(std::multiset<std::string>(keys.begin(), keys.end()), oracle);
  EXPECT_EQ(tree.Find("0kept"), kept);
  for (int i = 0; i < 700; ++i) {
    EXPECT_EQ(tree.Find(key(i).c_str()) != CStringTree::kNone, oracle.count(key(i)) > 0) << i;
  }
}

}  // namespace
