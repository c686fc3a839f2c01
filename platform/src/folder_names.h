#pragma once
// A folder's names, read once and kept, for every service of the layer that
// looks a name up among them: the folder listings (plat/file_stamp.h) and
// the search of a name that does not exist exactly (path::Resolve). One
// cache of them for the process, by native folder:
//  - names read at a folder's stamp answer a later call while the folder
//    has that stamp and the stamp was settled when they were read
//    (plat::StampIsSettled): a change after a settled stamp changes it,
//    where one within the file system's clock tick may not. Names read at
//    a stamp that was not yet settled answer only within the scope (the
//    call) that read them; the next call reads the folder again. Names read
//    or used under the change watch's word on them (names_watch.h) answer
//    while the watch gives that word, whatever the age of the stamp, and
//    never once it has reported a change of them;
//  - a large folder's names are also kept in the store of derived values
//    for later processes (folder_names_file.h), written and taken only
//    under a settled stamp.
// Kept names are never changed: a change of the folder gives new names.
// Safe from several threads (each kept set is shared read-only).

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plat/file_stamp.h"
#include "sjis_walk.h"

struct stat;

namespace plat::detail {

// The stamp of a status call's answer.
void StampFromStat(const struct stat& st, FileStamp& stamp);

// An absolute native path without "." or ".." components, doubled or
// trailing separators: one file or folder has one such name.
bool IsPlainAbsolute(const std::string& native);

// The folder that holds a native path ("." for a bare name, "/" for a name
// in the root).
std::string FolderOfNative(const std::string& native);

// folder + '/' + name (no second separator after a folder that ends in one).
std::string JoinNative(const std::string& folder, std::string_view name);

// The names of a folder as read, in listing order ("." and ".." left out),
// with an index by their ASCII-folded form.
struct FolderNames {
  struct Entry {
    std::uint32_t at;      // in text
    std::uint32_t length;  // bytes
    bool directory;
    bool followed;  // a link or an entry of unknown kind: looked at when found
  };
  // The folder's records as the kernel wrote them, each name followed by
  // its NUL, and at least 8 bytes after the last one (names read here).
  std::unique_ptr<char[]> block;
  std::vector<Entry> entries;
  // Open addressing (linear probing) by the hash of the folded name: entry
  // number + 1, 0 for a free slot. Entries were added in listing order, so
  // the entries of one folded name are met in listing order along a probe.
  // Made once the names have been searched kLinearSearches times: until
  // then a search walks the entries in listing order, which finds the same
  // entry (a job asks for a name or two, fewer than hashing every name).
  std::vector<std::uint32_t> slots;
  // What searches read: the block, entries and slots above for names read
  // here, or the same where they stand in the store's bytes (its slots made
  // when they were kept), which hold keeps.
  const char* text = nullptr;
  std::span<const Entry> list;
  std::span<const std::uint32_t> index;
  std::shared_ptr<const void> hold;
  static constexpr int kLinearSearches = 4;
  mutable std::atomic<int> searches{0};
  mutable std::atomic<bool> indexed{false};
  mutable std::once_flag indexOnce;
  // The folder and stamp the names are kept under in the store, when they
  // are kept there without their index (put by this process or taken from
  // the store): once a search here makes the index, the names are kept
  // again with it, so that later processes that search them as often find
  // it made.
  std::string keptFolder;
  FileStamp keptStamp;

  // Whether a search goes through the slots (made here when it is time).
  bool UseIndex() const {
    if (indexed.load(std::memory_order_acquire)) return true;
    if (searches.fetch_add(1, std::memory_order_relaxed) < kLinearSearches) return false;
    std::call_once(indexOnce, [this] {
      auto* self = const_cast<FolderNames*>(this);
      self->Index();
      indexed.store(true, std::memory_order_release);
      if (!keptFolder.empty()) self->KeepIndexInStore();
    });
    return true;
  }

  // The searches' views of the names read here.
  void ViewOwn() {
    text = block.get();
    list = entries;
    index = slots;
  }

  std::string_view Name(const Entry& e) const { return {text + e.at, e.length}; }
  std::size_t FirstSlot(std::string_view s) const { return FoldedHash(s) & (index.size() - 1); }
  std::size_t NextSlot(std::size_t i) const { return (i + 1) & (index.size() - 1); }

  // The slots of names (in entries' order) by their folded hashes: a
  // power of two at least twice their number, at least 16. readPast: the
  // bytes after each name may be read (see FoldedHash).
  template <typename NameOf>
  static std::vector<std::uint32_t> MakeSlots(std::size_t count, NameOf&& nameOf,
                                              bool readPast = false) {
    std::size_t size = 16;
    while (size < count * 2) size <<= 1;
    std::vector<std::uint32_t> made(size, 0);
    for (std::size_t n = 0; n < count; ++n) {
      std::size_t i = FoldedHash(nameOf(n), readPast) & (size - 1);
      while (made[i] != 0) i = (i + 1) & (size - 1);
      made[i] = static_cast<std::uint32_t>(n + 1);
    }
    return made;
  }

