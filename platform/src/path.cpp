#include "plat/path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "folder_records.h"
#include "plat/cp932.h"
#include "program_path.h"
#include "resolve_look.h"
#include "sjis_walk.h"
#include "syscall_count.h"

namespace plat::detail {

const std::string* ProgramNativePath() {
  // Published once; a caller that loses the race to publish frees its own.
  static std::atomic<const std::string*> kept{nullptr};
  if (const std::string* known = kept.load(std::memory_order_acquire)) return known;
  std::string buf(256, '\0');
  for (;;) {
    const ssize_t r = (CountSystemCalls(), ::readlink)("/proc/self/exe", buf.data(), buf.size());
    if (r < 0) return nullptr;
    if (static_cast<std::size_t>(r) < buf.size()) {
      buf.resize(static_cast<std::size_t>(r));
      break;
    }
    if (buf.size() >= (1u << 20)) return nullptr;
    buf.resize(buf.size() * 2);
  }
  auto* made = new std::string(std::move(buf));  // kept until exit
  const std::string* expected = nullptr;
  if (kept.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) return made;
  delete made;
  return expected;
}

}  // namespace plat::detail

namespace plat::path {
namespace {

using detail::CharLen;
using detail::IsSeparator;

// A CP932 path taken apart at its separators (empty elements dropped).
struct Parsed {
  bool absolute = false;
  bool trailingSeparator = false;
  std::vector<std::string> parts;
};

// One element in both of its possible on-disk forms.
struct Element {
  std::string utf8;  // decoded name (the raw bytes when they do not decode)
  std::string raw;   // the CP932 bytes as given
  bool decoded = false;
};

// Win32 drops trailing blanks and dots from the last element of a name
// ("a.txt. " opens "a.txt"). An element of only dots and blanks ("..") is
// left alone. Blanks and dots are below 0x40, so they are never trail bytes.
void StripTrailingBlanksAndDots(std::string& element) {
  std::string_view s = element;
  std::size_t keep = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t n = CharLen(s, i);
    if (n == 2 || (s[i] != ' ' && s[i] != '.')) keep = i + n;
    i += n;
  }
  if (keep > 0) element.resize(keep);
}

bool ParsePath(std::string_view p, Parsed& out) {
  if (p.empty()) return false;
  const unsigned char c0 = static_cast<unsigned char>(p[0]);
  const bool letter = (c0 >= 'A' && c0 <= 'Z') || (c0 >= 'a' && c0 <= 'z');
  if (p.size() >= 2 && letter && p[1] == ':') return false;                   // drive letter
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) return false;  // UNC name
  out.absolute = IsSeparator(p[0]);
  std::string cur;
  bool lastWasSeparator = false;
  std::size_t i = 0;
  while (i < p.size()) {
    std::size_t n = CharLen(p, i);
    if (n == 1 && IsSeparator(p[i])) {
      if (!cur.empty()) out.parts.push_back(std::move(cur));
      cur.clear();
      lastWasSeparator = true;
    } else {
      cur.append(p.substr(i, n));
      lastWasSeparator = false;
    }
    i += n;
  }
  if (!cur.empty()) {
    StripTrailingBlanksAndDots(cur);
    out.parts.push_back(std::move(cur));
  }
  out.trailingSeparator = lastWasSeparator && !out.parts.empty();
  return true;
}

