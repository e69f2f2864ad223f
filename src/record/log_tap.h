#pragma once
// The controller's view of its window: every operation goes on to the front end's window
// unchanged, and what a run shows is also told to the run recorder.

#include "ground/window_ops.h"
#include "record/run_recorder.h"

namespace kv218 {

class LogTap final : public WindowOps {
 public:
  LogTap(WindowOps& window, RunRecorder& recorder) : window_(window), recorder_(recorder) {}

  void AppendLog(std::string_view line) override {
    recorder_.OnAppendLog(line);
    window_.AppendLog(line);
  }
  // A line the programmer volunteered is no part of the run's steps.
  void AppendAside(std::string_view line) override { window_.AppendAside(line); }
  void AppendToLastLine(std::string_view text) override {
    recorder_.OnAppendToLastLine(text);
    window_.AppendToLastLine(text);
  }
  void SetPanelText(int panel, std::string_view text) override {
    recorder_.OnPanelText(panel, text);
    window_.SetPanelText(panel, text);
  }
  void SetProgress(int percent) override { window_.SetProgress(percent); }
  void SetButtonsEnabled(bool enabled) override { window_.SetButtonsEnabled(enabled); }
  std::optional<std::string> ChooseHexFile() override { return window_.ChooseHexFile(); }
  TargetType SelectedType() const override { return window_.SelectedType(); }
  void ShowError(std::string_view message) override {
    recorder_.OnShowError(message);
    window_.ShowError(message);
  }

  void SetSelectorsEnabled(bool enabled) override { window_.SetSelectorsEnabled(enabled); }
  bool Confirm(std::string_view question) override { return window_.Confirm(question); }
  void ShowVerdict(Verdict verdict) override { window_.ShowVerdict(verdict); }
  void CallOperator() override { window_.CallOperator(); }

  // The front end's window itself, for what is not part of a run.
  WindowOps& window() { return window_; }

 private:
  WindowOps& window_;
  RunRecorder& recorder_;
};

}  // namespace kv218
