#include "matching/adrs_context.h"

#include <cstring>
#include <limits>

#include "common/file_access.h"
#include "common/sjis_text.h"

namespace {

struct OptionRange {
  int32_t lower;
  int32_t upper;
};

// In the order of CAdrsContext::Option.
constexpr OptionRange kOptionRanges[] = {
    {0, 1},  // estimation flag
    {0, 1},  // calculation switch
    {1, 4},  // search-text kind
    {1, 2},  // datum
    {1, 8},  // coordinate format
    {1, 2},  // chome format
    {1, 2},  // number format
    {1, 3},  // reading format
    {1, 2},  // listing text kind
    {0, 1},  // formatted-output switch
};

}  // namespace

CAdrsContext::CAdrsContext() {
  for (int32_t& option : options_) option = -1;
}

CAdrsContext::~CAdrsContext() = default;

// ---- Channel ----

void CAdrsContext::ResetInput() {
  record_.clear();
  recordPresent_ = 0;
}

int CAdrsContext::SetOutputFile(plat::File* file) {
  if (!file) return 0;
  mode_ = kChannelFile;
  file_ = file;
  array_ = nullptr;
  buffer_ = nullptr;
  ResetInput();
  return 1;
}

int CAdrsContext::SetOutputArray(CStringArray* array) {
  if (!array) return 0;
  mode_ = kChannelArray;
  file_ = nullptr;
  array_ = array;
  arrayIndex_ = 0;
  buffer_ = nullptr;
  ResetInput();
  return 1;
}

int CAdrsContext::SetOutputBuffer(char* buffer, int32_t size) {
  if (!buffer || size < 1) return 0;
  mode_ = kChannelBuffer;
  file_ = nullptr;
  array_ = nullptr;
  buffer_ = buffer;
  bufferSize_ = size;
  bufferOffset_ = 0;
  bufferUsed_ = 0;
  bufferLines_ = 0;
  ResetInput();
  return 1;
}

// Lines are joined by one ";"; the buffer always keeps room for its NUL.
// The separator depends on the number of lines written, not on the bytes
// used, so that an empty first line still counts as a line.
int CAdrsContext::AppendToBuffer(const char* text) {
  const std::size_t length = std::strlen(text);
  const auto used = static_cast<std::size_t>(bufferUsed_);
  const auto size = static_cast<std::size_t>(bufferSize_);
  if (bufferLines_ == 0) {
    if (length >= size) return 0;
    std::memcpy(buffer_, text, length);
    bufferUsed_ = static_cast<int32_t>(length);
  } else {
    if (used + length + 1 >= size) return 0;
    buffer_[used] = ';';
    std::memcpy(buffer_ + used + 1, text, length);
    bufferUsed_ = static_cast<int32_t>(used + 1 + length);
  }
  buffer_[bufferUsed_] = '\0';
  ++bufferLines_;
  return 1;
}

int CAdrsContext::WriteLine(const char* text) {
  if (!text) return 0;
  switch (mode_) {
    case kChannelFile:
      return WriteLineToFile(file_, text);
    case kChannelArray:
      if (!array_) return 0;
      try {
        array_->emplace_back(text);
      } catch (...) {
        return 0;
      }
      return 1;
    case kChannelBuffer:
      if (!buffer_) return 0;
      return AppendToBuffer(text);
    default:
      return 0;
  }
}

int CAdrsContext::RewindInput() {
  recordPresent_ = 0;
  switch (mode_) {
    case kChannelFile: {
      uint64_t length = 0;
      if (!file_ || !file_->GetLength(length) || length == 0) return 0;
      return file_->SeekToBegin() ? 1 : 0;
    }
    case kChannelArray:
      if (!array_ || array_->empty()) return 0;
      arrayIndex_ = 0;
      return 1;
    case kChannelBuffer:
      if (!buffer_ || bufferUsed_ == 0) return 0;
      bufferOffset_ = 0;
      return 1;
    default:
      return 0;
  }
}

// The text from the read offset up to the next ";" (or to the end of the
// used text) becomes the record; the offset moves past the ";".
int CAdrsContext::ReadBufferRecord() {
  if (!buffer_ || bufferUsed_ < 1 || bufferOffset_ >= bufferUsed_) return 0;
  if (buffer_[bufferOffset_] == '\0') return 0;
  const int32_t start = bufferOffset_;
  int32_t i = start;
  while (i < bufferUsed_ && buffer_[i] != '\0' && buffer_[i] != ';') {
    // ";" is never the second byte of a character, but a character is
    // still stepped over whole.
    i += IsLeadByte(static_cast<unsigned char>(buffer_[i])) && i + 1 < bufferUsed_ &&
                 buffer_[i + 1] != '\0'
             ? 2
             : 1;
  }
  try {
    record_.assign(buffer_ + start, static_cast<std::size_t>(i - start));
  } catch (...) {
    return 0;
  }
  bufferOffset_ = i < bufferUsed_ && buffer_[i] == ';' ? i + 1 : bufferUsed_;
  return 1;
}

