#pragma once
// File access helpers: every open, read, write, seek and measure of a file
// goes through these free functions. Each wraps one operation of the file
// object (plat::File: binary, or text with the TypeText flag) and answers 1
// for success and 0 for failure; nothing throws.
//
// Paths are CP932 texts used as given. A path that is null, empty or all
// blanks fails every open without touching the file system.
//
// Message buffers (msg) hold at least kMessageSize bytes (common/message.h);
// null means no message. The ...WithError helpers empty the buffer first and
// write exactly one message on failure.
//
// Positions and lengths are unsigned 32-bit; 64-bit positions and lengths of
// the file object are cut to their low 32 bits.

#include <cstddef>
#include <cstdint>

#include "plat/file.h"
#include "plat/output_file.h"

// 1 when the path holds something other than blanks (0x20). The path is
// scanned in place, so a path of any length is safe.
int IsNonBlankPath(const char* path);

// ---- Open helpers (the file object must be closed) ----

int OpenFileForReadWrite(plat::File* file, const char* path);        // must exist
int OpenFileForSharedReadWrite(plat::File* file, const char* path);  // must exist
int OpenFileForRead(plat::File* file, const char* path);             // the usual data-file open
int OpenFileForReadDenyWrite(plat::File* file, const char* path);
int OpenNewFileForReadWrite(plat::File* file, const char* path);  // create or truncate
int OpenTextFileForReadWrite(plat::File* file, const char* path);
int OpenTextFileForRead(plat::File* file, const char* path);
int OpenTextFileForReadDenyWrite(plat::File* file, const char* path);
int OpenNewTextFileForWrite(plat::File* file, const char* path);  // create or truncate

// With "ファイルオープンエラー!(%s)" or, for the creating opens,
// "ファイルの作成に失敗しました！(%s)".
int OpenFileForReadWriteWithError(plat::File* file, const char* path, char* msg);
int OpenFileForReadDenyWriteWithError(plat::File* file, const char* path, char* msg);
int OpenNewFileForReadWriteWithError(plat::File* file, const char* path, char* msg);
int OpenTextFileForReadWriteWithError(plat::File* file, const char* path, char* msg);
int OpenTextFileForReadWithError(plat::File* file, const char* path, char* msg);
int OpenNewTextFileForWriteWithError(plat::File* file, const char* path, char* msg);

// Open a path for new content (plat/output_file.h): a new file is made in
// place, an existing regular file is written aside and replaced only by
// Commit, a device is written in place. Text mode for writing, or binary
// for reading and writing; the message form writes "ファイルの作成に失敗しま
// した！(%s)".
int OpenOutputTextFile(plat::OutputFile* file, const char* path);
int OpenOutputTextFileWithError(plat::OutputFile* file, const char* path, char* msg);
int OpenOutputFileForReadWrite(plat::OutputFile* file, const char* path);

// Open, then seek to position; 0 when either fails. After a failed seek the
// file stays open.
int OpenFileForReadWriteAt(plat::File* file, const char* path, uint32_t position);
int OpenFileForReadWriteAtWithError(plat::File* file, const char* path, uint32_t position,
                                    char* msg);
int OpenFileForReadDenyWriteAt(plat::File* file, const char* path, uint32_t position);
int OpenFileForReadDenyWriteAtWithError(plat::File* file, const char* path, uint32_t position,
                                        char* msg);

// Two files with one message buffer; when the second fails the first is
// closed again.
int OpenFilePairForReadWrite(plat::File* first, const char* firstPath, plat::File* second,
                             const char* secondPath, char* msg);
int OpenFilePairForReadDenyWrite(plat::File* first, const char* firstPath, plat::File* second,
                                 const char* secondPath, char* msg);

// Opens an existing text file for reading and writing, positioned for
// appending: on its last byte when that is the end-of-file mark 0x1A (the
// next write overwrites the mark), else at its end.
int OpenTextFileForAppend(plat::File* file, const char* path);
// OpenTextFileForAppend when the file exists, else OpenNewTextFileForWrite.
int OpenTextFileForAppendOrCreate(plat::File* file, const char* path);

// ---- Operations on an open file (0 also for a null file) ----

int SeekFileTo(plat::File* file, uint32_t position);
int SeekFileToEnd(plat::File* file);
int SeekFileToBegin(plat::File* file);
int SeekFileToEndGetPos(plat::File* file, uint32_t* position);
int SeekFileBy(plat::File* file, int32_t offset);  // from the current position
int GetFilePosition(plat::File* file, uint32_t* position);
int LockFileRange(plat::File* file, uint32_t position, uint32_t count);
int UnlockFileRange(plat::File* file, uint32_t position, uint32_t count);
int WriteBytesToFile(plat::File* file, const void* data, uint32_t count);
int WriteBytesToFileAt(plat::File* file, uint32_t position, const void* data, uint32_t count);
// 1 only when exactly count bytes came back (a short read leaves what was
// read in the buffer).
int ReadBytesFromFile(plat::File* file, void* data, uint32_t count);
int ReadBytesFromFileAt(plat::File* file, uint32_t position, void* data, uint32_t count);
int WriteTextToFile(plat::File* file, const char* text);
// Reads the next line (at most size - 1 bytes; a longer line arrives in
// pieces) and removes one trailing line feed; 0 at the end of the file.
int ReadLineFromFile(plat::File* file, char* buffer, int size);
// Copies the source from its current position to the target at its
// position, in pieces of 4,096 bytes. Both must be given and differ.
int CopyFileContents(plat::File* target, plat::File* source);

// ---- Typed binary values at the current position ----
// Stored little-endian; the Swapped readers read a big-endian value.

