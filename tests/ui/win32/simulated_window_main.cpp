// kv218tool-sim: the window over the in-process simulated programmer, for driving it under
// Wine without a serial line. The options drive it as an operator would, by clicks:
//   --settings FILE   the settings file (default: kv218tool.INI beside the executable)
//   --system-port     the port the settings name, opened as kv218tool opens it, instead of
//                     the in-process programmer
//   --hex FILE        the file the load's dialog answers with; the load is clicked
//   --program         PC to Target is clicked (after the load)
//   --store           PC to KV-218 is clicked (after that)
//   --log FILE        the log's lines are written to FILE (UTF-8, LF) once the clicks are done
//   --close           the window is closed after that; without it, it stays open

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "settings/settings.h"
#include "sim/device_model.h"
#include "sim/in_process_port.h"
#include "ui/win32/application.h"
#include "ui/win32/form_layout.h"

namespace {

struct Script {
  std::string hex;
  bool program = false;
  bool store = false;
  std::string log;
  bool close = false;
  bool systemPort = false;
};

void Click(kv218::TForm1& form, HWND button, int id) {
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

void WriteLog(kv218::TForm1& form, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  for (const std::string& line : form.Memo1().Lines()) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
  }
  std::fclose(file);
}

void Play(kv218::TForm1& form, const Script& script) {
  if (!script.hex.empty()) Click(form, form.BitBtn1().Handle(), kv218::layout::kIdBitBtn1);
  if (script.program) Click(form, form.BitBtn2().Handle(), kv218::layout::kIdBitBtn2);
  if (script.store) Click(form, form.BitBtn3().Handle(), kv218::layout::kIdBitBtn3);
  if (!script.log.empty()) WriteLog(form, script.log);
  if (script.close) SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  Script script;
  kv218::FormOptions options;
  options.settingsPath = kv218::SettingsPathFor(kv218::RunningExecutablePath());
  for (int i = 1; i < __argc; ++i) {
    const std::string option = __argv[i];
    const bool hasValue = i + 1 < __argc;
    if (option == "--settings" && hasValue) {
      options.settingsPath = __argv[++i];
    } else if (option == "--hex" && hasValue) {
      script.hex = __argv[++i];
    } else if (option == "--log" && hasValue) {
      script.log = __argv[++i];
    } else if (option == "--program") {
      script.program = true;
    } else if (option == "--store") {
      script.store = true;
    } else if (option == "--close") {
      script.close = true;
    } else if (option == "--system-port") {
      script.systemPort = true;
    } else {
      std::fprintf(stderr, "kv218tool-sim: unknown option %s\n", option.c_str());
      return 2;
    }
  }

  if (!script.systemPort) {
    auto model = std::make_shared<kv218::sim::DeviceModel>();
    options.makePort = [model](kv218::TForm1& form) {
      auto port = std::make_unique<kv218::sim::InProcessPort>(*model, form.loop());
      kv218::Controller* controller = &form.controller();
      port->SetReceiver([controller](const std::uint8_t* data, std::size_t count) {
        controller->OnBurst(data, count);
      });
      return port;
    };
  }
  if (!script.hex.empty()) options.chooseHexFile = [hex = script.hex] { return hex; };

  kv218::StartApplication();
  return kv218::RunForm(std::move(options), showCommand, [&script](kv218::TForm1& form) {
    // Played once the loop runs, as the operator's clicks would be.
    form.loop().Post([&form, &script] { Play(form, script); });
  });
}
