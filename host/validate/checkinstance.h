// The validator's own host: CheckLibrary loads a plug-in library once, CheckInstance builds one
// instance through its entry function and drives the record directly. Unlike qxahost's
// PluginInstance it can build many instances from one loaded library, act as a host that
// answers nothing, and count the requests each instance sends.
#pragma once

#include "pluginhost.h"
#include "qxa_abi.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

class CheckLibrary {
public:
    // Null with a one-line `error` for a missing file, a library that does not load or one
    // without the QXAPluginMain export.
    static std::unique_ptr<CheckLibrary> open(const std::string& path, std::string& error);

    PluginEntryFunction entry() const { return entry_; }
    const std::string& path() const { return path_; }

private:
    CheckLibrary() = default;
    std::unique_ptr<PluginLibrary> library_;
    PluginEntryFunction entry_ = nullptr;
    std::string path_;
};

class CheckInstance {
public:
    enum class HostKind {
        Answering, // answers like a host that renders in real time at 120 beats per minute
        Silent,    // answers 0 to every request, the version request included
    };

    // Calls the entry function and sends Initialise. Null with a one-line `error` when no
    // usable record comes back (then nothing is left to shut down).
    static std::unique_ptr<CheckInstance> create(const CheckLibrary& library, std::string& error,
                                                 HostKind kind = HostKind::Answering);
    // Suspends and shuts the instance down unless that has been done.
    ~CheckInstance();
    CheckInstance(const CheckInstance&) = delete;
    CheckInstance& operator=(const CheckInstance&) = delete;

    DescriptorRecord& record() const { return *record_; }
    bool isInstrument() const { return (record_->flagBits & FlagInstrument) != 0; }
    int32_t inputCount() const { return record_->inputCount; }
    int32_t outputCount() const { return record_->outputCount; }
    int32_t parameterCount() const { return record_->parameterCount; }
    int32_t programCount() const { return record_->programCount; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* pointer = nullptr, float option = 0.0f);

    // What hosts do around a change of rate or size: suspend (processing end, power off) if
    // running, send the sample rate and block size, then resume (power on, processing begin).
    void prepare(float sampleRate, int32_t blockSize);
    void suspend();
    void resume();
    bool isRunning() const { return running_; }
    float sampleRate() const { return sampleRate_; }
    int32_t blockSize() const { return blockSize_; }

    // Render thread.
    void render(float** inputs, float** outputs, int32_t frames) {
        record_->replaceFn(record_, inputs, outputs, frames);
    }
    void deliverEvents(EventBlock* events) { dispatch(EventDelivery, 0, 0, events); }

    void writeParameter(int32_t index, float value) {
        record_->writeParameterFn(record_, index, value);
    }
    float readParameter(int32_t index) { return record_->readParameterFn(record_, index); }

    // Sends Shutdown now and returns its answer; the record is gone afterwards.
    intptr_t shutdown();

    // Requests this instance has sent, by HostRequest code (any thread).
    int64_t requestCount(int32_t opcode) const;

    // The host callback of every check instance.
    static intptr_t hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                 intptr_t value, void* pointer, float option);

private:
    static constexpr int32_t kCountedRequests = 64;

    CheckInstance() = default;

    DescriptorRecord* record_ = nullptr;
    HostKind kind_ = HostKind::Answering;
    bool running_ = false;
    bool shutDown_ = false;
    float sampleRate_ = 44100.0f;
    int32_t blockSize_ = 1024;
    // Answered to TransportInfo; written only while nothing renders.
    TimeInfoRecord timeInfo_{};
    std::array<std::atomic<int64_t>, kCountedRequests> requests_{};
};
