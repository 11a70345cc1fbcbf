// qxahost info: what a user wants to know about a plug-in, as text or JSON.
#include "command_options.h"
#include "commands.h"
#include "pluginhost.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct FlagName {
    int32_t mask;
    const char* name;
};

constexpr FlagName kFlagNames[] = {
    {FlagEditor, "Editor"},
    {FlagClipMeter, "ClipMeter"},
    {FlagLevelMeter, "LevelMeter"},
    {FlagMonoCapable, "MonoCapable"},
    {FlagReplacing, "Replacing"},
    {FlagStateBlocks, "StateBlocks"},
    {FlagInstrument, "Instrument"},
    {FlagSilentWhenStopped, "SilentWhenStopped"},
    {FlagAsync, "Async"},
    {FlagExternalBuffer, "ExternalBuffer"},
    {FlagReplacingDouble, "ReplacingDouble"},
};

// The capability keys a host may ask a plug-in about.
constexpr const char* kCapabilityKeys[] = {
    "sendQxaEvents",      "sendQxaMidiEvent", "receiveQxaEvents", "receiveQxaMidiEvent",
    "receiveQxaTimeInfo", "offline",          "midiProgramNames", "bypass"};

std::vector<std::string> flagNames(int32_t flags) {
    std::vector<std::string> names;
    int32_t known = 0;
    for (const FlagName& flag : kFlagNames) {
        known |= flag.mask;
        if ((flags & flag.mask) != 0) names.push_back(flag.name);
    }
    if ((flags & ~known) != 0) {
        char unknown[32];
        std::snprintf(unknown, sizeof(unknown), "0x%X", static_cast<unsigned>(flags & ~known));
        names.push_back(unknown);
    }
    return names;
}

std::string categoryName(int32_t category) {
    switch (category) {
    case 1:
        return "effect";
    case 2:
        return "instrument";
    default:
        return "category " + std::to_string(category);
    }
}

const char* capabilityAnswerText(intptr_t answer) {
    return answer > 0 ? "yes" : answer < 0 ? "no" : "don't know";
}

