// A plug-in and qxahost across the real library boundary (dlopen / LoadLibrary): identity,
// dispatcher, render, and the host's answers to what is not a good plug-in.
#include "binary_dir.h"
#include "pluginhost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

using testing_paths::pluginPath;
using testing_paths::quoted;
using testing_paths::runTool;

namespace {

std::unique_ptr<PluginInstance> loadOrFail(const std::string& name) {
    std::string error;
    auto plugin = PluginInstance::load(pluginPath(name), error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::string loadError(const std::string& path) {
    std::string error;
    auto plugin = PluginInstance::load(path, error);
    EXPECT_FALSE(plugin) << path << " loaded although it should not";
    return error;
}

TEST(PluginBoundary, TestPluginAnswersThroughTheRecord) {
    auto plugin = loadOrFail("QxaTestPlugin");
    ASSERT_TRUE(plugin);
    const DescriptorRecord& record = *plugin->record();
    EXPECT_EQ(record.signature, kDescriptorSignature);
    EXPECT_EQ(record.pluginId, fourCharCode('Q', 'x', 'T', 's'));
    EXPECT_EQ(record.flagBits, FlagReplacing);
    EXPECT_EQ(record.inputCount, 2);
    EXPECT_EQ(record.outputCount, 2);
    EXPECT_EQ(plugin->effectName(), "QxaTest");
    EXPECT_EQ(plugin->vendorName(), "Quellmark Sound Laboratories");
    EXPECT_EQ(plugin->dispatch(IdentityProbe), 0x4E764566);
    EXPECT_EQ(plugin->dispatch(InterfaceVersionQuery), 2400);
    EXPECT_EQ(plugin->parameterTitle(1), "Pan");
    EXPECT_EQ(plugin->parameterText(0), "0.000000"); // 0 dB at unity gain
    EXPECT_EQ(plugin->indexedProgramName(1), "Quiet");
    EXPECT_EQ(plugin->indexedProgramName(2), "");
    plugin->selectProgram(1);
    EXPECT_EQ(plugin->programName(), "Quiet");
    plugin->selectProgram(2);
    EXPECT_EQ(plugin->dispatch(ProgramQuery), 1);
}

TEST(PluginBoundary, RendersThroughTheReplacingFunction) {
    auto plugin = loadOrFail("QxaTestPlugin");
    ASSERT_TRUE(plugin);
    plugin->start(48000.0f, 64);
    float left[64], right[64], outLeft[64], outRight[64];
    for (int i = 0; i < 64; ++i) {
        left[i] = static_cast<float>(i) / 64.0f;
        right[i] = -left[i];
    }
    float* inputs[2] = {left, right};
    float* outputs[2] = {outLeft, outRight};
    plugin->setParameter(0, 0.25f); // gain 0.5
    EXPECT_EQ(plugin->parameterValue(0), 0.25f);
    plugin->renderReplacing(inputs, outputs, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(outLeft[i], left[i] * 0.5f);
        ASSERT_EQ(outRight[i], right[i] * 0.5f);
    }
}

TEST(PluginBoundary, TwoInstancesAreIndependent) {
    auto first = loadOrFail("QxaTestPlugin");
    auto second = loadOrFail("QxaTestPlugin");
    ASSERT_TRUE(first && second);
    first->setParameter(2, 0.75f);
    EXPECT_EQ(first->parameterValue(2), 0.75f);
    EXPECT_EQ(second->parameterValue(2), 0.0f);
}

TEST(PluginBoundary, FindsParametersByIndexOrTitle) {
    auto plugin = loadOrFail("QxaTestPlugin");
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->findParameter("2"), 2);
    EXPECT_EQ(plugin->findParameter(" pan "), 1);
    EXPECT_EQ(plugin->findParameter("GAIN"), 0);
    EXPECT_EQ(plugin->findParameter("3"), -1);
    EXPECT_EQ(plugin->findParameter("99999999999"), -1);
    EXPECT_EQ(plugin->findParameter("volume"), -1);
    EXPECT_EQ(plugin->findParameter(""), -1);
}

TEST(PluginBoundary, ExportsOnlyTheEntryFunction) {
    std::string error;
    auto library = PluginLibrary::open(pluginPath("QxaTestPlugin"), error);
    ASSERT_TRUE(library) << error;
    EXPECT_NE(library->symbol("QXAPluginMain"), nullptr);
    EXPECT_EQ(library->symbol("main"), nullptr);
    EXPECT_EQ(library->symbol("moduleHandle"), nullptr);
    EXPECT_EQ(library->symbol("DllMain"), nullptr);
}

TEST(PluginBoundary, LoadNotificationStoresTheLibrarysOwnHandle) {
    auto plugin = loadOrFail("QxaTestPlugin");
    ASSERT_TRUE(plugin);
    const intptr_t stored = plugin->dispatch(VendorPrivateCall, fourCharCode('m', 'o', 'd', 'h'));
    ASSERT_NE(stored, 0);
    // The library's base address: what Windows gives as its module handle.
#if defined(_WIN32)
    const intptr_t expected = reinterpret_cast<intptr_t>(GetModuleHandleA("QxaTestPlugin.dll"));
#else
    std::string error;
    auto library = PluginLibrary::open(pluginPath("QxaTestPlugin"), error);
    Dl_info info{};
    ASSERT_NE(dladdr(library->symbol("QXAPluginMain"), &info), 0);
    const intptr_t expected = reinterpret_cast<intptr_t>(info.dli_fbase);
#endif
    EXPECT_EQ(stored, expected);
    EXPECT_NE(stored, reinterpret_cast<intptr_t>(&loadOrFail)) << "not the host's module";
}

TEST(HostErrors, EachKindOfBadLibraryGetsItsOwnMessage) {
    EXPECT_NE(loadError(pluginPath("NoSuchPlugin")).find("no such file"), std::string::npos);
    EXPECT_NE(loadError(pluginPath("QxaBroken_noentry")).find("no QXAPluginMain"),
              std::string::npos);
    EXPECT_NE(loadError(pluginPath("QxaBroken_refuses")).find("refused"), std::string::npos);
    EXPECT_NE(loadError(pluginPath("QxaBroken_signature")).find("wrong record signature"),
              std::string::npos);
    const std::string text = testing_paths::binaryDir() + testing_paths::kSeparator +
                             "not-a-library" + testing_paths::kPluginSuffix;
    std::ofstream(text) << "this is text, not a library\n";
    EXPECT_NE(loadError(text).find("cannot load"), std::string::npos);
    std::remove(text.c_str());
}

TEST(QxahostInfo, PrintsIdentityParametersProgramsAndCapabilities) {
    const auto result =
        runTool("qxahost", std::string("info ") + quoted(pluginPath("QxaTestPlugin")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* expected :
         {"Name        QxaTest", "Vendor      Quellmark Sound Laboratories",
          "Unique id   'QxTs' (0x51785473)", "Flags       0x00000010 Replacing",
          "Category    1 (effect)", "Inputs      2  [0] \"QxaTest 1\" flags 3", "Parameters (3)",
          "Mode", "Programs (2), current 0 \"Unity\"", "    1  Quiet", "bypass                 yes",
          "offline                no"})
        EXPECT_NE(result.output.find(expected), std::string::npos)
            << "missing \"" << expected << "\" in:\n"
            << result.output;
}

TEST(QxahostInfo, JsonCarriesTheSameFacts) {
    const auto result =
        runTool("qxahost", std::string("info --json ") + quoted(pluginPath("QxaTestPlugin")));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto info = nlohmann::json::parse(result.output, nullptr, false);
    ASSERT_FALSE(info.is_discarded()) << result.output;
    EXPECT_EQ(info["name"], "QxaTest");
    EXPECT_EQ(info["uniqueId"], "QxTs");
    EXPECT_EQ(info["parameters"].size(), 3u);
    EXPECT_EQ(info["parameters"][1]["unit"], "amount");
    EXPECT_EQ(info["programs"][1]["name"], "Quiet");
    EXPECT_EQ(info["outputs"][1]["label"], "QxaTest 2");
    EXPECT_EQ(info["capabilities"]["bypass"], 1);
    EXPECT_EQ(info["vendorVersion"], 0x01020003);
}

TEST(QxahostInfo, BadInputGivesOneLineAndNonZeroExit) {
    struct Case {
        std::string arguments;
        const char* message;
    } cases[] = {
        {std::string("info ") + quoted(pluginPath("NoSuchPlugin")), "no such file"},
        {std::string("info ") + quoted(pluginPath("QxaBroken_noentry")), "no QXAPluginMain"},
        {std::string("info ") + quoted(pluginPath("QxaBroken_refuses")), "refused to load"},
        {std::string("info ") + quoted(pluginPath("QxaBroken_signature")),
         "wrong record signature"},
        {"info", "PLUGIN is required"},
        {"frobnicate", "frobnicate"},
    };
    for (const Case& c : cases) {
        const auto result = runTool("qxahost", c.arguments);
        EXPECT_NE(result.exitCode, 0) << c.arguments;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << " printed:\n"
                                                                    << result.output;
    }
}

TEST(QxahostInfo, HelpIsOfferedOnEveryCommand) {
    for (const char* arguments : {"--help", "info --help"}) {
        const auto result = runTool("qxahost", arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments;
        EXPECT_NE(result.output.find("Usage"), std::string::npos) << result.output;
    }
}

} // namespace
