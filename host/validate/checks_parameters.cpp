// Checks 3 and 4: parameters and programs, as a host's generic editor and its project files
// use them.
#include "check_support.h"
#include "checkrandom.h"
#include "renderrig.h"
#include "text_query.h"
#include "validation.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// Title (non-empty), unit and value text of one parameter fit their buffers.
void checkParameterTexts(CheckInstance& instance, int32_t index, const char* when,
                         bool requireText) {
    const TextReply title = queryText(instance, ParameterTitleQuery, index, 0,
                                      hostBufferBytes(kParameterTitleMaxLength));
    if (!title.misfit.empty())
        failCheck(textf("the title of parameter %d %s (%s)", index, title.misfit.c_str(), when));
    if (title.text.empty() && requireText) failCheck(textf("parameter %d has no title", index));
    const TextReply unit =
        queryText(instance, ParameterUnitQuery, index, 0, hostBufferBytes(kParameterUnitMaxLength));
    if (!unit.misfit.empty())
        failCheck(textf("the unit of %s %s (%s)", parameterLabel(instance, index).c_str(),
                        unit.misfit.c_str(), when));
    const TextReply text =
        queryText(instance, ParameterTextQuery, index, 0, hostBufferBytes(kParameterTextMaxLength));
    if (!text.misfit.empty())
        failCheck(textf("the text of %s %s: \"%s\" (%s)", parameterLabel(instance, index).c_str(),
                        text.misfit.c_str(), text.text.c_str(), when));
    if (text.text.empty() && requireText)
        failCheck(
            textf("%s shows an empty text (%s)", parameterLabel(instance, index).c_str(), when));
}

std::vector<float> readAllParameters(CheckInstance& instance) {
    std::vector<float> values(static_cast<size_t>(instance.parameterCount()));
    for (int32_t i = 0; i < instance.parameterCount(); ++i)
        values[static_cast<size_t>(i)] = instance.readParameter(i);
    return values;
}

bool sameValue(float read, float written) {
    return std::fabs(read - written) <= 1.0e-6f;
}

// A few blocks with the parameters as they are now must come out finite.
void renderSomeBlocks(CheckInstance& instance, CheckRandom& random, const char* situation) {
    if (!instance.isRunning()) instance.prepare(44100.0f, 512);
    RenderRig rig(instance, 512, random.next());
    if (instance.isInstrument()) rig.events().noteOn(0, 0, 60, 100);
    for (int block = 0; block < 8; ++block)
        rig.render(512, situation);
    if (instance.isInstrument()) rig.events().noteOff(0, 0, 60);
    rig.render(512, situation);
}

} // namespace

CheckOutcome runParametersCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance* instance = subject.instance.get();
    CheckRandom random(settings.seed);
    const int32_t count = instance->parameterCount();
    if (count == 0) return checkPassed("the plug-in has no parameters");
    instance->prepare(44100.0f, 512);

    const std::vector<float> original = readAllParameters(*instance);
    for (int32_t i = 0; i < count; ++i)
        checkParameterTexts(*instance, i, "at its initial value", true);

    // Values read back as written: the ends, the middle and random values.
    for (int32_t i = 0; i < count; ++i) {
        const float values[] = {0.0f, 1.0f, 0.5f, random.unit(), random.unit()};
        for (const float value : values) {
            instance->writeParameter(i, value);
            const float read = instance->readParameter(i);
            if (!sameValue(read, value))
                failCheck(textf("%s reads back %.9g after %.9g was written",
                                parameterLabel(*instance, i).c_str(), static_cast<double>(read),
                                static_cast<double>(value)));
            const std::string when = textf("at value %.9g", static_cast<double>(value));
            checkParameterTexts(*instance, i, when.c_str(), true);
        }
    }

    // Random values everywhere; every text of every parameter after each write.
    const int writes = scaledCount(settings, 100);
    for (int n = 0; n < writes; ++n) {
        const int32_t index = random.below(count);
        const float value = random.unit();
        instance->writeParameter(index, value);
        const std::string when =
            textf("after %s was set to %.9g", parameterLabel(*instance, index).c_str(),
                  static_cast<double>(value));
        for (int32_t i = 0; i < count; ++i)
            checkParameterTexts(*instance, i, when.c_str(), true);
    }

    // What a host should never send but sometimes does: values outside 0..1, non-finite
    // values and indexes outside the range. Texts must still fit; then, with sane values
    // back, the plug-in must still render.
    const float badValues[] = {-1.0f,
                               2.0f,
                               -1.0e-7f,
                               1.0000001f,
                               1.0e30f,
                               -1.0e30f,
                               std::numeric_limits<float>::max(),
                               -std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::denorm_min(),
                               std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity()};
    for (int32_t i = 0; i < count; ++i) {
        for (const float value : badValues) {
            instance->writeParameter(i, value);
            (void)instance->readParameter(i);
            const std::string when = textf("after the value %g", static_cast<double>(value));
            checkParameterTexts(*instance, i, when.c_str(), false);
        }
        instance->writeParameter(i, original[static_cast<size_t>(i)]);
    }
    const int32_t badIndexes[] = {-1,
                                  count,
                                  count + 1,
                                  1000,
                                  std::numeric_limits<int32_t>::max(),
                                  std::numeric_limits<int32_t>::min()};
    for (const int32_t index : badIndexes) {
        instance->writeParameter(index, 0.5f);
        (void)instance->readParameter(index);
        checkParameterTexts(*instance, index, textf("index %d", index).c_str(), false);
        (void)instance->dispatch(AutomatableQuery, index);
        char text[64] = "0.5";
        (void)instance->dispatch(ParameterTextParse, index, 0, text);
    }
    for (int32_t i = 0; i < count; ++i)
        instance->writeParameter(i, original[static_cast<size_t>(i)]);
    renderSomeBlocks(*instance, random,
                     "after out-of-range values and indexes, with the initial values back");

    return checkPassed(textf("%d parameters: texts fit, values read back, %d random writes, "
                             "%zu bad values and %zu bad indexes survived",
                             count, writes, std::size(badValues), std::size(badIndexes)));
}

