#pragma once
// The dictionaries of a data folder kept between processes: an image of
// what the loaders made (the unification dictionary and the replacement
// lists, record for record, with their counts, capacities and growth
// steps) in a cache file (plat/cache_file.h) of the folder. A later process
// reads the file in one piece and the dictionaries use its records where
// they stand: nothing is parsed, normalised, sorted or copied per entry.
//
// The file is named after the folder; it holds the stamp of the build that
// wrote it, the folder and the text of its dictionary files' stamps
// (presence, native name, size, times, device and inode of each: a missing
// user file is a state of its own), then the three record blocks, and ends
// in a checksum of all of it. It is used only when everything checks and
// the stamps text is the one asked for; anything else (no file, another
// build, a changed, replaced, added or removed dictionary file, a file cut
// short or damaged) is as if there were no image. Only dictionaries that
// loaded are kept: a file that fails to load fails as it always did. A
// build that cannot tell its own stamp neither reads nor writes images.

#include <string>

#include "matching/data_folder_cache.h"

// The name of the folder's image file (of this build and format).
std::string DictionaryImageFileName(const std::string& folder);

// The bytes of the image of the dictionaries loaded from the folder's
// files as filesStamp gives them.
std::string MakeDictionaryImage(const std::string& folder, const std::string& filesStamp,
                                const FolderDictionaries& dictionaries);

// Takes image (the bytes of an image file) into the fresh dictionaries when
// it is of the folder and filesStamp and checks: they then use its records
// in place (image is kept with them). False, with dictionaries unchanged,
// otherwise.
bool UseDictionaryImage(const std::string& folder, const std::string& filesStamp,
                        std::string&& image, FolderDictionaries* dictionaries);

// The image file read and used as by UseDictionaryImage; false when there
// is none that fits.
bool ReadDictionaryImage(const std::string& folder, const std::string& filesStamp,
                         FolderDictionaries* dictionaries);

// Writes the image file; false when it cannot be written (no cache).
bool WriteDictionaryImage(const std::string& folder, const std::string& filesStamp,
                          const FolderDictionaries& dictionaries);
