#include "microsynth.h"

#include "aeffeditor.h"
#include "engine/adsr.h"
#include "engine/microsynthvoice.h"
#include "engine/microsynthvoicer.h"
#include "engine/wavetableset.h"
#include "factory_programs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

constexpr int32_t kVoiceCount = 10;
constexpr int32_t kOutputCount = 2;
constexpr int32_t kPluginId = fourCharCode('a', 'M', 'i', 'S');
constexpr double kDefaultSampleRate = 44100.0;
constexpr float kLowestCutoff = 0.01f;
constexpr uint32_t kAllParameters = (uint32_t{1} << kSynthParameterCount) - 1;
constexpr const char* kVendor = "Quellmark Sound Laboratories";
constexpr const char* kProduct = "Oriv";
constexpr const char* kCapabilities[] = {"sendQxaEvents", "sendQxaMidiEvent", "receiveQxaEvents",
                                         "receiveQxaMidiEvent"};
double tableStepFor(double sampleRate) {
    return static_cast<float>(kWaveTableLength / sampleRate);
}

void copyText(char* buffer, const char* text, int32_t maxLength) {
    if (buffer) copyBounded(buffer, text, maxLength);
}

} // namespace

ProgramRecord::ProgramRecord() {
    for (const SynthParameterInfo& info : kSynthParameters) {
        ParameterRecord& record = parameters[info.index];
        record.value.store(info.initValue, std::memory_order_relaxed);
        copyBounded(record.unit, info.unit, kRecordTextBytes - 1);
        copyBounded(record.title, info.title, kRecordTextBytes - 1);
    }
}

// ---------------------------------------------------------------------------------------------
// Construction and lifecycle
// ---------------------------------------------------------------------------------------------

MicroSynth::MicroSynth(HostCallback host)
    : AudioEffectX(host, kSynthProgramCount, kSynthParameterCount),
      tableStep_(tableStepFor(kDefaultSampleRate)) {
    for (const SynthParameterInfo& info : kSynthParameters)
        engineValues_[info.index] = info.initValue;
    buildWaveTables();
    filterEnvelope_ = std::make_unique<ADSR>(0, kDefaultSampleRate);
    filterEnvelope_->setOutputLevel(0.5f);
    amplitudeEnvelope_ = std::make_unique<ADSR>(0, kDefaultSampleRate);
    amplitudeEnvelope_->setOutputLevel(0.25f);
    // The envelope buffers get the default block size now, so a host that never announces
    // one still hears the synth.
    filterEnvelope_->applyBlockSize(blockSize_);
    amplitudeEnvelope_->applyBlockSize(blockSize_);
    voicer_ = std::make_unique<MicroSynthVoicer>(this);
    for (int32_t i = 0; i < kVoiceCount; ++i) {
        auto voice = std::make_unique<MicroSynthVoice>(this, filterEnvelope_.get(),
                                                       amplitudeEnvelope_.get());
        voicer_->addVoice(voice.release());
    }
    voicer_->prepareLanes(blockSize_);

    assignInputCount(0);
    assignOutputCount(kOutputCount);
    markAsInstrument(true);
    enableReplacing(true);
    assignUniqueId(kPluginId);

    // Nothing renders yet, so every value reaches the engine at once, in bank order.
    for (int32_t program = 0; program < kSynthProgramCount; ++program) {
        const FactoryProgram& factory = kFactoryPrograms[static_cast<size_t>(program)];
        selectProgram(program);
        programNames_.rename(program, factory.name);
        for (int32_t i = 0; i < kSynthParameterCount; ++i)
            writeParameter(i, factory.values[static_cast<size_t>(i)]);
    }
    selectProgram(0);
}

MicroSynth::~MicroSynth() = default;

void MicroSynth::onSuspend() {
    handoff_.enterReconfigure();
    voicer_->stopAllVoices();
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::Nobody);
    applyPendingIfUnowned();
}

void MicroSynth::onResume() {
    requestIdleCalls();
    requestEvents(1);
    handoff_.handToAudioThread();
}

void MicroSynth::changeSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    handoff_.enterReconfigure();
    AudioEffectX::changeSampleRate(rate);
    updateEngineRateAndSize();
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::Unchanged);
    applyPendingIfUnowned();
}

void MicroSynth::changeBlockSize(int32_t frames) {
    if (frames <= 0) return;
    handoff_.enterReconfigure();
    AudioEffectX::changeBlockSize(frames);
    updateEngineRateAndSize();
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::Unchanged);
    applyPendingIfUnowned();
}

void MicroSynth::updateEngineRateAndSize() {
    tableStep_ = tableStepFor(sampleRate_);
    for (ADSR* envelope : {filterEnvelope_.get(), amplitudeEnvelope_.get()}) {
        envelope->applySampleRate(sampleRate_);
        envelope->applyBlockSize(blockSize_);
    }
    voicer_->prepareLanes(
        std::min(filterEnvelope_->blockCapacity(), amplitudeEnvelope_->blockCapacity()));
}

double MicroSynth::synthSampleRate() {
    return sampleRate_;
}

