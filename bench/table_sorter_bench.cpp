// Building a sorted position file (a code index) over a table of n rows
// with a STRING key.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"

namespace {

struct TempTable {
  explicit TempTable(int rows) {
    folder = std::filesystem::temp_directory_path() /
             ("kort-bench-sorter-" + std::to_string(::getpid()) + "-" + std::to_string(rows));
    std::filesystem::create_directories(folder);
    const std::string ndb = (folder / "bench.ndb").string();
    db.Create(ndb.c_str());
    db.CreateTable("T");
    db.AddField("T", "K", kTdbString, 0, nullptr, nullptr, 0, 0);
    db.UpdateMaxRecordSize();
    uint32_t seed = 1;
    for (int i = 0; i < rows; ++i) {
      seed = seed * 1103515245u + 12345u;
      char code[16];
      std::snprintf(code, sizeof code, "13%09u", (seed >> 8) % 1000000000u);
      const uint32_t record = db.AddRecord("T");
      db.SetString(record, "T", "K", code);
    }
  }
  ~TempTable() {
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::filesystem::path folder;
  CTableDatabase db;
};

void BM_BuildSortedPositionFile(benchmark::State& state) {
  TempTable table(static_cast<int>(state.range(0)));
  const std::string out = (table.folder / "bench.inx").string();
  for (auto _ : state) {
    uint32_t count = 0;
    if (!BuildSortedPositionFile(&table.db, "T", "K", out.c_str(), &count)) {
      state.SkipWithError("build failed");
      break;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_BuildSortedPositionFile)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
