#include "cli/console_setup.h"

namespace kv218::cli {

ConsoleSetup::ConsoleSetup(ConsoleCalls& console) : console_(console) {
  if (console_.GetMode(mode_)) {
    sequences_ = (mode_ & kProcessSequences) != 0;
    // Refused by a console that predates them: its rows stay plain.
    if (!sequences_ && console_.SetMode(mode_ | kProcessSequences)) {
      sequences_ = true;
      modeChanged_ = true;
    }
  }
  const std::uint32_t page = console_.OutputCodePage();
  if (page != 0 && page != kUtf8 && console_.SetOutputCodePage(kUtf8)) codePage_ = page;
}

ConsoleSetup::~ConsoleSetup() {
  // The console outlives the command: the shell and the next program find it as it was.
  if (modeChanged_) console_.SetMode(mode_);
  if (codePage_ != 0) console_.SetOutputCodePage(codePage_);
}

}  // namespace kv218::cli
