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
#include <optional>
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

// Opcodes the interface leaves undefined: a plug-in must answer them with 0.
bool isUndefined(int32_t opcode) {
    constexpr int32_t kUndefined[] = {9,  16, 17, 18, 20, 21, 28, 30, 31,
                                      32, 36, 37, 43, 46, 53, 54, 55, 57};
    if (opcode < 0 || opcode > MidiOutputChannelQuery) return true;
    for (const int32_t undefined : kUndefined)
        if (undefined == opcode) return true;
    return false;
}

// Opcodes that reach the editor: 0 when there is none.
bool isEditorOpcode(int32_t opcode) {
    return opcode == EditorBoundsQuery || opcode == EditorDetach || opcode == EditorTick ||
           opcode == EditorKeyPress || opcode == EditorKeyRelease || opcode == EditorKnobModeChange;
}

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

    // Calls `opcode` with neutral arguments and returns the answer; nothing for the opcodes a
    // host does not send without particular knowledge.
    std::optional<intptr_t> call(int32_t opcode) {
        if (isSkipped(opcode)) return std::nullopt;
        intptr_t answer = 0;
        const bool hasParameters = instance_.parameterCount() > 0;
        std::fill(buffer_.begin(), buffer_.end(), 0);
        char* buffer = buffer_.data();
        switch (opcode) {
        case ProgramSelect:
            answer = instance_.dispatch(opcode, 0, instance_.dispatch(ProgramQuery));
            break;
        case ProgramRename:
            // The current name again.
            instance_.dispatch(ProgramNameQuery, 0, 0, buffer);
            buffer_[kNameBytes - 1] = 0;
            answer = instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterUnitQuery:
        case ParameterTextQuery:
        case ParameterTitleQuery:
        case AutomatableQuery:
            if (hasParameters) answer = instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterTextParse:
            std::strcpy(buffer, "0.5");
            if (hasParameters) answer = instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case ParameterPropertiesQuery: {
            ParameterProperties properties{};
            if (hasParameters) answer = instance_.dispatch(opcode, 0, 0, &properties);
            break;
        }
        case SampleRateChange:
            answer = instance_.dispatch(opcode, 0, 0, nullptr, instance_.sampleRate());
            break;
        case BlockSizeChange:
            answer = instance_.dispatch(opcode, 0, instance_.blockSize());
            break;
        case PowerChange:
            answer = instance_.dispatch(opcode, 0, 1);
            break;
        case EditorBoundsQuery: {
            EditorRect* rect = nullptr;
            answer = instance_.dispatch(opcode, 0, 0, &rect);
            break;
        }
        case StateExport:
            stateData_ = nullptr;
            answer = stateBytes_ = instance_.dispatch(opcode, 0, 0, &stateData_);
            if (stateBytes_ > 0 && stateData_ != nullptr)
                state_.assign(static_cast<const unsigned char*>(stateData_),
                              static_cast<const unsigned char*>(stateData_) + stateBytes_);
            break;
        case StateImport:
            if (!state_.empty())
                answer = instance_.dispatch(opcode, 0, static_cast<intptr_t>(state_.size()),
                                            state_.data());
            else
                answer = instance_.dispatch(opcode, 0, 0, buffer);
            break;
        case EventDelivery:
            answer = instance_.dispatch(opcode, 0, 0, emptyEvents_.block());
            break;
        case InputInfoQuery:
        case OutputInfoQuery: {
            PinInfo pin{};
            answer = instance_.dispatch(opcode, 0, 0, &pin);
            break;
        }
        case SpeakerLayoutApply:
            answer =
                instance_.dispatch(opcode, 0, reinterpret_cast<intptr_t>(inputLayout_.layout()),
                                   outputLayout_.layout());
            break;
        case SpeakerLayoutQuery: {
            SpeakerLayout* input = nullptr;
            SpeakerLayout* output = nullptr;
            answer = instance_.dispatch(opcode, 0, reinterpret_cast<intptr_t>(&input), &output);
            break;
        }
        case VendorPrivateCall:
            answer = instance_.dispatch(opcode, 0, 0, nullptr, 0.0f);
            break;
        case CapabilityQuery:
            answer = instance_.dispatch(opcode, 0, 0, buffer); // an empty text
            break;
        case PanLawChange:
            answer = instance_.dispatch(opcode, 0, 0, nullptr, 1.0f);
            break;
        default:
            // Everything else: zero arguments and a valid, zeroed buffer in case the plug-in
            // writes a text or reads a record.
            answer = instance_.dispatch(opcode, 0, 0, buffer);
            break;
        }
        return answer;
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
    const bool hasEditor = (instance.record().flagBits & FlagEditor) != 0;
    int called = 0;
    for (int32_t opcode = -1; opcode <= 100; ++opcode) {
        const std::optional<intptr_t> answer = neutral.call(opcode);
        if (!answer) continue;
        ++called;
        if (*answer != 0 && isUndefined(opcode))
            failCheck(textf("answers %lld to opcode %d, which the interface does not define",
                            static_cast<long long>(*answer), opcode));
        if (*answer != 0 && isEditorOpcode(opcode) && !hasEditor)
            failCheck(textf("answers %lld to editor opcode %d without reporting an editor",
                            static_cast<long long>(*answer), opcode));
    }
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
    return checkPassed(textf("%d opcodes called with neutral arguments%s (undefined ones answer "
                             "0), then rendered; skipped "
                             "%zu that need records only a host with more to say would build "
                             "(%s)",
                             called, probed ? " and out-of-range indexes" : "", std::size(kSkipped),
                             skipped.c_str()));
}