// The native form of a path in one pass: the elements as ParsePath takes
// them apart, joined by '\\' and decoded at once as DecodeParts decodes
// them, then joined as ToNative joins them. False when ParsePath refuses the
// path or when the joined elements do not decode as separate pieces (then
// the elements are decoded one by one). Usually the path decodes whole.
bool QuickNative(std::string_view p, std::string& native) {
  if (p.empty()) return false;
  const unsigned char c0 = static_cast<unsigned char>(p[0]);
  const bool letter = (c0 >= 'A' && c0 <= 'Z') || (c0 >= 'a' && c0 <= 'z');
  if (p.size() >= 2 && letter && p[1] == ':') return false;                   // drive letter
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) return false;  // UNC name
  std::string joined;
  joined.reserve(p.size());
  std::size_t elements = 0;
  std::size_t lastStart = 0;  // of the last element in joined
  bool inElement = false;
  bool lastWasSeparator = false;
  std::size_t i = 0;
  std::size_t run = 0;  // start of the element's bytes not yet in joined
  while (i < p.size()) {
    const std::size_t n = CharLen(p, i);
    if (n == 1 && IsSeparator(p[i])) {
      if (inElement) joined.append(p.data() + run, i - run);
      inElement = false;
      lastWasSeparator = true;
    } else {
      if (!inElement) {
        if (elements++ > 0) joined.push_back('\\');
        lastStart = joined.size();
        inElement = true;
        run = i;
      }
      lastWasSeparator = false;
    }
    i += n;
  }
  if (inElement) joined.append(p.data() + run, p.size() - run);
  if (inElement) {
    std::string last = joined.substr(lastStart);
    StripTrailingBlanksAndDots(last);
    joined.replace(lastStart, std::string::npos, last);
  }
  std::string utf8;
  if (!cp932::ToNativeName(joined, utf8)) return false;
  // Each element is a piece of its own: as many pieces, none empty.
  std::size_t pieces = 1;
  for (char& c : utf8) {
    if (c != '\\') continue;
    c = '/';
    ++pieces;
  }
  if (elements > 0 && (pieces != elements || utf8.front() == '/' || utf8.back() == '/' ||
                       utf8.find("//") != std::string::npos))
    return false;
  const bool absolute = IsSeparator(p[0]);
  native.clear();
  native.reserve(utf8.size() + 2);
  if (absolute) native.push_back('/');
  native += utf8;
  if (lastWasSeparator && elements > 0) native.push_back('/');
  return true;
}

std::vector<Element> DecodeParts(const Parsed& p) {
  std::vector<Element> out(p.parts.size());
  for (std::size_t k = 0; k < p.parts.size(); ++k) out[k].raw = p.parts[k];
  // Usually the whole path decodes at once; '\' joins the elements because
  // it decodes to U+005C and nothing else does.
  std::string joined;
  for (std::size_t k = 0; k < p.parts.size(); ++k) {
    if (k) joined.push_back('\\');
    joined += p.parts[k];
  }
  std::string utf8;
  if (cp932::ToNativeName(joined, utf8)) {
    std::vector<std::string> pieces(1);
    for (char c : utf8) {
      if (c == '\\')
        pieces.emplace_back();
      else
        pieces.back().push_back(c);
    }
    if (pieces.size() == out.size()) {
      for (std::size_t k = 0; k < out.size(); ++k) {
        out[k].utf8 = std::move(pieces[k]);
        out[k].decoded = true;
      }
      return out;
    }
  }
  for (Element& e : out) {
    e.decoded = cp932::ToNativeName(e.raw, e.utf8);
    if (!e.decoded) e.utf8 = e.raw;
  }
  return out;
}

std::string Append(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool Exists(const std::string& native, struct stat& st) {
  return (::plat::detail::CountSystemCalls(), ::lstat)(native.c_str(), &st) == 0;
}

bool Exists(const std::string& native) {
  struct stat st;
  return Exists(native, st);
}

// ---- A folder's names, kept for the searches of missing names ----
//
// A search for a name that does not exist exactly reads its folder's names.
// They are kept by the folder's native path with the folder's status as it
// was looked at before they were read, and used again while the folder's
// status is the same (a name added, removed or renamed changes it): the
// search of the next missing name in an unchanged folder reads nothing.
// A file this process creates in a folder whose kept names were current
// just before is added to them ("gained"), and the names are kept with the
// folder's status after the creation, provided no other change of this
// process's through this layer began or was under way in between (another
// thread's). A change by another process in the microseconds between the
// look and the status after the creation would not be told apart: such
// names are trusted for a second at most. Where the folder's order of a
// gained name would decide between two names, the folder is read again.

struct FolderStatus {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FolderStatus&) const = default;
};

FolderStatus StatusOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::int64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
          static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

struct KeptNames {
  FolderStatus status;
  std::vector<std::string> names;   // in the folder's order
  std::vector<std::string> gained;  // created here since, order unknown
  std::int64_t trustedUntilNs = 0;  // with gained names (monotonic clock)
};

constexpr std::int64_t kGainedTrustNs = 1000000000;

