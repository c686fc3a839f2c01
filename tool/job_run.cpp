#include "tool/job_run.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "plat/crt.h"
#include "plat/derived_store.h"
#include "plat/file.h"
#include "plat/file_stamp.h"
#include "plat/output_file.h"
#include "plat/path.h"

namespace {

constexpr char kResultWriteFailed[] = "検索結果の書き込みに失敗しました！";
constexpr char kProgramFolderFailed[] = "プログラムフォルダの取得に失敗しました！";
constexpr char kResultNameRefused[] = "検索結果ファイルに%sは指定できません！";
constexpr char kDataFolderTail[] = "\\Database\\住所";
constexpr char kDatasetBasic[] = "VRG_BASIC";
constexpr char kDatasetExtend[] = "VRG_EXTEND";
constexpr int32_t kFlagsAll = 0xFFFF;
constexpr int32_t kFlagExtend = 8;
constexpr int32_t kDefaultMaxLines = 100;
constexpr int32_t kClampedMaxLines = 5;

// The stack a job may take below its entry: more than twice what the
// deepest job (a keyword search, about 190 KiB) takes.
constexpr std::size_t kJobStackBytes = 512 * 1024;

constexpr unsigned char kScrambleMagic[5] = {'V', 'R', 'F', 0x0D, 0x0A};
// Magic, three length bytes, at least two filler bytes and the check byte:
// a shorter file is never scrambled.
constexpr uint64_t kScrambleMinLength = 10;
constexpr uint64_t kScrambleMaxLength = 0xFFFFFFFFull;

// ---- Status and result files ----

// A text file of one line and its line end (the result line of a
// reverse-geocoding job); a partly written file is removed again (only the
// file this call made: never a device named as the file).
int WriteResultFile(const char* path, const char* line) {
  plat::OutputFile file;
  if (!OpenOutputTextFile(&file, path)) return 0;
  if (WriteLineToFile(&file.Stream(), line) && file.Commit()) return 1;
  file.Discard();
  return 0;
}

// The status file: "%ld\n%ld\n%s" and a line end, in text mode.
int WriteStatusFile(const char* path, int32_t code, int32_t interrupted, const char* message) {
  char head[64];
  std::snprintf(head, sizeof head, "%ld\n%ld\n", static_cast<long>(code),
                static_cast<long>(interrupted));
  return WriteResultFile(path, (std::string(head) + message).c_str());
}

// A result or status file left from an earlier job goes; a name that is
// no regular file (a device, a folder, a link) stays.
void RemoveIfExists(const char* path) { plat::File::RemoveRegular(path); }

// ---- Names that are not the job's to replace ----

bool SameFile(const plat::FileStamp& a, const plat::FileStamp& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The files that a result or status name must not name: the job file, the
// program and the files of the data folder (the same file, found as the
// job would find the name: in any case, through a link). They are looked
// at only once a name names a file.
class KeptFiles {
 public:
  KeptFiles(const char* programFolder, const char* jobFile)
      : programFolder_(programFolder), jobFile_(jobFile) {}

  // What the name names of them, for the status message; null for any
  // other name.
  const char* Of(const char* name) {
    // The store of derived values would take a file written there for
    // itself (and replace it), whether or not the store exists yet.
    if (plat::NamesDerivedStoreFile(name)) return "キャッシュのファイル";
    plat::FileStamp file, folder;
    if (!plat::StampOfPathAndFolder(name, file, folder)) return nullptr;
    LookOnce();
    if (haveJob_ && SameFile(file, job_)) return "検索条件ファイル";
    if (haveProgram_ && SameFile(file, program_)) return "プログラム";
    if (haveData_ && SameFile(folder, data_)) return "データフォルダのファイル";
    return nullptr;
  }

 private:
  void LookOnce() {
    if (looked_) return;
    looked_ = true;
    std::string native, program;
    haveJob_ = plat::StampOfPath(jobFile_, native, job_);
    haveProgram_ =
        plat::path::ProgramPath(program) && plat::StampOfPath(program.c_str(), native, program_);
    haveData_ =
        programFolder_ &&
        plat::StampOfPath((std::string(programFolder_) + kDataFolderTail).c_str(), native, data_);
  }

  const char* programFolder_;
  const char* jobFile_;
  bool looked_ = false;
  bool haveJob_ = false, haveProgram_ = false, haveData_ = false;
  plat::FileStamp job_, program_, data_;
};

// ---- Scrambled job files ----

// Turns the scrambled bytes back into the plain text, in place; the plain
// length, or 0 when the bytes are not a usable scrambled form.
std::size_t DescrambleInPlace(unsigned char* bytes, std::size_t n) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) sum += bytes[i];
  if (sum % 255 != bytes[n - 1]) return 0;
  const std::size_t filler = (bytes[5] + bytes[6] + bytes[7]) % 3 + 2;
  if (n < filler + 9 + 2) return 0;  // one plain byte or none
  const std::size_t plainLength = n - filler - 9;
  // Each source lies behind its target, so one forward pass is safe.
  for (std::size_t i = 0; i < plainLength; ++i) bytes[i] = ~bytes[8 + filler + i];
  const std::size_t half = plainLength / 2;
  for (std::size_t i = 0; i < half; i += 2) std::swap(bytes[i], bytes[half + i]);
  return plainLength;
}

