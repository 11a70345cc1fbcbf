// Command-line options that qxahost's commands share, and checks of option values that say what
// was expected in plain words. Each option shows a value name in the help (HZ, FRAMES, N, DB),
// not the parser's type.
#pragma once

#include "render_common.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

// A whole number from `low` to `high`; `what` describes the values ("frames per render call").
inline CLI::Validator wholeNumberFrom(long long low, long long high, const std::string& what) {
    return CLI::Validator(
        [low, high, what](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            const std::string expected = "expected " + what + ", a whole number from " +
                                         std::to_string(low) + " to " + std::to_string(high);
            if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE)
                return expected + "; '" + text + "' is not a whole number";
            if (value < low || value > high) return expected + ", not " + text;
            return {};
        },
        "", "whole number");
}

// A number (decimals allowed) from `low` to `high`.
inline CLI::Validator numberFrom(double low, double high, const std::string& what) {
    return CLI::Validator(
        [low, high, what](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const double value = std::strtod(text.c_str(), &end);
            char range[96];
            std::snprintf(range, sizeof range, "%g to %g", low, high);
            const std::string expected = "expected " + what + ", a number from " + range;
            if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE ||
                !std::isfinite(value))
                return expected + "; '" + text + "' is not a number";
            if (value < low || value > high) return expected + ", not " + text;
            return {};
        },
        "", "number");
}

// --block FRAMES: frames per render call.
inline void addBlockOption(CLI::App& command, int32_t& blockSize) {
    command.add_option("--block", blockSize, "Frames per render call, 1 to 65536")
        ->type_name("FRAMES")
        ->default_val(512)
        ->check(wholeNumberFrom(1, 65536, "frames per render call"));
}

// --PREFIXprogram N and --PREFIXset NAME=VALUE (repeatable) for one plug-in; `whose` names it
// in the help ("" for the command's own plug-in).
inline void addSettingsOptions(CLI::App& command, PluginSettings& settings,
                               const std::string& prefix, const std::string& whose) {
    command
        .add_option("--" + prefix + "program", settings.program,
                    "Program" + whose + " to select first, from 0")
        ->type_name("N")
        ->check(wholeNumberFrom(0, 1000000, "a program number"));
    command
        .add_option("--" + prefix + "set", settings.sets,
                    "Set a parameter" + whose +
                        "; NAME is its index, title or editor caption (case and blanks "
                        "ignored), VALUE a normalised value from 0 to 1 or a value as the "
                        "plug-in shows it (\"-6 dB\", \"0.5 s\", \"L 32\"); repeatable")
        ->type_name("NAME=VALUE")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// --format float|16|24.
inline void addFormatOption(CLI::App& command, std::string& formatText) {
    command
        .add_option("--format", formatText,
                    "Output samples: float (32-bit, the default), 16 or 24 (PCM)")
        ->type_name("FORMAT")
        ->default_val("float")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                WavSampleFormat format;
                return parseSampleFormat(text, format)
                           ? std::string()
                           : "expected float, 16 or 24, not '" + text + "'";
            },
            "", "format"));
}

// --gain DB, --normalize[=DB] and --no-dither; `normalizeText` holds what --normalize was given
// ("" without a value), and levelOptionsFrom turns them into LevelOptions after parsing.
struct LevelOptionTexts {
    CLI::Option* normalize = nullptr;
    std::string normalizeText;
    bool noDither = false;
};

inline void addLevelOptions(CLI::App& command, LevelOptions& levels, LevelOptionTexts& texts) {
    command.add_option("--gain", levels.gainDecibels, "Gain applied to the output, in dB")
        ->type_name("DB")
        ->check(numberFrom(-120.0, 120.0, "a gain in dB"));
    texts.normalize =
        command
            .add_option("--normalize", texts.normalizeText,
                        "Set the output's peak to DB dBFS (default -1: --normalize alone); "
                        "instead of --gain")
            ->type_name("[=DB]")
            ->expected(0, 1)
            ->check(numberFrom(-120.0, 0.0, "a peak level in dBFS"));
    command.add_flag("--no-dither", texts.noDither,
                     "16-bit output without its TPDF dither (the dither is seeded: the same "
                     "input always gives the same file)");
}

// False with `error` when --gain and --normalize were both given.
inline bool levelOptionsFrom(const CLI::App& command, LevelOptions& levels,
                             const LevelOptionTexts& texts, std::string& error) {
    levels.normalize = texts.normalize->count() > 0;
    if (levels.normalize) {
        if (command.count("--gain") > 0) {
            error = "--gain and --normalize set the level both; give one of them";
            return false;
        }
        levels.normalizeDecibels =
            texts.normalizeText.empty() ? -1.0 : std::strtod(texts.normalizeText.c_str(), nullptr);
    }
    levels.dither = !texts.noDither;
    return true;
}
