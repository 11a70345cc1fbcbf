// AEffEditor: the host-facing base of every editor. The dispatcher forwards the editor opcodes
// (bounds, open, close, idle, keys, knob mode) and the mouse-wheel vendor call to it. All of
// its operations run on the host's user-interface thread.
#pragma once

#include "qxa_abi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;
    virtual ~AEffEditor() = default;

    virtual AudioEffect* owningEffect() { return effect_; }
    // Stores the address of the editor's size record; the bare base has none.
    virtual bool editorBounds(EditorRect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool openEditor(void* window) {
        systemWindow_ = window;
        return false;
    }
    virtual void closeEditor() { systemWindow_ = nullptr; }
    virtual bool isEditorOpen() { return systemWindow_ != nullptr; }
    virtual void editorIdle() {}
    virtual bool handleKeyDown(KeyRecord& /*key*/) { return false; }
    virtual bool handleKeyUp(KeyRecord& /*key*/) { return false; }
    virtual bool handleWheel(float /*distance*/) { return false; }
    virtual bool applyKnobMode(int32_t /*mode*/) { return false; }
    // Shutdown: true when the editor will delete the effect itself, later (see AEffGUIEditor).
    virtual bool deferEffectDeletion() { return false; }

protected:
    AudioEffect* effect_;
    void* systemWindow_ = nullptr;
};