// Opens the job file for its lines, in text mode at its start. A scrambled
// job file is rewritten as plain text first (and then opened again); a file
// that is not scrambled, or not readable as such, is read as it stands,
// through the descriptor that looked at it. 0 when the job file cannot be
// opened or the plain text cannot be written (the job file then stays as
// it was).
int OpenJobFile(const char* path, plat::File& file) {
  std::vector<unsigned char> bytes;
  if (!OpenFileForRead(&file, path)) return 0;
  unsigned char magic[sizeof kScrambleMagic];
  uint64_t length = 0;
  // The length counts only for a file that begins with the mark.
  const bool scrambled = ReadBytesFromFile(&file, magic, sizeof magic) &&
                         std::memcmp(magic, kScrambleMagic, sizeof magic) == 0 &&
                         file.GetLength(length) && length >= kScrambleMinLength &&
                         length < kScrambleMaxLength;
  if (scrambled) {
    bytes.resize(static_cast<std::size_t>(length));
    std::memcpy(bytes.data(), magic, sizeof magic);
    if (!ReadBytesFromFile(&file, bytes.data() + sizeof magic,
                           static_cast<uint32_t>(bytes.size() - sizeof magic)))
      bytes.clear();
  }
  const std::size_t plainLength = bytes.empty() ? 0 : DescrambleInPlace(bytes.data(), bytes.size());
  if (plainLength == 0) {
    // Read as it stands.
    if (file.SetTextMode(true) && file.SeekToBegin()) return 1;
    file.Close();
    return OpenTextFileForRead(&file, path);
  }
  file.Close();
  // The plain text replaces the job file only when written whole.
  plat::OutputFile out;
  if (!OpenOutputFileForReadWrite(&out, path)) return 0;
  if (!WriteBytesToFile(&out.Stream(), bytes.data(), static_cast<uint32_t>(plainLength)) ||
      !out.Commit()) {
    out.Discard();
    return 0;
  }
  return OpenTextFileForRead(&file, path);
}

// ---- Job lines ----

// Lines after line 1 for each job kind; 0 for a kind that is not run.
int LinesOfKind(int32_t kind) {
  constexpr struct {
    int32_t kind;
    int lines;
  } kKinds[] = {{kJobKeywordSearch, 11},
                {kJobHierarchyListing, 7},
                {kJobPostalCodeSearch, 8},
                {kJobAddressMatching, kAddressLineFlagsWord},
                {kJobReverseGeocoding, 9}};
  for (const auto& k : kKinds)
    if (k.kind == kind) return k.lines;
  return 0;
}

// The next line without its line end; false when there is none or when it
// does not fit a job text buffer.
bool ReadJobLine(plat::File& file, std::string& line) {
  return file.ReadString(line) && line.size() < kJobTextSize;
}

