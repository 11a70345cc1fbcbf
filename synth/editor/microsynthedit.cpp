#include "microsynthedit.h"

#include "microsyntheditor.h"

MicroSynthEdit::MicroSynthEdit(HostCallback host) : MicroSynth(host) {
    new MicroSynthEditor(this); // attaches itself to the effect
}

MicroSynthEdit::~MicroSynthEdit() {
    if (MicroSynthEditor* editor = this->editor()) {
        editor->closeEditor();
        attachEditor(nullptr);
        delete editor;
    }
}

MicroSynthEditor* MicroSynthEdit::editor() const {
    return static_cast<MicroSynthEditor*>(editor_);
}

void MicroSynthEdit::refreshEditorControls() {
    if (MicroSynthEditor* editor = this->editor()) editor->requestRefresh();
}

intptr_t MicroSynthEdit::handleVendorCall(int32_t index, intptr_t value, void* pointer,
                                          float option) {
    if (const intptr_t answer = AEffGUIEditor::answerToolkitQuery(index, value, pointer))
        return answer;
    return MicroSynth::handleVendorCall(index, value, pointer, option);
}
