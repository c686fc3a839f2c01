// Damaged grid indexes: every prefix of a small index and copies with one
// random byte changed are opened and searched. They must answer, never
// crash, hang or read outside a buffer (the sanitizer build checks the
// last).

#include <gtest/gtest.h>

#include "grid_fixture.h"

namespace {

using gridtest::GridFixture;

class GridFuzzTest : public GridFixture {
 protected:
  void SetUp() override {
    std::vector<std::pair<int32_t, int32_t>> c;
    for (int k = 0; k < 12; ++k) c.push_back({1000 + 37 * k, 2000 + 53 * (k % 5)});
    for (int k = 0; k < 6; ++k) c.push_back({1100 + k, 2100 + k});  // divided twice
    MakeDatabase(c);
    WriteNib(Layout(2, 2, 2, 3));
    image_ = testutil::ReadBytes(NibNative());
    ASSERT_GT(image_.size(), kGridHeaderSize);
    ASSERT_EQ(db_.Open(DbPath().c_str()), 1);
  }

  // Opens the damaged copy and runs searches with the header's values and
  // with the values of the intact file; the number of search answers of 1.
  int Exercise(const std::string& bytes) {
    index_.Close();
    EXPECT_TRUE(testutil::WriteBytes(NibNative(), bytes));
    if (!index_.Open(NibPath().c_str())) return 0;
    index_.AttachDatabase(&db_);
    index_.ReadFieldNames();
    char table[kGridNameMax + 1], x[kGridNameMax + 1], y[kGridNameMax + 1];
    index_.GetFieldNames(table, x, y);
    int answers = 0;
    const double boxes[][4] = {{1200, 2100, 300, 200}, {1102, 2102, 2, 2}, {0, 0, 1e9, 1e9}};
    for (const auto& b : boxes) {
      int ok = 0;
      const std::vector<uint32_t> found = Search(b[0], b[1], b[2], b[3], &ok);
      answers += ok;
      CRecordList list;
      EXPECT_EQ(list.Create(16, 4, 16), 1);
      answers +=
          FindFacilitiesInRange(&index_, b[0], b[1], b[2], b[3], &list, 2, 2, 237, 212, 1000, 2000);
    }
    return answers;
  }

  std::string image_;
};

TEST_F(GridFuzzTest, IntactIndexAnswersEverySearch) {
  EXPECT_EQ(Exercise(image_), 6);
  int ok = 0;
  EXPECT_EQ(Search(0, 0, 1e9, 1e9, &ok).size(), points_.size());
}

TEST_F(GridFuzzTest, EveryPrefixIsHandled) {
  for (std::size_t length = 0; length < image_.size(); ++length) {
    const int answers = Exercise(image_.substr(0, length));
    if (length < kGridHeaderSize) {
      EXPECT_EQ(answers, 0) << length;
    }
  }
}

TEST_F(GridFuzzTest, RandomByteChangesAreHandled) {
  std::mt19937 random(1209);
  std::uniform_int_distribution<std::size_t> where(0, image_.size() - 1);
  std::uniform_int_distribution<int> what(1, 255);
  int opened = 0;
  for (int k = 0; k < 1000; ++k) {
    std::string bytes = image_;
    bytes[where(random)] ^= static_cast<char>(what(random));
    if (Exercise(bytes) > 0) ++opened;
  }
  // Most changes leave a file that still answers some searches.
  EXPECT_GT(opened, 500);
}

}  // namespace