// The job's lines, numbered as in the file (line 1 is the kind).
class JobLines {
 public:
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  const std::string& Text(int number) const { return lines_[static_cast<std::size_t>(number - 1)]; }
  int32_t Int(int number) const { return plat::crt::AtoI32(Text(number).c_str()); }
  // A decimal number that takes the whole line (an empty line is 0).
  bool Double(int number, double* value) const {
    const std::string& text = Text(number);
    char* end = nullptr;
    *value = plat::crt::StrToD(text.c_str(), &end);
    return end == text.c_str() + text.size();
  }
  // A copy in a buffer of kJobTextSize bytes that an entry may rewrite.
  void CopyText(int number, char* buffer) const {
    const std::string& text = Text(number);
    std::memset(buffer, 0, kJobTextSize);
    std::memcpy(buffer, text.data(), text.size());
  }

 private:
  std::vector<std::string> lines_;
};

enum class ReadOutcome { Read, Failed, UnknownKind };

// The job's lines from the job file, open in text mode at its start.
ReadOutcome ReadJobFile(plat::File& file, JobLines& job, int32_t* kind) {
  std::string line;
  if (!ReadJobLine(file, line)) return ReadOutcome::Failed;
  *kind = plat::crt::AtoI32(line.c_str());
  const int count = LinesOfKind(*kind);
  if (count == 0) return ReadOutcome::UnknownKind;
  job.Add(std::move(line));
  for (int i = 0; i < count; ++i) {
    if (!ReadJobLine(file, line)) return ReadOutcome::Failed;
    job.Add(std::move(line));
  }
  return ReadOutcome::Read;
}

// ---- Entries ----

// A search that this program does not carry fails like a failing search.
template <typename Entry, typename... Args>
int CallEntry(Entry entry, char* message, Args... args) {
  if (entry == nullptr) {
    SetMessage(message, "この検索種別は実行できません！");
    return 0;
  }
  return entry(args...);
}

// What a read job fixes for its entry: the kind and its lines, the point of
// a reverse-geocoding job, the dataset, the maximum number of lines and the
// data folder.
struct JobSetup {
  int32_t kind = 0;
  JobLines job;
  double latitude = 0.0;
  double longitude = 0.0;
  const char* dataset = kDatasetBasic;
  int32_t maxLines = kDefaultMaxLines;
  std::string dataFolder;
};

// Reads the job file into the setup. false when the job ends here: with
// its failure in the status file (ended tells whether it was written), or
// with nothing at all for a kind that is not run (ended true: no status is
// due).
bool ReadJob(const char* programFolder, const char* jobFile, const char* statusFile,
             JobSetup* setup, bool* ended) {
  plat::File file;
  if (!OpenJobFile(jobFile, file)) {
    *ended = WriteStatusFile(statusFile, 0, 0, kMsgSearchConditionRead);
    return false;
  }
  JobLines& job = setup->job;
  int32_t kind = 0;
  const ReadOutcome read = ReadJobFile(file, job, &kind);
  file.Close();
  if (read == ReadOutcome::UnknownKind) {
    *ended = true;
    return false;
  }
  if (read == ReadOutcome::Failed) {
    *ended = WriteStatusFile(statusFile, 0, 0, kMsgSearchConditionRead);
    return false;
  }
  setup->kind = kind;
  if (kind == kJobReverseGeocoding &&
      (!job.Double(2, &setup->latitude) || !job.Double(3, &setup->longitude))) {
    *ended = WriteStatusFile(statusFile, 0, 0, kMsgSearchConditionRead);
    return false;
  }

  // The flags word is the second-to-last line.
  const int32_t flags = job.Int(LinesOfKind(kind));
  if (flags == kFlagsAll || (flags & kFlagExtend) != 0) setup->dataset = kDatasetExtend;
  // Only the keyword search and the listings take a maximum number of lines.
  if (kind == kJobKeywordSearch) setup->maxLines = job.Int(4);
  if (kind == kJobHierarchyListing) setup->maxLines = job.Int(3);
  if (flags == kFlagsAll && (setup->maxLines == 0 || setup->maxLines > kClampedMaxLines))
    setup->maxLines = kClampedMaxLines;
  setup->dataFolder = std::string(programFolder) + kDataFolderTail;
  return true;
}

