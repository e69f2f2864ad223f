#include "cli/cmd_read.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/port_run.h"
#include "cli/session.h"
#include "ground/platform.h"
#include "ground/shown_text.h"
#include "ground/utf8_path.h"
#include "image/hex_writer.h"
#include "runs/read_only_sessions.h"

namespace kv218::cli {

namespace {

int RunRead(const CommonOptions& common, const SessionOptions& options, const std::string& out,
            bool flash) {
  if (SeveralPorts(options)) {
    std::cerr << "kv218 read: one port at a time (a file is read from one programmer)\n";
    return kExitUsage;
  }
  if (!flash) {
    const auto type = TargetTypeFor(common, options);
    if (!type) return kExitUsage;
    if (!TargetCanBeRead(*type)) {  // type 3: programmed by AutoProgram only
      std::cerr << "kv218 read: an Eco Mode (type 3) target cannot be read; read --flash reads "
                   "the image stored in the KV-218\n";
      return kExitUsage;
    }
  }
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) {
    session.Close();
    return opened;
  }
  Controller& controller = session.controller();
  // The HEX text goes through a temporary file beside out, moved over it only when it is all
  // there. The temporary file is made before the first frame: a path that cannot take the
  // file is refused with nothing sent, not found out after the whole read.
  std::error_code error;
  const bool folder = std::filesystem::is_directory(PathFromUtf8(out), error);
  std::optional<ReplacementFile> made;
  if (!folder) made.emplace(out);
  if (folder || !made->IsOpen()) {
    const std::string line =
        "Unable to write to " + ShownText(out) + ": " + (folder ? "a folder" : made->Error());
    std::cerr << "kv218 read: " << line << '\n';
    controller.RecordRefusedRun(flash ? RunRecord::Kind::ReadFlash : RunRecord::Kind::ReadTarget,
                                line);
    session.KeepSettingsFile();  // an input error, as a file that does not load
    session.Close();
    return kExitUsage;
  }
  // Written before the closing line: a file that could not be written fails the read, in its
  // closing line, its record and its exit status alike.
  ReplacementFile& output = *made;
  controller.SetReadKeeper([&]() -> std::optional<std::string> {
    const std::string text = HexTextOf(controller.station().image, session.window().SelectedType());
    if (output.Write(text) && output.Commit()) return std::nullopt;
    std::cerr << "kv218 read: cannot write " << ShownText(out) << ": " << output.Error() << '\n';
    return "<<ERROR>> Unable to write to " + ShownText(out) + ": " + output.Error();
  });
  const RunOutcome outcome = flash ? controller.ReadProgrammer() : controller.ReadTarget();
  controller.SetReadKeeper({});
  const int status = ExitCodeFor(outcome);
  session.Close();
  if (outcome == RunOutcome::Interrupted) std::cerr << "kv218: interrupted\n";
  if (outcome == RunOutcome::TimedOut) std::cerr << "kv218: no response from the programmer\n";
  return status;
}

}  // namespace

void AddReadCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  struct Arguments {
    std::string out;
    bool flash = false;
    SessionOptions session;
  };
  auto args = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "read",
      "Read a target's firmware (or with --flash the image stored in the programmer) into an "
      "Intel HEX file");
  command->add_option("--out", args->out, "The HEX file to write (replaced whole, or left alone)")
      ->required()
      ->type_name("OUT.hex");
  command->add_flag("--flash", args->flash,
                    "Read the image stored in the programmer's own flash instead of a target");
  AddSessionOptions(*command, args->session);
  AddRecordOption(*command, args->session);
  command->callback([args, &common, &exitCode] {
    exitCode = RunRead(common, args->session, args->out, args->flash);
  });
}

}  // namespace kv218::cli
