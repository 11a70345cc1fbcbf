// Check 11: every opcode from -1 to 100 through the dispatcher, with the arguments a host
// would pass when it has nothing particular to say: the current values, valid buffers and
// records, null where the pointer carries nothing. Opcodes whose pointer must be a record the
// host builds from outside knowledge (a window, offline tasks, MIDI program descriptions,
// bank data) are left out; the editor check opens the editor.
#include "check_support.h"
#include "checkrandom.h"
#include "renderrig.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {

struct SkippedOpcode {
    int32_t opcode;
    const char* why;
};

constexpr SkippedOpcode kSkipped[] = {
    {Shutdown, "ends the instance"},
    {EditorAttach, "needs a window"},
    {OfflineNotice, "needs offline file records"},
    {OfflinePreparation, "needs offline task records"},
    {OfflineExecution, "needs offline task records"},
    {VariableIoRender, "needs a variable-I/O record"},
    {MidiProgramNameQuery, "needs a MIDI program record"},
    {MidiProgramCurrentQuery, "needs a MIDI program record"},
    {MidiProgramCategoryQuery, "needs a MIDI category record"},
    {MidiKeyNameQuery, "needs a MIDI key-name record"},
    {BankLoadOpening, "needs bank data"},
    {ProgramLoadOpening, "needs program data"},
};

bool isSkipped(int32_t opcode) {
    for (const SkippedOpcode& skipped : kSkipped)
        if (skipped.opcode == opcode) return true;
    return false;
}

// A speaker layout with room for the pins of one direction, zeroed.
struct LayoutStorage {
    explicit LayoutStorage(int32_t speakers) : bytes(speakerLayoutBytes(std::max(speakers, 1)), 0) {
        layout()->speakerCount = speakers;
    }
    SpeakerLayout* layout() { return reinterpret_cast<SpeakerLayout*>(bytes.data()); }
    std::vector<unsigned char> bytes;
};

class NeutralDispatcher {
public:
    explicit NeutralDispatcher(CheckInstance& instance)
        : instance_(instance), buffer_(kBufferBytes, 0), inputLayout_(instance.inputCount()),
          outputLayout_(instance.outputCount()) {}

    // Calls `opcode` with neutral arguments; false when it is one the host does not send
    // without particular knowledge.
    bool call(int32_t opcode) {
        if (isSkipped(opcode)) return false;
        const bool hasParameters = instance_.parameterCount() > 0;
        std::fill(buffer_.begin(), buffer_.end(), 0);
        char* buffer = buffer_.data();
        switch (opcode) {
        case ProgramSelect:
            instance_.dispatch(opcode, 0, instance_.dispatch(ProgramQuery));
            break;
        case ProgramRename:
            // The current name again.
            instance_.dispatch(ProgramNameQuery, 0, 0, buffer);
            buffer_[kNameBytes - 1] = 0;
            instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterUnitQuery:
        case ParameterTextQuery:
        case ParameterTitleQuery:
        case AutomatableQuery:
            if (hasParameters) instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterTextParse:
            std::strcpy(buffer, "0.5");
            if (hasParameters) instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterPropertiesQuery: {
            ParameterProperties properties{};
            if (hasParameters) instance_.dispatch(opcode, 0, 0, &properties);
            break;
        }
        case SampleRateChange:
            instance_.dispatch(opcode, 0, 0, nullptr, instance_.sampleRate());
            break;
        case BlockSizeChange:
            instance_.dispatch(opcode, 0, instance_.blockSize());
            break;
        case PowerChange:
            instance_.dispatch(opcode, 0, 1);
            break;
        case EditorBoundsQuery: {
            EditorRect* rect = nullptr;
            instance_.dispatch(opcode, 0, 0, &rect);
            break;
        }
        case StateExport:
            stateData_ = nullptr;
            stateBytes_ = instance_.dispatch(opcode, 0, 0, &stateData_);
            if (stateBytes_ > 0 && stateData_ != nullptr)
                state_.assign(static_cast<const unsigned char*>(stateData_),
                              static_cast<const unsigned char*>(stateData_) + stateBytes_);
            break;
        case StateImport:
            if (!state_.empty())
                instance_.dispatch(opcode, 0, static_cast<intptr_t>(state_.size()), state_.data());
            else
                instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case EventDelivery:
            instance_.dispatch(opcode, 0, 0, emptyEvents_.block());
            break;
        case InputInfoQuery:
        case OutputInfoQuery: {
            PinInfo pin{};
            instance_.dispatch(opcode, 0, 0, &pin);
            break;
        }
        case SpeakerLayoutApply:
            instance_.dispatch(opcode, 0, reinterpret_cast<intptr_t>(inputLayout_.layout()),
                               outputLayout_.layout());
            break;
        case SpeakerLayoutQuery: {
            SpeakerLayout* input = nullptr;
            SpeakerLayout* output = nullptr;
            instance_.dispatch(opcode, 0, reinterpret_cast<intptr_t>(&input), &output);
            break;
        }
        case VendorPrivateCall:
            instance_.dispatch(opcode, 0, 0, nullptr, 0.0f);
            break;
        case CapabilityQuery:
            instance_.dispatch(opcode, 0, 0, buffer); // an empty text
            break;
        case PanLawChange:
            instance_.dispatch(opcode, 0, 0, nullptr, 1.0f);
            break;
        default:
            // Everything else: zero arguments and a valid, zeroed buffer in case the plug-in
            // writes a text or reads a record.
            instance_.dispatch(opcode, 0, 0, buffer);
            break;
        }
        return true;
    }

private:
    static constexpr size_t kBufferBytes = 4096;
    static constexpr size_t kNameBytes = 256;

