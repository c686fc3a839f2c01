#include "common/sjis_text.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis_internal.h"

using sjis_internal::CharLen;

namespace {

inline unsigned char UB(char c) { return static_cast<unsigned char>(c); }
inline int Len(const char* s) { return static_cast<int>(std::strlen(s)); }

// Same character (same byte length and bytes) at a and b.
inline bool SameChar(const char* a, int la, const char* b, int lb) {
  return la == lb && std::memcmp(a, b, static_cast<std::size_t>(la)) == 0;
}

// Whether the character at p (length len) is one of the characters of set.
bool IsInCharSet(const char* set, const char* p, int len) {
  for (const char* s = set; *s;) {
    const int ls = CharLen(s);
    if (SameChar(s, ls, p, len)) return true;
    s += ls;
  }
  return false;
}

// Copies a result over the text when it is shorter than the work area.
bool StoreLimited(char* text, const std::string& result) {
  if (result.size() >= static_cast<std::size_t>(kSjisWorkArea)) return false;
  std::memcpy(text, result.c_str(), result.size() + 1);
  return true;
}

inline bool IsBlank(const char* p) { return *p == ' '; }

// Byte offsets of the start and end (exclusive) of the N-th blank-separated
// word; false when there is none.
bool FindWord(const char* text, int n, int* wordStart, int* wordEnd) {
  if (n < 1) return false;
  const char* p = text;
  for (int k = 1;; ++k) {
    while (IsBlank(p)) ++p;
    if (*p == '\0') return false;
    const char* start = p;
    while (*p && !IsBlank(p)) p += CharLen(p);
    if (k == n) {
      *wordStart = static_cast<int>(start - text);
      *wordEnd = static_cast<int>(p - text);
      return true;
    }
  }
}

}  // namespace

namespace sjis_internal {

bool ReplaceAllIn(std::string& text, const char* search, const char* replacement,
                  std::size_t limit) {
  if (!search || !replacement || text.empty() || *search == '\0') return true;
  if (std::strcmp(search, replacement) == 0) return true;
  if (text.size() >= limit) {
    // Unchanged either way; refused only when there is something to replace.
    return FindSubstring(search, text.c_str()) == 0;
  }
  const std::size_t searchLen = std::strlen(search);
  const std::size_t replLen = std::strlen(replacement);
  std::string work = text;
  std::size_t from = 0;
  for (;;) {
    const int p = FindSubstring(search, work.c_str() + from);
    if (p == 0) break;
    const std::size_t at = from + static_cast<std::size_t>(p) - 1;
    work.replace(at, searchLen, replacement, replLen);
    if (work.size() >= limit) return false;
    from = at + replLen;
  }
  text.swap(work);
  return true;
}

bool CommitResult(char* text, const std::string& result, std::size_t textSize,
                  std::size_t unsizedLimit) {
  if (textSize != 0) {
    if (result.size() + 1 > textSize) return false;
  } else if (result.size() > std::strlen(text) && result.size() >= unsizedLimit) {
    return false;
  }
  std::memcpy(text, result.c_str(), result.size() + 1);
  return true;
}

}  // namespace sjis_internal

// ---------------------------------------------------------------------------
// Lead bytes, characters and positions

int IsLeadByte(unsigned char b) { return ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) ? 1 : 0; }

int IsPrintableAsciiByte(unsigned char b) { return (b >= 0x20 && b <= 0x7E) ? 1 : 0; }

int CountChars(const char* text) {
  if (!text) return 0;
  int n = 0;
  for (const char* p = text; *p; p += CharLen(p)) ++n;
  return n;
}

int CountCharKinds(const char* text, int* singleCount, int* doubleCount) {
  int s = 0, d = 0;
  if (text) {
    for (const char* p = text; *p;) {
      const int l = CharLen(p);
      if (l == 2)
        ++d;
      else
        ++s;
      p += l;
    }
  }
  if (singleCount) *singleCount = s;
  if (doubleCount) *doubleCount = d;
  return s + d;
}

int GetCharWidthClass(const char* text) {
  if (!text || *text == '\0') return 0;
  if (text[1] == '\0') return 1;
  bool single = false, dbl = false;
  for (const char* p = text; *p;) {
    const int l = CharLen(p);
    if (l == 2)
      dbl = true;
    else
      single = true;
    if (single && dbl) return 3;
    p += l;
  }
  return dbl ? 2 : 1;
}

const char* GetCharPtr(const char* text, int n) {
  if (!text || n <= 1) return text;
  const char* p = text;
  for (int k = 1; k < n && *p; ++k) p += CharLen(p);
  return p;
}

char* GetCharPtr(char* text, int n) {
  return const_cast<char*>(GetCharPtr(static_cast<const char*>(text), n));
}

const char* GetLastCharPtr(const char* text) {
  if (!text) return text;
  const char* last = text;
  for (const char* p = text; *p; p += CharLen(p)) last = p;
  return last;
}

