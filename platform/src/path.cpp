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

#include "folder_names.h"
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
  return detail::JoinNative(dir, name);
}

bool Exists(const std::string& native, struct stat& st) {
  return (::plat::detail::CountSystemCalls(), ::lstat)(native.c_str(), &st) == 0;
}

bool Exists(const std::string& native) {
  struct stat st;
  return Exists(native, st);
}

// The first entry of a folder's names that matches the element's decoded
// form, and the first that matches its raw bytes (tryRaw).
struct Matches {
  const detail::FolderNames::Entry* byUtf8 = nullptr;
  const detail::FolderNames::Entry* byRaw = nullptr;
};

Matches Match(const detail::FolderNames& names, const Element& e, bool tryRaw) {
  Matches m;
  // Folding of the decoded name in UTF-8, of an undecoded one by CP932
  // characters; of the raw bytes by CP932 characters. A native name that
  // is no UTF-8 (raw CP932 bytes) folds only its single-byte characters: a
  // trail byte that looks like a letter (ア 83 41) is part of its character.
  m.byUtf8 = names.Folded(e.utf8, e.decoded && cp932::IsUtf8(e.utf8));
  if (tryRaw) m.byRaw = names.Folded(e.raw, false);
  return m;
}

// Looks for one element in a folder: the decoded name exactly, then under
// ASCII case folding (in UTF-8), then the raw CP932 bytes exactly, then those
// under a Shift-JIS aware folding. The first entry that matches wins.
// knownMissing: the decoded name was just looked for in the folder and is
// not there. folderStatus: the folder's status as just looked at: its
// names are then the layer's kept ones (folder_names.h), read again when
// the folder has changed; without it they are read now. An absence the
// names show is an answer: the decoded and raw names were looked for
// directly, and kept names are those of the folder's stamp just looked at.
bool FindElement(const std::string& dir, const Element& e, std::string& found,
                 bool knownMissing = false, const struct stat* folderStatus = nullptr,
                 std::shared_ptr<const detail::FolderNames>* namesRead = nullptr) {
  if (!knownMissing && Exists(Append(dir, e.utf8))) {
    found = e.utf8;
    return true;
  }
  const bool tryRaw = e.decoded && e.raw != e.utf8;
  std::shared_ptr<const detail::FolderNames> names;
  if (folderStatus && S_ISDIR(folderStatus->st_mode)) {
    FileStamp stamp;
    detail::StampFromStat(*folderStatus, stamp);
    names = detail::NamesOfFolder(dir, stamp);
  } else {
    names = detail::ReadFolderNamesNow(dir, 0);
  }
  if (!names) return false;
  if (namesRead) *namesRead = names;
  const Matches m = Match(*names, e, tryRaw);
  if (m.byUtf8) {
    found = names->Name(*m.byUtf8);
  } else if (tryRaw && Exists(Append(dir, e.raw))) {
    found = e.raw;
  } else if (m.byRaw) {
    found = names->Name(*m.byRaw);
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
    const bool inLookedFolder = folderLooked && k == from;
    if (!FindElement(cur, e, found, knownMissing, inLookedFolder ? &folderStatus : nullptr,
                     k + 1 == n ? &looked.folderNames : nullptr)) {
      if (!forCreate || k + 1 != n) return false;
      found = e.utf8;
      made = true;
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
  if ((::plat::detail::CountSystemCalls(), ::mkdir)(native.c_str(), 0777) == 0) return true;
  return errno == EEXIST;
}

bool RemoveDir(const char* path) {
  std::string native;
  if (!path || !Resolve(path, false, native)) return false;
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

}  // namespace plat::detail
