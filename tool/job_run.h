#pragma once
// One kort job, from the three file names to the status file.
//
// The job file is Shift-JIS text, one value a line (CR LF or LF): line 1 the
// job kind (1 keyword search, 1000 hierarchy listing, 2000 postal-code
// search, 3000 address matching, 4000 reverse geocoding), then the kind's
// lines, the last two being the flags word and a dataset line whose text is
// not used. A job file that begins with "VRF" CR LF is scrambled; it is
// turned back into plain text (and rewritten so) before it is read.
//
// The status file holds three lines (CR LF on disk): the result code (1 or
// 0), the interrupted flag (1 when a keyword search or listing stopped at
// its maximum number of lines) and the message, empty on success.
//
// Limits: every job line must fit a buffer of kJobTextSize bytes with its
// NUL; a longer line counts as unreadable ("検索条件の読み込みに失敗しました！").

#include <cstdint>

#include "tool/search_entries.h"

// Job kinds (line 1 of a job file).
enum JobKind : int32_t {
  kJobKeywordSearch = 1,
  kJobHierarchyListing = 1000,
  kJobPostalCodeSearch = 2000,
  kJobAddressMatching = 3000,
  kJobReverseGeocoding = 4000,
};

// The lines of an address-matching job, numbered as in the file.
enum AddressJobLine : int {
  kAddressLineText = 2,
  kAddressLineMatchFlags = 3,
  kAddressLineNumberUnit = 4,
  kAddressLineEstimation = 5,
  kAddressLineSearchTextKind = 6,
  kAddressLineDatum = 7,
  kAddressLineCoordinateFormat = 8,
  kAddressLineChomeFormat = 9,
  kAddressLineNumberFormat = 10,
  kAddressLineReadingFormat = 11,
  kAddressLineFlagsWord = 12,  // then the dataset line
};

// Runs one job. The data folder is programFolder + "\Database\住所"; a null
// programFolder (the program's own path could not be read) ends the job
// with the status (0, 0, "プログラムフォルダの取得に失敗しました！"). The
// job kind's search is taken from entries. When a name is null or empty,
// nothing is read, deleted or written. A job of an unknown kind leaves
// neither a result file nor a status file. False when the job's status
// could not be written (the caller then finds no status under its name).
bool RunKortJob(const char* programFolder, const char* jobFile, const char* resultFile,
                const char* statusFile, const SearchEntries& entries = KortSearchEntries());

// The last resort of a job whose clean-up ran out of memory too, by system
// calls alone on native (UTF-8) names, with nothing allocated: the result
// file removed (a regular file only; none when null), the status (0, 0,
// message) written anew, over a regular file of that name only with
// replace. False when the status could not be written.
bool WriteStatusWithoutMemory(const char* nativeResult, const char* nativeStatus,
                              const char* message, bool replace);
