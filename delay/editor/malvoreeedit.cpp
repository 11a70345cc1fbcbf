#include "malvoreeedit.h"

#include "malvoreeeditor.h"

MalvoreeEdit::MalvoreeEdit(HostCallback host) : Malvoree(host) {
    new MalvoreeEditor(this); // attaches itself to the effect
}

MalvoreeEdit::~MalvoreeEdit() {
    if (MalvoreeEditor* editor = this->editor()) {
        editor->closeEditor();
        attachEditor(nullptr);
        delete editor;
    }
}

MalvoreeEditor* MalvoreeEdit::editor() const {
    return static_cast<MalvoreeEditor*>(editor_);
}

void MalvoreeEdit::refreshEditorControls() {
    if (MalvoreeEditor* editor = this->editor()) editor->requestRefresh();
}

intptr_t MalvoreeEdit::handleVendorCall(int32_t index, intptr_t value, void* pointer,
                                        float option) {
    if (const intptr_t answer = AEffGUIEditor::answerToolkitQuery(index, value, pointer))
        return answer;
    return Malvoree::handleVendorCall(index, value, pointer, option);
}
