#include "tabledb/dictionaries.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "common/file_access.h"
#include "common/file_names.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "plat/file.h"

namespace {

constexpr char kUnificationWord[] = "統一文字読み込み";
constexpr char kReplacementWord[] = "置換文字読み込み";
constexpr char kFacilityWord[] = "施設置換文字読み込み";

// A line of the text form holds at most this many bytes.
constexpr std::size_t kMaxTextLine = 511;
// The smallest stored pair: two lengths and no bytes.
constexpr uint32_t kMinPairBytes = 8;
// Growth of a list whose final size is not known in advance.
constexpr uint32_t kMinGrowthStep = 128;

enum class ReadResult { kString, kEnd, kFailed };

// The stored pairs from the file's position on, read a block at a time
// (a pair is two lengths and two short texts: a read each would cost a
// system call per field).
class PairReader {
 public:
  explicit PairReader(plat::File& file) : file_(file) {}
  // Up to n bytes; fewer only at the end of the file or on a failure.
  std::size_t Read(void* out, std::size_t n) {
    auto* to = static_cast<unsigned char*>(out);
    std::size_t got = 0;
    while (got < n && !failed_) {
      if (at_ == length_) {
        length_ = file_.Read(block_, sizeof block_);
        at_ = 0;
        if (file_.Failed()) failed_ = true;
        if (length_ == 0) break;
      }
      const std::size_t take = std::min(n - got, length_ - at_);
      std::memcpy(to + got, block_ + at_, take);
      at_ += take;
      got += take;
    }
    return got;
  }
  bool Failed() const { return failed_; }