// ---------------------------------------------------------------------------------------------
// Audio thread
// ---------------------------------------------------------------------------------------------

bool MicroSynth::beginAudioCall() {
    if (!handoff_.enterAudio()) return false;
    if (handoff_.hasPending()) applyBatch(handoff_.take());
    return true;
}

int32_t MicroSynth::handleEvents(EventBlock* events) {
    if (!beginAudioCall()) {
        queueEvents(events);
        return 1;
    }
    handleQueuedEvents();
    voicer_->handleEventBlock(events);
    handoff_.leaveAudio();
    return 1;
}

void MicroSynth::queueEvents(const EventBlock* block) {
    if (!block) return;
    for (int32_t i = 0; i < block->count && queuedEventCount_ < kQueuedEventCapacity; ++i) {
        const EventHeader* header = block->events[i];
        if (header && header->type == kMidiEventType)
            queuedEvents_[queuedEventCount_++] = *reinterpret_cast<const MidiEventRecord*>(header);
    }
}

void MicroSynth::handleQueuedEvents() {
    if (queuedEventCount_ == 0) return;
    struct {
        int32_t count;
        int32_t padding;
        intptr_t reserved;
        EventHeader* events[kQueuedEventCapacity];
    } block{queuedEventCount_, 0, 0, {}};
    for (int32_t i = 0; i < queuedEventCount_; ++i)
        block.events[i] = reinterpret_cast<EventHeader*>(&queuedEvents_[i]);
    queuedEventCount_ = 0;
    voicer_->handleEventBlock(reinterpret_cast<const EventBlock*>(&block));
}

void MicroSynth::renderReplacing(float** inputs, float** outputs, int32_t frames) {
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1]) return;
    if (!beginAudioCall()) {
        // Another thread holds the engine (a reconfiguration, or a change applied before the
        // first block): this block stays silent rather than waiting.
        for (int32_t i = 0; i < descriptor_.outputCount; ++i)
            if (outputs[i]) std::fill(outputs[i], outputs[i] + frames, 0.0f);
        return;
    }
    handleQueuedEvents();
    renderPieces(inputs, outputs, frames, true);
    handoff_.leaveAudio();
}

void MicroSynth::renderVoicesOnly(float** inputs, float** outputs, int32_t frames) {
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1] || !beginAudioCall()) return;
    renderPieces(inputs, outputs, frames, false);
    handoff_.leaveAudio();
}

void MicroSynth::renderPieces(float** inputs, float** outputs, int32_t frames, bool clear) {
    // The envelope buffers hold one block.
    const int32_t capacity =
        std::min(filterEnvelope_->blockCapacity(), amplitudeEnvelope_->blockCapacity());
    const int32_t piece = capacity > 0 ? capacity : frames;
    float* left = outputs[0];
    float* right = outputs[1];
    for (int32_t done = 0; done < frames; done += piece) {
        const int32_t count = std::min(piece, frames - done);
        float* pieceOutputs[kOutputCount] = {left + done, right + done};
        if (clear)
            voicer_->renderBlock(inputs, pieceOutputs, count);
        else
            voicer_->renderVoices(inputs, pieceOutputs, count);
    }
}

// ---------------------------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------------------------

ProgramRecord& MicroSynth::currentProgramRecord() {
    return programs_[currentProgram_.load()];
}

bool MicroSynth::storeParameter(int32_t index, float& value) {
    if (!isSynthParameter(index) || std::isnan(value)) return false;
    value = std::clamp(value, 0.0f, 1.0f);
    currentProgramRecord().parameters[index].value.store(value, std::memory_order_relaxed);
    return true;
}

void MicroSynth::writeParameter(int32_t index, float value) {
    if (!storeParameter(index, value)) return;
    handoff_.markParameter(index);
    applyPendingIfUnowned();
    refreshEditorControls(uint32_t{1} << index);
}

void MicroSynth::writeParameterFromEngine(int32_t index, float value) {
    // Called by the engine's owner while it handles events: the engine takes the value now.
    if (!storeParameter(index, value)) return;
    engineValues_[index] = value;
    pushParameterToEngine(uint32_t{1} << index);
    refreshEditorControls(uint32_t{1} << index);
}

void MicroSynth::applyPendingIfUnowned() {
    handoff_.applyIfUnowned([this](EngineHandoff::Batch batch) { applyBatch(batch); });
}

void MicroSynth::applyBatch(EngineHandoff::Batch batch) {
    if (batch.program >= 0) engineProgram_ = batch.program;
    if (batch.parameters == 0) return;
    const ProgramRecord& record = programs_[engineProgram_];
    for (int32_t index = 0; index < kSynthParameterCount; ++index)
        if (batch.parameters & (uint32_t{1} << index))
            engineValues_[index] = record.parameters[index].value.load(std::memory_order_relaxed);
    pushParameterToEngine(batch.parameters);
}

