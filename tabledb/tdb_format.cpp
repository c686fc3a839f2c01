#include "tabledb/tdb_format.h"

#include <cstring>

#include "tabledb/le_bytes.h"

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
  StoreLe32(out + 2, in.reserved);
  StoreLe32(out + 6, in.firstTable);
  StoreLe32(out + 10, in.lastTable);
  StoreLe32(out + 14, in.maxRecordSize);
  std::memcpy(out + 18, in.tail, sizeof in.tail);
}

void DecodeTdbHeader(const unsigned char* in, TdbHeader* out) {
  out->magic[0] = static_cast<char>(in[0]);
  out->magic[1] = static_cast<char>(in[1]);
  out->reserved = LoadLe32(in + 2);
  out->firstTable = LoadLe32(in + 6);
  out->lastTable = LoadLe32(in + 10);
  out->maxRecordSize = LoadLe32(in + 14);
  std::memcpy(out->tail, in + 18, sizeof out->tail);
}

void EncodeTdbTableEntry(const TdbTableEntry& in, unsigned char* out) {
  EncodeName(in.name, out);
  StoreLe32(out + 256, in.reserved1);
  StoreLe32(out + 260, in.firstRecord);
  StoreLe32(out + 264, in.lastRecord);
  StoreLe32(out + 268, in.firstField);
  StoreLe32(out + 272, in.lastField);
  std::memcpy(out + 276, in.reserved2, sizeof in.reserved2);
  StoreLe32(out + 284, in.prevTable);
  StoreLe32(out + 288, in.nextTable);
  StoreLe32(out + 292, in.reserved3);
}

void DecodeTdbTableEntry(const unsigned char* in, TdbTableEntry* out) {
  DecodeName(in, out->name);
  out->reserved1 = LoadLe32(in + 256);
  out->firstRecord = LoadLe32(in + 260);
  out->lastRecord = LoadLe32(in + 264);
  out->firstField = LoadLe32(in + 268);
  out->lastField = LoadLe32(in + 272);
  std::memcpy(out->reserved2, in + 276, sizeof out->reserved2);
  out->prevTable = LoadLe32(in + 284);
  out->nextTable = LoadLe32(in + 288);
  out->reserved3 = LoadLe32(in + 292);
}

void EncodeTdbFieldEntry(const TdbFieldEntry& in, unsigned char* out) {
  EncodeName(in.name, out);
  StoreLeI32(out + 256, in.type);
  StoreLeI32(out + 260, in.declaredLength);
  StoreLe32(out + 264, in.size);
  StoreLe32(out + 268, in.note1);
  StoreLe32(out + 272, in.note2);
  StoreLeDouble(out + 276, in.number1);
  StoreLeDouble(out + 284, in.number2);
  StoreLe32(out + 292, in.prevField);
  StoreLe32(out + 296, in.nextField);
}

void DecodeTdbFieldEntry(const unsigned char* in, TdbFieldEntry* out) {
  DecodeName(in, out->name);
  out->type = LoadLeI32(in + 256);
  out->declaredLength = LoadLeI32(in + 260);
  out->size = LoadLe32(in + 264);
  out->note1 = LoadLe32(in + 268);
  out->note2 = LoadLe32(in + 272);
  out->number1 = LoadLeDouble(in + 276);
  out->number2 = LoadLeDouble(in + 284);
  out->prevField = LoadLe32(in + 292);
  out->nextField = LoadLe32(in + 296);
}

void EncodeTdbRecordHeader(const TdbRecordHeader& in, unsigned char* out) {
  StoreLe32(out, in.reserved);
  StoreLe32(out + 4, in.prevRecord);
  StoreLe32(out + 8, in.nextRecord);
  StoreLe32(out + 12, in.dataPosition);
  StoreLe32(out + 16, in.dataSize);
}

void DecodeTdbRecordHeader(const unsigned char* in, TdbRecordHeader* out) {
  out->reserved = LoadLe32(in);
  out->prevRecord = LoadLe32(in + 4);
  out->nextRecord = LoadLe32(in + 8);
  out->dataPosition = LoadLe32(in + 12);
  out->dataSize = LoadLe32(in + 16);
}
