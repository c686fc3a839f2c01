#pragma once
// The dictionaries of a data folder kept between processes: an image of
// what the loaders made (the unification dictionary and the replacement
// lists, record for record, with their counts, capacities and growth
// steps) in the store of derived values (plat/derived_store.h), one value
// per folder. A later process copies the value in one piece and the
// dictionaries use its records where they stand: nothing is parsed,
// normalised, sorted or copied per entry.
//
// The value is the three record blocks with their headers; the store keeps
// it with the stamps of the folder's dictionary files (a missing user file
// is a state of its own) and answers it only for those stamps again, of
// this build. It is used only when everything checks; anything else (no
// value, another build, a changed, replaced, added or removed dictionary
// file, a value cut short) is as if there were no image. Only dictionaries
// that loaded are kept: a file that fails to load fails as it always did.

#include <string>

#include "matching/data_folder_cache.h"
#include "plat/derived_store.h"

// The store's key of the folder's image (of this format).
plat::DerivedKey DictionaryImageStoreKey(const plat::DerivedFolder& folder);

// The bytes of the image of the dictionaries.
std::string MakeDictionaryImage(const FolderDictionaries& dictionaries);

// Takes image (the bytes of an image) into the fresh dictionaries when it
// checks: they then use its records in place (image is kept with them).
// False, with dictionaries unchanged, otherwise.
bool UseDictionaryImage(std::string&& image, FolderDictionaries* dictionaries);

// The folder's image for the dictionary files of the stamps (in the order
// of the files: unification, replacement, user list; a missing file a
// default stamp), read and used as by UseDictionaryImage; false when there
// is none that fits.
bool ReadDictionaryImage(const plat::DerivedFolder& folder, plat::DerivedSources files,
                         FolderDictionaries* dictionaries);

// Keeps the image for the files of the stamps; false when it will not be
// kept (no store, a file changed too recently).
bool WriteDictionaryImage(const plat::DerivedFolder& folder, plat::DerivedSources files,
                          const FolderDictionaries& dictionaries);
