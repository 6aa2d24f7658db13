// The index of a dictionary in memory: finding its entries in the bytes read, the look-up of the
// range of entries whose blocks can hold a word, and the process-wide sharing of indexes between
// opens of an unchanged file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/lexor.h"

namespace lexor {

// Walks the index area as read (which may be shorter than the header claims): at most
// `nIndexEntry` entries, ending early at an empty word or at an entry whose block number or word
// (with its NUL) does not lie wholly within `bytes`. Block numbers are 4 bytes wide when
// `blockbyte` is 4, else 2.
std::shared_ptr<const LexorIndex> buildLexorIndex(std::vector<uint8_t> bytes, int32_t nIndexEntry,
                                                  int32_t blockbyte);

// The range of entries for `word` bounded by `until` (both NUL-terminated; null reads as empty).
// Location is the last entry whose word sorts at or before `word` (0xFFFFFFFF when none does); the
// range runs on through the following entries that sort strictly before `until`, and its length is
// never 0.
IndexRange lookupIndexRange(const LexorIndex& index, const uint8_t* word, const uint8_t* until);

// The shared indexes (for tests and for hosts that want memory back).
void clearLexorIndexCache();
size_t lexorIndexCacheSize();

// Whether a first look-up may use the processor's widest vector instructions where it has them
// (on by default; tests turn it off to check the path other processors take).
void allowWideIndexMasks(bool allowed);

}  // namespace lexor
