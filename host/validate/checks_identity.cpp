// Checks 1 and 2: what the plug-in says about itself, and building and ending instances.
#include "check_support.h"
#include "checkrandom.h"
#include "memory_usage.h"
#include "renderrig.h"
#include "text_query.h"
#include "validation.h"

#include <chrono>
#include <cstring>

namespace {

constexpr int32_t kMaximumChannels = 64;
constexpr int32_t kMaximumParameters = 10000;
constexpr int32_t kMaximumPrograms = 10000;

// A name the plug-in reports: a text that fits `capacity` bytes. With `strict`, the buffer is
// exactly that large, so a terminator stored beyond the text's end is caught too; otherwise the
// buffer is generous and only the text's length is judged.
TextReply queryName(CheckInstance& instance, int32_t opcode, const char* what, size_t capacity,
                    bool strict) {
    const TextReply reply =
        queryText(instance, opcode, 0, 0, strict ? capacity : kGenerousTextBytes);
    if (!reply.misfit.empty()) failCheck(textf("the %s %s", what, reply.misfit.c_str()));
    if (reply.text.size() >= capacity)
        failCheck(textf("the %s has %zu characters, more than a %zu-byte buffer holds", what,
                        reply.text.size(), capacity));
    return reply;
}

std::string requireName(CheckInstance& instance, int32_t opcode, const char* what, size_t capacity,
                        bool strict) {
    const TextReply reply = queryName(instance, opcode, what, capacity, strict);
    if (reply.answer == 0 || reply.text.empty())
        failCheck(textf("the plug-in reports no %s (opcode %d)", what, opcode));
    return reply.text;
}

void checkRecord(const DescriptorRecord& record) {
    if (record.replaceFn == nullptr || record.writeParameterFn == nullptr ||
        record.readParameterFn == nullptr)
        failCheck("the record lacks a render, parameter write or parameter read function");
    if ((record.flagBits & FlagReplacing) == 0)
        failCheck("FlagReplacing is not set, but the replacing render is the only one hosts use");
    if ((record.flagBits & FlagReplacingDouble) != 0 && record.replaceDoubleFn == nullptr)
        failCheck("FlagReplacingDouble is set but the record has no double-precision render");
    if (record.programCount < 0 || record.programCount > kMaximumPrograms ||
        record.parameterCount < 0 || record.parameterCount > kMaximumParameters)
        failCheck(textf("implausible counts: %d programs, %d parameters", record.programCount,
                        record.parameterCount));
    if (record.inputCount < 0 || record.inputCount > kMaximumChannels || record.outputCount < 1 ||
        record.outputCount > kMaximumChannels)
        failCheck(textf("implausible pin counts: %d inputs, %d outputs", record.inputCount,
                        record.outputCount));
    if (record.startupLatency < 0)
        failCheck(textf("negative start-up latency %d", record.startupLatency));
    if (record.pluginId == 0 || record.pluginId == kDefaultPluginId)
        failCheck(textf("the unique id is still the placeholder '%s'",
                        fourCharText(record.pluginId).c_str()));
    if (record.pluginVersion <= 0)
        failCheck(textf("the record's plug-in version is %d", record.pluginVersion));
}

// Existing pins may describe themselves (with a label that fits); pins beyond the count must
// be refused.
void checkPins(CheckInstance& instance, int32_t opcode, int32_t count, const char* direction) {
    for (int32_t pin = 0; pin <= count; ++pin) {
        PinInfo info;
        std::memset(&info, 0xA5, sizeof(info));
        const intptr_t answer = instance.dispatch(opcode, pin, 0, &info);
        if (pin == count) {
            if (answer != 0)
                failCheck(textf("describes %s pin %d although it has %d", direction, pin, count));
            break;
        }
        if (answer != 0 && std::memchr(info.label, 0, sizeof(info.label)) == nullptr)
            failCheck(textf("the label of %s pin %d has no NUL within its %d bytes", direction, pin,
                            kPinLabelBytes));
    }
}

} // namespace