// This process's changes of folders through the layer: how many are under
// way, and how many have begun (counted under way first).
std::atomic<int> changesUnderWay{0};
std::atomic<std::uint64_t> changesBegun{0};
constexpr std::size_t kKeptFolders = 16;

struct KeptFolders {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<const KeptNames>> byFolder;
};

KeptFolders& Kept() {
  static auto* kept = new KeptFolders;  // never destroyed: used until exit
  return *kept;
}

std::int64_t MonotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);  // no system call (vDSO)
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// An absolute native folder without "." or ".." components or doubled
// separators: one folder has one such name.
bool IsPlainFolder(const std::string& folder) {
  if (folder.size() < 2 || folder[0] != '/' || folder.back() == '/') return false;
  std::size_t start = 1;
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    const std::size_t length = i - start;
    if (length == 0 ||
        (folder[start] == '.' && (length == 1 || (length == 2 && folder[start + 1] == '.'))))
      return false;
    start = i + 1;
  }
  return true;
}

// The kept names of a folder whose status is st, or null.
std::shared_ptr<const KeptNames> KeptNamesOf(const std::string& folder, const struct stat& st) {
  KeptFolders& kept = Kept();
  std::lock_guard<std::mutex> lock(kept.mutex);
  const auto it = kept.byFolder.find(folder);
  if (it == kept.byFolder.end() || !(it->second->status == StatusOf(st))) return nullptr;
  if (!it->second->gained.empty() && MonotonicNs() >= it->second->trustedUntilNs) return nullptr;
  return it->second;
}

void KeepNames(const std::string& folder, std::shared_ptr<const KeptNames> names) {
  KeptFolders& kept = Kept();
  std::lock_guard<std::mutex> lock(kept.mutex);
  if (kept.byFolder.size() >= kKeptFolders && !kept.byFolder.count(folder)) kept.byFolder.clear();
  kept.byFolder[folder] = std::move(names);
}

// The names of a folder in its order; false when it does not open.
bool ReadNames(const std::string& dir, std::vector<std::string>& names) {
  const int fd = ::plat::detail::OpenFolderRecords(dir.empty() ? "." : dir.c_str());
  if (fd < 0) return false;
  // Not zeroed: only what the system writes is read.
  constexpr std::size_t kRecordBytes = 32768;
  const std::unique_ptr<char[]> block(new char[kRecordBytes]);
  char* const records = block.get();
  for (;;) {
    const ssize_t got =
        (::plat::detail::CountSystemCalls(), ::getdents64)(fd, records, kRecordBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or a failure: the names read so far
    ::plat::detail::ForEachFolderRecord(
        records, static_cast<std::size_t>(got),
        [&](std::string_view name, unsigned char) { names.emplace_back(name); });
  }
  (::plat::detail::CountSystemCalls(), ::close)(fd);
  return true;
}

// The first name of a list that matches the element's decoded form, and
// the first that matches its raw bytes (tryRaw).
struct Matches {
  const std::string* byUtf8 = nullptr;
  const std::string* byRaw = nullptr;
};

Matches Match(const std::vector<std::string>& names, const Element& e, bool tryRaw) {
  Matches m;
  // A native name that is no UTF-8 (raw CP932 bytes) folds only its
  // single-byte characters: a trail byte that looks like a letter (ア 83 41)
  // is part of its character.
  const bool utf8 = e.decoded && cp932::IsUtf8(e.utf8);
  for (const std::string& name : names) {
    if (!m.byUtf8 &&
        (utf8 ? detail::EqualNoCaseUtf8(name, e.utf8) : detail::EqualNoCaseSjis(name, e.utf8)))
      m.byUtf8 = &name;
    if (tryRaw && !m.byRaw && detail::EqualNoCaseSjis(name, e.raw)) m.byRaw = &name;
  }
  return m;
}

// Looks for one element in a folder: the decoded name exactly, then under
// ASCII case folding (in UTF-8), then the raw CP932 bytes exactly, then those
// under a Shift-JIS aware folding. The first entry that matches wins.
// knownMissing: the decoded name was just looked for in the folder and is
// not there. folderStatus: the folder's status as just looked at (its
// names may then be kept, or be the kept ones); kept tells whether they
// were.
bool FindElement(const std::string& dir, const Element& e, std::string& found,
                 bool knownMissing = false, const struct stat* folderStatus = nullptr,
                 bool* kept = nullptr) {
  if (!knownMissing && Exists(Append(dir, e.utf8))) {
    found = e.utf8;
    return true;
  }
  const bool tryRaw = e.decoded && e.raw != e.utf8;
  const bool keep = folderStatus && S_ISDIR(folderStatus->st_mode) && IsPlainFolder(dir);
  std::shared_ptr<const KeptNames> names = keep ? KeptNamesOf(dir, *folderStatus) : nullptr;
  Matches m;
  if (names) {
    m = Match(names->names, e, tryRaw);
    // A gained name decides only where the folder's order does not matter.
    const Matches gained = Match(names->gained, e, tryRaw);
    if ((gained.byUtf8 && m.byUtf8) || (gained.byRaw && m.byRaw)) {
      names = nullptr;
    } else {
      if (!m.byUtf8) m.byUtf8 = gained.byUtf8;
      if (!m.byRaw) m.byRaw = gained.byRaw;
    }
  }
  if (!names) {
    auto read = std::make_shared<KeptNames>();
    if (!ReadNames(dir, read->names)) return false;
    if (keep) {
      read->status = StatusOf(*folderStatus);
      KeepNames(dir, read);
    }
    names = std::move(read);
    m = Match(names->names, e, tryRaw);
  }
  if (kept) *kept = keep;
  if (m.byUtf8) {
    found = *m.byUtf8;
  } else if (tryRaw && Exists(Append(dir, e.raw))) {
    found = e.raw;
  } else if (m.byRaw) {
    found = *m.byRaw;
  } else {
    return false;
  }
  return true;
}

// '/' -> '\', stepping characters.
std::string ToWindowsForm(const std::string& cp932) {
  std::string out = cp932;
  std::size_t i = 0;
  while (i < out.size()) {
    std::size_t n = CharLen(out, i);
    if (n == 1 && out[i] == '/') out[i] = '\\';
    i += n;
  }
  return out;
}

// A start for the temp-name counter that differs between processes and runs.
std::uint32_t StartValue() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(ts.tv_nsec) ^
         (static_cast<std::uint32_t>(::getpid()) * 2654435761u);
}

}  // namespace