// Calls the entry of the job's kind with the job's lines; its answer.
int CallJobEntry(const JobSetup& s, const SearchEntries& entries, const char* resultFile,
                 char* message, char* resultText, int32_t* interrupted) {
  const JobLines& job = s.job;
  const char* folder = s.dataFolder.c_str();
  const char* dataset = s.dataset;
  char text[kJobTextSize];
  switch (s.kind) {
    case kJobKeywordSearch:
      job.CopyText(3, text);
      return CallEntry(entries.keywordSearchToFile, message, resultFile, job.Int(2), text, folder,
                       s.maxLines, interrupted, message, "", "", 0, dataset, job.Int(5), job.Int(6),
                       job.Int(7), job.Int(8), job.Int(9), job.Int(10), "");
    case kJobHierarchyListing:
      job.CopyText(2, text);
      if (static_cast<unsigned char>(text[0]) >= '0' &&
          static_cast<unsigned char>(text[0]) <= '9') {
        return CallEntry(entries.listByCodeToFile, message, resultFile, text, folder, s.maxLines,
                         interrupted, message, dataset, job.Int(5), job.Int(6), 1);
      }
      return CallEntry(entries.listByNamesToFile, message, resultFile, text, folder, s.maxLines,
                       interrupted, message, dataset, job.Int(4), job.Int(5), job.Int(6), 1);
    case kJobPostalCodeSearch:
      job.CopyText(2, text);
      return CallEntry(entries.searchPostalCodeToFile, message, resultFile, text, folder, message,
                       dataset, job.Int(3), job.Int(4), job.Int(5), job.Int(6), job.Int(7));
    case kJobAddressMatching:
      job.CopyText(kAddressLineText, text);
      // Address matching is always carried.
      return (entries.matchAddressesToFile ? entries.matchAddressesToFile : MatchAddressesToFile)(
          resultFile, text, job.Int(kAddressLineMatchFlags), job.Int(kAddressLineNumberUnit),
          folder, message, job.Int(kAddressLineEstimation), job.Int(kAddressLineSearchTextKind),
          job.Int(kAddressLineDatum), job.Int(kAddressLineCoordinateFormat),
          job.Int(kAddressLineChomeFormat), job.Int(kAddressLineNumberFormat),
          job.Int(kAddressLineReadingFormat), dataset);
    case kJobReverseGeocoding:
      return CallEntry(entries.reverseGeocode, message, resultText, s.latitude, s.longitude, folder,
                       message, dataset, job.Int(4), job.Int(5), job.Int(6), job.Int(7),
                       job.Int(8));
  }
  return 0;
}

// What the result and status names are to the job: a clean-up after a
// failure removes and writes only what these allow.
enum class OutputNames {
  kUnknown,     // not looked at yet: nothing has been removed
  kStatusKept,  // the status name is a file to keep: nothing is written
  kResultKept,  // the result name is: only the status is written
  kJobs,        // both are the job's to remove and write
};

OutputNames LookAtOutputNames(const char* programFolder, const char* jobFile,
                              const char* resultFile, const char* statusFile, const char** kept) {
  KeptFiles files(programFolder, jobFile);
  if (files.Of(statusFile)) return OutputNames::kStatusKept;
  *kept = files.Of(resultFile);
  return *kept ? OutputNames::kResultKept : OutputNames::kJobs;
}

