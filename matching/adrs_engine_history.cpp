// The address engine's questions about its change-history readers. They
// consult the attached search context, so they live with the context in
// this library rather than with the rest of the engine's file side.

#include "common/message.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"

int CAdrsEngine::HasChangeHistory() {
  if (context_ && !context_->UsesChangeHistory()) return 0;
  if (historyFromFiles_) {
    if (historyOpenPending_) {
      // One attempt per setting of the file names: a missing pair is not
      // looked for again until the names are set anew.
      char msg[kMessageSize];
      ownHistory_.Open(historyDataPath_, historyIndexPath_, msg);
      historyOpenPending_ = 0;
    }
    return ownHistory_.IsOpen() ? 1 : 0;
  }
  return history_ ? 1 : 0;
}

int CAdrsEngine::HasChangeCodeIndex() {
  if (context_ && !context_->UsesChangeCodeIndex()) return 0;
  if (codeIndexFromFile_) {
    if (codeIndexOpenPending_) {
      char msg[kMessageSize];
      ownCodeIndex_.Open(codeIndexPath_, msg);
      codeIndexOpenPending_ = 0;
    }
    return ownCodeIndex_.IsOpen() ? 1 : 0;
  }
  return codeIndex_ ? 1 : 0;
}
