#pragma once
// gftool's commands. Each command lives in its own file and registers itself
// with GFTOOL_COMMAND, so adding a command never touches the others.
//
// Exit codes: 0 success, 1 bad input or a failed operation (with one line on
// standard error), 2 wrong usage. A command that writes a file writes it whole
// or not at all (see WriteFileAtomic).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gftool {

using Args = std::span<const std::string>;  // the words after the command name

struct Command {
  const char* name;
  const char* usage;  // one line, e.g. "pack OUT.DAT DIR"
  int (*run)(Args args);
};

struct Registrar {
  explicit Registrar(Command c);
};

const std::vector<Command>& Commands();

// Prints "gftool: message" on standard error and returns 1.
int Fail(std::string_view message);
// Prints the command's usage line on standard error and returns 2.
int Usage(std::string_view name);

// Reads a whole file; false with a message on standard error when it cannot.
bool ReadFile(const std::string& path, std::vector<uint8_t>& out);
// Writes through a temporary file renamed into place, so a failed run never
// leaves a partial file that looks complete. "-" writes to standard output.
bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes);

// Finds "--name value" in args; removes both words and returns true when present.
bool TakeOption(std::vector<std::string>& args, std::string_view name, std::string& value);

}  // namespace gftool

#define GFTOOL_CONCAT2(a, b) a##b
#define GFTOOL_CONCAT(a, b) GFTOOL_CONCAT2(a, b)
#define GFTOOL_COMMAND(name, usage, fn) \
  static ::gftool::Registrar GFTOOL_CONCAT(gftool_registrar_, __LINE__)({name, usage, fn})