CheckOutcome runProgramsCheck(const CheckSettings& settings) {
    constexpr size_t kProgramNameBufferBytes = hostBufferBytes(kProgramNameMaxLength);
    CheckSubject subject = openSubject(settings);
    CheckInstance* instance = subject.instance.get();
    CheckRandom random(settings.seed);
    const int32_t programs = instance->programCount();
    const int32_t parameters = instance->parameterCount();
    if (programs == 0) return checkPassed("the plug-in has no programs");

    const auto selectProgram = [&](int32_t program) {
        instance->dispatch(ProgramSelect, 0, program);
        const intptr_t current = instance->dispatch(ProgramQuery);
        if (current != program)
            failCheck(textf("after selecting program %d the plug-in reports program %lld", program,
                            static_cast<long long>(current)));
    };
    const auto programName = [&](int32_t program) {
        const TextReply reply =
            queryText(*instance, ProgramNameQuery, 0, 0, kProgramNameBufferBytes);
        if (!reply.misfit.empty())
            failCheck(textf("the name of program %d %s", program, reply.misfit.c_str()));
        if (reply.text.empty()) failCheck(textf("program %d has an empty name", program));
        return reply.text;
    };
    const auto indexedName = [&](int32_t program) {
        const TextReply reply =
            queryText(*instance, IndexedProgramNameQuery, program, 0, kProgramNameBufferBytes);
        if (!reply.misfit.empty())
            failCheck(textf("the indexed name of program %d %s", program, reply.misfit.c_str()));
        return reply.text;
    };
    const auto randomOrder = [&]() {
        std::vector<int32_t> order(static_cast<size_t>(programs));
        for (int32_t i = 0; i < programs; ++i)
            order[static_cast<size_t>(i)] = i;
        for (int32_t i = programs - 1; i > 0; --i)
            std::swap(order[static_cast<size_t>(i)],
                      order[static_cast<size_t>(random.below(i + 1))]);
        return order;
    };
    const auto expectValues = [&](int32_t program, const std::vector<float>& expected,
                                  const char* when) {
        for (int32_t i = 0; i < parameters; ++i) {
            const float read = instance->readParameter(i);
            if (!sameValue(read, expected[static_cast<size_t>(i)]))
                failCheck(textf("program %d: %s is %.9g %s, not %.9g", program,
                                parameterLabel(*instance, i).c_str(), static_cast<double>(read),
                                when, static_cast<double>(expected[static_cast<size_t>(i)])));
        }
    };

    // What a host saves for a project: every program's values and names.
    std::vector<std::vector<float>> saved(static_cast<size_t>(programs));
    std::vector<std::string> names(static_cast<size_t>(programs));
    std::vector<std::string> storedNames(static_cast<size_t>(programs));
    for (int32_t p = 0; p < programs; ++p) {
        selectProgram(p);
        saved[static_cast<size_t>(p)] = readAllParameters(*instance);
        names[static_cast<size_t>(p)] = programName(p);
        storedNames[static_cast<size_t>(p)] = indexedName(p);
    }

    // Each program keeps its own values while others are edited and selected.
    std::vector<std::vector<float>> edited(static_cast<size_t>(programs));
    for (const int32_t p : randomOrder()) {
        selectProgram(p);
        auto& values = edited[static_cast<size_t>(p)];
        values.resize(static_cast<size_t>(parameters));
        for (int32_t i = 0; i < parameters; ++i) {
            values[static_cast<size_t>(i)] = random.unit();
            instance->writeParameter(i, values[static_cast<size_t>(i)]);
        }
    }
    for (const int32_t p : randomOrder()) {
        selectProgram(p);
        expectValues(p, edited[static_cast<size_t>(p)], "after other programs were edited");
    }

    // Reloading the project: each program's values written back through the parameters.
    for (const int32_t p : randomOrder()) {
        selectProgram(p);
        for (int32_t i = 0; i < parameters; ++i)
            instance->writeParameter(i, saved[static_cast<size_t>(p)][static_cast<size_t>(i)]);
    }
    for (const int32_t p : randomOrder()) {
        selectProgram(p);
        expectValues(p, saved[static_cast<size_t>(p)], "after its values were restored");
        if (programName(p) != names[static_cast<size_t>(p)])
            failCheck(textf("program %d is named \"%s\" after the restore, was \"%s\"", p,
                            programName(p).c_str(), names[static_cast<size_t>(p)].c_str()));
    }

    // A name longer than any buffer is cut to fit, and the old name can be restored.
    const int32_t renamed = random.below(programs);
    selectProgram(renamed);
    std::string longName = "Validation ";
    while (longName.size() < 3 * kProgramNameBufferBytes)
        longName += static_cast<char>('a' + random.below(26));
    std::vector<char> nameBuffer(longName.begin(), longName.end());
    nameBuffer.push_back('\0');
    instance->dispatch(ProgramRename, 0, 0, nameBuffer.data());
    // Ignoring a rename is allowed; a name that is not the start of the new one is not.
    const std::string cut = programName(renamed);
    const bool isStart = longName.compare(0, cut.size(), cut) == 0;
    if (!isStart && cut != names[static_cast<size_t>(renamed)])
        failCheck(
            textf("program %d renamed to a long name reads back as \"%s\"", renamed, cut.c_str()));
    indexedName(renamed);
    std::vector<char> restore(storedNames[static_cast<size_t>(renamed)].begin(),
                              storedNames[static_cast<size_t>(renamed)].end());
    restore.push_back('\0');
    instance->dispatch(ProgramRename, 0, 0, restore.data());

    // Program numbers outside the bank are refused and leave a valid program selected.
    const intptr_t badPrograms[] = {programs, programs + 1, -1, std::numeric_limits<int32_t>::min(),
                                    static_cast<intptr_t>(1) << 40};
    for (const intptr_t bad : badPrograms) {
        const intptr_t before = instance->dispatch(ProgramQuery);
        instance->dispatch(ProgramSelect, 0, bad);
        const intptr_t after = instance->dispatch(ProgramQuery);
        if (after < 0 || after >= programs || (bad >= programs && after != before))
            failCheck(textf("selecting program %lld of %d leaves program %lld selected",
                            static_cast<long long>(bad), programs, static_cast<long long>(after)));
        if (bad != static_cast<int32_t>(bad)) continue;
        const int32_t index = static_cast<int32_t>(bad);
        const TextReply reply =
            queryText(*instance, IndexedProgramNameQuery, index, 0, kProgramNameBufferBytes);
        if (!reply.misfit.empty())
            failCheck(textf("the indexed name of program %d %s", index, reply.misfit.c_str()));
        if (index >= programs && reply.answer != 0)
            failCheck(textf("answers the name of program %d of %d", index, programs));
    }

    std::string state;
    if ((instance->record().flagBits & FlagStateBlocks) != 0) {
        // The state block must bring back what the parameters held when it was made.
        void* data = nullptr;
        const intptr_t size = instance->dispatch(StateExport, 0, 0, &data);
        if (size <= 0 || data == nullptr) failCheck("exporting the state gives no data");
        std::vector<unsigned char> block(static_cast<const unsigned char*>(data),
                                         static_cast<const unsigned char*>(data) + size);
        const std::vector<float> before = readAllParameters(*instance);
        for (int32_t i = 0; i < parameters; ++i)
            instance->writeParameter(i, random.unit());
        instance->dispatch(StateImport, 0, size, block.data());
        expectValues(static_cast<int32_t>(instance->dispatch(ProgramQuery)), before,
                     "after its state block was imported");
        state = "; state block round trip";
    }

    return checkPassed(textf("%d programs: names fit, values kept per program and restored "
                             "through %d parameters, long names cut, bad program numbers "
                             "refused%s",
                             programs, parameters, state.c_str()));
}
