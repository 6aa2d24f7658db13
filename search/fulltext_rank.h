// The order of full-text matches: BM25 without its document-length term (b = 0). The weight of
// each phrase (rarer phrases weigh more) and its hits in the row decide; the length of the row
// does not, so that ranking reads no per-row size from the index, which for a common word means
// thousands of B-tree look-ups before the first answer.
#pragma once

struct sqlite3;

namespace lexor::search {

// The SQL name of the rank function, to use as `ORDER BY <name>(<table>)`.
inline constexpr const char* kRankFunction = "lexor_rank";

// Registers the rank function with the connection's FTS5; false when FTS5 is missing.
bool registerRankFunction(sqlite3* db);

}  // namespace lexor::search
