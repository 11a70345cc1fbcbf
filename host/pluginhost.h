// PluginHost: qxahost's side of the QXA conversation. Loads a plug-in library, builds one
// instance through its entry function, answers its host requests (version 2400, sample rate,
// block size, transport tempo, idle, capabilities) and offers typed wrappers around the
// dispatcher. Depends on nothing of the plug-ins but the binary interface.
#pragma once

#include "parameter_names.h"
#include "qxa_abi.h"

#include <memory>
#include <string>
#include <vector>

// A four-character code as text ('QxaP'); bytes outside printable ASCII appear as '?'.
std::string fourCharText(int32_t code);

// The answers every host here gives alike, whoever asks: version, pins, events and idle,
// transport, rate and size, replacing, names and capabilities. Anything else answers 0.
// Texts are written bounded to 64 bytes, what every host of this interface gives.
struct HostAnswers {
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
    TimeInfoRecord* timeInfo = nullptr; // null: no transport information
    const char* productName = "qxahost";
};
intptr_t answerHostRequest(int32_t opcode, void* pointer, const HostAnswers& answers);

// A loaded library (LoadLibrary / dlopen). Platform code lives in library_*.cpp.
class PluginLibrary {
public:
    // Null with `error` set when the file is missing or not a loadable library.
    static std::unique_ptr<PluginLibrary> open(const std::string& path, std::string& error);
    ~PluginLibrary();
    // The exported function of that name, or null.
    void* symbol(const char* name) const;

private:
    explicit PluginLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

// What the host answers to the plug-in's requests; read on every request, so a caller may
// change it between blocks (for example the tempo from a MIDI file's tempo map).
struct HostTransport {
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
    double tempo = 0.0; // beats per minute; 0 = no tempo is reported
    double samplePosition = 0.0;
};

// Told of each request a plug-in sends, on the thread that sends it, before it is answered.
class HostRequestListener {
public:
    virtual void hostRequest(int32_t opcode, int32_t index, intptr_t value, float option) = 0;

protected:
    ~HostRequestListener() = default;
};

class PluginInstance {
public:
    // Loads the library and builds one instance. Null with a one-line `error` for a missing
    // file, a library without QXAPluginMain, a refused entry (null record), a wrong signature
    // or an exception thrown out of the entry function.
    static std::unique_ptr<PluginInstance> load(const std::string& path, std::string& error);
    // Sends Shutdown (unless already shut down) and unloads the library.
    ~PluginInstance();

    DescriptorRecord* record() const { return record_; }
    HostTransport& transport() { return transport_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* pointer = nullptr, float option = 0.0f);

    // Initialise, sample rate, block size, power on, processing begin: what a host does before
    // the first render call. stop() is the reverse (processing end, power off).
    void start(float sampleRate, int32_t blockSize);
    void stop();

    bool isInstrument() const { return (record_->flagBits & FlagInstrument) != 0; }
    int32_t inputCount() const { return record_->inputCount; }
    int32_t outputCount() const { return record_->outputCount; }
    int32_t parameterCount() const { return record_->parameterCount; }
    int32_t programCount() const { return record_->programCount; }

    // Text queries; each reads into a generous zeroed buffer and cuts at the first NUL.
    std::string effectName();
    std::string vendorName();
    std::string productName();
    std::string parameterTitle(int32_t index);
    std::string parameterUnit(int32_t index);
    std::string parameterText(int32_t index);
    std::string programName();                     // of the current program
    std::string indexedProgramName(int32_t index); // empty when refused
    float parameterValue(int32_t index);
    void setParameter(int32_t index, float value);
    void selectProgram(int32_t program);

    // Null stops the reports. The listener must outlive the instance or be removed first.
    void setRequestListener(HostRequestListener* listener) { listener_ = listener; }

    // Every name a parameter goes by: its title (trimmed), then the editor captions this host
    // knows for the plug-in (parameter_names.h).
    std::vector<ParameterName> parameterNames();
    // Parameter index from an index or a name (case and every blank ignored); -1 when none.
    int32_t findParameter(const std::string& nameOrIndex);

    // Renders one block through replaceFn. Instruments receive null inputs.
    void renderReplacing(float** inputs, float** outputs, int32_t frames);
    // Delivers MIDI events (EventDelivery) for the next render call.
    void sendMidi(const std::vector<MidiEventRecord>& events);

    // The host callback given to every instance; public for tests.
    static intptr_t hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                 intptr_t value, void* pointer, float option);

private:
    PluginInstance() = default;
    std::string readText(int32_t opcode, int32_t index = 0);

    std::unique_ptr<PluginLibrary> library_;
    DescriptorRecord* record_ = nullptr;
    HostTransport transport_;
    TimeInfoRecord timeInfo_{};
    std::vector<MidiEventRecord> midiEvents_; // storage behind the last EventDelivery
    std::vector<unsigned char> eventBlock_;
    HostRequestListener* listener_ = nullptr;
    bool started_ = false;
    bool shutDown_ = false;
};