// The job, once its result and status names have been looked at (kept:
// what the result name names, for a refused one).
bool RunJob(const char* programFolder, const char* jobFile, const char* resultFile,
            const char* statusFile, const SearchEntries& entries, OutputNames names,
            const char* kept) {
  // A status name that is a file the job must keep: nothing is removed or
  // written, and the caller learns it from the exit code alone.
  if (names == OutputNames::kStatusKept) return false;
  if (names == OutputNames::kResultKept) {
    char refused[kJobMessageSize];
    std::snprintf(refused, sizeof refused, kResultNameRefused, kept);
    return WriteStatusFile(statusFile, 0, 0, refused);
  }
  RemoveIfExists(resultFile);
  RemoveIfExists(statusFile);
  // Without its own folder the program cannot find its data: the root's
  // "\Database\住所" is not searched in its place.
  if (!programFolder) return WriteStatusFile(statusFile, 0, 0, kProgramFolderFailed);
  JobSetup setup;
  bool ended = false;
  if (!ReadJob(programFolder, jobFile, statusFile, &setup, &ended)) return ended;

  char message[kJobMessageSize] = {};
  // The entries' messages fill the job's whole buffer.
  const MessageBufferScope messageScope(message, sizeof message);
  char resultText[kJobResultTextSize] = {};
  int32_t interrupted = 0;
  const int result = CallJobEntry(setup, entries, resultFile, message, resultText, &interrupted);
  message[kJobMessageSize - 1] = '\0';
  resultText[kJobResultTextSize - 1] = '\0';

  if (result == 0) return WriteStatusFile(statusFile, 0, 0, message);
  if (setup.kind == kJobReverseGeocoding && !WriteResultFile(resultFile, resultText))
    return WriteStatusFile(statusFile, 0, 0, kResultWriteFailed);
  // A success reports no message, whatever text an entry left behind.
  if (WriteStatusFile(statusFile, 1, interrupted != 0 ? 1 : 0, "")) return true;
  RemoveIfExists(resultFile);
  return false;
}

}  // namespace

bool RunKortJob(const char* programFolder, const char* jobFile, const char* resultFile,
                const char* statusFile, const SearchEntries& entries) {
  if (!jobFile || !resultFile || !statusFile || !*jobFile || !*resultFile || !*statusFile)
    return true;
  char message[kJobMessageSize] = {};
  OutputNames names = OutputNames::kUnknown;
  // The native names of the result and status files, taken before anything
  // is removed: the last resort when even the clean-up runs out of memory.
  std::string lastResult, lastStatus;
  int ended = 0;
  const int ran = CatchAllocationFailure(message, 0, [&] {
    if (!plat::path::ToNative(resultFile, lastResult)) lastResult.clear();
    if (!plat::path::ToNative(statusFile, lastStatus)) lastStatus.clear();
    const char* kept = nullptr;
    names = LookAtOutputNames(programFolder, jobFile, resultFile, statusFile, &kept);
    // Under an address-space limit a stack that could not grow would end
    // the job with a signal: without room for it the job fails at once.
    if (!plat::crt::EnsureStackRoom(kJobStackBytes)) throw std::bad_alloc();
    ended = RunJob(programFolder, jobFile, resultFile, statusFile, entries, names, kept) ? 1 : 0;
    return 1;
  });
  if (ran) return ended != 0;
  // Out of memory: the job's memory has been given back as the failure
  // unwound, and so has the program's reserve (common/allocation_guard.h).
  const int written = CatchAllocationFailure(-1, [&] {
    const char* kept = nullptr;
    if (names == OutputNames::kUnknown)
      names = LookAtOutputNames(programFolder, jobFile, resultFile, statusFile, &kept);
    if (names == OutputNames::kStatusKept) return 0;
    if (names == OutputNames::kJobs) RemoveIfExists(resultFile);
    return WriteStatusFile(statusFile, 0, 0, message);
  });
  if (written >= 0) return written != 0;
  // Out of memory again. Names not looked at are not the job's to remove:
  // the status is then written only where no file has the name.
  if (names == OutputNames::kStatusKept) return false;
  return WriteStatusWithoutMemory(names == OutputNames::kJobs ? lastResult.c_str() : nullptr,
                                  lastStatus.c_str(), message, names != OutputNames::kUnknown);
}

bool WriteStatusWithoutMemory(const char* nativeResult, const char* nativeStatus,
                              const char* message, bool replace) {
  if (nativeResult && *nativeResult) plat::File::RemoveRegularNativeWithoutMemory(nativeResult);
  char status[kJobMessageSize + 16];
  const int length = std::snprintf(status, sizeof status, "0\r\n0\r\n%s\r\n", message);
  return nativeStatus && *nativeStatus && length > 0 &&
         static_cast<std::size_t>(length) < sizeof status &&
         plat::File::WriteNewNativeWithoutMemory(nativeStatus, status,
                                                 static_cast<std::size_t>(length), replace);
}