 private:
  plat::File& file_;
  unsigned char block_[4096];
  std::size_t at_ = 0;
  std::size_t length_ = 0;
  bool failed_ = false;
};

// Reads one stored string into text (kPairTextSize bytes) and restores it.
// At the end of the file before the length, kEnd when atEndIsComplete.
ReadResult ReadStoredString(PairReader& file, char* text, bool atEndIsComplete) {
  unsigned char lengthBytes[4];
  const std::size_t got = file.Read(lengthBytes, sizeof lengthBytes);
  if (file.Failed()) return ReadResult::kFailed;
  if (got == 0 && atEndIsComplete) return ReadResult::kEnd;
  if (got != sizeof lengthBytes) return ReadResult::kFailed;
  const uint32_t length = LoadLeValue<uint32_t>(lengthBytes);
  if (length > static_cast<uint32_t>(kPairMaxTextLength)) return ReadResult::kFailed;
  if (length > 0 && file.Read(text, length) != length) return ReadResult::kFailed;
  if (file.Failed()) return ReadResult::kFailed;
  text[length] = '\0';
  InvertStringBytes(text);
  return ReadResult::kString;
}

// Reads pair after pair to the end of the file. 1 when the file ended
// exactly after a pair; 0 with the message otherwise.
template <typename Container, typename Fixup>
int ReadPairs(plat::File& stored, Container& container, const char* path, const char* memoryWord,
              char* msg, Fixup fixup) {
  PairReader file(stored);
  for (;;) {
    PairRecord pair{};
    const ReadResult first = ReadStoredString(file, pair.search, true);
    if (first == ReadResult::kEnd) return 1;
    if (first == ReadResult::kFailed ||
        ReadStoredString(file, pair.replacement, false) != ReadResult::kString) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    if (!fixup(pair)) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    pair.flag = 0;
    if (!container.Add(&pair)) {
      SetMessage(msg, kMsgMemory, memoryWord);
      return 0;
    }
  }
}

bool NoFixup(PairRecord&) { return true; }

int OpenBinary(plat::File& file, const char* path, char* msg) {
  if (OpenFileForRead(&file, path)) return 1;
  SetMessage(msg, kMsgFileOpen, path);
  return 0;
}

// Reads and checks the 32-byte header; the pair count to *count.
int ReadHeader(plat::File& file, const char* path, const char* expectedText, uint32_t* count,
               char* msg) {
  unsigned char header[kPairFileHeaderSize];
  if (!ReadBytesFromFile(&file, header, sizeof header)) {
    SetMessage(msg, kMsgFileRead, path);
    return 0;
  }
  // The text and its NUL within the first 8 bytes, equal to the expected one.
  const std::size_t textLength = std::strlen(expectedText);
  if (std::memcmp(header, expectedText, textLength + 1) != 0) {
    SetMessage(msg, kMsgFileRead, path);
    return 0;
  }
  *count = LoadLeValue<uint32_t>(header + 12);
  return 1;
}

// The capacity for a stated number of pairs: no more than the rest of the
// file can hold (a damaged count must not size the list), at least 1 (a
// list of no records cannot be created).
uint32_t CapacityFor(plat::File& file, uint32_t stated) {
  uint64_t length = 0;
  uint64_t position = 0;
  if (file.GetLength(length) && file.GetPosition(position) && length >= position) {
    const uint64_t room = (length - position) / kMinPairBytes;
    if (stated > room) stated = static_cast<uint32_t>(room);
  }
  return stated == 0 ? 1 : stated;
}

uint32_t GrowthFor(uint32_t capacity) {
  return capacity < kMinGrowthStep ? kMinGrowthStep : capacity;
}

// Opens a stored pair file. With a header text the header is read and
// checked and gives the stated pair count; without one the pairs are
// counted first. 0 with the message when a step fails.
int OpenPairFile(plat::File& file, const char* path, const char* headerText, uint32_t* stated,
                 char* msg) {
  if (headerText) {
    return OpenBinary(file, path, msg) && ReadHeader(file, path, headerText, stated, msg);
  }
  return CountDictionaryFilePairs(path, stated, msg) && OpenBinary(file, path, msg);
}

// Creates the container for the stated number of pairs still to be read
// from file; 0 with the memory message (naming memoryWord) when it fails.
template <typename Container>
int CreateForPairs(Container& container, plat::File& file, uint32_t stated, const char* memoryWord,
                   char* msg) {
  const uint32_t capacity = CapacityFor(file, stated);
  if (container.Create(capacity, sizeof(PairRecord), GrowthFor(capacity))) return 1;
  SetMessage(msg, kMsgMemory, memoryWord);
  return 0;
}

// 1 when the records 1..count are in ascending order of their search texts.
int IsSortedBySearchText(const CCharDictionary& dictionary) {
  const uint32_t count = dictionary.GetCount();
  PairRecord previous{};
  PairRecord current{};
  for (uint32_t n = 1; n <= count; ++n) {
    if (!dictionary.GetAt(n, &current)) return 0;
    if (n > 1 && CompareDictionaryKeys(&previous, &current) > 0) return 0;
    previous = current;
  }
  return 1;
}

void SortBySearchText(CCharDictionary& dictionary) {
  const uint32_t count = dictionary.GetCount();
  if (count > 1) dictionary.Sort(1, count, CompareDictionaryKeys);
}

// Both texts of a pair through the fixup.
bool ApplyFixup(const PairTextFixup& fixup, PairRecord& pair) {
  return !fixup.apply ||
         (fixup.apply(pair.search, fixup.context) && fixup.apply(pair.replacement, fixup.context));
}

// The lines of a text-form file, read once into one block, each followed
// by '\n' (a line never holds one), and their number; 0 with the message
// when it does not open or read.
int ReadTextLines(const char* path, std::string* text, std::size_t* count, char* msg) {
  plat::File file;
  if (!OpenTextFileForRead(&file, path)) {
    SetMessage(msg, kMsgFileOpen, path);
    return 0;
  }
  std::string line;
  while (file.ReadString(line)) {
    text->append(line);
    text->push_back('\n');
    ++*count;
  }
  if (file.Failed()) {
    SetMessage(msg, kMsgFileRead, path);
    return 0;
  }
  return 1;
}

// Creates container for the lines of a text-form file (capacity = growth
// step = the number of lines, at least 1: an empty file loads empty) and
// stores them as pairs. Fields are passed through fixup (which may refuse
// them).
template <typename Container, typename Fixup>
int ReadTextPairs(const char* path, Container& container, const char* memoryWord, char* msg,
                  Fixup fixup) {
  std::string text;
  std::size_t lines = 0;
  if (!ReadTextLines(path, &text, &lines, msg)) return 0;
  const auto capacity = static_cast<uint32_t>(std::max<std::size_t>(lines, 1));
  if (lines > UINT32_MAX || !container.Create(capacity, sizeof(PairRecord), capacity)) {
    SetMessage(msg, kMsgMemory, memoryWord);
    return 0;
  }
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    if (line.size() > kMaxTextLine) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    char buffer[kMaxTextLine + 1];
    std::memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\0';
    TrimBlanks(buffer);
    if (buffer[0] == '\0' || buffer[0] == ';') continue;

    // Field 1 up to the first ",", field 2 up to the next one or the end.
    const char* replacement = "";
    const int comma = FindSubstring(",", buffer);
    if (comma > 0) {
      char* second = buffer + comma;
      buffer[comma - 1] = '\0';
      const int next = FindSubstring(",", second);
      if (next > 0) second[next - 1] = '\0';
      replacement = second;
    }
    PairRecord pair{};
    if (std::strlen(buffer) > static_cast<std::size_t>(kPairMaxTextLength) ||
        std::strlen(replacement) > static_cast<std::size_t>(kPairMaxTextLength)) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    std::strcpy(pair.search, buffer);
    std::strcpy(pair.replacement, replacement);
    if (!fixup(pair)) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    if (!container.Add(&pair)) {
      SetMessage(msg, kMsgMemory, memoryWord);
      return 0;
    }
  }
  return 1;
}

}  // namespace