CheckOutcome runIdentityCheck(const CheckSettings& settings) {
    auto library = openLibraryOrFail(settings);
    auto instance = createInstanceOrFail(*library);
    const DescriptorRecord& record = instance->record();
    checkRecord(record);

    const intptr_t probe = instance->dispatch(IdentityProbe);
    if (probe != kIdentityProbeAnswer)
        failCheck(textf("the identity probe (opcode 22) answers 0x%llX, not 'NvEf'",
                        static_cast<unsigned long long>(probe)));
    const intptr_t interfaceVersion = instance->dispatch(InterfaceVersionQuery);
    if (interfaceVersion < kInterfaceVersion)
        failCheck(textf("reports interface version %lld, below %d",
                        static_cast<long long>(interfaceVersion), kInterfaceVersion));

    const bool strictNames = settings.strictness >= 7;
    const std::string name = requireName(*instance, EffectNameQuery, "effect name",
                                         hostBufferBytes(kEffectNameMaxLength), strictNames);
    const std::string vendor = requireName(*instance, VendorNameQuery, "vendor",
                                           hostBufferBytes(kVendorNameMaxLength), strictNames);
    queryName(*instance, ProductNameQuery, "product name", hostBufferBytes(kProductNameMaxLength),
              strictNames);
    const intptr_t vendorVersion = instance->dispatch(VendorVersionQuery);
    if (vendorVersion == 0)
        failCheck("the plug-in reports no vendor version (opcode 49 answers 0)");

    // The category and the pins must agree with what the plug-in is.
    const bool instrument = instance->isInstrument();
    const intptr_t category = instance->dispatch(CategoryQuery);
    if (instrument) {
        if (category != 2)
            failCheck(textf("an instrument that reports category %lld, not 2",
                            static_cast<long long>(category)));
        if (record.inputCount != 0)
            failCheck(textf("an instrument with %d audio inputs", record.inputCount));
        char receiveMidi[] = "receiveQxaMidiEvent";
        char receiveEvents[] = "receiveQxaEvents";
        if (instance->dispatch(CapabilityQuery, 0, 0, receiveMidi) != 1 &&
            instance->dispatch(CapabilityQuery, 0, 0, receiveEvents) != 1)
            failCheck("an instrument that answers neither \"receiveQxaMidiEvent\" nor "
                      "\"receiveQxaEvents\" with 1, so hosts send it no notes");
    } else {
        if (category == 2) failCheck("reports category 2 (instrument) without FlagInstrument");
        if (category <= 0)
            failCheck(
                textf("an effect that reports category %lld", static_cast<long long>(category)));
        if (record.inputCount == 0) failCheck("an effect without audio inputs");
    }
    checkPins(*instance, InputInfoQuery, record.inputCount, "input");
    checkPins(*instance, OutputInfoQuery, record.outputCount, "output");

    if ((record.flagBits & FlagStateBlocks) != 0) {
        void* data = nullptr;
        const intptr_t size = instance->dispatch(StateExport, 0, 0, &data);
        if (size <= 0 || data == nullptr)
            failCheck("FlagStateBlocks is set but exporting the state gives no data");
    }

    // Each entry call builds an independent instance.
    auto second = createInstanceOrFail(*library);
    if (&second->record() == &instance->record())
        failCheck("a second entry call returned the first instance's record");

    // A host that answers nothing, not even its version: refusing to load is sound, and a
    // record that comes back anyway must be a whole one that shuts down.
    std::string silentError;
    auto silent = CheckInstance::create(*library, silentError, CheckInstance::HostKind::Silent);
    if (!silent && silentError != "the entry function returned no record")
        failCheck("under a host that answers nothing: " + silentError);
    const char* silentBehaviour = silent ? "loads" : "refuses to load";
    silent.reset();
    second.reset();

    return checkPassed(textf(
        "%s by %s, version 0x%llX, id '%s', %s (category %lld), %d in / %d out, %d parameters, "
        "%d programs, flags 0x%X; %s under a host that answers nothing",
        name.c_str(), vendor.c_str(), static_cast<unsigned long long>(vendorVersion),
        fourCharText(record.pluginId).c_str(), instrument ? "instrument" : "effect",
        static_cast<long long>(category), record.inputCount, record.outputCount,
        record.parameterCount, record.programCount, static_cast<unsigned>(record.flagBits),
        silentBehaviour));
}

CheckOutcome runInstantiationCheck(const CheckSettings& settings) {
    using Clock = std::chrono::steady_clock;
    const auto milliseconds = [](Clock::duration span) {
        return std::chrono::duration<double, std::milli>(span).count();
    };

    // Cold: the library is loaded and the first instance built; warm: a second one.
    const auto coldStart = Clock::now();
    auto library = openLibraryOrFail(settings);
    auto first = createInstanceOrFail(*library);
    const double coldMs = milliseconds(Clock::now() - coldStart);
    const auto warmStart = Clock::now();
    auto second = createInstanceOrFail(*library);
    const double warmMs = milliseconds(Clock::now() - warmStart);
    second.reset();
    first.reset();

    const int cycles = std::min(1000, scaledCount(settings, 1000));
    const int warmUp = std::max(10, cycles / 10);
    CheckRandom random(settings.seed);
    MemoryUsage before;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == warmUp) before = currentMemoryUsage();
        std::string error;
        auto instance = CheckInstance::create(*library, error);
        if (!instance) failCheck(textf("instance %d of %d: %s", cycle + 1, cycles, error.c_str()));
        // Some instances also run, as most instances in a host do.
        if (random.chance(0.1f)) {
            instance->prepare(44100.0f, 256);
            RenderRig rig(*instance, 256, random.next());
            rig.render(256, "one block after creation");
        }
        instance->shutdown();
    }
    const MemoryUsage after = currentMemoryUsage();

    std::string memory = "memory not measured on this platform";
    if (before.heapBytes >= 0 && after.heapBytes >= 0) {
        constexpr int64_t kHeapSlack = 256 * 1024;
        constexpr int64_t kResidentSlack = 16 * 1024 * 1024;
        const int64_t heapGrowth = after.heapBytes - before.heapBytes;
        const int64_t residentGrowth = after.residentBytes - before.residentBytes;
        const int measured = cycles - warmUp;
        if (heapGrowth > kHeapSlack)
            failCheck(textf("the heap grew by %lld KB over the last %d create/shutdown cycles "
                            "(about %lld bytes per instance are never freed)",
                            static_cast<long long>(heapGrowth / 1024), measured,
                            static_cast<long long>(heapGrowth / measured)));
        if (after.residentIsMeaningful && before.residentBytes >= 0 &&
            residentGrowth > kResidentSlack)
            failCheck(textf("resident memory grew by %lld KB over the last %d create/shutdown "
                            "cycles",
                            static_cast<long long>(residentGrowth / 1024), measured));
        memory =
            textf("heap %+lld KB, resident %+lld KB%s over the last %d",
                  static_cast<long long>(heapGrowth / 1024),
                  static_cast<long long>(residentGrowth / 1024),
                  after.residentIsMeaningful ? "" : " (not judged under a sanitizer)", measured);
    }
    return checkPassed(textf("cold instance %.1f ms, warm instance %.1f ms; %d create/shutdown "
                             "cycles; %s",
                             coldMs, warmMs, cycles, memory.c_str()));
}
