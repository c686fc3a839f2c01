#pragma once
// What the matching entries read from a data folder at every call and
// which does not change between calls, kept once per folder in the
// process:
//  - the dictionaries (文字統一.BIN, 文字置換.BIN and, when present,
//    ユーザー置換.TXT), reused while each file's stamp is unchanged and the
//    folder holds the same names; a process that has none of them yet
//    takes them from the folder's image file (matching/dictionary_image.h)
//    while it fits the files' stamps, and loads them from the files (and
//    writes the image again) when it does not;
//  - the address index kind of the folder (ProbeIndexFiles), reused while
//    the folder holds the same names and the index files it looked at are
//    unchanged;
// A check looks at the folder and at each file involved through the
// change watch (plat::WatchedStampOfNative: no status call while nothing
// in the folder changed); nothing is re-read while they are unchanged.
//
// A failed load is not kept: the next call loads again (and fails with the
// same message). Safe from several threads: one call at a time uses a
// folder's kept dictionaries (they carry per-call marks); a call that finds
// them in use gets a private load.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "common/record_array.h"
#include "common/record_stack.h"
#include "plat/file_stamp.h"

// The dictionaries of one folder.
struct FolderDictionaries {
  // Provided (not defaulted), so that make_shared does not zero the
  // unification dictionary's work records (tens of KB) before use: they
  // are written before they are read.
  FolderDictionaries() {}  // NOLINT(modernize-use-equals-default)
  // The image file's bytes when the records below stand in them (they are
  // let go, never freed, before these go).
  std::string image;
  CCharDictionary unification;
  CRecordList replacements;
  CRecordList extra;
  bool hasExtra = false;
  // What the matcher derives from these dictionaries alone, by name, kept
  // with them (read and written only by the call that holds the lease).
  std::map<std::string, std::string> derived;
  // The files they were loaded from as they stood when looked at (their
  // presence, names and stamps): what is derived from the dictionaries
  // alone is that of any other load while this text is the same. Empty
  // when the files could not be looked at, or when one was changed too
  // recently for its stamp to tell a later change (plat::StampIsSettled):
  // then nothing derived from them is kept beyond the call.
  std::string filesStamp;
  // The same as stamps (unification, replacement, user list; a missing
  // file's the default), and the folder that holds them, when filesStamp
  // is not empty: what is derived from the dictionaries is kept between
  // processes under them.
  plat::FileStamp fileStamps[3];
  plat::FileStamp folderStamp;
  std::string nativeFolder;
  ~FolderDictionaries() {
    unification.Free();
    replacements.Free();
    extra.Free();
  }
};

// The use of a folder's dictionaries by one call: exclusive while it
// lives.
class CDictionaryLease {
 public:
  CDictionaryLease() = default;
  CDictionaryLease(const CDictionaryLease&) = delete;
  CDictionaryLease& operator=(const CDictionaryLease&) = delete;
  ~CDictionaryLease();
  FolderDictionaries* Get() const { return dictionaries_.get(); }

 private:
  // The thread's lease from here on (the one before it again at the end).
  void MakeCurrent();
  FolderDictionaries* previous_ = nullptr;
  bool current_ = false;
  friend int LeaseFolderDictionaries(const std::string& folder, CDictionaryLease* lease, char* msg);
  std::shared_ptr<FolderDictionaries> dictionaries_;
  std::shared_ptr<std::mutex> inUse_;
  std::unique_lock<std::mutex> lock_;
};

// The dictionaries of the folder (ending in "\"), loaded as the matching
// entries load them (with headers, "１００００" read as "万"): the kept ones
// when the files are unchanged, else loaded anew (and kept when they
// load). 0 with the loader's message when a file does not load.
int LeaseFolderDictionaries(const std::string& folder, CDictionaryLease* lease, char* msg);

// The folder's dictionaries (into fresh ones) as the lease loads those it
// does not keep: from the image file when it fits the files' stamps, else
// from the files, then writing the image for the next process. 0 with the
// loader's message when a file does not load; fromImage (when given) tells
// where they came from.
int LoadFolderDictionaries(const std::string& folder, FolderDictionaries* dictionaries, char* msg,
                           bool* fromImage = nullptr);

// The dictionaries of the lease this thread took last (and still holds),
// when their unification dictionary and replacement list are these; null
// otherwise.
FolderDictionaries* LeasedFolderDictionaries(const CCharDictionary* unification,
                                             const CRecordList* replacements);

// ProbeIndexFiles of the folder, kept while the folder and the index files
// it read are unchanged.
int ProbeIndexFilesCached(const char* dataFolder);