void MicroSynth::pushParameterToEngine(uint32_t indexes) {
    for (int32_t index = 0; index < kSynthParameterCount; ++index) {
        if (!(indexes & (uint32_t{1} << index))) continue;
        const float value = parameterValue(0, index);
        switch (index) {
        case VcfAtt:
            filterEnvelope_->setAttackAmount(value);
            break;
        case VcfDec:
            filterEnvelope_->setDecayAmount(value);
            break;
        case VcfSus:
            filterEnvelope_->setSustainLevel(value);
            break;
        case VcfRel:
            filterEnvelope_->setReleaseAmount(value);
            break;
        case VcaAtt:
            amplitudeEnvelope_->setAttackAmount(value);
            break;
        case VcaDec:
            amplitudeEnvelope_->setDecayAmount(value);
            break;
        case VcaSus:
            amplitudeEnvelope_->setSustainLevel(value);
            break;
        case VcaRel:
            amplitudeEnvelope_->setReleaseAmount(value);
            break;
        case VcfCut:
            // The filter envelope sweeps the part of the cutoff range above the knob.
            filterEnvelope_->setOutputLevel(
                static_cast<float>(1.0 - std::max(value, kLowestCutoff)));
            break;
        default:
            break;
        }
    }
    // Every playing voice re-reads its pitch and parameters once, whatever changed.
    voicer_->restartVoiceIteration();
    while (Voice* voice = voicer_->nextPlayingVoice()) {
        auto* synthVoice = static_cast<MicroSynthVoice*>(voice);
        synthVoice->setPitchBend(synthVoice->pitchBend());
        synthVoice->refreshFromParameters();
    }
}

float MicroSynth::readParameter(int32_t index) {
    if (!isSynthParameter(index)) return 0.0f;
    return currentProgramRecord().parameters[index].value.load(std::memory_order_relaxed);
}

float MicroSynth::parameterValue(int32_t /*channel*/, int32_t index) {
    return isSynthParameter(index) ? engineValues_[index] : 0.0f;
}

// ---------------------------------------------------------------------------------------------
// Programs and texts
// ---------------------------------------------------------------------------------------------

void MicroSynth::selectProgram(int32_t program) {
    if (program < 0 || program >= kSynthProgramCount) return;
    AudioEffectX::selectProgram(program);
    // The program's values are already stored: the engine and the editor take them as one.
    handoff_.markProgram(program, kAllParameters);
    applyPendingIfUnowned();
    refreshEditorControls(kAllParameters);
}

void MicroSynth::renameProgram(char* name) {
    programNames_.rename(currentProgram_.load(), name);
}

void MicroSynth::copyProgramName(char* buffer) {
    programNames_.copyShown(currentProgram_.load(), buffer, kProgramNameMaxLength);
}

bool MicroSynth::copyIndexedProgramName(int32_t /*category*/, int32_t index, char* text) {
    if (index < 0 || index >= kSynthProgramCount || !text) return false;
    programNames_.copy(index, text, kProgramNameMaxLength);
    return true;
}

bool MicroSynth::copyCurrentProgramTo(int32_t destination) {
    if (destination < 0 || destination >= kSynthProgramCount) return false;
    const int32_t current = currentProgram_.load();
    if (destination == current) return true;
    const ProgramRecord& source = programs_[current];
    ProgramRecord& target = programs_[destination];
    for (int32_t i = 0; i < kSynthParameterCount; ++i)
        target.parameters[i].value.store(source.parameters[i].value.load(std::memory_order_relaxed),
                                         std::memory_order_relaxed);
    programNames_.copyName(current, destination);
    return true;
}

void MicroSynth::copyParameterUnit(int32_t index, char* buffer) {
    if (!buffer) return;
    if (!isSynthParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyText(buffer, currentProgramRecord().parameters[index].unit, kParameterUnitMaxLength);
}

void MicroSynth::copyParameterText(int32_t index, char* buffer) {
    if (!buffer) return;
    if (!isSynthParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    formatFloat(readParameter(index), buffer, kParameterTextMaxLength);
}

void MicroSynth::copyParameterTitle(int32_t index, char* buffer) {
    if (!buffer) return;
    if (!isSynthParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyText(buffer, currentProgramRecord().parameters[index].title, kParameterTitleMaxLength);
}

bool MicroSynth::describeOutput(int32_t index, PinInfo* pin) {
    if (index < 0 || index >= kOutputCount || !pin) return false;
    std::snprintf(pin->label, kPinLabelBytes, "Oriv %1d", index + 1);
    pin->pinFlags = 3;
    return true;
}

bool MicroSynth::copyEffectName(char* text) {
    copyText(text, kProduct, kEffectNameMaxLength);
    return true;
}

bool MicroSynth::copyVendorName(char* text) {
    copyText(text, kVendor, kVendorNameMaxLength);
    return true;
}

bool MicroSynth::copyProductName(char* text) {
    copyText(text, kProduct, kProductNameMaxLength);
    return true;
}

intptr_t MicroSynth::handleVendorCall(int32_t index, intptr_t value, void* /*pointer*/,
                                      float option) {
    if (editor_ && index == kWheelVendorIndex && value == kWheelVendorValue)
        return editor_->handleWheel(option) ? 1 : 0;
    return 0;
}

int32_t MicroSynth::answerCapability(const char* text) {
    if (!text) return -1;
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0) return 1;
    return -1;
}
