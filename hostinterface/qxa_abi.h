// The QXA 2.4 binary interface: the records and codes that cross the boundary between a host
// and a plug-in. Plain fixed-layout structures only; every offset the interface fixes is
// asserted below. Both the plug-ins and qxahost include this header and nothing else of each
// other.
#pragma once

#include <cstddef>
#include <cstdint>

struct DescriptorRecord;

// Host side of the conversation: (effect, opcode, index, value, pointer, option) -> answer.
// `effect` is null while the entry function asks for the host's version.
using HostCallback = intptr_t (*)(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                  intptr_t value, void* pointer, float option);

using DispatchFunction = intptr_t (*)(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                      intptr_t value, void* pointer, float option);
using RenderFunction = void (*)(DescriptorRecord* effect, float** inputs, float** outputs,
                                int32_t frames);
using RenderDoubleFunction = void (*)(DescriptorRecord* effect, double** inputs, double** outputs,
                                      int32_t frames);
using WriteParameterFunction = void (*)(DescriptorRecord* effect, int32_t index, float value);
using ReadParameterFunction = float (*)(DescriptorRecord* effect, int32_t index);

// The entry function every plug-in exports as `QXAPluginMain`.
using PluginEntryFunction = DescriptorRecord* (*)(HostCallback host);

// Four ASCII characters packed big-endian into an int32 ('Q','x','a','P' -> 0x51786150).
constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kDescriptorSignature = fourCharCode('Q', 'x', 'a', 'P');
constexpr int32_t kDefaultPluginId = fourCharCode('N', 'o', 'E', 'f');
constexpr int32_t kIdentityProbeAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr int32_t kInterfaceVersion = 2400;
// The host's mouse-wheel vendor call: index 'kwTo', value 'Whee', option = distance.
constexpr int32_t kWheelVendorIndex = fourCharCode('k', 'w', 'T', 'o');
constexpr int32_t kWheelVendorValue = fourCharCode('W', 'h', 'e', 'e');
// A diagnostic vendor call that plug-ins with a toolkit editor answer: index 'QxGu', value
// 'Live', pointer = an int32_t that receives the number of live toolkit objects; answer 1 (0 when
// the plug-in has no such count). Hosts use it to see whether editors leak.
constexpr int32_t kToolkitQueryIndex = fourCharCode('Q', 'x', 'G', 'u');
constexpr int32_t kToolkitLiveObjectsValue = fourCharCode('L', 'i', 'v', 'e');

// Capability bits of DescriptorRecord::flagBits.
enum DescriptorFlag : int32_t {
    FlagEditor = 1 << 0,
    FlagClipMeter = 1 << 1,
    FlagLevelMeter = 1 << 2,
    FlagMonoCapable = 1 << 3,
    FlagReplacing = 1 << 4,
    FlagStateBlocks = 1 << 5,
    FlagInstrument = 1 << 8,
    FlagSilentWhenStopped = 1 << 9,
    FlagAsync = 1 << 10,
    FlagExternalBuffer = 1 << 11,
    FlagReplacingDouble = 1 << 12,
};

// The record the entry function hands to the host; embedded in the effect object.
struct DescriptorRecord {
    int32_t signature;
    int32_t padding0;
    DispatchFunction dispatchFn;
    RenderFunction accumulateFn;
    WriteParameterFunction writeParameterFn;
    ReadParameterFunction readParameterFn;
    int32_t programCount;
    int32_t parameterCount;
    int32_t inputCount;
    int32_t outputCount;
    int32_t flagBits;
    int32_t padding1;
    intptr_t hostReserved1;
    intptr_t hostReserved2;
    int32_t startupLatency;
    int32_t realtimeQualityHint;
    int32_t offlineQualityHint;
    float ioRatioHint;
    void* owner;
    void* hostData;
    int32_t pluginId;
    int32_t pluginVersion;
    RenderFunction replaceFn;
    RenderDoubleFunction replaceDoubleFn;
    uint8_t spare[56];
};

