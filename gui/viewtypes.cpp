#include "viewtypes.h"

namespace QXAGUI {

// One object per message: receivers compare these pointers.
const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";
const char* const kMsgNewFocusView = "kMsgNewFocusView";
const char* const kMsgOldFocusView = "kMsgOldFocusView";
const char* const kMsgLooseFocus = "LooseFocus";

} // namespace QXAGUI
