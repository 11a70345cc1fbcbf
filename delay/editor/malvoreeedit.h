// MalvoreeEdit: Malvoree as the entry point builds it in the Windows build, the effect with
// its editor. The editor lives as long as the effect.
#pragma once

#include "malvoree.h"

class MalvoreeEditor;

class MalvoreeEdit : public Malvoree {
public:
    explicit MalvoreeEdit(HostCallback host);
    // Closes and deletes the editor before the programs and the heads go.
    ~MalvoreeEdit() override;

    // The host's toolkit query, then Malvoree's vendor calls (the wheel).
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override;

protected:
    // Any thread: one atomic store; the editor refreshes at its next idle pass.
    void refreshEditorControls() override;

private:
    MalvoreeEditor* editor() const;
};