static_assert(sizeof(void*) == 8, "the QXA records are laid out for 64-bit pointers");
static_assert(offsetof(DescriptorRecord, signature) == 0);
static_assert(offsetof(DescriptorRecord, dispatchFn) == 8);
static_assert(offsetof(DescriptorRecord, accumulateFn) == 16);
static_assert(offsetof(DescriptorRecord, writeParameterFn) == 24);
static_assert(offsetof(DescriptorRecord, readParameterFn) == 32);
static_assert(offsetof(DescriptorRecord, programCount) == 40);
static_assert(offsetof(DescriptorRecord, parameterCount) == 44);
static_assert(offsetof(DescriptorRecord, inputCount) == 48);
static_assert(offsetof(DescriptorRecord, outputCount) == 52);
static_assert(offsetof(DescriptorRecord, flagBits) == 56);
static_assert(offsetof(DescriptorRecord, hostReserved1) == 64);
static_assert(offsetof(DescriptorRecord, hostReserved2) == 72);
static_assert(offsetof(DescriptorRecord, startupLatency) == 80);
static_assert(offsetof(DescriptorRecord, realtimeQualityHint) == 84);
static_assert(offsetof(DescriptorRecord, offlineQualityHint) == 88);
static_assert(offsetof(DescriptorRecord, ioRatioHint) == 92);
static_assert(offsetof(DescriptorRecord, owner) == 96);
static_assert(offsetof(DescriptorRecord, hostData) == 104);
static_assert(offsetof(DescriptorRecord, pluginId) == 112);
static_assert(offsetof(DescriptorRecord, pluginVersion) == 116);
static_assert(offsetof(DescriptorRecord, replaceFn) == 120);
static_assert(offsetof(DescriptorRecord, replaceDoubleFn) == 128);
static_assert(offsetof(DescriptorRecord, spare) == 136);
static_assert(sizeof(DescriptorRecord) == 192);

// Host -> plug-in opcodes (the dispatcher's `opcode`).
enum PluginRequest : int32_t {
    Initialise = 0,
    Shutdown = 1,
    ProgramSelect = 2,
    ProgramQuery = 3,
    ProgramRename = 4,
    ProgramNameQuery = 5,
    ParameterUnitQuery = 6,
    ParameterTextQuery = 7,
    ParameterTitleQuery = 8,
    SampleRateChange = 10,
    BlockSizeChange = 11,
    PowerChange = 12,
    EditorBoundsQuery = 13,
    EditorAttach = 14,
    EditorDetach = 15,
    EditorTick = 19,
    IdentityProbe = 22,
    StateExport = 23,
    StateImport = 24,
    EventDelivery = 25,
    AutomatableQuery = 26,
    ParameterTextParse = 27,
    IndexedProgramNameQuery = 29,
    InputInfoQuery = 33,
    OutputInfoQuery = 34,
    CategoryQuery = 35,
    OfflineNotice = 38,
    OfflinePreparation = 39,
    OfflineExecution = 40,
    VariableIoRender = 41,
    SpeakerLayoutApply = 42,
    BypassChange = 44,
    EffectNameQuery = 45,
    VendorNameQuery = 47,
    ProductNameQuery = 48,
    VendorVersionQuery = 49,
    VendorPrivateCall = 50,
    CapabilityQuery = 51,
    TailLengthQuery = 52,
    ParameterPropertiesQuery = 56,
    InterfaceVersionQuery = 58,
    EditorKeyPress = 59,
    EditorKeyRelease = 60,
    EditorKnobModeChange = 61,
    MidiProgramNameQuery = 62,
    MidiProgramCurrentQuery = 63,
    MidiProgramCategoryQuery = 64,
    MidiProgramsChangedQuery = 65,
    MidiKeyNameQuery = 66,
    ProgramChangeOpening = 67,
    ProgramChangeClosing = 68,
    SpeakerLayoutQuery = 69,
    ShellEntryQuery = 70,
    ProcessingBegin = 71,
    ProcessingEnd = 72,
    TotalSamplesNotice = 73,
    PanLawChange = 74,
    BankLoadOpening = 75,
    ProgramLoadOpening = 76,
    PrecisionChange = 77,
    MidiInputChannelQuery = 78,
    MidiOutputChannelQuery = 79,
};

// Plug-in -> host requests (the callback's `opcode`).
enum HostRequest : int32_t {
    ParameterChanged = 0,
    HostVersion = 1,
    LoadingId = 2,
    GiveTime = 3,
    IsPinLinked = 4,
    RequestEvents = 6,
    TransportInfo = 7,
    EventsToHost = 8,
    TempoAtPosition = 10,
    AutomatableCount = 11,
    ParameterSteps = 12,
    LayoutChanged = 13,
    WantsIdle = 14,
    ResizeWindow = 15,
    HostSampleRate = 16,
    HostBlockSize = 17,
    InputDelay = 18,
    OutputDelay = 19,
    UpstreamEffect = 20,
    DownstreamEffect = 21,
    ReplaceOrAccumulate = 22,
    CallingContext = 23,
    AutomationMode = 24,
    OfflineBegin = 25,
    OfflineFetch = 26,
    OfflineStore = 27,
    OfflinePassIndex = 28,
    OfflineMetaPassIndex = 29,
    ProposeOutputRate = 30,
    OutputSpeakers = 31,
    HostMaker = 32,
    HostName = 33,
    HostMakerVersion = 34,
    HostPrivateCall = 35,
    HostSupports = 37,
    HostUiLanguage = 38,
    WindowOpen = 39,
    WindowClose = 40,
    PluginFolder = 41,
    DisplayRefresh = 42,
    GestureBegin = 43,
    GestureEnd = 44,
    FileDialogOpen = 45,
    FileDialogClose = 46,
    StateFilePath = 48,
    InputSpeakers = 49,
};

