// qxahost's commands; each adds its subcommand, options and callback to the application.
// A failing command prints a one-line error to stderr and throws CLI::RuntimeError(code).
#pragma once

namespace CLI {
class App;
}

void addInfoCommand(CLI::App& app);
void addProcessCommand(CLI::App& app);
void addRenderCommand(CLI::App& app);
void addValidateCommand(CLI::App& app);
void addSnapshotCommand(CLI::App& app);
void addEditCommand(CLI::App& app);
