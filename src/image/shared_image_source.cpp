#include "image/shared_image_source.h"

#include <optional>
#include <utility>

namespace kv218 {

namespace {

using Effect = SharedImageSource::Effect;

// The window the shared reading runs against: it notes each effect and answers the loader's
// questions as the first station's window would.
class EffectRecorder final : public WindowOps {
 public:
  EffectRecorder(WindowOps& asked, std::vector<Effect>& effects)
      : asked_(asked), effects_(effects) {}

  void AppendLog(std::string_view line) override { Note(Effect::Kind::Log, 0, line); }
  void AppendToLastLine(std::string_view text) override {
    Note(Effect::Kind::AppendToLastLine, 0, text);
  }
  void SetPanelText(int panel, std::string_view text) override {
    Note(Effect::Kind::Panel, panel, text);
  }
  void SetProgress(int percent) override {
    // The gauge moves once per line; only its changes are worth showing again.
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    Note(Effect::Kind::Progress, percent, {});
  }
  void AppendAside(std::string_view line) override { asked_.AppendAside(line); }
  void SetButtonsEnabled(bool enabled) override { asked_.SetButtonsEnabled(enabled); }
  std::optional<std::string> ChooseHexFile() override { return asked_.ChooseHexFile(); }
  TargetType SelectedType() const override { return asked_.SelectedType(); }
  void ShowError(std::string_view message) override { Note(Effect::Kind::Error, 0, message); }

 private:
  void Note(Effect::Kind kind, int number, std::string_view text) {
    effects_.push_back(Effect{kind, number, std::string(text)});
  }

  WindowOps& asked_;
  std::vector<Effect>& effects_;
  std::optional<int> lastPercent_;
};

void ShowAgain(const std::vector<Effect>& effects, WindowOps& window) {
  for (const Effect& effect : effects) {
    switch (effect.kind) {
      case Effect::Kind::Log:
        window.AppendLog(effect.text);
        break;
      case Effect::Kind::AppendToLastLine:
        window.AppendToLastLine(effect.text);
        break;
      case Effect::Kind::Panel:
        window.SetPanelText(effect.number, effect.text);
        break;
      case Effect::Kind::Progress:
        window.SetProgress(effect.number);
        break;
      case Effect::Kind::Error:
        window.ShowError(effect.text);
        break;
    }
  }
}

}  // namespace

struct SharedImageSource::Reading {
  std::string path;
  TargetType targetType = TargetType::TkSeries;
  std::int32_t bias = 0;
  bool strict = false;
  MemoryImage image;
  LoadResult result;
  std::vector<Effect> effects;
};

SharedImageSource::SharedImageSource() = default;
SharedImageSource::~SharedImageSource() = default;

LoadResult SharedImageSource::Load(MemoryImage& image, const std::string& path,
                                   TargetType targetType, WindowOps& window, MessageLoop& loop,
                                   const LoadOptions& options) {
  std::shared_ptr<const Reading> reading;
  {
    // Held while the first station reads the file: the others wait for its image rather
    // than read the file again.
    std::lock_guard lock(mutex_);
    const bool same = reading_ && reading_->path == path && reading_->targetType == targetType &&
                      reading_->bias == image.ChecksumBiasFlag &&
                      reading_->strict == options.strict;
    if (!same) {
      auto fresh = std::make_shared<Reading>();
      fresh->path = path;
      fresh->targetType = targetType;
      fresh->bias = image.ChecksumBiasFlag;
      fresh->strict = options.strict;
      fresh->image = image;  // the loader keeps some registers from what the station held
      EffectRecorder recorder(window, fresh->effects);
      fresh->result = LoadImage(fresh->image, path, targetType, recorder, loop, options);
      reading_ = std::move(fresh);
      ++filesRead_;
    }
    reading = reading_;
  }
  image = reading->image;
  ShowAgain(reading->effects, window);
  // As the loader does while it reads: a close request made meanwhile is seen now.
  loop.PumpMessages();
  return reading->result;
}

int SharedImageSource::FilesRead() const {
  std::lock_guard lock(mutex_);
  return filesRead_;
}

}  // namespace kv218
