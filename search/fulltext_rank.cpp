#include "search/fulltext_rank.h"

#include <sqlite3.h>

#include <cmath>
#include <vector>

namespace lexor::search {
namespace {

constexpr double kK1 = 1.2;
// The floor of a phrase's weight, as in BM25: a phrase in more than half the rows still counts.
constexpr double kMinimumWeight = 1e-6;

// The weight of each phrase, computed once per query from the rows that hold it.
struct Weights {
  std::vector<double> idf;
};

int countRow(const Fts5ExtensionApi*, Fts5Context*, void* rows) {
  ++*static_cast<int64_t*>(rows);
  return SQLITE_OK;
}

Weights* weightsOf(const Fts5ExtensionApi* api, Fts5Context* fts, int* status) {
  if (auto* known = static_cast<Weights*>(api->xGetAuxdata(fts, 0))) return known;
  auto* weights = new Weights();
  sqlite3_int64 all = 0;
  *status = api->xRowCount(fts, &all);
  const int phrases = api->xPhraseCount(fts);
  for (int i = 0; i < phrases && *status == SQLITE_OK; ++i) {
    int64_t holding = 0;
    *status = api->xQueryPhrase(fts, i, &holding, countRow);
    const double idf =
        std::log((static_cast<double>(all - holding) + 0.5) / (static_cast<double>(holding) + 0.5));
    weights->idf.push_back(idf > kMinimumWeight ? idf : kMinimumWeight);
  }
  if (*status == SQLITE_OK)
    *status = api->xSetAuxdata(fts, weights, [](void* p) { delete static_cast<Weights*>(p); });
  else
    delete weights;
  return *status == SQLITE_OK ? weights : nullptr;
}

void rank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int,
          sqlite3_value**) {
  int status = SQLITE_OK;
  const Weights* weights = weightsOf(api, fts, &status);
  int hits = 0;
  if (status == SQLITE_OK) status = api->xInstCount(fts, &hits);
  std::vector<int> perPhrase(weights ? weights->idf.size() : 0, 0);
  for (int i = 0; i < hits && status == SQLITE_OK; ++i) {
    int phrase = 0;
    int column = 0;
    int offset = 0;
    status = api->xInst(fts, i, &phrase, &column, &offset);
    if (status == SQLITE_OK && phrase >= 0 && static_cast<size_t>(phrase) < perPhrase.size())
      ++perPhrase[static_cast<size_t>(phrase)];
  }
  if (status != SQLITE_OK) {
    sqlite3_result_error_code(result, status);
    return;
  }
  double score = 0;
  for (size_t i = 0; i < perPhrase.size(); ++i) {
    const double f = perPhrase[i];
    score += weights->idf[i] * f * (kK1 + 1) / (f + kK1);
  }
  sqlite3_result_double(result, -score);  // ascending order: best first
}

}  // namespace

bool registerRankFunction(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
  sqlite3_step(statement);
  sqlite3_finalize(statement);
  return api != nullptr &&
         api->xCreateFunction(api, kRankFunction, nullptr, rank, nullptr) == SQLITE_OK;
}

}  // namespace lexor::search
