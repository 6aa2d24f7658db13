// Choosing what the queries search: one listed dictionary, more files by path, or the Ambora
// suite (its English side in the first recordset, its Japanese side in the second).
#include <algorithm>

#include "core/lexor.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "plugin/lexor_peek.h"

namespace lexor {

bool LexorPeek::isListedPosition(int32_t position) const {
  // Read as unsigned, every negative position is out of range too.
  return static_cast<uint32_t>(position) < _dicFiles.size();
}

UString LexorPeek::listedPath(int32_t position) const {
  return joinPath(_dicDir.value_or(UString()), _dicFiles[static_cast<size_t>(position)]);
}

// Each dictionary is opened afresh, so the recordset owns its own open file.
void LexorPeek::openAndAdd(LexorRecordset& rs, const UString& path) {
  if (std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(path)) rs.addDic(std::move(dic));
}

void LexorPeek::addListed(LexorRecordset& rs, int32_t position) {
  if (isListedPosition(position)) openAndAdd(rs, listedPath(position));
}

void LexorPeek::_addDictionary(const std::optional<UString>& path) {
  std::optional<UString> target = path;
  if (!target || !fileExistsAtPath(*target, nullptr)) {
    target = resolveAlias(target);
    if (!target || !fileExistsAtPath(*target, nullptr)) return;
  }
  openAndAdd(*_rs[0], *target);
}

void LexorPeek::_removeDics() { _rs[0]->removeDics(); }

void LexorPeek::_useNthDic(int32_t position) {
  _amboraMode = false;
  _removeDics();
  addListed(*_rs[0], position);
}

// A main file that the last scan did not list (position -1) is simply not added: its side of
// the suite then searches nothing and answers no match.
void LexorPeek::_useAmbora() {
  _amboraMode = true;
  _removeDics();
  _rs[1]->removeDics();
  addListed(*_rs[0], _amboraDicID);
  addListed(*_rs[0], _abboraDicID);
  addListed(*_rs[0], _exoraDicID);
  addListed(*_rs[1], _revoraDicID);
}

// The suite's side as a query would search it, without the query's change of selection: an open
// of the listed file that a recordset already holds, else a fresh one.
std::shared_ptr<Lexor> LexorPeek::openListed(int32_t position) {
  if (!isListedPosition(position)) return nullptr;
  const UString path = listedPath(position);
  for (const std::shared_ptr<LexorRecordset>& rs : _rs) {
    for (size_t i = 0; i < rs->dicCount(); ++i) {
      if (rs->dicAt(i) && rs->dicAt(i)->path() == path) return rs->dicAt(i);
    }
  }
  return Lexor::initWithFilePath(path);
}

LexorList LexorPeek::matchDictionaries(const UString& word) {
  LexorList dics;
  if (_amboraMode) {
    if (std::shared_ptr<Lexor> side =
            openListed(isJapaneseWord(word) ? _revoraDicID : _amboraDicID)) {
      dics.push_back(std::move(side));
    }
    return dics;
  }
  for (size_t i = 0; i < _rs[0]->dicCount(); ++i) {
    if (_rs[0]->dicAt(i)) dics.push_back(_rs[0]->dicAt(i));
  }
  return dics;
}

int32_t LexorPeek::_isAmboraAvailable() const {
  if (_amboraVer <= 0 || _revoraVer <= 0) return 0;
  return std::min(_amboraVer, _revoraVer);
}

}  // namespace lexor
