#include "tabledb/tdb_format.h"

#include <cstring>

#include "common/le_bytes.h"

uint32_t GetTdbFieldTypeSize(int32_t type) {
  switch (type) {
    case kTdbUchar:
    case kTdbChar:
      return 1;
    case kTdbWord:
    case kTdbShort:
      return 2;
    case kTdbDword:
    case kTdbInt:
    case kTdbFloat:
    case kTdbString:
    case kTdbObject:
      return 4;
    case kTdbDouble:
      return 8;
    case kTdbQuad:
      return 16;
    case kTdbOpaque32:
      return 32;
    case kTdbStringTriple:
    case kTdbStringTriple2:
      return 12;
    case kTdbStringPair:
    case kTdbStringPair2:
      return 8;
    default:
      return 0;
  }
}

namespace {

uint32_t U32(const unsigned char* p) { return LoadLeValue<uint32_t>(p); }
int32_t I32(const unsigned char* p) { return LoadLeValue<int32_t>(p); }
void PutU32(unsigned char* p, uint32_t v) { StoreLeValue(p, v); }
void PutI32(unsigned char* p, int32_t v) { StoreLeValue(p, v); }

double Dbl(const unsigned char* p) { return LoadLeValue<double>(p); }
void PutDbl(unsigned char* p, double v) { StoreLeValue(p, v); }

void EncodeName(const char* name, unsigned char* out) {
  std::memset(out, 0, kTdbNameSize);
  const std::size_t len = strnlen(name, kTdbNameSize - 1);
  std::memcpy(out, name, len);
}

void DecodeName(const unsigned char* in, char* name) {
  std::memcpy(name, in, kTdbNameSize);
  name[kTdbNameSize - 1] = '\0';
}

}  // namespace

void EncodeTdbHeader(const TdbHeader& in, unsigned char* out) {
  out[0] = static_cast<unsigned char>(in.magic[0]);
  out[1] = static_cast<unsigned char>(in.magic[1]);
  PutU32(out + 2, in.reserved);
  PutU32(out + 6, in.firstTable);
  PutU32(out + 10, in.lastTable);
  PutU32(out + 14, in.maxRecordSize);
  std::memcpy(out + 18, in.tail, sizeof in.tail);
}

void DecodeTdbHeader(const unsigned char* in, TdbHeader* out) {
  out->magic[0] = static_cast<char>(in[0]);
  out->magic[1] = static_cast<char>(in[1]);
  out->reserved = U32(in + 2);
  out->firstTable = U32(in + 6);
  out->lastTable = U32(in + 10);
  out->maxRecordSize = U32(in + 14);
  std::memcpy(out->tail, in + 18, sizeof out->tail);
}

void EncodeTdbTableEntry(const TdbTableEntry& in, unsigned char* out) {
  EncodeName(in.name, out);
  PutU32(out + 256, in.reserved1);
  PutU32(out + 260, in.firstRecord);
  PutU32(out + 264, in.lastRecord);
  PutU32(out + 268, in.firstField);
  PutU32(out + 272, in.lastField);
  std::memcpy(out + 276, in.reserved2, sizeof in.reserved2);
  PutU32(out + 284, in.prevTable);
  PutU32(out + 288, in.nextTable);
  PutU32(out + 292, in.reserved3);
}

void DecodeTdbTableEntry(const unsigned char* in, TdbTableEntry* out) {
  DecodeName(in, out->name);
  out->reserved1 = U32(in + 256);
  out->firstRecord = U32(in + 260);
  out->lastRecord = U32(in + 264);
  out->firstField = U32(in + 268);
  out->lastField = U32(in + 272);
  std::memcpy(out->reserved2, in + 276, sizeof out->reserved2);
  out->prevTable = U32(in + 284);
  out->nextTable = U32(in + 288);
  out->reserved3 = U32(in + 292);
}

void EncodeTdbFieldEntry(const TdbFieldEntry& in, unsigned char* out) {
  EncodeName(in.name, out);
  PutI32(out + 256, in.type);
  PutI32(out + 260, in.declaredLength);
  PutU32(out + 264, in.size);
  PutU32(out + 268, in.note1);
  PutU32(out + 272, in.note2);
  PutDbl(out + 276, in.number1);
  PutDbl(out + 284, in.number2);
  PutU32(out + 292, in.prevField);
  PutU32(out + 296, in.nextField);
}

void DecodeTdbFieldEntry(const unsigned char* in, TdbFieldEntry* out) {
  DecodeName(in, out->name);
  out->type = I32(in + 256);
  out->declaredLength = I32(in + 260);
  out->size = U32(in + 264);
  out->note1 = U32(in + 268);
  out->note2 = U32(in + 272);
  out->number1 = Dbl(in + 276);
  out->number2 = Dbl(in + 284);
  out->prevField = U32(in + 292);
  out->nextField = U32(in + 296);
}

void EncodeTdbRecordHeader(const TdbRecordHeader& in, unsigned char* out) {
  PutU32(out, in.reserved);
  PutU32(out + 4, in.prevRecord);
  PutU32(out + 8, in.nextRecord);
  PutU32(out + 12, in.dataPosition);
  PutU32(out + 16, in.dataSize);
}
