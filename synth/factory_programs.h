// The factory bank: 16 program names and their 14 parameter values, columns in parameter
// order (see synth_parameters.h).
#pragma once

#include "synth_parameters.h"

#include <array>

struct FactoryProgram {
    const char* name;
    std::array<float, kSynthParameterCount> values;
};

// clang-format off
constexpr std::array<FactoryProgram, kSynthProgramCount> kFactoryPrograms{{
    {"Basic Patch",           {0.5f, 0.5f, 0.506276f, 0.25f, 0.5f, 0.33f, 0.0f, 0.25f, 0.5f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f}},
    {"Square Sweep",          {0.5f, 1.0f, 0.50624f, 0.25f, 0.0f, 0.728968f, 0.205999f, 0.248764f, 0.5f, 0.81569f, 0.0f, 0.419254f, 0.306944f, 0.314095f}},
    {"Square Release",        {0.5f, 0.5f, 0.505f, 0.25f, 0.0f, 0.0f, 0.0f, 0.80094f, 0.52115f, 0.796267f, 0.0f, 0.624778f, 0.469889f, 0.401611f}},
    {"Slow Mellow",           {0.5f, 0.0f, 0.511376f, 0.25f, 1.0f, 0.0f, 0.258426f, 0.936657f, 0.5f, 0.5f, 0.401611f, 0.451872f, 0.894035f, 0.385319f}},
    {"Phase Bass",            {0.0f, 1.0f, 0.490678f, 0.25f, 0.0f, 0.33f, 0.0f, 0.551986f, 0.5f, 0.5f, 0.0f, 0.522256f, 1.0f, 0.0f}},
    {"Deep Bass Fifths",      {0.0f, 0.5f, 0.0f, 0.25f, 0.119805f, 0.33f, 0.0f, 0.25f, 0.193898f, 0.5f, 0.0f, 0.256683f, 0.969889f, 0.252587f}},
    {"Bowed Bass",            {0.0f, 0.5f, 0.49558f, 0.333333f, 0.0f, 0.717542f, 0.0f, 0.25f, 0.5f, 0.5f, 0.214795f, 1.0f, 1.0f, 0.382935f}},
    {"Wowp",                  {0.0f, 1.0f, 0.511429f, 0.25f, 0.066587f, 0.824113f, 0.255417f, 0.236927f, 0.224418f, 0.718653f, 0.236927f, 0.354912f, 0.654198f, 0.423866f}},
    {"Phase 2",               {1.0f, 0.0f, 0.498017f, 0.25f, 1.0f, 0.0f, 0.150375f, 0.298288f, 0.5f, 0.5f, 0.356816f, 0.731824f, 1.0f, 0.283731f}},
    {"Blip",                  {0.0f, 1.0f, 0.505f, 0.25f, 0.0f, 0.644792f, 0.0f, 0.234944f, 0.102392f, 0.602047f, 0.0f, 0.359722f, 0.67515f, 0.319207f}},
    {"Slow Forths",           {0.0f, 0.5f, 0.780028f, 0.25f, 0.5f, 0.33f, 0.517643f, 0.510097f, 0.5f, 0.417596f, 0.507071f, 0.666667f, 0.685905f, 0.424729f}},
    {"Telephone Frequencies", {1.0f, 0.0f, 0.141815f, 0.25f, 1.0f, 0.672728f, 0.0f, 0.645516f, 0.5f, 0.5f, 0.0f, 0.643184f, 1.0f, 0.0f}},
    {"Bass Thud",             {0.0f, 1.0f, 0.50442f, 0.25f, 0.201712f, 0.0f, 0.0f, 0.124778f, 0.0f, 0.0f, 0.0f, 0.333333f, 0.0f, 0.0f}},
    {"Reverb Bass",           {0.0f, 1.0f, 0.505f, 0.25f, 0.121871f, 0.054606f, 0.0f, 0.741574f, 0.725724f, 0.5f, 0.0f, 0.21307f, 0.47885f, 0.516291f}},
    {"wah sing",              {1.0f, 0.5f, 0.507461f, 0.25f, 0.0f, 0.89239f, 0.196778f, 0.674523f, 0.576133f, 0.690149f, 0.166667f, 0.703733f, 0.490779f, 0.469889f}},
    {"Reverse",               {0.5f, 0.5f, 1.0f, 0.25f, 0.0f, 0.919254f, 0.696778f, 0.942066f, 0.951872f, 0.640278f, 0.0f, 1.0f, 1.0f, 0.539332f}},
}};
// clang-format on
