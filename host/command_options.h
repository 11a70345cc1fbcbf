// Command-line options that `process` and `render` share.
#pragma once

#include "render_common.h"

#include <CLI/CLI.hpp>

#include <string>

// --block N: frames per render call.
inline void addBlockOption(CLI::App& command, int32_t& blockSize) {
    command.add_option("--block", blockSize, "Frames per render call")
        ->default_val(512)
        ->check(CLI::Range(1, 65536));
}

// --PREFIXprogram N and --PREFIXset NAME_OR_INDEX=VALUE (repeatable) for one plug-in;
// `whose` names it in the help ("" for the command's own plug-in).
inline void addSettingsOptions(CLI::App& command, PluginSettings& settings,
                               const std::string& prefix, const std::string& whose) {
    command
        .add_option("--" + prefix + "program", settings.program,
                    "Program" + whose + " to select first")
        ->check(CLI::NonNegativeNumber);
    command
        .add_option("--" + prefix + "set", settings.sets,
                    "NAME_OR_INDEX=VALUE: set a parameter" + whose +
                        " to a normalised value (0 to 1); repeatable")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// --format float|16|24.
inline void addFormatOption(CLI::App& command, std::string& formatText) {
    command.add_option("--format", formatText, "Output samples: float (32-bit), 16 or 24 (PCM)")
        ->default_val("float")
        ->check(CLI::IsMember({"float", "float32", "16", "pcm16", "24", "pcm24"}));
}
