#include "aeffguieditor.h"

#include "audioeffectx.h"
#include "cbaseobject.h"
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <algorithm>

using namespace QXAGUI;

namespace {

// The knob style of every editor in the process (hosts set it for all of them).
std::atomic<int32_t> knobModeSetting{0};

constexpr uint32_t kIdleSleepMilliseconds = 4;
constexpr int32_t kIdleEarlyMilliseconds = 50;
constexpr uint32_t kIdleIntervalMilliseconds = 100;

QXAGUI::KeyRecord toToolkitKey(const ::KeyRecord& key) {
    QXAGUI::KeyRecord record;
    record.character = key.character;
    record.virtualKey = key.virtualKey;
    record.modifiers = key.modifiers;
    return record;
}

} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect), nextIdleTime_(0) {
    if (effect_) effect_->attachEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() = default;

bool AEffGUIEditor::editorBounds(EditorRect** rect) {
    if (rect == nullptr) return false;
    *rect = &rect_;
    return true;
}

template <typename Call>
auto AEffGUIEditor::asEditorCall(Call call) {
    enterEditorCall();
    auto answer = call();
    leaveEditorCall();
    return answer;
}

void AEffGUIEditor::editorIdle() {
    if (inIdle_ || frame_ == nullptr) return;
    asEditorCall([this] {
        if (frame_) {
            const uint32_t changed = pendingParameters_.exchange(0, std::memory_order_acquire);
            if (changed) refreshPendingControls(changed);
        }
        if (frame_) frame_->idleFrame();
        return true;
    });
}

bool AEffGUIEditor::handleKeyDown(::KeyRecord& key) {
    if (frame_ == nullptr) return false;
    return asEditorCall([&] {
        QXAGUI::KeyRecord record = toToolkitKey(key);
        return frame_ != nullptr && frame_->keyPressed(record) > 0;
    });
}

bool AEffGUIEditor::handleKeyUp(::KeyRecord& key) {
    if (frame_ == nullptr) return false;
    return asEditorCall([&] {
        QXAGUI::KeyRecord record = toToolkitKey(key);
        return frame_ != nullptr && frame_->keyReleased(record) > 0;
    });
}

bool AEffGUIEditor::handleWheel(float distance) {
    if (frame_ == nullptr) return false;
    return asEditorCall([&] {
        RetainScope<CFrame> keep(frame_);
        auto* context = new CDrawContext(frame_, nullptr, frame_->systemWindow());
        ViewPoint where;
        context->cursorPosition(where);
        const ButtonFlags buttons = frame_->buttonsNow();
        const bool taken = frame_->scrollWheel(where, distance, buttons);
        context->release();
        return taken;
    });
}

bool AEffGUIEditor::applyKnobMode(int32_t mode) {
    knobModeSetting.store(mode, std::memory_order_relaxed);
    return true;
}

void AEffGUIEditor::noteParameterChange(int32_t /*index*/, float /*value*/) {}

void AEffGUIEditor::redrawEditor(EditorRect* area) {
    if (frame_ == nullptr) return;
    asEditorCall([&] {
        RetainScope<CFrame> keep(frame_);
        ViewRect rect = frame_->bounds();
        if (area != nullptr)
            rect = ViewRect(area->left, area->top, area->right, area->bottom).normalized();
        auto* context = new CDrawContext(frame_, nullptr, frame_->systemWindow());
        frame_->paintArea(context, rect);
        context->release();
        return true;
    });
}

void AEffGUIEditor::runEditorIdle() {
    // Only a frame's controls run the modal idle; the frame may go inside it.
    if (frame_ == nullptr) return;
    RetainScope<CFrame> keep(frame_);
    CFrame& frame = *frame_;
    uint32_t now = frame.tickCount();
    // Tick counts wrap after 49.7 days: compare by difference.
    auto remaining = static_cast<int32_t>(nextIdleTime_ - now);
    if (remaining > 0) {
        frame.pause(kIdleSleepMilliseconds);
        now += kIdleSleepMilliseconds;
        remaining -= static_cast<int32_t>(kIdleSleepMilliseconds);
        if (remaining > kIdleEarlyMilliseconds) return;
    }
    editorIdle();
    frame.paintOnePending();
    inIdle_ = true;
    nextIdleTime_ = now + kIdleIntervalMilliseconds;
    if (effect_) effect_->letHostIdle();
    inIdle_ = false;
}

int32_t AEffGUIEditor::knobStyle() {
    return knobModeSetting.load(std::memory_order_relaxed);
}

void AEffGUIEditor::paramEditBegins(int32_t tag) {
    if (auto* effect = dynamic_cast<AudioEffectX*>(effect_)) effect->notifyEditBegin(tag);
}

void AEffGUIEditor::paramEditEnds(int32_t tag) {
    if (auto* effect = dynamic_cast<AudioEffectX*>(effect_)) effect->notifyEditEnd(tag);
}

void AEffGUIEditor::enterEditorCall() {
    ++callDepth_;
}

void AEffGUIEditor::leaveEditorCall() {
    if (--callDepth_ > 0) return;
    callDepth_ = 0;
    if (deletionPending_) {
        // Deletes this editor with the effect: nothing of it may be touched afterwards.
        delete effect_;
        return;
    }
    if (closePending_) {
        closePending_ = false;
        closeEditor();
    }
}

bool AEffGUIEditor::deferEffectDeletion() {
    if (callDepth_ == 0) return false;
    deletionPending_ = true;
    return true;
}

bool AEffGUIEditor::deferCloseWhileBusy() {
    if (callDepth_ == 0 || closingNow_) return false;
    closePending_ = true;
    return true;
}

void AEffGUIEditor::releaseFrame() {
    CFrame* frame = frame_;
    frame_ = nullptr;
    if (frame) frame->release();
    AEffEditor::closeEditor();
}

void AEffGUIEditor::sizeFromBackground(const CBitmap& background, int32_t width, int32_t height) {
    const bool loaded = background.isLoaded();
    rect_.top = 0;
    rect_.left = 0;
    rect_.bottom = static_cast<int16_t>(loaded ? background.height() : height);
    rect_.right = static_cast<int16_t>(loaded ? background.width() : width);
}

CFrame* AEffGUIEditor::openFrame(void* window, CBitmap* background) {
    if (frame_) {
        // The window message in progress keeps its own reference to the old frame.
        closingNow_ = true;
        closeEditor();
        closingNow_ = false;
    }
    closePending_ = false;
    AEffEditor::openEditor(window);
    auto* frame = new CFrame({0, 0, rect_.right, rect_.bottom}, window, this);
    if (window && !frame->systemWindow()) {
        frame->release();
        AEffEditor::closeEditor();
        return nullptr;
    }
    frame->setBackdrop(background);
    frame_ = frame;
    // The modal idle's first pass is due at once.
    nextIdleTime_ = frame->tickCount();
    return frame;
}

intptr_t AEffGUIEditor::answerToolkitQuery(int32_t index, intptr_t value, void* pointer) {
    if (index != kToolkitQueryIndex || value != kToolkitLiveObjectsValue || pointer == nullptr)
        return 0;
    *static_cast<int32_t*>(pointer) = CBaseObject::liveObjectCount();
    return 1;
}
