// EffectWithEditor: an effect class as the Windows entry point builds it, the effect with its
// QXAGUI editor. The editor is made with the effect, lives as long as it and is closed and
// deleted before the effect's own state goes.
//
// Effect must offer handleVendorCall and a protected virtual refreshEditorControls(uint32_t),
// called after every parameter write and program change on the writing thread; Editor derives
// from AEffGUIEditor and takes the effect in its constructor.
#pragma once

#include "aeffguieditor.h"

#include <cstdint>

template <typename Effect, typename Editor>
class EffectWithEditor : public Effect {
public:
    explicit EffectWithEditor(HostCallback host) : Effect(host) {
        new Editor(this); // attaches itself to the effect
    }

    ~EffectWithEditor() override {
        if (Editor* editor = this->editor()) {
            editor->closeEditor();
            this->attachEditor(nullptr);
            delete editor;
        }
    }

    // The host's toolkit query, then the effect's vendor calls (the wheel).
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override {
        if (const intptr_t answer = AEffGUIEditor::answerToolkitQuery(index, value, pointer))
            return answer;
        return Effect::handleVendorCall(index, value, pointer, option);
    }

protected:
    // Any thread: one atomic bit-or; the editor refreshes those controls at its next idle pass.
    void refreshEditorControls(uint32_t parameters) override {
        if (Editor* editor = this->editor()) editor->requestRefresh(parameters);
    }

private:
    Editor* editor() const { return static_cast<Editor*>(this->editor_); }
};