char* GetLastCharPtr(char* text) {
  return const_cast<char*>(GetLastCharPtr(static_cast<const char*>(text)));
}

int GetCharBytePos(const char* text, int n) {
  if (!text || n < 1) return -1;
  const char* p = text;
  for (int k = 1; k < n; ++k) {
    if (*p == '\0') return -1;
    p += CharLen(p);
  }
  if (*p == '\0') return -1;
  return static_cast<int>(p - text) + 1;
}

int GetCharAt(const char* text, char* out, int pos) {
  if (out) out[0] = '\0';
  if (!text || !out) return 0;
  const int len = Len(text);
  if (pos < 1 || pos > len) return 0;
  const char* p = text + pos - 1;
  const int l = CharLen(p);
  std::memcpy(out, p, static_cast<std::size_t>(l));
  out[l] = '\0';
  const int next = pos + l;
  return next > len ? 0 : next;
}

char* GetNthChar(char* out, const char* text, int n) {
  if (!out) return out;
  out[0] = '\0';
  if (!text || n < 1) return out;
  const char* p = GetCharPtr(text, n);
  if (*p == '\0') return out;
  const int l = CharLen(p);
  std::memcpy(out, p, static_cast<std::size_t>(l));
  out[l] = '\0';
  return out;
}

int CommonPrefixLength(const char* a, const char* b) {
  if (!a || !b) return 0;
  int n = 0;
  for (const char* p = a; *p;) {
    const int l = CharLen(p);
    const char* q = b + n;
    if (l == 2) {
      if (q[0] != p[0] || q[0] == '\0' || q[1] != p[1]) break;
    } else if (q[0] != p[0]) {
      break;
    }
    n += l;
    p += l;
  }
  return n;
}