  // A hash of the bytes under ASCII folding, eight bytes at a time (the
  // last word padded with zero bytes). With readPast the bytes after s may
  // be read up to the end of its last word (they are masked off): names in
  // the block are hashed where they are.
  static std::size_t FoldedHash(std::string_view s, bool readPast = false) {
    std::uint64_t h = s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      h = (h ^ FoldWord(w)) * 0x9E3779B97F4A7C15ull;
    }
    if (const std::size_t rest = s.size() - i) {
      std::uint64_t w = 0;
      if (readPast && std::endian::native == std::endian::little) {
        std::memcpy(&w, s.data() + i, 8);
        w &= ~std::uint64_t{0} >> (64 - 8 * rest);  // the first rest bytes
      } else {
        std::memcpy(&w, s.data() + i, rest);
      }
      h = (h ^ FoldWord(w)) * 0x9E3779B97F4A7C15ull;
    }
    // The low bits pick the slot: mixed from every bit.
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }

  // The eight bytes of w with 'A'-'Z' made 'a'-'z' (bytes of 0x80 and up
  // are left alone), as FoldAscii does byte by byte.
  static std::uint64_t FoldWord(std::uint64_t w) {
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t low = w & kLow;                       // no carry between bytes
    const std::uint64_t fromA = low + 0x3F3F3F3F3F3F3F3Full;  // high bit: byte >= 'A'
    const std::uint64_t pastZ = low + 0x2525252525252525ull;  // high bit: byte > 'Z'
    const std::uint64_t upper = fromA & ~pastZ & ~w & kHigh;  // 'A'-'Z'
    return w | (upper >> 2);                                  // + 0x20
  }

  // The first entry (in listing order) that found(entry) takes: a walk of
  // the names, or of the probe of s's folded name once they are indexed
  // (which meets them in listing order). A slot that names no entry ends
  // the probe, as does a probe of every slot.
  template <typename Found>
  const Entry* First(std::string_view s, Found&& found) const {
    if (!UseIndex()) {
      for (const Entry& e : list)
        if (found(e)) return &e;
      return nullptr;
    }
    for (std::size_t i = FirstSlot(s), n = 0; n < index.size() && index[i] != 0;
         i = NextSlot(i), ++n) {
      if (index[i] > list.size()) return nullptr;
      const Entry& e = list[index[i] - 1];
      if (found(e)) return &e;
    }
    return nullptr;
  }

  // The entry named s exactly; null for none.
  const Entry* Exact(std::string_view s) const {
    return First(s, [&](const Entry& e) { return Name(e) == s; });
  }

  // Whether e's name equals s under ASCII folding, of UTF-8 (utf8 true:
  // every byte) or of CP932 single-byte characters (a double-byte
  // character whose trail byte is a letter is not folded).
  bool FoldedEqual(const Entry& e, std::string_view s, bool utf8) const {
    if (e.length != s.size()) return false;
    const std::string_view name = Name(e);
    return EqualNoCaseUtf8(name, s) && (utf8 || EqualNoCaseSjis(name, s));
  }

  // The first entry (in listing order) whose name equals s under folding.
  const Entry* Folded(std::string_view s, bool utf8) const {
    return First(s, [&](const Entry& e) { return FoldedEqual(e, s, utf8); });
  }

  // Exact(s) if there is one, else Folded(s, utf8), in one walk of the
  // names (or of the probe).
  const Entry* ExactElseFolded(std::string_view s, bool utf8) const {
    const Entry* folded = nullptr;
    const Entry* exact = First(s, [&](const Entry& e) {
      if (e.length != s.size()) return false;
      if (Name(e) == s) return true;
      if (!folded && FoldedEqual(e, s, utf8)) folded = &e;
      return false;
    });
    return exact ? exact : folded;
  }

  // The index by folded name. At most half full: a probe ends soon at a
  // free slot.
  void Index() {
    slots = MakeSlots(
        list.size(), [this](std::size_t n) { return Name(list[n]); }, true);
    index = slots;
  }

  // Reads the names of a native folder; false when it does not open.
  // sizeHint: the folder's size in bytes, which most file systems make
  // grow with its names.
  bool Read(const std::string& folder, std::uint64_t sizeHint);
  // Takes the names from the store of derived values, when it holds them
  // for the folder at the stamp; false otherwise (or for a small folder).
  bool FromStore(const std::string& folder, const FileStamp& stamp);
  // Keeps the names read in the store for later processes (see
  // NamesOfFolder).
  void KeepInStore(const std::string& folder, const FileStamp& stamp);
  // Keeps the names again, now with their index, where they are kept.
  void KeepIndexInStore() const;

  // Whether Read reached the end of the folder (names from the store are
  // complete).
  bool complete = false;
};

// The names of a plain absolute native folder (IsPlainAbsolute) whose stamp
// the caller has just taken: the kept ones when they were read at that
// stamp and may answer now (see above), else the store's (a settled
// stamp, unless the watch has reported a change of the names kept at that
// stamp), else read now and kept. Null when the folder does not
// open (nothing is kept). kept (when given) tells whether they were read
// before this call: an absence they show is then confirmed by a direct
// look before it is an answer. watch (when given): the watch's word on the
// folder's names taken with the stamp; the names kept answer under it.
std::shared_ptr<const FolderNames> NamesOfFolder(const std::string& folder, const FileStamp& stamp,
                                                 bool* kept = nullptr,
                                                 const NamesWatch* watch = nullptr);

// The names of a folder read now, kept for nobody (a folder whose path is
// not plain, or a kept set that a direct look found out of date). Null when
// the folder does not open.
std::shared_ptr<const FolderNames> ReadFolderNamesNow(const std::string& folder,
                                                      std::uint64_t sizeHint);

// Lets go of every kept set of names, as a new process starts without them
// (tests).
void ForgetKeptFolderNames();

// How many times the process has read a folder's names from the folder
// (tests: what a listing costs).
std::uint64_t FolderNamesReads();

}  // namespace plat::detail
