// The demo library at 10,000 demos, as the window meets it on opening and
// after each key typed or column clicked: the index saved and loaded, a
// search that matches none (so every text is looked through) and the rows
// sorted by a text and by a number. memcpy of the index's bytes is the
// baseline: what any reading of the index pays.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "library/library_entry.h"

namespace {

constexpr size_t kLibrarySize = 10000;

// Demos of a few matches each, with paths, servers and names of the lengths
// that players' folders and servers have.
const std::vector<LibraryEntry>& Library() {
  static const std::vector<LibraryEntry> entries = [] {
    const char* maps[] = {"de_dust2", "de_nuke", "cs_assault", "de_inferno", "crossfire"};
    std::vector<LibraryEntry> library(kLibrarySize);
    for (size_t i = 0; i < library.size(); ++i) {
      LibraryEntry& entry = library[i];
      const std::string number = std::to_string(i * 7919 % kLibrarySize);
      entry.file.path = "C:\\Users\\player\\Documents\\Half-Life\\cstrike\\demos\\2024-05-" +
                        std::to_string(1 + i % 28) + "\\match_" + number + "_" + maps[i % 5] +
                        ".dem";
      entry.file.shownPath = entry.file.path;
      entry.file.size = 1000000 + i * 7919 % 50000000;
      entry.file.modified = 133000000000000000 + int64_t(i * 104729 % 1000000) * 10000000;
      entry.isDemo = i % 100 != 0;
      if (!entry.isDemo) continue;
      entry.map = maps[i % 5];
      entry.mod = "cstrike";
      entry.server = "Counter-Strike 1.6 Public Server #" + std::to_string(i % 40);
      entry.recorder = "Player" + number;
      for (int player = 0; player < 12; ++player) {
        entry.players.push_back("[Clan" + std::to_string(player) + "] Player" + number);
      }
      entry.duration = double(i * 31 % 3600);
      entry.kills = uint32_t(i % 90);
      entry.intact = i % 10 != 0;
    }
    return library;
  }();
  return entries;
}

const std::string& SavedLibrary() {
  static const std::string saved = SaveLibraryIndex(Library());
  return saved;
}

void Memcpy(benchmark::State& state) {
  const std::string& saved = SavedLibrary();
  std::unique_ptr<char[]> copy(new char[saved.size()]);
  for (auto _ : state) {
    memcpy(copy.get(), saved.data(), saved.size());
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * saved.size()));
}

void Save(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SaveLibraryIndex(Library()));
  state.SetBytesProcessed(int64_t(state.iterations() * SavedLibrary().size()));
}

void Load(benchmark::State& state) {
  const std::string& saved = SavedLibrary();
  for (auto _ : state) {
    std::vector<LibraryEntry> entries;
    if (!LoadLibraryIndex(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &entries)) {
      state.SkipWithError("the saved index does not load");
    }
    benchmark::DoNotOptimize(entries.data());
    // Freeing the entries is no part of opening the window.
    state.PauseTiming();
    entries = {};
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * saved.size()));
}

void Search(benchmark::State& state) {
  const std::vector<LibraryEntry>& library = Library();
  for (auto _ : state) {
    size_t matches = 0;
    for (const LibraryEntry& entry : library) matches += MatchesSearch(entry, "ZyXw");
    benchmark::DoNotOptimize(matches);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * SavedLibrary().size()));
}

void Sort(benchmark::State& state, LibraryColumn column) {
  std::vector<size_t> rows(kLibrarySize);
  for (auto _ : state) {
    std::iota(rows.begin(), rows.end(), size_t(0));
    SortLibraryRows(Library(), &rows, column, false);
    benchmark::DoNotOptimize(rows.data());
  }
}

const bool registered = [] {
  const auto add = [](const std::string& step, auto run) {
    benchmark::RegisterBenchmark(("Library of 10,000/" + step).c_str(), run)
        ->Unit(benchmark::kMicrosecond);
  };
  add("memcpy of the index", Memcpy);
  add("SaveLibraryIndex", Save);
  add("LoadLibraryIndex", Load);
  add("MatchesSearch, no match", Search);
  const struct {
    const char* name;
    LibraryColumn column;
  } columns[] = {{"file name", LibraryColumn::kFileName},
                 {"map", LibraryColumn::kMap},
                 {"duration", LibraryColumn::kDuration}};
  for (const auto& sorted : columns) {
    const LibraryColumn column = sorted.column;
    add(std::string("SortLibraryRows by ") + sorted.name,
        [column](benchmark::State& state) { Sort(state, column); });
  }
  return true;
}();

}  // namespace