void GetByteValueRange(const char* text, int* minValue, int* maxValue) {
  int lo = 255, hi = 0;
  if (text) {
    for (const char* p = text; *p; ++p) {
      const int v = UB(*p);
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
  if (minValue) *minValue = lo;
  if (maxValue) *maxValue = hi;
}

// ---------------------------------------------------------------------------
// Editing by position

char* CopySubstring(char* out, const char* text, int pos, int count) {
  if (!out) return out;
  if (!text) {
    out[0] = '\0';
    return out;
  }
  const int len = Len(text);
  if (pos < 1 || pos > len || count < 1) {
    out[0] = '\0';
    return out;
  }
  if (count > len - pos + 1) count = len - pos + 1;
  std::memmove(out, text + pos - 1, static_cast<std::size_t>(count));
  out[count] = '\0';
  return out;
}

char* DeleteSubstring(char* text, int pos, int count) {
  if (!text) return text;
  const int len = Len(text);
  if (len <= 0 || pos > len || pos < 1 || count < 1) return text;
  if (count >= len - pos + 1) {
    text[pos - 1] = '\0';
    return text;
  }
  std::memmove(text + pos - 1, text + pos - 1 + count,
               static_cast<std::size_t>(len - (pos - 1 + count)) + 1);
  return text;
}

char* InsertAtBytePos(char* text, const char* insert, int pos) {
  if (!text || !insert) return text;
  const int len = Len(text);
  if (pos < 1 || pos > len + 1) return text;
  std::string r(text, static_cast<std::size_t>(pos - 1));
  r += insert;
  r += text + pos - 1;
  std::memcpy(text, r.c_str(), r.size() + 1);
  return text;
}

char* ReplaceCharAtBytePos(char* text, int pos, const char* replacement) {
  if (!text) return nullptr;
  if (!replacement) return text;
  const int len = Len(text);
  if (len == 0 || pos < 1 || pos > len) return text;
  const int l = CharLen(text + pos - 1);
  std::string r(text, static_cast<std::size_t>(pos - 1));
  r += replacement;
  r += text + pos - 1 + l;
  StoreLimited(text, r);
  return text;
}

char* DeleteCharAtBytePos(char* text, int pos) {
  if (!text) return text;
  const int len = Len(text);
  if (pos < 1 || pos > len) return text;
  return DeleteSubstring(text, pos, CharLen(text + pos - 1));
}

int DeleteNthChar(char* text, int n) {
  if (!text || n < 1) return 0;
  const int pos = GetCharBytePos(text, n);
  if (pos < 0) return 0;
  DeleteCharAtBytePos(text, pos);
  return 1;
}

int DeleteFirstChar(char* text) {
  if (!text) return 0;
  if (*text == '\0') return 1;
  return DeleteNthChar(text, 1);
}

int DeleteLastChar(char* text) {
  if (!text) return 0;
  if (*text == '\0') return 1;
  return DeleteNthChar(text, CountChars(text));
}

char* RemoveLastChar(char* text) {
  if (!text) return text;
  *GetLastCharPtr(text) = '\0';
  return text;
}

int InsertBeforeNthChar(char* text, int n, const char* insert) {
  if (!text || !insert || n < 1) return 0;
  const int pos = GetCharBytePos(text, n);
  if (pos < 0) return 0;
  std::string r(text, static_cast<std::size_t>(pos - 1));
  r += insert;
  r += text + pos - 1;
  return StoreLimited(text, r) ? 1 : 0;
}

int ReplaceNthChar(char* text, int n, const char* newChar) {
  if (!text || !newChar || n < 1) return 0;
  if (*newChar == '\0' || newChar[CharLen(newChar)] != '\0') return 0;
  const int pos = GetCharBytePos(text, n);
  if (pos < 0) return 0;
  const int l = CharLen(text + pos - 1);
  std::string r(text, static_cast<std::size_t>(pos - 1));
  r += newChar;
  r += text + pos - 1 + l;
  return StoreLimited(text, r) ? 1 : 0;
}

namespace {

char* SplitAtOffset(const char* text, int offset, char* head, char* tail) {
  std::string h(text, static_cast<std::size_t>(offset));
  std::string t(text + offset);
  std::memcpy(head, h.c_str(), h.size() + 1);
  std::memcpy(tail, t.c_str(), t.size() + 1);
  TrimBlanks(head);
  TrimBlanks(tail);
  return tail;
}

}  // namespace

char* SplitAtChar(const char* text, int n, char* head, char* tail) {
  if (!head || !tail) return tail;
  if (!text || n < 1) {
    head[0] = tail[0] = '\0';
    return tail;
  }
  const char* p = GetCharPtr(text, n);
  return SplitAtOffset(text, static_cast<int>(p - text), head, tail);
}

char* SplitAtBytePos(const char* text, int n, char* head, char* tail) {
  if (!head || !tail) return tail;
  if (!text || n < 1) {
    head[0] = tail[0] = '\0';
    return tail;
  }
  const int len = Len(text);
  return SplitAtOffset(text, n - 1 > len ? len : n - 1, head, tail);
}

char* ReverseChars(char* text) {
  if (!text) return text;
  std::string r(std::strlen(text), '\0');
  std::size_t end = r.size();
  for (const char* p = text; *p;) {
    const int l = CharLen(p);
    end -= static_cast<std::size_t>(l);
    std::memcpy(&r[end], p, static_cast<std::size_t>(l));
    p += l;
  }
  std::memcpy(text, r.data(), r.size());
  return text;
}

char* RotateLeftByte(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  if (len < 2) return text;
  const char first = text[0];
  std::memmove(text, text + 1, len - 1);
  text[len - 1] = first;
  return text;
}

char* RotateRightByte(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  if (len < 2) return text;
  const char last = text[len - 1];
  std::memmove(text + 1, text, len - 1);
  text[0] = last;
  return text;
}

// ---------------------------------------------------------------------------
// Search

int FindSubstring(const char* pattern, const char* text) {
  if (!pattern || !text) return 0;
  if (*pattern == '\0') return 1;
  // A pattern that does not end in a lead byte without its trail byte
  // matches at a character start exactly where its bytes do (equal bytes
  // make characters of equal length).
  const std::size_t patternBytes = std::strlen(pattern);
  const char* last = pattern;
  for (const char* p = pattern; *p; p += CharLen(p)) last = p;
  const unsigned char lastByte = static_cast<unsigned char>(*last);
  const bool loneLead =
      last[1] == '\0' && ((lastByte >= 0x81 && lastByte <= 0x9F) || lastByte >= 0xE0);
  if (!loneLead) {
    const char first = pattern[0];
    for (const char* start = text; *start; start += CharLen(start)) {
      if (*start == first && std::strncmp(start, pattern, patternBytes) == 0)
        return static_cast<int>(start - text) + 1;
    }
    return 0;
  }
  const int patternChars = CountChars(pattern);
  const int tries = CountChars(text) - patternChars + 1;
  const char* start = text;
  for (int i = 0; i < tries; ++i) {
    const char* a = start;
    const char* b = pattern;
    bool match = true;
    for (int k = 0; k < patternChars; ++k) {
      const int la = CharLen(a), lb = CharLen(b);
      if (!SameChar(a, la, b, lb)) {
        match = false;
        break;
      }
      a += la;
      b += lb;
    }
    if (match) return static_cast<int>(start - text) + 1;
    start += CharLen(start);
  }
  return 0;
}

int FindSubstringFrom(const char* pattern, const char* text, int n) {
  if (!pattern || !text || n < 0) return n - 1;
  const int len = Len(text);
  const char* sub = text + (n > len ? len : n);
  return FindSubstring(pattern, sub) + n - 1;
}

int FindSubstringAt(const char* pattern, const char* text, int pos) {
  if (!pattern || !text || pos < 1 || pos > Len(text) + 1) return 0;
  const int p = FindSubstring(pattern, text + pos - 1);
  return p == 0 ? 0 : p + pos - 1;
}

int FindCharIndex(const char* pattern, const char* text) {
  const int p = FindSubstring(pattern, text);
  if (p == 0) return 0;
  int index = 1;
  for (const char* q = text; q < text + p - 1; q += CharLen(q)) ++index;
  return index;
}

int FindPrefixOf(const char* pattern, const char* text, int n) {
  if (!pattern || !text || n < 1) return 0;
  const std::size_t len = std::strlen(pattern);
  const std::string prefix(pattern,
                           static_cast<std::size_t>(n) < len ? static_cast<std::size_t>(n) : len);
  return FindSubstring(prefix.c_str(), text);
}

int FindNthOccurrence(const char* pattern, const char* text, int n) {
  if (!pattern || !text || n < 1) return 0;
  const char* from = text;
  int pos = 0;
  for (int k = 1; k <= n; ++k) {
    const int p = FindSubstring(pattern, from);
    if (p == 0) return 0;
    const char* match = from + p - 1;
    pos = static_cast<int>(match - text) + 1;
    if (*match == '\0') return k == n ? pos : 0;  // empty pattern at the end
    from = match + CharLen(match);
  }
  return pos;
}

namespace {

int CountNonOverlapping(const char* pattern, const char* text) {
  if (!pattern || !text || *pattern == '\0') return 0;
  const std::size_t patternLen = std::strlen(pattern);
  int count = 0;
  for (const char* from = text;;) {
    const int p = FindSubstring(pattern, from);
    if (p == 0) return count;
    ++count;
    from += static_cast<std::size_t>(p - 1) + patternLen;
  }
}

}  // namespace

int CountOccurrences(const char* pattern, const char* text) {
  if (!text || std::strlen(text) >= static_cast<std::size_t>(kCountWorkArea)) return 0;
  return CountNonOverlapping(pattern, text);
}

int CountOccurrencesAlloc(const char* pattern, const char* text) {
  return CountNonOverlapping(pattern, text);
}

int ContainsByte(unsigned char b, const char* text) {
  if (!text || b == 0) return 0;
  for (const char* p = text; *p; ++p)
    if (UB(*p) == b) return 1;
  return 0;
}

int CountByte(unsigned char b, const char* text) {
  if (!text || b == 0) return 0;
  int n = 0;
  for (const char* p = text; *p; ++p)
    if (UB(*p) == b) ++n;
  return n;
}

int SplitAtPattern(const char* pattern, const char* text, char* head, char* tail) {
  if (!head || !tail) return 0;
  if (!text || !pattern) {
    head[0] = tail[0] = '\0';
    return 0;
  }
  const int p = FindSubstring(pattern, text);
  if (p == 0) {
    const std::string h(text);
    std::memcpy(head, h.c_str(), h.size() + 1);
    tail[0] = '\0';
    return 0;
  }
  const std::string h(text, static_cast<std::size_t>(p - 1));
  const std::string t(text + p - 1 + std::strlen(pattern));
  std::memcpy(head, h.c_str(), h.size() + 1);
  std::memcpy(tail, t.c_str(), t.size() + 1);
  return 1;
}

const char* PointerAfterPattern(const char* pattern, const char* text) {
  if (!pattern || !text) return nullptr;
  const int p = FindSubstring(pattern, text);
  if (p == 0) return nullptr;
  return text + p - 1 + std::strlen(pattern);
}

char* PointerAfterPattern(const char* pattern, char* text) {
  return const_cast<char*>(PointerAfterPattern(pattern, static_cast<const char*>(text)));
}

const char* SkipFirstWord(const char* text) {
  if (!text) return nullptr;
  const char* p = text;
  while (IsBlank(p)) ++p;
  if (*p == '\0') return nullptr;
  while (*p && !IsBlank(p)) p += CharLen(p);
  return *p ? p + 1 : nullptr;
}

char* SkipFirstWord(char* text) {
  return const_cast<char*>(SkipFirstWord(static_cast<const char*>(text)));
}

// ---------------------------------------------------------------------------
// Blank-separated words

char* GetBlankSeparatedWord(char* out, const char* text, int n) {
  if (!out) return out;
  int s = 0, e = 0;
  if (!text || std::strlen(text) >= static_cast<std::size_t>(kWordWorkArea) ||
      !FindWord(text, n, &s, &e)) {
    out[0] = '\0';
    return out;
  }
  std::memmove(out, text + s, static_cast<std::size_t>(e - s));
  out[e - s] = '\0';
  return out;
}

int CountBlankSeparatedWords(const char* text) {
  if (!text || std::strlen(text) >= static_cast<std::size_t>(kWordWorkArea)) return 0;
  int n = 0, s = 0, e = 0;
  while (FindWord(text, n + 1, &s, &e)) ++n;
  return n;
}

int GetWordBounds(const char* text, int n, int* start, int* end) {
  if (!text || *text == '\0' || n < 1) return 0;
  if (std::strlen(text) >= static_cast<std::size_t>(kWordWorkArea)) return 0;
  int s = 0, e = 0;
  if (!FindWord(text, n, &s, &e)) return 0;
  int first = 1;
  if (n > 1) {
    int ps = 0, pe = 0;
    FindWord(text, n - 1, &ps, &pe);
    first = pe + 1;
  }
  if (start) *start = first;
  if (end) *end = e;
  return 1;
}

char* CopyWord(char* out, const char* text, int n) {
  if (!out) return out;
  int s = 0, e = 0;
  if (!GetWordBounds(text, n, &s, &e)) {
    out[0] = '\0';
    return out;
  }
  std::memmove(out, text + s - 1, static_cast<std::size_t>(e - s + 1));
  out[e - s + 1] = '\0';
  return out;
}

char* DropFirstWords(char* text, int n) {
  if (!text) return text;
  int s = 0, e = 0;
  if (GetWordBounds(text, n, &s, &e) && s > 1) {
    std::memmove(text, text + s - 1, std::strlen(text + s - 1) + 1);
  } else {
    text[0] = '\0';
  }
  return text;
}

char* ReplaceWord(char* text, int n, const char* newWord) {
  if (!text || !newWord || std::strlen(text) >= static_cast<std::size_t>(kWordWorkArea))
    return text;
  int s = 0, e = 0;
  if (!FindWord(text, n, &s, &e)) return text;
  std::string r(text, static_cast<std::size_t>(s));
  r += newWord;
  r += text + e;
  StoreLimited(text, r);
  return text;
}

int IsWordEqual(const char* expected, const char* text, int n, int upper) {
  if (!expected || !text) return 0;
  std::vector<char> word(std::strlen(text) + 1);
  GetBlankSeparatedWord(word.data(), text, n);
  if (upper == 1) ToUpperAscii(word.data());
  return std::strcmp(word.data(), expected) == 0 ? 1 : 0;
}

int IsHelpSwitch(const char* text, int n) { return IsWordEqual("/?", text, n, 0); }

// ---------------------------------------------------------------------------
// Trimming, padding and case

char* TrimLeftBlanks(char* text) {
  if (!text) return text;
  const char* p = text;
  while (IsBlank(p)) ++p;
  if (p != text) std::memmove(text, p, std::strlen(p) + 1);
  return text;
}

char* TrimRightBlanks(char* text) { return TrimTrailingChars(" ", text); }

char* TrimBlanks(char* text) { return TrimLeftBlanks(TrimRightBlanks(text)); }

char* RemoveTrailingNewline(char* text) {
  if (!text) return text;
  char* last = GetLastCharPtr(text);
  if (last[0] == '\n' && last[1] == '\0') last[0] = '\0';
  return text;
}

int IsBlankString(const char* text) {
  if (!text) return 1;
  for (const char* p = text; *p; ++p)
    if (*p != ' ') return 0;
  return 1;
}

namespace {

// Removes every occurrence of one character (given as its bytes) in place.
void RemoveEveryChar(char* text, const char* ch, int chLen) {
  char* out = text;
  for (const char* p = text; *p;) {
    const int l = CharLen(p);
    if (!SameChar(p, l, ch, chLen)) {
      std::memmove(out, p, static_cast<std::size_t>(l));
      out += l;
    }
    p += l;
  }
  *out = '\0';
}

}  // namespace

char* RemoveAllBlanks(char* text) {
  if (!text) return text;
  RemoveEveryChar(text, "　", 2);
  RemoveEveryChar(text, " ", 1);
  return text;
}

char* TrimLeadingPattern(const char* pattern, char* text) {
  if (!pattern || !text || *pattern == '\0') return text;
  const std::size_t pl = std::strlen(pattern);
  const std::size_t len = std::strlen(text);
  std::size_t off = 0;
  while (len - off >= pl && std::memcmp(text + off, pattern, pl) == 0) off += pl;
  if (off) std::memmove(text, text + off, len - off + 1);
  return text;
}

char* TrimTrailingPattern(const char* pattern, char* text) {
  if (!pattern || !text || *pattern == '\0') return text;
  const std::size_t pl = std::strlen(pattern);
  std::size_t len = std::strlen(text);
  // Character starts, found by walking forward.
  std::vector<bool> isStart(len + 1, false);
  for (const char* p = text; *p; p += CharLen(p))
    isStart[static_cast<std::size_t>(p - text)] = true;
  while (len > pl && isStart[len - pl] && std::memcmp(text + len - pl, pattern, pl) == 0) len -= pl;
  text[len] = '\0';
  return text;
}

char* TrimPattern(const char* pattern, char* text) {
  return TrimTrailingPattern(pattern, TrimLeadingPattern(pattern, text));
}

char* TrimLeadingChars(const char* charSet, char* text) {
  if (!charSet || !text) return text;
  const char* p = text;
  while (*p) {
    const int l = CharLen(p);
    if (!IsInCharSet(charSet, p, l)) break;
    p += l;
  }
  if (p != text) std::memmove(text, p, std::strlen(p) + 1);
  return text;
}

char* TrimTrailingChars(const char* charSet, char* text) {
  if (!charSet || !text) return text;
  char* cut = nullptr;  // start of the trailing run of set members
  for (char* p = text; *p;) {
    const int l = CharLen(p);
    if (IsInCharSet(charSet, p, l)) {
      if (!cut) cut = p;
    } else {
      cut = nullptr;
    }
    p += l;
  }
  if (cut) *cut = '\0';
  return text;
}

char* TrimChars(const char* charSet, char* text) {
  return TrimLeadingChars(charSet, TrimTrailingChars(charSet, text));
}

char* TrimAllBlanks(char* text) { return TrimChars(" 　", text); }

char* StripEnclosingQuotes(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  if (len <= 1) return text;
  const char* last = GetLastCharPtr(text);
  if (text[0] == '"' && last[0] == '"' && last[1] == '\0') {
    std::memmove(text, text + 1, len - 2);
    text[len - 2] = '\0';
  }
  return text;
}

char* StripQuotes(char* text) {
  if (!text || std::strlen(text) <= 1) return text;
  if (text[0] == '"') std::memmove(text, text + 1, std::strlen(text));
  char* last = GetLastCharPtr(text);
  if (last[0] == '"' && last[1] == '\0') last[0] = '\0';
  return text;
}

char* QuoteText(char* out, const char* text) {
  if (!out) return out;
  std::string r = "\"";
  r += text ? text : "";
  r += "\"";
  if (!StoreLimited(out, r)) out[0] = '\0';
  return out;
}

char* RemoveLeadingSemicolon(char* text) {
  if (!text) return text;
  if (text[0] == ';')
    DeleteSubstring(text, 1, 1);
  else if (std::strncmp(text, "；", 2) == 0)
    DeleteSubstring(text, 1, 2);
  return text;
}

namespace {

// `need` bytes of copies of the pad text, the cut copy first (left) or last.
std::string PadBytes(const char* pad, std::size_t need, bool cutFirst) {
  const std::size_t pl = std::strlen(pad);
  const std::size_t cut = need % pl;
  std::string r;
  if (cutFirst) r.append(pad, cut);
  for (std::size_t k = 0; k < need / pl; ++k) r.append(pad, pl);
  if (!cutFirst) r.append(pad, cut);
  return r;
}

}  // namespace

char* PadLeftWith(const char* pad, char* text, int width) {
  if (!pad || !text || *pad == '\0') return text;
  const int len = Len(text);
  if (len >= width || width < Len(pad) || width >= kSjisWorkArea) return text;
  std::string r = PadBytes(pad, static_cast<std::size_t>(width - len), true);
  r += text;
  StoreLimited(text, r);
  return text;
}

char* PadRightWith(const char* pad, char* text, int width) {
  if (!pad || !text || *pad == '\0') return text;
  const int len = Len(text);
  if (len >= width || width >= kSjisWorkArea) return text;
  std::string r = text;
  r += PadBytes(pad, static_cast<std::size_t>(width - len), false);
  StoreLimited(text, r);
  return text;
}

char* PadLeftWithZeros(char* text, int width) { return PadLeftWith("0", text, width); }
char* PadLeftWithBlanks(char* text, int width) { return PadLeftWith(" ", text, width); }
char* PadRightWithZeros(char* text, int width) { return PadRightWith("0", text, width); }
char* PadRightWithBlanks(char* text, int width) { return PadRightWith(" ", text, width); }

char* PadLeftWithChar(char* text, char pad, int width) {
  if (!text || width <= 0 || pad == '\0') return text;
  const int len = Len(text);
  if (len >= width || width >= kSjisWorkArea) return text;
  std::string r(static_cast<std::size_t>(width - len), pad);
  r += text;
  StoreLimited(text, r);
  return text;
}

char* ZeroPadLeft(char* text, int width) { return PadLeftWithChar(text, '0', width); }

char* ZeroPadLeftByFormat(char* text, int width) {
  if (!text || width <= 0) return text;
  const int len = Len(text);
  if (len >= width || width >= kSjisWorkArea) return text;
  std::string work = text;
  for (int k = len; k < width; ++k) work.insert(0, 1, '0');
  StoreLimited(text, work);
  return text;
}

namespace {

char* RepeatPad(char* out, const char* text, int width, const char* pad, bool left) {
  if (!out) return out;
  if (!text || !pad) {
    out[0] = '\0';
    return out;
  }
  const long long copies = static_cast<long long>(width) - Len(text);
  const long long total =
      Len(text) + (copies > 0 ? copies * static_cast<long long>(std::strlen(pad)) : 0);
  if (total >= kSjisWorkArea) {
    out[0] = '\0';
    return out;
  }
  std::string padding;
  for (long long k = 0; k < copies; ++k) padding += pad;
  const std::string r = left ? padding + text : std::string(text) + padding;
  std::memcpy(out, r.c_str(), r.size() + 1);
  return out;
}

}  // namespace

char* RepeatPadLeft(char* out, const char* text, int width, const char* pad) {
  return RepeatPad(out, text, width, pad, true);
}

char* RepeatPadRight(char* out, const char* text, int width, const char* pad) {
  return RepeatPad(out, text, width, pad, false);
}

char* PrependText(char* text, const char* prefix) {
  if (!text || !prefix) return text;
  std::string r = prefix;
  r += text;
  StoreLimited(text, r);
  return text;
}

char* ConcatTexts(char* out, const char* first, const char* second) {
  if (!out) return out;
  std::string r = first ? first : "";
  r += second ? second : "";
  if (!StoreLimited(out, r)) out[0] = '\0';
  return out;
}

char* AppendLine(char* text, const char* line) {
  if (!text) return nullptr;
  if (!line) return text;
  std::string r = text;
  if (!r.empty()) r += "\n";
  r += line;
  StoreLimited(text, r);
  return text;
}

namespace {

char* AppendSeparator(char* path, char sep) {
  if (!path) return path;
  const char* last = GetLastCharPtr(path);
  if (last[0] == sep && last[1] == '\0') return path;
  std::string r = path;
  r += sep;
  StoreLimited(path, r);
  return path;
}

}  // namespace

char* AppendBackslash(char* path) { return AppendSeparator(path, '\\'); }
char* AppendSlash(char* path) { return AppendSeparator(path, '/'); }

char* ClearString(char* text) {
  if (text) text[0] = '\0';
  return text;
}

int IsEmptyString(const char* text) { return (!text || text[0] == '\0') ? 1 : 0; }

unsigned char ToUpperCharByte(unsigned char b) {
  return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

char* ToUpperAscii(char* text) {
  if (!text) return text;
  for (char* p = text; *p;) {
    const int l = CharLen(p);
    if (l == 1) *p = static_cast<char>(ToUpperCharByte(UB(*p)));
    p += l;
  }
  return text;
}

// ---------------------------------------------------------------------------
// Replace

char* ReplaceAll(char* text, const char* search, const char* replacement) {
  return ReplaceAll(text, search, replacement, 0);
}

char* ReplaceAll(char* text, const char* search, const char* replacement, std::size_t textSize) {
  if (!text) return text;
  std::string work = text;
  if (sjis_internal::ReplaceAllIn(work, search, replacement, kReplaceWorkArea))
    sjis_internal::CommitResult(text, work, textSize, kReplaceWorkArea);
  return text;
}

char* ReplaceSuffix(char* text, const char* search, const char* replacement) {
  if (!text || !search || *search == '\0') return text;
  const int p = FindSubstring(search, text);
  if (p == 0) return text;
  if (static_cast<std::size_t>(p - 1) + std::strlen(search) != std::strlen(text)) return text;
  return ReplaceAll(text, search, replacement);
}

char* ReplaceAtChar(char* text, int n, const char* search, const char* replacement) {
  if (!text || !search || !replacement || n < 1 || *search == '\0') return text;
  const int pos = GetCharBytePos(text, n);
  if (pos < 0) return text;
  const std::size_t sl = std::strlen(search);
  if (std::strncmp(text + pos - 1, search, sl) != 0) return text;
  std::string r(text, static_cast<std::size_t>(pos - 1));
  r += replacement;
  r += text + pos - 1 + sl;
  StoreLimited(text, r);
  return text;
}

namespace {

template <typename RowFn>
char* ReplaceByRows(char* text, int rowCount, RowFn row) {
  if (!text || rowCount <= 0) return text;
  std::string work = text;
  for (int i = 0; i < rowCount; ++i) {
    std::string search, replacement;
    row(i, search, replacement);
    if (!sjis_internal::ReplaceAllIn(work, search.c_str(), replacement.c_str(), kReplaceWorkArea))
      return text;
  }
  sjis_internal::CommitResult(text, work, 0, kReplaceWorkArea);
  return text;
}

std::string TextField(const void* table, int row, int field) {
  const char* p = static_cast<const char*>(table) +
                  static_cast<std::size_t>(row) * kTextTableRowSize +
                  static_cast<std::size_t>(field) * kTextTableFieldSize;
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(kTextTableFieldSize) && p[n] != '\0') ++n;
  return std::string(p, n);
}

}  // namespace

char* ReplaceAllByTable(char* text, const char* const table[][2], int rowCount) {
  if (!table) return text;
  return ReplaceByRows(text, rowCount, [&](int i, std::string& s, std::string& r) {
    s = table[i][0] ? table[i][0] : "";
    r = table[i][1] ? table[i][1] : "";
  });
}

char* ReplaceAllByTableReverse(char* text, const char* const table[][2], int rowCount) {
  if (!table) return text;
  return ReplaceByRows(text, rowCount, [&](int i, std::string& s, std::string& r) {
    s = table[i][1] ? table[i][1] : "";
    r = table[i][0] ? table[i][0] : "";
  });
}

char* ReplaceAllByTextTable(char* text, const void* table, int rowCount) {
  if (!table) return text;
  return ReplaceByRows(text, rowCount, [&](int i, std::string& s, std::string& r) {
    s = TextField(table, i, 0);
    r = TextField(table, i, 1);
  });
}

char* ReplaceAllByTextTableReverse(char* text, const void* table, int rowCount) {
  if (!table) return text;
  return ReplaceByRows(text, rowCount, [&](int i, std::string& s, std::string& r) {
    s = TextField(table, i, 1);
    r = TextField(table, i, 0);
  });
}

// ---------------------------------------------------------------------------
// Range tests and fixed-length strings

int IsInRangeDouble(double value, double lower, double upper) {
  return (lower <= value && value <= upper) ? 1 : 0;
}

int IsInRangeFloat(float value, float lower, float upper) {
  return (lower <= value && value <= upper) ? 1 : 0;
}

int IsInRangeUShort(uint16_t value, uint16_t lower, uint16_t upper) {
  return (lower <= value && value <= upper) ? 1 : 0;
}

int IsInRangeByte(uint8_t value, uint8_t lower, uint8_t upper) {
  return (lower <= value && value <= upper) ? 1 : 0;
}

int32_t MinInt(int32_t a, int32_t b) { return a < b ? a : b; }

char* CToPascalString(const char* text, char* out) {
  if (!out) return out;
  std::size_t len = text ? std::strlen(text) : 0;
  if (len > 255) len = 255;
  out[0] = static_cast<char>(len);
  if (len) std::memcpy(out + 1, text, len);
  std::memset(out + 1 + len, ' ', 255 - len);
  return out;
}

char* PascalToCString(const char* pascal, char* out) {
  if (!out) return out;
  if (!pascal) {
    out[0] = '\0';
    return out;
  }
  const std::size_t len = UB(pascal[0]);
  std::memmove(out, pascal + 1, len);
  out[len] = '\0';
  return out;
}

// ---------------------------------------------------------------------------
// Comparison

int CompareStrings(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  const std::size_t la = std::strlen(a), lb = std::strlen(b);
  const std::size_t n = la < lb ? la : lb;
  for (std::size_t i = 0; i < n; ++i) {
    if (UB(a[i]) != UB(b[i])) return UB(a[i]) > UB(b[i]) ? 1 : -1;
  }
  if (la == lb) return 0;
  return la > lb ? 1 : -1;
}

int CompareLengthFirst(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  const std::size_t la = std::strlen(a), lb = std::strlen(b);
  if (la != lb) return la < lb ? -1 : 1;
  return CompareStrings(a, b);
}

int CompareSuffix(const char* a, const char* b, int n) {
  if (!a) a = "";
  if (!b) b = "";
  const std::size_t k = n > 0 ? static_cast<std::size_t>(n) : 0;
  const std::size_t la = std::strlen(a), lb = std::strlen(b);
  return CompareStrings(a + (la > k ? la - k : 0), b + (lb > k ? lb - k : 0));
}

// ---------------------------------------------------------------------------
// CFixedString

static_assert(sizeof(CFixedString) == CFixedString::kSize, "CFixedString is one buffer");

CFixedString::CFixedString(const char* text) {
  text_[0] = '\0';
  if (text && std::strlen(text) < static_cast<std::size_t>(kSize))
    std::memcpy(text_, text, std::strlen(text) + 1);
}

CFixedString& CFixedString::operator=(const char* text) {
  const CFixedString temp(text);
  *this = temp;
  return *this;
}

CFixedString& CFixedString::operator=(char ch) {
  text_[0] = ch;
  text_[1] = '\0';
  return *this;
}

int CFixedString::GetLength() const { return static_cast<int>(std::strlen(text_)); }

void CFixedString::Delete(int pos, int count) { DeleteSubstring(text_, pos, count); }

void CFixedString::TrimBlanks() { ::TrimBlanks(text_); }

CFixedString CFixedString::operator+(const CFixedString& other) const {
  CFixedString r;
  const std::size_t la = std::strlen(text_), lb = std::strlen(other.text_);
  if (la + lb < static_cast<std::size_t>(kSize)) {
    std::memcpy(r.text_, text_, la);
    std::memcpy(r.text_ + la, other.text_, lb + 1);
  }
  return r;
}

CFixedString CFixedString::operator+(char ch) const {
  CFixedString r;
  const int n = std::snprintf(r.text_, sizeof r.text_, "%s%c", text_, ch);
  if (n < 0 || n >= kSize) r.text_[0] = '\0';
  return r;
}

bool CFixedString::operator==(const CFixedString& other) const {
  return std::strcmp(text_, other.text_) == 0;
}

bool CFixedString::operator==(const char* text) const {
  return text && std::strcmp(text_, text) == 0;
}