int32_t CompareDictionaryKeys(const void* a, const void* b) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  while (*x != 0 && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int32_t>(*x) - static_cast<int32_t>(*y);
}

int CountDictionaryFilePairs(const char* path, uint32_t* count, char* msg) {
  if (count) *count = 0;
  plat::File stored;
  if (!OpenBinary(stored, path, msg)) return 0;
  PairReader file(stored);
  uint32_t pairs = 0;
  for (;;) {
    char text[kPairTextSize];
    const ReadResult first = ReadStoredString(file, text, true);
    if (first == ReadResult::kEnd) break;
    if (first == ReadResult::kFailed ||
        ReadStoredString(file, text, false) != ReadResult::kString) {
      SetMessage(msg, kMsgFileRead, path);
      return 0;
    }
    ++pairs;
  }
  if (count) *count = pairs;
  return 1;
}

int LoadUnificationDictionary(const char* path, CCharDictionary* dictionary, char* msg,
                              int withHeader) {
  if (dictionary == nullptr) return 0;
  dictionary->Free();
  uint32_t stated = 0;
  plat::File file;
  if (!OpenPairFile(file, path, withHeader ? kUnificationHeaderText : nullptr, &stated, msg) ||
      !CreateForPairs(*dictionary, file, stated, kUnificationWord, msg))
    return 0;
  if (!ReadPairs(file, *dictionary, path, kUnificationWord, msg, NoFixup)) {
    dictionary->Free();
    return 0;
  }
  // Lookups are binary searches: a file out of order is sorted rather than
  // searched wrongly. An ordered file keeps its order (also of equal keys).
  if (!withHeader || !IsSortedBySearchText(*dictionary)) SortBySearchText(*dictionary);
  return 1;
}

int LoadReplacementPairs(const char* path, CRecordList* list, char* msg, int withHeader,
                         int tenThousandToMan, PairTextFixup headerlessFixup) {
  if (list == nullptr) return 0;
  list->Free();
  uint32_t stated = 0;
  plat::File file;
  if (!OpenPairFile(file, path, withHeader ? kReplacementHeaderText : nullptr, &stated, msg) ||
      !CreateForPairs(*list, file, stated, kReplacementWord, msg))
    return 0;
  int ok = 0;
  if (withHeader) {
    ok = ReadPairs(file, *list, path, kReplacementWord, msg, [&](PairRecord& pair) {
      // "万" is shorter than "１００００": the text only shrinks.
      if (tenThousandToMan) ReplaceAll(pair.search, "１００００", "万", sizeof pair.search);
      return true;
    });
  } else {
    ok = ReadPairs(file, *list, path, kReplacementWord, msg,
                   [&](PairRecord& pair) { return ApplyFixup(headerlessFixup, pair); });
  }
  if (!ok) {
    list->Free();
    return 0;
  }
  return 1;
}

int LoadReplacementPairsText(const char* path, CRecordList* list, char* msg, PairTextFixup fixup) {
  if (list == nullptr) return 0;
  list->Free();
  const int ok = ReadTextPairs(path, *list, kReplacementWord, msg,
                               [&](PairRecord& pair) { return ApplyFixup(fixup, pair); });
  if (!ok) {
    list->Free();
    return 0;
  }
  return 1;
}

int LoadUnificationDictionaryText(const char* path, CCharDictionary* dictionary, char* msg) {
  if (dictionary == nullptr) return 0;
  dictionary->Free();
  if (!ReadTextPairs(path, *dictionary, kUnificationWord, msg, NoFixup)) {
    dictionary->Free();
    return 0;
  }
  SortBySearchText(*dictionary);
  return 1;
}

int LoadFacilityReplacementDictionary(const char* path, CRecordList* list, char* msg) {
  if (list == nullptr) return 0;
  list->Free();
  uint32_t stated = 0;
  plat::File file;
  if (!OpenPairFile(file, path, nullptr, &stated, msg) ||
      !CreateForPairs(*list, file, stated, kFacilityWord, msg))
    return 0;
  if (!ReadPairs(file, *list, path, kFacilityWord, msg, NoFixup)) {
    list->Free();
    return 0;
  }
  return 1;
}