// Every event record starts with this header.
struct EventHeader {
    int32_t type; // 1 = MIDI event
    int32_t byteSize;
    int32_t deltaFrames; // position inside the next render block, in samples
    int32_t flags;
};

constexpr int32_t kMidiEventType = 1;

struct MidiEventRecord {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    uint8_t midiData[4]; // status, data 1, data 2, 0
    int8_t detune;       // cents
    uint8_t noteOffVelocity;
    uint8_t reserved[2];
};

static_assert(offsetof(MidiEventRecord, deltaFrames) == 8);
static_assert(offsetof(MidiEventRecord, noteLength) == 16);
static_assert(offsetof(MidiEventRecord, midiData) == 24);
static_assert(offsetof(MidiEventRecord, detune) == 28);
static_assert(offsetof(MidiEventRecord, noteOffVelocity) == 29);
static_assert(sizeof(MidiEventRecord) == 32);

// A block of events: the host allocates room for `count` pointers after the header.
struct EventBlock {
    int32_t count;
    int32_t padding;
    intptr_t reserved;
    EventHeader* events[2];
};

static_assert(offsetof(EventBlock, count) == 0);
static_assert(offsetof(EventBlock, reserved) == 8);
static_assert(offsetof(EventBlock, events) == 16);

constexpr int32_t kTimeInfoTempoValid = 0x400;

// Transport information answered by the host. Only the tempo and the validity flags are read by
// the plug-ins; the remaining bytes belong to the host.
struct TimeInfoRecord {
    double samplePosition;
    double sampleRate;
    uint8_t reserved0[16];
    double tempo; // beats per minute
    uint8_t reserved1[44];
    int32_t flags; // kTimeInfoTempoValid marks `tempo` as valid
    uint8_t reserved2[8];
};

static_assert(offsetof(TimeInfoRecord, tempo) == 32);
static_assert(offsetof(TimeInfoRecord, flags) == 84);
static_assert(sizeof(TimeInfoRecord) == 96);

constexpr int32_t kPinLabelBytes = 64;

// Pin description filled by describeInput/describeOutput; the host owns it.
struct PinInfo {
    char label[kPinLabelBytes];
    int32_t pinFlags;
    uint8_t reserved[60];
};

static_assert(offsetof(PinInfo, label) == 0);
static_assert(offsetof(PinInfo, pinFlags) == 64);

struct SpeakerInfo {
    float values[4];
    char name[64];
    int32_t type;
    uint8_t reserved[28];
};

static_assert(offsetof(SpeakerInfo, name) == 16);
static_assert(offsetof(SpeakerInfo, type) == 80);
static_assert(offsetof(SpeakerInfo, reserved) == 84);
static_assert(sizeof(SpeakerInfo) == 112);

// A speaker layout is `8 + 112 x speakerCount` bytes; `speakers` runs past its declared length.
struct SpeakerLayout {
    int32_t layoutType;
    int32_t speakerCount;
    SpeakerInfo speakers[2];
};

constexpr size_t speakerLayoutBytes(int32_t count) {
    return offsetof(SpeakerLayout, speakers) + sizeof(SpeakerInfo) * static_cast<size_t>(count);
}

static_assert(offsetof(SpeakerLayout, speakerCount) == 4);
static_assert(offsetof(SpeakerLayout, speakers) == 8);
static_assert(speakerLayoutBytes(2) == 232);

// The host's parameter-properties record (opcode 56). No plug-in here fills it, so its
// contents are opaque.
struct ParameterProperties {
    uint8_t reserved[128];
};

// The editor's size as the host reads it.
struct EditorRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

static_assert(offsetof(EditorRect, left) == 2);
static_assert(offsetof(EditorRect, right) == 6);
static_assert(sizeof(EditorRect) == 8);

// A key event as the dispatcher hands it to the editor.
struct KeyRecord {
    int32_t character;
    uint8_t virtualKey;
    uint8_t modifiers;
};

static_assert(offsetof(KeyRecord, virtualKey) == 4);
static_assert(offsetof(KeyRecord, modifiers) == 5);