int WriteByteToFile(plat::File* file, int32_t value);  // the low byte
int ReadByteFromFile(plat::File* file, uint8_t* value);
int WriteShortToFile(plat::File* file, int16_t value);
int ReadShortFromFile(plat::File* file, int16_t* value);
int ReadShortFromFileSwapped(plat::File* file, int16_t* value);
int WriteUShortToFile(plat::File* file, uint16_t value);
int ReadUShortFromFile(plat::File* file, uint16_t* value);
int ReadUShortFromFileSwapped(plat::File* file, uint16_t* value);
int WriteLongToFile(plat::File* file, int32_t value);
int ReadLongFromFile(plat::File* file, int32_t* value);
int ReadLongFromFileSwapped(plat::File* file, int32_t* value);
int WriteULongToFile(plat::File* file, uint32_t value);
int ReadULongFromFile(plat::File* file, uint32_t* value);
int ReadULongFromFileSwapped(plat::File* file, uint32_t* value);
int WriteFloatToFile(plat::File* file, float value);
int ReadFloatFromFile(plat::File* file, float* value);
int ReadFloatFromFileSwapped(plat::File* file, float* value);
int WriteDoubleToFile(plat::File* file, double value);
int ReadDoubleFromFile(plat::File* file, double* value);
int ReadDoubleFromFileSwapped(plat::File* file, double* value);

// ---- Text writers ----
// Formatted and padded texts are built in a work buffer of kTextWorkSize
// bytes: a result that does not fit it with its NUL is refused with 0, and
// nothing is written.

inline constexpr int kTextWorkSize = 516;

int WriteLineToFile(plat::File* file, const char* text);  // the text, then "\n"
int WriteNewLineToFile(plat::File* file);
// "%<width>.<decimals>lf"; refuses width < decimals and decimals < 0.
int WriteDoubleToTextFile(plat::File* file, double value, int width, int decimals);
// "%<width>d" / "%<width>ld" / "%<width>d"; refuse width < 0.
int WriteShortToTextFile(plat::File* file, int16_t value, int width);
int WriteLongToTextFile(plat::File* file, int32_t value, int width);
int WriteIntToTextFile(plat::File* file, int32_t value, int width);
// The text followed by blanks up to width bytes (a longer text is written
// whole); refuses width < 0.
int WritePaddedTextToFile(plat::File* file, const char* text, int width);
// The same, then "\n".
int WriteDoubleLineToTextFile(plat::File* file, double value, int width, int decimals);
int WriteShortLineToTextFile(plat::File* file, int16_t value, int width);
int WriteLongLineToTextFile(plat::File* file, int32_t value, int width);
int WriteIntLineToTextFile(plat::File* file, int32_t value, int width);
int WritePaddedTextLineToFile(plat::File* file, const char* text, int width);
// Reads a line of up to 8,191 bytes as a signed integer within
// lower..upper (ParseIntInRange); 0 at the end of the file or for a bad
// number.
int ReadIntLineFromFile(plat::File* file, int32_t* value, int32_t lower, int32_t upper);

// ---- File tests and measures (each opens and closes its own file) ----

// 1 when a file (not a folder) opens at the path for reading.
int FileExists(const char* path);
// FileExists; when 0, "ファイルオープンエラー!(%s)" (the buffer is not
// emptied first).
int FileExistsWithError(const char* path, char* msg);
// Empty the message, then FileExistsWithError for each path in order,
// stopping at the first missing one.
int BothFilesExist(const char* first, const char* second, char* msg);
int AllThreeFilesExist(const char* first, const char* second, const char* third, char* msg);
int CanOpenFileForRead(const char* path);
int CanOpenFileForReadWrite(const char* path);
// 1 when the file exists or can be created (a file created for the test is
// deleted again).
int CanCreateFile(const char* path);
// Length in bytes (low 32 bits); 0 and length 0 when the file does not open.
int GetFileLength(const char* path, uint32_t* length);
// How many bytes of the whole file equal value.
int CountByteInFile(const char* path, uint8_t value, uint32_t* count);
int GetFileStatus(const char* path, plat::FileStatus* status);
// Low 32 bits of the three time stamps (seconds since 1970); 0 when the
// status cannot be read. Null outs are skipped.
int GetFileTimes(const char* path, uint32_t* created, uint32_t* modified, uint32_t* accessed);

// ---- Whole-file loads ----

// Reads the whole file into buffer (bufferSize bytes; a longer file is
// refused with 0). An empty file gives 0 and "ファイルサイズが０バイトです！(%s)".
int ReadWholeFile(const char* path, void* buffer, uint32_t bufferSize, char* msg);
// Allocates a block of the file's length (malloc) and reads the file into
// it; the caller frees it with free() after success. On failure *buffer is
// null and the message names the cause.
int LoadWholeFile(const char* path, char** buffer, char* msg);
int LoadWholeFileWithLength(const char* path, char** buffer, uint32_t* length, char* msg);

// ---- Byte filling and length-prefixed strings ----

// Writes total bytes of value at the current position in pieces of
// pieceSize bytes; 0 for a null file or a piece size of 0, 1 at once for a
// total of 0.
int FillFileBytes(plat::File* file, uint8_t value, uint32_t total, uint32_t pieceSize);
int FillFileBytesAt(plat::File* file, uint8_t value, uint32_t total, uint32_t position,
                    uint32_t pieceSize);
// Appends a record (4-byte length, then the text's bytes) at the end of the
// file; the record's offset goes to *offset.
int AppendLengthPrefixedString(plat::File* file, const char* text, uint32_t* offset);
// Reads the record at offset into text (textSize bytes); a stored length
// that does not fit with its NUL is refused with 0. The text is emptied
// first.
int ReadDwordLengthString(plat::File* file, uint32_t offset, char* text, std::size_t textSize);