bool EndsWithSeparator(std::string_view s) {
  return !s.empty() && detail::AfterLastSeparator(s) == s.size();
}

bool ToNative(const char* cp932, std::string& native) {
  if (cp932 && QuickNative(cp932, native)) return true;
  Parsed p;
  if (!cp932 || !ParsePath(cp932, p)) return false;
  std::vector<Element> elements = DecodeParts(p);
  std::string out = p.absolute ? "/" : "";
  for (const Element& e : elements) out = Append(out, e.utf8);
  if (p.trailingSeparator) out.push_back('/');
  native = std::move(out);
  return true;
}

namespace {

bool ResolveAndLook(const char* cp932, bool forCreate, std::string& native,
                    plat::detail::Looked& looked) {
  using plat::detail::Looked;
  looked = Looked{};
  std::string exact;
  const bool quick = cp932 && QuickNative(cp932, exact);
  if (quick && Exists(exact, looked.st)) {
    looked.known = looked.exists = true;
    native = std::move(exact);
    return true;
  }
  Parsed p;
  if (!cp932 || !ParsePath(cp932, p)) return false;
  std::vector<Element> elements = DecodeParts(p);
  if (!quick) {  // else the exact name is the quick one, which does not exist
    exact = p.absolute ? "/" : "";
    for (const Element& e : elements) exact = Append(exact, e.utf8);
    if (p.trailingSeparator) exact.push_back('/');
    if (Exists(exact, looked.st)) {
      looked.known = looked.exists = true;
      native = std::move(exact);
      return true;
    }
  }
  // The exact name does not exist. Where the folder that holds it exists
  // under its exact name, so does every folder above it (a path is found
  // only through its folders), and each of them is what a search element
  // by element would find first: only the last element is searched.
  std::size_t from = 0;
  std::string cur = p.absolute ? "/" : "";
  const std::size_t n = elements.size();
  struct stat folderStatus {};
  bool folderLooked = false;
  if (n >= 2 && elements[n - 1].raw != "." && elements[n - 1].raw != "..") {
    std::string folder = cur;
    for (std::size_t k = 0; k + 1 < n; ++k) folder = Append(folder, elements[k].utf8);
    // Read before the look (begun first): a change of this process's that
    // could follow the look is under way by then, or begins after.
    looked.changesBegun = changesBegun.load();
    looked.quiet = changesUnderWay.load() == 0;
    if (Exists(folder, folderStatus)) {
      from = n - 1;
      cur = std::move(folder);
      folderLooked = true;
    }
  }
  bool made = false;  // the last element is a name to create, as given
  for (std::size_t k = from; k < n; ++k) {
    const Element& e = elements[k];
    if (e.raw == "." || e.raw == "..") {
      cur = Append(cur, e.raw);
      continue;
    }
    // The exact path looked for above is not looked for again.
    const bool knownMissing = k + 1 == n && !p.trailingSeparator && Append(cur, e.utf8) == exact;
    std::string found;
    bool kept = false;
    const bool inLookedFolder = folderLooked && k == from;
    if (!FindElement(cur, e, found, knownMissing, inLookedFolder ? &folderStatus : nullptr,
                     &kept)) {
      if (!forCreate || k + 1 != n) return false;
      found = e.utf8;
      made = true;
    }
    if (inLookedFolder && kept) {
      looked.folderKept = true;
      looked.folder = cur;
      looked.folderStatus = folderStatus;
    }
    cur = Append(cur, found);
  }
  if (p.trailingSeparator) cur.push_back('/');
  // A name to create under its exact form: the exact path, looked for.
  looked.known = made && !p.trailingSeparator && cur == exact;
  native = std::move(cur);
  return true;
}

}  // namespace