std::string hex(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

struct PinDescription {
    bool present = false;
    std::string label;
    int32_t flags = 0;
};

PinDescription describePin(PluginInstance& plugin, int32_t opcode, int32_t index) {
    PinInfo pin{};
    PinDescription description;
    description.present = plugin.dispatch(opcode, index, 0, &pin) != 0;
    pin.label[sizeof(pin.label) - 1] = '\0';
    description.label = pin.label;
    description.flags = pin.pinFlags;
    return description;
}

nlohmann::ordered_json collect(PluginInstance& plugin, const std::string& path) {
    const DescriptorRecord& record = *plugin.record();
    nlohmann::ordered_json info;
    info["file"] = path;
    info["name"] = plugin.effectName();
    info["product"] = plugin.productName();
    info["vendor"] = plugin.vendorName();
    info["vendorVersion"] = plugin.dispatch(VendorVersionQuery);
    info["pluginVersion"] = record.pluginVersion;
    info["uniqueId"] = fourCharText(record.pluginId);
    info["uniqueIdValue"] = record.pluginId;
    info["flags"] = record.flagBits;
    info["flagNames"] = flagNames(record.flagBits);
    info["category"] = plugin.dispatch(CategoryQuery);
    info["interfaceVersion"] = plugin.dispatch(InterfaceVersionQuery);
    info["latency"] = record.startupLatency;
    info["tail"] = plugin.dispatch(TailLengthQuery);
    info["identityProbe"] = hex(static_cast<int32_t>(plugin.dispatch(IdentityProbe)));

    for (const char* direction : {"inputs", "outputs"}) {
        const bool inputs = direction[0] == 'i';
        const int32_t count = inputs ? record.inputCount : record.outputCount;
        nlohmann::ordered_json pins = nlohmann::ordered_json::array();
        for (int32_t i = 0; i < count; ++i) {
            const PinDescription pin =
                describePin(plugin, inputs ? InputInfoQuery : OutputInfoQuery, i);
            nlohmann::ordered_json entry = {{"index", i}, {"described", pin.present}};
            if (pin.present) {
                entry["label"] = pin.label;
                entry["flags"] = pin.flags;
            }
            pins.push_back(entry);
        }
        info[direction] = pins;
    }

    nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
    for (int32_t i = 0; i < record.parameterCount; ++i) {
        parameters.push_back({{"index", i},
                              {"title", plugin.parameterTitle(i)},
                              {"unit", plugin.parameterUnit(i)},
                              {"text", plugin.parameterText(i)},
                              {"value", plugin.parameterValue(i)}});
    }
    info["parameters"] = parameters;

    nlohmann::ordered_json programs = nlohmann::ordered_json::array();
    for (int32_t i = 0; i < record.programCount; ++i)
        programs.push_back({{"index", i}, {"name", plugin.indexedProgramName(i)}});
    info["programs"] = programs;
    info["currentProgram"] = plugin.dispatch(ProgramQuery);
    info["currentProgramName"] = plugin.programName();

    nlohmann::ordered_json capabilities = nlohmann::ordered_json::object();
    for (const char* key : kCapabilityKeys) {
        std::string text = key; // the plug-in receives a writable copy
        capabilities[key] = plugin.dispatch(CapabilityQuery, 0, 0, text.data());
    }
    info["capabilities"] = capabilities;
    return info;
}

void printText(const nlohmann::ordered_json& info) {
    auto str = [](const nlohmann::ordered_json& value) { return value.get<std::string>(); };
    std::printf("Plug-in     %s\n", str(info["file"]).c_str());
    std::printf("Name        %s\n", str(info["name"]).c_str());
    std::printf("Product     %s\n", str(info["product"]).c_str());
    std::printf("Vendor      %s\n", str(info["vendor"]).c_str());
    std::printf("Version     plug-in %d, vendor %s\n", info["pluginVersion"].get<int>(),
                hex(info["vendorVersion"].get<int32_t>()).c_str());
    std::printf("Unique id   '%s' (%s)\n", str(info["uniqueId"]).c_str(),
                hex(info["uniqueIdValue"].get<int32_t>()).c_str());
    std::string flags;
    for (const auto& name : info["flagNames"])
        flags += " " + str(name);
    std::printf("Flags       %s%s\n", hex(info["flags"].get<int32_t>()).c_str(), flags.c_str());
    std::printf("Category    %d (%s)\n", info["category"].get<int>(),
                categoryName(info["category"].get<int32_t>()).c_str());
    std::printf("Interface   %d\n", info["interfaceVersion"].get<int>());
    std::printf("Latency     %d samples, tail %d samples\n", info["latency"].get<int>(),
                info["tail"].get<int>());
    for (const char* direction : {"inputs", "outputs"}) {
        const auto& pins = info[direction];
        std::printf("%-11s %zu", direction[0] == 'i' ? "Inputs" : "Outputs", pins.size());
        for (const auto& pin : pins) {
            if (pin["described"].get<bool>())
                std::printf("  [%d] \"%s\" flags %d", pin["index"].get<int>(),
                            str(pin["label"]).c_str(), pin["flags"].get<int>());
            else
                std::printf("  [%d] (no description)", pin["index"].get<int>());
        }
        std::printf("\n");
    }

    std::printf("\nParameters (%zu)\n", info["parameters"].size());
    // Texts are quoted: their blanks are part of what the host shows.
    std::printf("  %3s  %-11s %-11s %-10s %s\n", "#", "title", "text", "unit", "value");
    for (const auto& parameter : info["parameters"])
        std::printf("  %3d  %-11s %-11s %-10s %.4f\n", parameter["index"].get<int>(),
                    ("\"" + str(parameter["title"]) + "\"").c_str(),
                    ("\"" + str(parameter["text"]) + "\"").c_str(),
                    ("\"" + str(parameter["unit"]) + "\"").c_str(),
                    parameter["value"].get<double>());

    std::printf("\nPrograms (%zu), current %d \"%s\"\n", info["programs"].size(),
                info["currentProgram"].get<int>(), str(info["currentProgramName"]).c_str());
    for (const auto& program : info["programs"])
        std::printf("  %3d  %s\n", program["index"].get<int>(), str(program["name"]).c_str());

    std::printf("\nCapabilities\n");
    for (const auto& [key, answer] : info["capabilities"].items())
        std::printf("  %-22s %s\n", key.c_str(), capabilityAnswerText(answer.get<intptr_t>()));
}

} // namespace

void addInfoCommand(CLI::App& app) {
    auto* command = app.add_subcommand("info", "Show a plug-in's identity, pins, parameters, "
                                               "programs and capabilities");
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    auto program = std::make_shared<int>(-1);
    command->add_option("PLUGIN", *path, "Plug-in library (.dll on Windows, .so on Linux)")
        ->type_name("")
        ->required();
    command->add_flag("--json", *json, "Print the information as JSON");
    command
        ->add_option("--program", *program,
                     "Select this program first: the parameters show its values")
        ->type_name("N")
        ->check(wholeNumberFrom(0, 1000000, "a program number"));
    command->callback([path, json, program]() {
        std::string error;
        auto plugin = PluginInstance::load(*path, error);
        if (!plugin) {
            std::fprintf(stderr, "qxahost info: %s\n", error.c_str());
            throw CLI::RuntimeError(1);
        }
        if (*program >= plugin->programCount()) {
            std::fprintf(stderr, "qxahost info: %s: no program %d (it has %d)\n", path->c_str(),
                         *program, plugin->programCount());
            throw CLI::RuntimeError(1);
        }
        if (*program >= 0) plugin->selectProgram(*program);
        const nlohmann::ordered_json info = collect(*plugin, *path);
        if (*json)
            std::printf(
                "%s\n",
                info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
        else
            printText(info);
    });
}