    CheckInstance& instance_;
    std::vector<char> buffer_;
    LayoutStorage inputLayout_;
    LayoutStorage outputLayout_;
    EventList emptyEvents_{1};
    void* stateData_ = nullptr;
    intptr_t stateBytes_ = 0;
    std::vector<unsigned char> state_;
};

// Indexes outside every range, for the opcodes that take a parameter, program or pin number.
void probeIndexes(CheckInstance& instance) {
    constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
    constexpr int32_t kHighest = std::numeric_limits<int32_t>::max();
    std::vector<char> buffer(4096, 0);
    const int32_t parameters = instance.parameterCount();
    for (const int32_t opcode : {ParameterUnitQuery, ParameterTextQuery, ParameterTitleQuery,
                                 AutomatableQuery, ParameterTextParse, ParameterPropertiesQuery})
        for (const int32_t index : {-1, parameters, parameters + 1, kHighest, kLowest}) {
            std::fill(buffer.begin(), buffer.end(), 0);
            if (opcode == ParameterTextParse) std::strcpy(buffer.data(), "0.5");
            instance.dispatch(opcode, index, 0, buffer.data());
        }
    for (const int32_t index : {-1, instance.programCount(), kHighest, kLowest})
        instance.dispatch(IndexedProgramNameQuery, index, 0, buffer.data());
    for (const int32_t index : {-1, instance.inputCount(), 1000, kLowest}) {
        PinInfo pin{};
        instance.dispatch(InputInfoQuery, index, 0, &pin);
    }
    for (const int32_t index : {-1, instance.outputCount(), 1000, kLowest}) {
        PinInfo pin{};
        instance.dispatch(OutputInfoQuery, index, 0, &pin);
    }
    const intptr_t program = instance.dispatch(ProgramQuery);
    for (const intptr_t value : {intptr_t{-1}, static_cast<intptr_t>(instance.programCount()),
                                 static_cast<intptr_t>(kLowest)})
        instance.dispatch(ProgramSelect, 0, value);
    instance.dispatch(ProgramSelect, 0, program);
}

} // namespace

CheckOutcome runDispatcherCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    CheckRandom random(settings.seed);
    instance.prepare(44100.0f, 512);
    const DispatchFunction dispatcher = instance.record().dispatchFn;

    NeutralDispatcher neutral(instance);
    int called = 0;
    for (int32_t opcode = -1; opcode <= 100; ++opcode)
        if (neutral.call(opcode)) ++called;
    const bool probed = settings.strictness >= 6;
    if (probed) probeIndexes(instance);

    if (instance.record().signature != kDescriptorSignature ||
        instance.record().dispatchFn != dispatcher)
        failCheck("the record's signature or dispatcher changed during the opcode sweep");

    // The instance must still work: set up again and render.
    instance.suspend();
    instance.prepare(44100.0f, 512);
    RenderRig rig(instance, 512, random.next());
    if (instance.isInstrument()) rig.events().noteOn(0, 0, 60, 100);
    for (int block = 0; block < 8; ++block)
        rig.render(512, "44100 Hz, block 512, after the opcode sweep");

    std::string skipped;
    for (const SkippedOpcode& skip : kSkipped)
        skipped += textf("%s%d", skipped.empty() ? "" : " ", skip.opcode);
    return checkPassed(textf("%d opcodes called with neutral arguments%s, then rendered; skipped "
                             "%zu that need records only a host with more to say would build "
                             "(%s)",
                             called, probed ? " and out-of-range indexes" : "", std::size(kSkipped),
                             skipped.c_str()));
}
