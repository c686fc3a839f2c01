#pragma once
// The dictionaries of a data folder kept between processes: an image of
// what the loaders made (the unification dictionary and the replacement
// lists, record for record, with their counts, capacities and growth
// steps) in the store of derived values (plat/derived_store.h), one value
// per folder. A later process copies the value in one piece and the
// dictionaries use its records where they stand: nothing is parsed,
// normalised, sorted or copied per entry.
//
// The value holds the stamp of the build that wrote it, the folder and the
// text of its dictionary files' stamps (presence, native name, size, times,
// device and inode of each: a missing user file is a state of its own),
// then the three record blocks. It is used only when everything checks and
// the stamps text is the one asked for; anything else (no value, another
// build, a changed, replaced, added or removed dictionary file, a value cut
// short) is as if there were no image. Only dictionaries that
// loaded are kept: a file that fails to load fails as it always did. A
// build that cannot tell its own stamp neither reads nor writes images.

#include <string>

#include "matching/data_folder_cache.h"
#include "plat/derived_store.h"

// The store's key of the folder's image (of this build and format).
plat::DerivedKey DictionaryImageStoreKey(const std::string& folder);

// The bytes of the image of the dictionaries loaded from the folder's
// files as filesStamp gives them.
std::string MakeDictionaryImage(const std::string& folder, const std::string& filesStamp,
                                const FolderDictionaries& dictionaries);

// Takes image (the bytes of an image) into the fresh dictionaries when
// it is of the folder and filesStamp and checks: they then use its records
// in place (image is kept with them). False, with dictionaries unchanged,
// otherwise.
bool UseDictionaryImage(const std::string& folder, const std::string& filesStamp,
                        std::string&& image, FolderDictionaries* dictionaries);

// The folder's image read and used as by UseDictionaryImage; false when there
// is none that fits.
bool ReadDictionaryImage(const std::string& folder, const std::string& filesStamp,
                         FolderDictionaries* dictionaries);

// Keeps the image; false when it cannot be kept (no store).
bool WriteDictionaryImage(const std::string& folder, const std::string& filesStamp,
                          const FolderDictionaries& dictionaries);
