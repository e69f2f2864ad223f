#pragma once
// The front end's window as the controller's runs see it: every operation goes on unchanged,
// except that while a run is going on the target type is the one read at its start. Frames,
// replies, block counts and checks of one run so all belong to one type, whatever the selector
// shows meanwhile.

#include <optional>

#include "ground/window_ops.h"

namespace kv218 {

class RunWindow final : public WindowOps {
 public:
  explicit RunWindow(WindowOps& window) : window_(window) {}

  // From now on the type is the selector's type of this moment, until ReleaseType.
  void HoldType() { held_ = window_.SelectedType(); }
  void ReleaseType() { held_.reset(); }

  TargetType SelectedType() const override { return held_ ? *held_ : window_.SelectedType(); }

  void AppendLog(std::string_view line) override { window_.AppendLog(line); }
  void AppendAside(std::string_view line) override { window_.AppendAside(line); }
  void AppendToLastLine(std::string_view text) override { window_.AppendToLastLine(text); }
  void SetPanelText(int panel, std::string_view text) override {
    window_.SetPanelText(panel, text);
  }
  void SetProgress(int percent) override { window_.SetProgress(percent); }
  void SetButtonsEnabled(bool enabled) override { window_.SetButtonsEnabled(enabled); }
  std::optional<std::string> ChooseHexFile() override { return window_.ChooseHexFile(); }
  void ShowError(std::string_view message) override { window_.ShowError(message); }
  void SetSelectorsEnabled(bool enabled) override { window_.SetSelectorsEnabled(enabled); }
  bool Confirm(std::string_view question) override { return window_.Confirm(question); }
  bool OfferToGoOn(std::string_view message, std::string_view goOn) override {
    return window_.OfferToGoOn(message, goOn);
  }
  void ShowVerdict(Verdict verdict) override { window_.ShowVerdict(verdict); }
  void CallOperator() override { window_.CallOperator(); }
  void ShowState(const StateShown& shown) override { window_.ShowState(shown); }

 private:
  WindowOps& window_;
  std::optional<TargetType> held_;
};

}  // namespace kv218
