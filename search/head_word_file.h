// A head-word table as a file of the cache folder, used in place through a read-only mapping.
//
// Layout (native byte order: the file never leaves the machine that wrote it):
//   header   256 bytes of 64-bit words: magic, format version, header size; the dictionary's
//            identity (size, modification and change times, inode, device, digest of its header
//            and index, digest of its path); the entry count, the stored words' UTF-8 bytes, the
//            undecodable entries; offset and length of each part; last, a digest of the words
//            before it
//   parts    arena, entries, order, gram keys, gram starts, postings, each at a multiple of 8
// A file that is short, foreign, of another version, made for another state of the dictionary,
// or whose header digest or part bounds fail is not used; the caller builds the table again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_handle.h"
#include "search/head_word_table.h"

namespace lexor {

struct HeadWordFileKey {
  FileIdentity identity;
  uint64_t contentDigest = 0;
  uint64_t pathDigest = 0;
};

// The table in `file` when it is whole and was made for the dictionary `key` names; else nullptr.
std::shared_ptr<const HeadWordTable> mapHeadWordFile(const std::string& file,
                                                     const HeadWordFileKey& key);
// Writes the table to `file` through a new temporary renamed into place; false when it cannot.
bool writeHeadWordFile(const std::string& file, const HeadWordFileKey& key,
                       const HeadWordTable& table);

// Where each header word lies, for the tests that damage one field at a time.
enum HeadWordFileField : size_t {
  kFieldMagic,
  kFieldVersion,
  kFieldHeaderBytes,
  kFieldDictionarySize,
  kFieldModified,
  kFieldChanged,
  kFieldInode,
  kFieldDevice,
  kFieldContentDigest,
  kFieldPathDigest,
  kFieldEntries,
  kFieldStoredBytes,
  kFieldUndecodable,
  kFieldParts,  // then offset and length of each of the 6 parts
  kFieldChecksum = kFieldParts + 12,
  kFieldCount,
};
inline constexpr size_t kHeadWordFileHeaderBytes = 256;
// The digest the header's last field holds, of the fields before it.
uint64_t headWordFileChecksum(const uint64_t* header);

}  // namespace lexor
