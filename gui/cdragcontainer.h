// CDragContainer: what is being dragged over a frame, as the views see it. The platform wraps
// its own drag data in one (Win32: WinDragContainer over an OLE data object) and routes it
// through the view tree with dragEntered, dragHovered, dragExited and dropData.
#pragma once

#include "cbaseobject.h"

#include <cstdint>

namespace QXAGUI {

// Item types. itemType answers DragItemText for text; the item functions deliver text as
// DragTextItem.
enum DragItemType : int32_t {
    DragItemFile = 0,   // a file path
    DragItemText = 1,   // text (itemType)
    DragTextItem = 2,   // text (firstItem / nextItem)
    DragItemNone = -1,  // nothing of the above, or no more items
    DragItemError = -2, // no data to read
};

class CDragContainer : public CBaseObject {
public:
    // The first item, then the following ones: a zero-terminated UTF-8 string the container
    // owns (valid until the next call) or null when there is none; size gets its length in
    // bytes and type its DragItemType.
    virtual const char* firstItem(int32_t& size, int32_t& type) = 0;
    virtual const char* nextItem(int32_t& size, int32_t& type) = 0;
    virtual int32_t itemType(int32_t index) = 0;
    virtual int32_t itemCount() = 0;
    // For a view that takes files, once it takes them: the path of file item index with a
    // shortcut resolved to its target (a short, quiet search that never rewrites the
    // shortcut); the item's own path when it is no shortcut or cannot be resolved; null for
    // no file item. The item functions give the dropped paths as they are.
    virtual const char* resolvedFile(int32_t /*index*/) { return nullptr; }
};

} // namespace QXAGUI
