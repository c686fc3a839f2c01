#include "common/scpy_splitter.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "common/allocation_guard.h"
#include "common/in_range.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "plat/crt.h"

using sjis_internal::FindByteChar;

namespace {

// The byte after leading blanks.
const char* SkipBlanks(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------
// CScpyBase

CScpyBase::~CScpyBase() { Destroy(); }

int CScpyBase::Split(const char*) { return 0; }
int CScpyBase::Resplit(const char*) { return 0; }

void CScpyBase::Destroy() {
  delete[] text_;
  delete[] starts_;
  delete[] lengths_;
  delete[] quoted_;
  delete[] work_;
  text_ = work_ = nullptr;
  starts_ = lengths_ = quoted_ = nullptr;
  initialised_ = count_ = textSize_ = capacity_ = workSize_ = growth_ = 0;
}

int CScpyBase::Init(const char* text, int capacity, int workSize) {
  Destroy();
  if (!text || capacity <= 0 || workSize <= 0) return 0;
  const std::size_t len = std::strlen(text);
  if (len >= static_cast<std::size_t>(INT32_MAX)) return 0;
  const auto cap = static_cast<std::size_t>(capacity);
  // The splitters answer 0 when memory runs out; nothing is kept then.
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<char[]> textCopy(new char[len + 1]);
    std::unique_ptr<int32_t[]> starts(new int32_t[cap]);
    std::unique_ptr<int32_t[]> lengths(new int32_t[cap]);
    std::unique_ptr<int32_t[]> quoted(new int32_t[cap]);
    std::unique_ptr<char[]> work(new char[static_cast<std::size_t>(workSize)]);
    text_ = textCopy.release();
    starts_ = starts.release();
    lengths_ = lengths.release();
    quoted_ = quoted.release();
    work_ = work.release();
    std::memcpy(text_, text, len + 1);
    textSize_ = static_cast<int>(len + 1);
    capacity_ = capacity;
    workSize_ = workSize;
    growth_ = capacity;
    initialised_ = 1;
    return 1;
  });
}

int CScpyBase::GrowFields(std::size_t cap) {
  // Without memory the arrays stay as they were and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<int32_t[]> s(new int32_t[cap]);
    std::unique_ptr<int32_t[]> l(new int32_t[cap]);
    std::unique_ptr<int32_t[]> q(new int32_t[cap]);
    const auto old = static_cast<std::size_t>(capacity_);
    std::memcpy(s.get(), starts_, old * sizeof(int32_t));
    std::memcpy(l.get(), lengths_, old * sizeof(int32_t));
    std::memcpy(q.get(), quoted_, old * sizeof(int32_t));
    delete[] starts_;
    delete[] lengths_;
    delete[] quoted_;
    starts_ = s.release();
    lengths_ = l.release();
    quoted_ = q.release();
    capacity_ = static_cast<int>(cap);
    return 1;
  });
}

int CScpyBase::SetField(int index, int start, int length, int quoted) {
  if (index < 0 || !starts_) return 0;
  if (index >= capacity_) {
    if (growth_ <= 0) return 0;
    const int64_t steps = (int64_t{index} - capacity_ + 1) / growth_ + 1;
    const int64_t newCapacity = capacity_ + growth_ * steps;
    if (newCapacity > INT32_MAX / 4) return 0;
    if (!GrowFields(static_cast<std::size_t>(newCapacity))) return 0;
  }
  starts_[index] = start;
  lengths_[index] = length;
  quoted_[index] = quoted;
  return 1;
}

int CScpyBase::ReplaceText(const char* text) {
  if (!text) return 0;
  const std::size_t len = std::strlen(text);
  if (len >= static_cast<std::size_t>(INT32_MAX)) return 0;
  // Without memory the old text stays and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    char* copy = new char[len + 1];
    std::memcpy(copy, text, len + 1);
    delete[] text_;
    text_ = copy;
    textSize_ = static_cast<int>(len + 1);
    count_ = 0;
    return 1;
  });
}

int CScpyBase::SplitLoop(bool quotes) {
  count_ = 0;
  TrimBlanks(text_);
  const int len = static_cast<int>(std::strlen(text_));
  int i = 0;
  bool lastQuoted = false;
  for (;;) {
    const bool quoted = quotes && text_[i] == '"';
    const int start = quoted ? i + 1 : i;
    const int sep = FindByteChar(text_, start, quoted ? '"' : ' ');
    lastQuoted = quoted;
    if (sep < 0) break;
    if (!SetField(count_, start, sep - start, quoted ? 1 : 0)) return 0;
    ++count_;
    i = sep + 1;
    if (text_[i] == '\0') break;
    while (text_[i] == ' ') ++i;
  }
  if (lastQuoted) return 1;
  if (!SetField(count_, i, len - i, 0)) return 0;
  ++count_;
  return 1;
}

int CScpyBase::SplitAtBlanks(const char* text) {
  if (!initialised_) {
    if (!Init(text, 256, 512)) return 0;
  } else if (!ReplaceText(text)) {
    return 0;
  }
  return SplitLoop(false);
}

int CScpyBase::ResplitAtBlanks(const char* text) {
  Destroy();
  return SplitAtBlanks(text);
}

// ---------------------------------------------------------------------------
// CScpySEX2