// A file this process created under the native name that a resolution
// gave (looked): added to its folder's kept names (see above) when they
// were the folder's just before.
void AddCreated(const std::string& native, const plat::detail::Looked& looked) {
  if (!looked.folderKept || !looked.quiet || native.size() <= looked.folder.size() + 1 ||
      native.compare(0, looked.folder.size(), looked.folder) != 0 ||
      native[looked.folder.size()] != '/')
    return;
  const std::string name = native.substr(looked.folder.size() + 1);
  if (name.find('/') != std::string::npos) return;
  const std::shared_ptr<const KeptNames> was = KeptNamesOf(looked.folder, looked.folderStatus);
  if (!was) return;
  struct stat now;
  if (!Exists(looked.folder, now) || !S_ISDIR(now.st_mode)) return;
  // The creation is the only change of this process's since the look.
  if (changesBegun.load() != looked.changesBegun + 1 || changesUnderWay.load() != 1) return;
  auto gained = std::make_shared<KeptNames>(*was);
  gained->status = StatusOf(now);
  if (gained->gained.empty()) gained->trustedUntilNs = MonotonicNs() + kGainedTrustNs;
  gained->gained.push_back(name);
  KeepNames(looked.folder, std::move(gained));
}

bool Resolve(const char* cp932, bool forCreate, std::string& native) {
  plat::detail::Looked unused;
  return ResolveAndLook(cp932, forCreate, native, unused);
}

std::string FromNative(const std::string& native) { return cp932::FromNativeName(native); }

bool ProgramPath(std::string& out) {
  const std::string* native = detail::ProgramNativePath();
  if (!native) return false;
  out = ToWindowsForm(FromNative(*native));
  return true;
}

bool ProgramFolder(std::string& out) {
  std::string full;
  if (!ProgramPath(full)) return false;
  std::size_t after = detail::AfterLastSeparator(full);
  if (after == 0) return false;
  out = full.substr(0, after - 1);
  return true;
}

bool TempFolder(std::string& out) {
  std::string dir = "/tmp";
  const char* env = std::getenv("TMPDIR");
  struct stat st;
  if (env && *env && (::plat::detail::CountSystemCalls(), ::stat)(env, &st) == 0 &&
      S_ISDIR(st.st_mode))
    dir = env;
  out = ToWindowsForm(FromNative(dir));
  if (!EndsWithSeparator(out)) out.push_back('\\');
  return true;
}