int CAdrsContext::ReadNextInput() {
  recordPresent_ = 0;
  int read = 0;
  switch (mode_) {
    case kChannelFile:
      if (!file_) return 0;
      try {
        read = file_->ReadString(record_) ? 1 : 0;
      } catch (...) {
        read = 0;
      }
      break;
    case kChannelArray:
      if (!array_ || arrayIndex_ < 0 || static_cast<std::size_t>(arrayIndex_) >= array_->size()) {
        return 0;
      }
      try {
        record_ = (*array_)[static_cast<std::size_t>(arrayIndex_)];
      } catch (...) {
        return 0;
      }
      ++arrayIndex_;
      read = 1;
      break;
    case kChannelBuffer:
      read = ReadBufferRecord();
      break;
    default:
      return 0;
  }
  recordPresent_ = read;
  return read;
}

int CAdrsContext::GetInputRecord(std::string* out) const {
  if (!recordPresent_ || !out) return 0;
  try {
    *out = record_;
  } catch (...) {
    return 0;
  }
  return 1;
}

// ---- Options ----

int CAdrsContext::IsValidOption(Option option, int32_t v) {
  const OptionRange& range = kOptionRanges[option];
  return v >= range.lower && v <= range.upper ? 1 : 0;
}

int CAdrsContext::SetOption(Option option, int32_t v) {
  if (!IsValidOption(option, v)) return 0;
  options_[option] = v;
  return 1;
}

int CAdrsContext::GetOption(Option option, int32_t* out) const {
  const int32_t v = options_[option];
  if (!IsValidOption(option, v)) return 0;
  if (out) *out = v;
  return 1;
}

int CAdrsContext::IsValidEstimationFlag(int32_t v) { return IsValidOption(kEstimationFlag, v); }
int CAdrsContext::IsValidCalculationSwitch(int32_t v) {
  return IsValidOption(kCalculationSwitch, v);
}
int CAdrsContext::IsValidSearchTextKind(int32_t v) { return IsValidOption(kSearchTextKind, v); }
int CAdrsContext::IsValidDatum(int32_t v) { return IsValidOption(kDatum, v); }
int CAdrsContext::IsValidCoordinateFormat(int32_t v) { return IsValidOption(kCoordinateFormat, v); }
int CAdrsContext::IsValidChomeFormat(int32_t v) { return IsValidOption(kChomeFormat, v); }
int CAdrsContext::IsValidNumberFormat(int32_t v) { return IsValidOption(kNumberFormat, v); }
int CAdrsContext::IsValidReadingFormat(int32_t v) { return IsValidOption(kReadingFormat, v); }
int CAdrsContext::IsValidListingTextKind(int32_t v) { return IsValidOption(kListingTextKind, v); }
int CAdrsContext::IsValidFormattedOutputSwitch(int32_t v) {
  return IsValidOption(kFormattedOutputSwitch, v);
}

int CAdrsContext::SetEstimationFlag(int32_t v) { return SetOption(kEstimationFlag, v); }
int CAdrsContext::SetCalculationSwitch(int32_t v) { return SetOption(kCalculationSwitch, v); }
int CAdrsContext::SetSearchTextKind(int32_t v) { return SetOption(kSearchTextKind, v); }
int CAdrsContext::SetDatum(int32_t v) { return SetOption(kDatum, v); }
int CAdrsContext::SetCoordinateFormat(int32_t v) { return SetOption(kCoordinateFormat, v); }
int CAdrsContext::SetChomeFormat(int32_t v) { return SetOption(kChomeFormat, v); }
int CAdrsContext::SetNumberFormat(int32_t v) { return SetOption(kNumberFormat, v); }
int CAdrsContext::SetReadingFormat(int32_t v) { return SetOption(kReadingFormat, v); }
int CAdrsContext::SetListingTextKind(int32_t v) { return SetOption(kListingTextKind, v); }
int CAdrsContext::SetFormattedOutputSwitch(int32_t v) {
  return SetOption(kFormattedOutputSwitch, v);
}

int CAdrsContext::GetEstimationFlag(int32_t* out) const { return GetOption(kEstimationFlag, out); }
int CAdrsContext::GetCalculationSwitch(int32_t* out) const {
  return GetOption(kCalculationSwitch, out);
}
int CAdrsContext::GetSearchTextKind(int32_t* out) const { return GetOption(kSearchTextKind, out); }
int CAdrsContext::GetDatum(int32_t* out) const { return GetOption(kDatum, out); }
int CAdrsContext::GetCoordinateFormat(int32_t* out) const {
  return GetOption(kCoordinateFormat, out);
}
int CAdrsContext::GetChomeFormat(int32_t* out) const { return GetOption(kChomeFormat, out); }
int CAdrsContext::GetNumberFormat(int32_t* out) const { return GetOption(kNumberFormat, out); }
int CAdrsContext::GetReadingFormat(int32_t* out) const { return GetOption(kReadingFormat, out); }
int CAdrsContext::GetListingTextKind(int32_t* out) const {
  return GetOption(kListingTextKind, out);
}
int CAdrsContext::GetFormattedOutputSwitch(int32_t* out) const {
  return GetOption(kFormattedOutputSwitch, out);
}

int CAdrsContext::SetOutputStyle(int32_t style) {
  if (style == 1) {
    SetFormattedOutputSwitch(0);
  } else if (style == 2) {
    SetFormattedOutputSwitch(1);
  } else {
    return 0;
  }
  outputStyle_ = style;
  return 1;
}

int CAdrsContext::SetDatumParameterFile(const char* path) {
  try {
    datumPath_ = path ? path : "";
  } catch (...) {
    datumPath_.clear();
  }
  datumLoaded_ = 0;
  return 1;
}
