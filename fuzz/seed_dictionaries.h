// Small dictionaries made by the dictionary writer: the seeds of the fuzz targets and the folder
// that the script-request target looks words up in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/lexor.h"
#include "platform/ustring.h"

namespace lexor::fuzz {

struct SeedDictionary {
  std::string fileName;  // chooses the signature, and with it the code pages
  std::vector<uint8_t> bytes;
};

// The same entries in every version, text kind, field width and block size the format has.
std::vector<SeedDictionary> seedDictionaries();

// The seed dictionaries written into the process's scratch folder and opened, in the order of
// seedDictionaries(); one the reader refuses is left out.
std::vector<std::shared_ptr<Lexor>> openSeedDictionaries();

// Words to look up in the seed dictionaries: present, prefixes, absent, both scripts.
std::vector<UString> seedQueryWords();

// Single data blocks as the data-block target reads them (flags byte first).
std::vector<std::vector<uint8_t>> seedBlocks();

// The suite's four files, a code-page and a BOCU-1 dictionary, written into the folder.
void writeSeedFolder(const std::string& folder);

// A home whose ~/Library/Lexor is the seed folder, made under `scratch` and made the process's
// HOME, with the full-text cache inside it too: what the targets that build a LexorPeek need.
void useSeedHome(const std::string& scratch);

// Request lines of page sessions against that folder, one session a string.
std::vector<std::string> seedSessions();

}  // namespace lexor::fuzz
