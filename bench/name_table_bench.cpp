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
#include "tests/support/long_prefix_names.h"

namespace {

using testutil::LongPrefixNames;

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
