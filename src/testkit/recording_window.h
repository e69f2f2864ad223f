#pragma once
// A window that only records what the core did to it: the test seam for every Part that
// reports. Header-only.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ground/window_ops.h"

namespace kv218 {

class RecordingWindow : public WindowOps {
 public:
  void AppendLog(std::string_view line) override {
    log.emplace_back(line);
    stepLine = log.size() - 1;
    if (onLog) onLog(line);
  }
  void AppendAside(std::string_view line) override {
    log.emplace_back(line);
    if (onLog) onLog(line);
  }
  void AppendToLastLine(std::string_view text) override {
    if (stepLine >= log.size()) {
      log.emplace_back();
      stepLine = log.size() - 1;
    }
    log[stepLine].append(text);
  }
  void SetPanelText(int panel, std::string_view text) override {
    if (panel >= 0 && panel < 5) panels[static_cast<std::size_t>(panel)] = std::string(text);
  }
  void SetProgress(int percent) override {
    progress = ClampPercent(percent);
    progressCalls.push_back(percent);
  }
  void SetButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
  std::optional<std::string> ChooseHexFile() override {
    if (fileChoices.empty()) return std::nullopt;
    auto choice = fileChoices.front();
    fileChoices.pop_front();
    return choice;
  }
  TargetType SelectedType() const override { return TargetTypeAt(targetType); }
  void ShowError(std::string_view message) override { errors.emplace_back(message); }
  void SetSelectorsEnabled(bool enabled) override { selectorsEnabled = enabled; }
  bool Confirm(std::string_view question) override {
    questions.emplace_back(question);
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool OfferToGoOn(std::string_view message, std::string_view goOn) override {
    offers.push_back({std::string(message), std::string(goOn)});
    if (goOnAnswers.empty()) return false;
    const bool answer = goOnAnswers.front();
    goOnAnswers.pop_front();
    return answer;
  }
  void ShowVerdict(Verdict shown) override {
    verdict = shown;
    if (shown != Verdict::None) verdictLine = stepLine;
  }
  void CallOperator() override { ++operatorCalls; }
  void ShowState(const StateShown& shown) override {
    state = shown;
    reason = std::string(shown.reason);
  }

  std::vector<std::string> log;
  // Told of each line as it is logged (a test acting at a given line).
  std::function<void(std::string_view)> onLog;
  std::size_t stepLine = SIZE_MAX;  // the line AppendLog added last, which completions extend
  std::string panels[5] = {"PORT", "N/A", "processbar", "checksum", "N/A"};
  int progress = 0;                // as shown (clamped)
  std::vector<int> progressCalls;  // as asked for
  bool buttonsEnabled = true;
  std::deque<std::optional<std::string>> fileChoices;  // what ChooseHexFile returns next
  int targetType = 0;  // the type selector's item index (any number, -1: none selected)
  std::vector<std::string> errors;
  bool selectorsEnabled = true;
  std::vector<std::string> questions;  // asked through Confirm, in order
  std::deque<bool> answers;            // Confirm's next answers; yes when none is left
  struct Offer {
    std::string message, goOn;
  };
  std::vector<Offer> offers;     // made through OfferToGoOn, in order
  std::deque<bool> goOnAnswers;  // OfferToGoOn's next answers; Cancel when none is left
  Verdict verdict = Verdict::None;
  std::size_t verdictLine = SIZE_MAX;  // the line the last verdict marked
  int operatorCalls = 0;
  StateShown state;  // the last state shown (its reason copied into reason)
  std::string reason;
};

}  // namespace kv218
