#pragma once
// Copies of one container into another of the same kind, and the folder
// part of a path.
//
// Each answers 1 for success and 0 for failure; a null source or target is
// a failure. A failed copy into a CRecordList leaves the target freed.

#include <cstddef>
#include <cstdint>

#include "common/bitset.h"
#include "common/record_array.h"

// CopyRecordArrayPart with the source's capacity.
int CopyRecordArray(CRecordArray* target, const CRecordArray* source);
// Re-creates the target for n elements of the source's element size and
// copies the source's first n elements; 0 when n is 0, the source has no
// storage or fewer than n elements.
int CopyRecordArrayPart(CRecordArray* target, const CRecordArray* source, uint32_t n);
// Re-creates the target with the source's whole capacity and growth step
// 128, copies the whole buffer and takes over the source's count; 0 when
// the source's capacity is 0.
int CopyRecordListCapacity(CRecordList* target, const CRecordList* source);
// Re-creates the target for the source's count of elements (n when the
// source is empty) with growth step 128, copies that many elements and
// takes over the source's count; 0 when n is 0.
int CopyRecordListElements(CRecordList* target, const CRecordList* source, uint32_t n);
// Re-creates the target with the source's bit count, all bits 0, then
// copies the source's bytes.
int CopyBitSet(CBitSet* target, const CBitSet* source);
// The text before the last separator ('\' or '/', found walking forward so
// that a second byte 0x5C of a double-byte character never counts); the
// whole path when it has none. 0 when the result does not fit folderSize
// bytes (folder "").
int GetFolderOfPath(const char* path, char* folder, std::size_t folderSize);
