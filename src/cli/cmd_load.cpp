#include "cli/cmd_load.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <type_traits>

#include "app/queue_loop.h"
#include "cli/console_window.h"
#include "cli/load_notes.h"
#include "cli/terminal.h"
#include "cli/zeroed_pages.h"
#include "ground/platform.h"
#include "ground/shown_text.h"
#include "image/hex_loader.h"
#include "image/load_findings.h"
#include "image/load_texts.h"
#include "settings/settings.h"

namespace kv218::cli {

namespace {

struct LoadArguments {
  std::string file;
  std::string type;  // empty: TYPE from the settings file
  std::string imageOut;
  bool strict = false;
};

// The image in pages the system hands over zeroed (and present, where it can), so that the
// loader's blank fill is the only pass that writes them: MemoryImage is plain data whose
// start values are all zero bytes, so zeroed pages are a fresh image as they come.
class ZeroedImage {
 public:
  ZeroedImage() : pages_(sizeof(MemoryImage)) {
    static_assert(std::is_aggregate_v<MemoryImage> && std::is_trivially_copyable_v<MemoryImage>);
  }
  MemoryImage& operator*() const { return *static_cast<MemoryImage*>(pages_.data()); }

 private:
  ZeroedPages pages_;
};

// ProgramImage (352,256 bytes) then the 12 ConfigBytes, exactly what programming would send.
bool WriteImage(const std::string& path, const MemoryImage& image) {
  std::FILE* file = OpenFile(path, "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(image.ProgramImage.data(), 1, kImageBytes, file) == kImageBytes &&
            std::fwrite(image.ConfigBytes.data(), 1, kConfigCount, file) == kConfigCount;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

std::optional<TargetType> ChosenTargetType(const LoadArguments& args, const CommonOptions& common) {
  if (!args.type.empty()) {
    const auto type = ParseTargetType(args.type);
    if (!type) {
      std::cerr << "--type: '" << ShownText(args.type)
                << "' is not a target type (0..3, \"TK Series\", \"MVRx Series\", "
                   "\"Cradle Set\" or \"Eco Mode\")\n";
    }
    return type;
  }
  const std::string settingsPath = SettingsPathOf(common);
  const Settings settings = ReadSettings(settingsPath);
  if (const std::string text = SettingsNotReadText(settingsPath, settings); !text.empty()) {
    std::cerr << "kv218: " << text << '\n';
  }
  const int type = settings.Type;
  if (IsTargetTypeItem(type)) return TargetTypeAt(type);
  std::cerr << "No target type selected (TYPE=" << type << " in " << ShownText(settingsPath)
            << "); give one with --type\n";
  return std::nullopt;
}

int RunLoad(const LoadArguments& args, const CommonOptions& common) {
  const auto type = ChosenTargetType(args, common);
  if (!type) return kExitUsage;

  ConsoleWindow window(std::cout, std::cerr,
                       {.showLog = !common.quiet,
                        .progressBar = !common.quiet && IsTerminal(2),
                        .sequences = TerminalProcessesSequences(2)});
  window.SetSelectedType(*type);
  QueueLoop loop;
  const ZeroedImage image;

  AppendLoadingLines(window, args.file);
  const LoadResult result =
      LoadImage(*image, args.file, window.SelectedType(), window, loop, {.strict = args.strict});
  window.Finish();
  if (const OutputLoss loss = window.Output().Loss(); loss.failed) {
    std::cerr << "kv218: " << OutputLossText(loss) << '\n';
  }
  if (!result.ok()) return kExitUsage;  // the loader has shown its message
  PrintLoadNotes(std::cerr, args.file, *type, result);
  // Comment lines are no fault: the load command alone, which shows what a file holds, counts them.
  if (const auto note = SkippedLinesNote(result)) {
    std::cerr << "kv218: " << ShownText(args.file) << ": " << *note << '\n';
  }

  if (!args.imageOut.empty() && !WriteImage(args.imageOut, *image)) {
    std::cerr << "Unable to write to " << ShownText(args.imageOut) << '\n';
    return kExitFailure;
  }
  std::cerr << "checksum: " << window.PanelText(kChecksumPanel) << '\n';
  return kExitOk;
}

}  // namespace

void AddLoadCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  auto args = std::make_shared<LoadArguments>();
  CLI::App* load =
      app.add_subcommand("load", "Read a HEX file into the memory image of a target type");
  load->add_option("FILE", args->file, "The Intel HEX file (*.hex, *.a43)")->required();
  load->add_option("--type", args->type,
                   "Target type: 0..3 or \"TK Series\", \"MVRx Series\", \"Cradle Set\", "
                   "\"Eco Mode\" (default: TYPE from the settings file)");
  load->add_option("--image-out", args->imageOut,
                   "Write the 352,256 image bytes and the 12 configuration bytes to this file");
  load->add_flag("--strict", args->strict, kStrictHelp);
  load->callback([args, &common, &exitCode] { exitCode = RunLoad(*args, common); });
}

}  // namespace kv218::cli
