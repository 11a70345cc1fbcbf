// MicroSynthEdit: Oriv as the entry point builds it in the Windows build, MicroSynth with its
// editor. The editor lives as long as the effect.
#pragma once

#include "microsynth.h"

class MicroSynthEditor;

class MicroSynthEdit : public MicroSynth {
public:
    explicit MicroSynthEdit(HostCallback host);
    // Closes and deletes the editor before the programs and the engine go.
    ~MicroSynthEdit() override;

    // The host's toolkit query, then MicroSynth's vendor calls (the wheel).
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override;

protected:
    // Any thread: one atomic store; the editor refreshes at its next idle pass.
    void refreshEditorControls() override;

private:
    MicroSynthEditor* editor() const;
};