bool MakeTempFileName(const char* folder, const char* prefix, std::string& out) {
  if (!folder || !prefix) return false;
  std::string base = folder;
  if (!base.empty() && !EndsWithSeparator(base)) base.push_back('\\');
  base += prefix;
  // One counter for the process, started at a random value, so that calls
  // in a row and processes side by side rarely try the same name twice.
  static std::atomic<std::uint32_t> counter{StartValue()};
  for (std::uint32_t attempt = 0; attempt < 0x10000; ++attempt) {
    std::uint32_t unique = counter.fetch_add(1) & 0xFFFFu;
    if (unique == 0) continue;
    char tail[16];
    std::snprintf(tail, sizeof tail, "%04X.TMP", static_cast<unsigned>(unique));
    std::string name = base + tail;
    std::string native;
    if (!Resolve(name.c_str(), true, native)) return false;
    const plat::detail::FolderChange change;
    int fd = (::plat::detail::CountSystemCalls(), ::open)(
        native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      (::plat::detail::CountSystemCalls(), ::close)(fd);
      out = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool MakeDir(const char* path) {
  std::string native;
  if (!path || !Resolve(path, true, native)) return false;
  const plat::detail::FolderChange change;
  if ((::plat::detail::CountSystemCalls(), ::mkdir)(native.c_str(), 0777) == 0) return true;
  return errno == EEXIST;
}

bool RemoveDir(const char* path) {
  std::string native;
  if (!path || !Resolve(path, false, native)) return false;
  const plat::detail::FolderChange change;
  return (::plat::detail::CountSystemCalls(), ::rmdir)(native.c_str()) == 0;
}

bool IsDirectory(const char* path) {
  std::string native;
  if (!path || !Resolve(path, false, native)) return false;
  struct stat st;
  return (::plat::detail::CountSystemCalls(), ::stat)(native.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode) && ::access(native.c_str(), X_OK) == 0;
}

bool PathExists(const char* path) {
  std::string native;
  if (!path || !Resolve(path, false, native)) return false;
  struct stat st;
  return (::plat::detail::CountSystemCalls(), ::stat)(native.c_str(), &st) == 0;
}

bool ChangeDir(const char* path) {
  std::string native;
  if (!path || !Resolve(path, false, native)) return false;
  return (::plat::detail::CountSystemCalls(), ::chdir)(native.c_str()) == 0;
}

bool GetCurrentDir(std::string& out) {
  std::string buf(512, '\0');
  for (;;) {
    if ((::plat::detail::CountSystemCalls(), ::getcwd)(buf.data(), buf.size())) break;
    if (errno != ERANGE || buf.size() >= (1u << 20)) return false;
    buf.resize(buf.size() * 2);
  }
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  out = ToWindowsForm(FromNative(buf));
  return true;
}

void SplitPath(const char* path, std::string* drive, std::string* dir, std::string* title,
               std::string* ext) {
  std::string_view s = path ? path : "";
  std::size_t start = (s.size() >= 2 && s[1] == ':') ? 2 : 0;
  std::string_view rest = s.substr(start);
  std::size_t nameStart = detail::AfterLastSeparator(rest);
  std::string_view name = rest.substr(nameStart);
  std::size_t dot = std::string_view::npos;
  std::size_t i = 0;
  while (i < name.size()) {
    std::size_t n = CharLen(name, i);
    if (n == 1 && name[i] == '.') dot = i;
    i += n;
  }
  if (drive) drive->assign(s.substr(0, start));
  if (dir) dir->assign(rest.substr(0, nameStart));
  if (title) title->assign(name.substr(0, dot == std::string_view::npos ? name.size() : dot));
  if (ext) ext->assign(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
}

}  // namespace plat::path

namespace plat::detail {

bool ResolveLooking(const char* cp932, bool forCreate, std::string& native, Looked& looked) {
  return path::ResolveAndLook(cp932, forCreate, native, looked);
}

void NoteCreated(const std::string& native, const Looked& looked) {
  path::AddCreated(native, looked);
}

FolderChange::FolderChange() {
  path::changesUnderWay.fetch_add(1);
  path::changesBegun.fetch_add(1);
}

FolderChange::~FolderChange() { path::changesUnderWay.fetch_sub(1); }

}  // namespace plat::detail
