// vardo: administration tool of the Vardo record engine.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/vardo_command.h"
#include "engine/iso2709/text_decoder.h"
#include "engine/iso2709/text_decoder_tables.h"
#include "engine/utf8.h"

namespace vardo::cli {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

void PrintHelp() {
  std::printf("vardo: administration tool of the Vardo record engine\n\n");
  std::printf("usage: vardo COMMAND [ARGS]\n\n");
  for (const Command& c : Registry()) std::printf("  vardo %s\n      %s\n", c.usage, c.summary);
  std::printf(
      "\nDB is the database path without extension (DB.mst and DB.xrf; \".mst\" accepted).\n"
      "Exit status: 0 success, 1 failure (bad input, damaged database, refused\n"
      "operation), 2 usage error.\n");
}
}  // namespace

bool RegisterCommand(const Command& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<Command>& Commands() { return Registry(); }

bool TakeFlag(std::vector<std::string>* args, const std::string& name) {
  for (auto it = args->begin(); it != args->end(); ++it) {
    if (*it == name) {
      args->erase(it);
      return true;
    }
  }
  return false;
}

bool TakeOption(std::vector<std::string>* args, const std::string& name, std::string* value,
                bool* missing_value) {
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string& a = (*args)[i];
    if (a == name) {
      if (i + 1 >= args->size()) {
        if (missing_value) *missing_value = true;
        args->erase(args->begin() + static_cast<long>(i));
        return false;
      }
      *value = (*args)[i + 1];
      args->erase(args->begin() + static_cast<long>(i), args->begin() + static_cast<long>(i) + 2);
      return true;
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
      *value = a.substr(name.size() + 1);
      args->erase(args->begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "vardo: %s\n", message.c_str());
}

std::string Cp850ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char b : bytes)
    AppendUtf8(b < 0x80 ? b : iso2709::tables::kCp850High[b - 0x80], &out);
  return out;
}

std::string Utf8ToCp850(const std::string& text) {
  static const iso2709::TextDecoder decoder(iso2709::TextDecoder::Encoding::kUtf8);
  std::string out;
  (void)decoder.Convert(text, &out);
  return out;
}

}  // namespace vardo::cli

int main(int argc, char** argv) {
  using namespace vardo::cli;
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintHelp();
    return argc < 2 ? kExitUsage : kExitOk;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : Commands()) {
    if (c.name == std::string(argv[1])) return c.run(args);
  }
  PrintError(std::string("unknown command '") + argv[1] + "' (see 'vardo help')");
  return kExitUsage;
}
