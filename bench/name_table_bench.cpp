// The name table of a large municipality's oaza: made from its names, taken
// again from the store's bytes, and asked for the rows of a text.
//
// The names are in the shape of a postal list's towns of a large city
// (1,280 of them): each under the name of a former municipality, so that
// many firm keys share their first four characters or more (the keys sort
// past their first eight bytes).
//
//  - BM_NameTableMade: AddKey (AddName for a name without a key) per row,
//    then Finish, which lays the table out as its image: what the first
//    job in a municipality adds to reading the rows.
//  - BM_NameTableFromStoreBytes: what a later job does with the value the
//    store hands out: an aligned copy of its bytes and View over it (the
//    lists are neither decoded nor checked row by row).
//  - BM_NameTableSelect: the rows for a text of the level (its firm keys
//    and its heads) in a viewed table.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "matching/derived_bytes.h"
#include "matching/name_candidates.h"

namespace {

std::vector<std::string> LongPrefixNames() {
  const char* formers[] = {"八尾町", "婦中町", "大沢野", "大山", "水橋", "呉羽", "山田", "細入"};
  const char* places[] = {"高野", "松田", "桐谷", "井田", "黒瀬", "小竹", "岩木", "石田",
                          "宮島", "杉原", "富川", "長沢", "下条", "新屋", "吉岡", "田島"};
  const char* tails[] = {"", "新", "北", "南", "中島", "新町", "一丁目", "野々上", "ケ丘", "本郷"};
  std::vector<std::string> names;
  for (const char* former : formers) {
    for (const char* place : places) {
      for (const char* tail : tails) names.push_back(std::string(former) + place + tail);
    }
  }
  return names;
}

const NameKeyRules& Rules() {
  static const NameKeyRules rules = [] {
    NameKeyRules r;
    r.Finish();
    return r;
  }();
  return rules;
}

void Make(const std::vector<std::string>& names, NameTable* table) {
  table->Reserve(names.size(), true);
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto row = static_cast<uint16_t>(n + 1);
    if (!table->AddKey(row, names[n].c_str(), Rules()))
      table->AddName(row, names[n].c_str(), nullptr, true, true);
  }
  table->Finish(static_cast<uint16_t>(names.size()));
}

void BM_NameTableMade(benchmark::State& state) {
  const std::vector<std::string> names = LongPrefixNames();
  for (auto _ : state) {
    NameTable table;
    Make(names, &table);
    benchmark::DoNotOptimize(table.Image().data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_NameTableMade)->Unit(benchmark::kMicrosecond);

void BM_NameTableFromStoreBytes(benchmark::State& state) {
  const std::vector<std::string> names = LongPrefixNames();
  NameTable made;
  Make(names, &made);
  std::string value;
  made.AppendTo(&value);
  const auto count = static_cast<uint16_t>(names.size());
  for (auto _ : state) {
    const plat::DerivedBytes copy = AlignedCopy(value);
    NameTable table;
    if (!table.View(copy.bytes.data(), copy.bytes.size(), count, copy.hold))
      state.SkipWithError("not viewed");
    benchmark::DoNotOptimize(table.KeyCount());
  }
  state.counters["image_bytes"] = static_cast<double>(value.size());
}
BENCHMARK(BM_NameTableFromStoreBytes);

void BM_NameTableSelect(benchmark::State& state) {
  const std::vector<std::string> names = LongPrefixNames();
  NameTable made;
  Make(names, &made);
  std::string value;
  made.AppendTo(&value);
  const auto count = static_cast<uint16_t>(names.size());
  const plat::DerivedBytes copy = AlignedCopy(value);
  NameTable table;
  if (!table.View(copy.bytes.data(), copy.bytes.size(), count, copy.hold))
    state.SkipWithError("not viewed");
  std::vector<NameQuery> queries;
  for (std::size_t n = 0; n < names.size(); n += 37) {
    const std::string text = names[n] + "１２３";
    NameQuery query;
    query.AddText(text.c_str(), nullptr);
    query.AddKeyText(text.c_str(), Rules());
    queries.push_back(query);
  }
  std::vector<uint16_t> rows;
  std::size_t next = 0;
  for (auto _ : state) {
    CurrentNameCandidateSource().Select(&table, queries[next], count, &rows);
    benchmark::DoNotOptimize(rows.data());
    if (++next == queries.size()) next = 0;
  }
}
BENCHMARK(BM_NameTableSelect);

}  // namespace