CScpySEX2::~CScpySEX2() { Destroy(); }

int CScpySEX2::Split(const char* text) {
  if (!initialised_) {
    if (!Init(text, 2048, 2048)) return 0;
  } else if (!ReplaceText(text)) {
    return 0;
  }
  return SplitLoop(true);
}

int CScpySEX2::Resplit(const char* text) {
  Destroy();
  return Split(text);
}

int CScpySEX2::GetField(char* out, int n, int limit) const {
  if (!out || !text_ || n < 1 || n > count_) return 0;
  const int length = lengths_[n - 1];
  if (limit >= 0 && length >= limit) return 0;
  CopySubstring(out, text_, starts_[n - 1] + 1, length);
  return 1;
}

int CScpySEX2::GetFieldQuoted(char* out, int n, int32_t* quoted, int limit) const {
  const int r = GetField(out, n, limit);
  if (quoted) *quoted = r ? quoted_[n - 1] : 0;
  return r;
}

int CScpySEX2::GetFieldLength(int n) const {
  if (n < 1 || n > count_) return 0;
  return lengths_[n - 1];
}

const char* CScpySEX2::GetFieldPointer(int n) const {
  if (!text_ || n < 1 || n > count_ + 1) return nullptr;
  if (n == count_ + 1) return text_ + std::strlen(text_);
  return text_ + starts_[n - 1];
}

const char* CScpySEX2::FieldToWork(int n) {
  if (!work_ || !GetField(work_, n, workSize_)) return nullptr;
  return work_;
}

bool CScpySEX2::ReadSigned(int n, int64_t lower, int64_t upper, int32_t* out) {
  const char* w = FieldToWork(n);
  if (!w || !out) return false;
  char* end = nullptr;
  errno = 0;
  const int32_t v = plat::crt::StrToL32(w, &end, 0);
  if (end == w || *end != '\0' || errno == ERANGE) return false;
  if (v < lower || v > upper) return false;
  *out = v;
  return true;
}

bool CScpySEX2::ReadUnsigned(int n, uint32_t upper, uint32_t* out) {
  const char* w = FieldToWork(n);
  if (!w || !out) return false;
  char* end = nullptr;
  errno = 0;
  const uint32_t v = plat::crt::StrToUL32(w, &end, 0);
  if (end == w || *end != '\0' || errno == ERANGE) return false;
  // "-1" would read as 0xFFFFFFFF: a negative number is no unsigned value.
  if (*SkipBlanks(w) == '-' && v != 0) return false;
  if (v > upper) return false;
  *out = v;
  return true;
}

int CScpySEX2::GetDouble(int n, double* out) {
  const char* w = FieldToWork(n);
  if (!w || !out) return 0;
  char* end = nullptr;
  const double v = plat::crt::StrToD(w, &end);
  if (end == w || *end != '\0') return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetInt(int n, int32_t* out) {
  return ReadSigned(n, INT32_MIN, INT32_MAX, out) ? 1 : 0;
}

int CScpySEX2::GetShort(int n, int16_t* out) {
  int32_t v = 0;
  if (!out || !ReadSigned(n, INT16_MIN, INT16_MAX, &v)) return 0;
  *out = static_cast<int16_t>(v);
  return 1;
}

int CScpySEX2::GetUnsigned(int n, uint32_t* out) {
  return ReadUnsigned(n, UINT32_MAX, out) ? 1 : 0;
}

int CScpySEX2::GetUShort(int n, uint16_t* out) {
  uint32_t v = 0;
  if (!out || !ReadUnsigned(n, UINT16_MAX, &v)) return 0;
  *out = static_cast<uint16_t>(v);
  return 1;
}

int CScpySEX2::GetByte(int n, uint8_t* out) {
  uint32_t v = 0;
  if (!out || !ReadUnsigned(n, UINT8_MAX, &v)) return 0;
  *out = static_cast<uint8_t>(v);
  return 1;
}

int CScpySEX2::GetDoubleInRange(int n, double* out, double lower, double upper) {
  double v = 0;
  if (!out || !GetDouble(n, &v) || !IsInRangeDouble(v, lower, upper)) return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetIntInRange(int n, int32_t* out, int32_t lower, int32_t upper) {
  int32_t v = 0;
  if (!out || !GetInt(n, &v) || !IsInRange(v, lower, upper)) return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetShortInRange(int n, int16_t* out, int16_t lower, int16_t upper) {
  int16_t v = 0;
  if (!out || !GetShort(n, &v) || !IsInRangeShort(v, lower, upper)) return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetUnsignedInRange(int n, uint32_t* out, uint32_t lower, uint32_t upper) {
  uint32_t v = 0;
  if (!out || !GetUnsigned(n, &v) || !IsInRangeUnsigned(v, lower, upper)) return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetUShortInRange(int n, uint16_t* out, uint16_t lower, uint16_t upper) {
  uint16_t v = 0;
  if (!out || !GetUShort(n, &v) || !IsInRangeUShort(v, lower, upper)) return 0;
  *out = v;
  return 1;
}

int CScpySEX2::GetByteInRange(int n, uint8_t* out, uint8_t lower, uint8_t upper) {
  uint8_t v = 0;
  if (!out || !GetByte(n, &v) || !IsInRangeByte(v, lower, upper)) return 0;
  *out = v;
  return 1;
}
