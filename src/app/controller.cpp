#include "app/controller.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "ground/shown_text.h"
#include "image/hex_loader.h"
#include "image/load_findings.h"
#include "image/load_texts.h"
#include "image/suspect_file.h"
#include "port/port_open_error.h"
#include "port/receive_thread.h"
#include "port/system_port.h"
#include "protocol/receive_handler.h"
#include "record/record_platform.h"
#include "runs/flash_download.h"
#include "runs/read_only_sessions.h"
#include "runs/target_sequence.h"

namespace kv218 {

namespace {
// Longest wait for the port's queue at a close: a whole block frame at 19200 baud. A port that
// knows its line rate bounds the wait further by what is actually queued.
constexpr std::chrono::milliseconds kCloseDrainLimit{2500};

constexpr char kNoTypeLine[] = "Select the target type";
constexpr char kIncompleteStoreNote[] =
    "<<WARNING>> The KV-218's stored image is incomplete: store it again (PC to KV-218) "
    "before its stand-alone runs";

// How the refusal of a suspect file and its override are worded for each kind of run.
struct SuspectFileWords {
  const char* refused;  // the log line's opening when the run does not go on
  const char* forced;   // ... and when it goes on all the same
  const char* goOn;     // the button that forces it
};

SuspectFileWords WordsFor(RunRecord::Kind kind) {
  switch (kind) {
    case RunRecord::Kind::Store:
      return {"Not stored", "Stored anyway", "Program anyway"};
    case RunRecord::Kind::VerifyTarget:
    case RunRecord::Kind::VerifyFlash:
      return {"Not verified", "Verified anyway", "Verify anyway"};
    default:
      return {"Not programmed", "Programmed anyway", "Program anyway"};
  }
}

// A wait gives up once TimeOutCount reaches its limit: a run whose port is gone ends at its
// next message instead of counting the silence of a line that can bring nothing.
constexpr std::int32_t kPortGoneCount = 1 << 24;

// The port as the log names it: on Linux the device a COM name opens, as the operator knows
// it; on Windows the name itself.
std::string ShownPort(const std::string& path) { return ShownText(SystemDevicePath(path)); }

// A finding's phrase as a sentence of the log.
std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}
}  // namespace

Controller::Controller(WindowOps& window, MessageLoop& loop, SettingsLocation settings,
                       PortFactory makePort)
    : window_(window),
      loop_(loop),
      settingsLocation_(std::move(settings)),
      makePort_(std::move(makePort)),
      sleep_([](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }),
      clock_([] { return std::chrono::system_clock::now(); }),
      steadyClock_([] { return std::chrono::steady_clock::now(); }),
      reportRecordError_([this](const std::string& error) {
        // A line in the log rather than a message box: a production line is never stopped
        // by its record, and the warning stays in view with the run it belongs to.
        window_.AppendLog("<<WARNING>> Run not recorded: " + ShownText(error));
      }),
      reportPortEvent_([this](PortEvent event, const std::string& path) {
        // Aside, as the programmer's own reports: a run in progress completes its step line.
        window_.AppendAside(event == PortEvent::Lost ? "<<WARNING>> Port " + ShownPort(path) +
                                                           " lost; waiting for it to come back"
                                                     : "Port " + ShownPort(path) + " is back");
      }),
      reportLoadFinding_([this](const std::string& finding) {
        // A line of its own after the loading lines: the file loads all the same.
        window_.AppendLog("<<WARNING>> " + Capitalised(finding));
      }),
      reportIncompleteStore_([this] { window_.AppendLog(kIncompleteStoreNote); }),
      reportPortOpenFailure_(
          [this](const std::string& text) { window_.AppendLog("<<WARNING>> " + text); }),
      reportNextStep_(
          [this](const std::string& text) { window_.AppendLog("<<NEXT STEP>> " + text); }),
      recordStandalone_([this](const RunRecord& run) {
        if (recordFile_.empty()) return;
        RunRecord record = run;
        record.port = portPath_;
        WriteRecord(std::move(record));
      }),
      hostName_(HostName()),
      frames_(station_, window_) {
  if (!makePort_) makePort_ = [] { return MakeSystemPort(); };
  // The recorder hears every run and keeps what it heard only while it records one.
  station_.events = &failureWatch_;
  // The record goes to the disk before the closing line is shown: a verdict on the screen
  // always has its record behind it, even when the machine goes down a moment later.
  recorder_.SetEndedHandler([this](bool succeeded) {
    RecordRunEnd(succeeded              ? RunOutcome::Succeeded
                 : recorder_.TimedOut() ? RunOutcome::TimedOut
                                        : RunOutcome::Failed);
  });
  loop_.SetTickHandler([this] { OnTick(); });
}

Controller::~Controller() {
  ClosePort();
  loop_.SetTickHandler({});
}

void Controller::Open() {
  ReadSettingsFile();
  OpenPort(settings_.PortPath);
}

void Controller::ReadSettingsFile() {
  settings_ = ReadSettings(settingsLocation_.readPath);
  recordFile_ = settings_.RecordFile;
  // Said at once: the port and the type the operator set up are not the ones in use.
  if (const std::string text = SettingsNotReadText(settingsLocation_.readPath, settings_);
      !text.empty()) {
    window_.AppendLog("<<WARNING>> " + text);
  }
}

bool Controller::OpenPort(const std::string& path, bool remember) {
  ClosePort();
  portPath_ = path;
  if (remember) settings_.PortPath = path;
  if (!StartPort()) {
    window_.SetPanelText(1, "N/A");
    if (reportPortOpenFailure_) {
      reportPortOpenFailure_(SystemPortOpenErrorText(path, lastOpenFailure_));
    }
    InputsChanged();
    return false;
  }
  window_.SetPanelText(1, PortNameOf(path));
  InputsChanged();
  return true;
}

bool Controller::StartPort() {
  port_ = makePort_();
  portOpen_ = port_->Open(portPath_, PortSettingsText(settings_));
  lastOpenFailure_ = portOpen_ ? OpenFailure{} : port_->LastOpenFailure();
  if (!portOpen_) {
    port_.reset();
    return false;
  }
  station_.port = port_.get();
  const bool silence = forceSilenceFraming_ || settings_.SilenceFraming;
  receiveThread_ = std::make_unique<ReceiveThread>(
      *port_, loop_, [this](const std::uint8_t* data, std::size_t count) { OnBurst(data, count); },
      silence ? nullptr : &replyEnd_, [this] { OnPortLost(); });
  return true;
}

void Controller::ClosePort() {
  // Closing discards what the port has not sent yet; the last frame of a run (EndRun) must
  // still reach the programmer.
  if (port_) port_->Drain(kCloseDrainLimit);
  StopPort();
  // Another port chosen, or the window closing: a stand-alone run still open on this line is
  // never heard to end, and the lost port is no longer looked for.
  portLost_ = false;
  EndStandaloneWatch();
}

void Controller::EndStandaloneWatch() {
  standalone_.Abandon(recordStandalone_);
  UpdateIdleTickTimer();
}

void Controller::UpdateIdleTickTimer() {
  // A run keeps the timer for its waits and switches it off at its end. Outside a run the
  // timer is switched only when the need changes: a command may run it for a wait of its own
  // (info).
  if (control_.running) return;
  const bool wanted = portLost_ || standalone_.RunOpen();
  if (wanted == idleTicking_) return;
  idleTicking_ = wanted;
  loop_.SetTickTimer(wanted);
}

void Controller::StopPort() {
  // The thread goes first, so that no read is left on a port that is being closed (or
  // reopened), and no burst of the old port reaches the handler afterwards.
  if (receiveThread_) {
    receiveThread_->Stop();
    receiveThread_.reset();
  }
  station_.port = nullptr;
  station_.reportCarry = {};  // the start of a report on the old line finds no end on a new one
  station_.noteContinues = false;
  if (port_) {
    port_->Close();
    port_.reset();
  }
  portOpen_ = false;
}

void Controller::SelectPort(int index) { OpenPort("\\\\.\\COM" + std::to_string(index + 1)); }

bool Controller::Close(int comIndex) {
  Settings saved = settings_;
  saved.Com = comIndex;
  // Nothing selected keeps what the file said (a TYPE that named no type stays as it was).
  if (const int type = ItemIndexOf(window_.SelectedType()); IsTargetTypeItem(type)) {
    saved.Type = type;
  }
  PrepareSettingsFolder(settingsLocation_);
  if (const auto error = WriteSettings(settingsLocation_.writePath, saved)) {
    // The operator is told once and the window stays; the next close closes it, so that a
    // settings file that cannot be written never keeps the window open for good.
    if (!saveFailureShown_) {
      saveFailureShown_ = true;
      window_.ShowError(*error);
      return false;
    }
  } else {
    settings_ = saved;
  }
  if (control_.running) {
    // The run unwinds at its next wait; the programmer hears the end now, while the port is
    // still open.
    control_.closeRequested = true;
    frames_.EndRun();
  }
  ClosePort();
  return true;
}

void Controller::OnPortLost() {
  if (!portOpen_) return;
  // The dead descriptor is closed at once: a replugged adapter gets its old name back only
  // when nothing holds the old device any more.
  StopPort();
  portLost_ = true;
  window_.SetPanelText(1, "N/A");
  InputsChanged();
  if (reportPortEvent_) reportPortEvent_(PortEvent::Lost, portPath_);
  if (control_.running) {
    // Nothing can come back on a line that is gone: the run ends at its next message.
    portLostInRun_ = true;
    station_.TimeOutCount = kPortGoneCount;
  }
  // Looked for at every tick; a run in progress keeps the tick timer for its waits, and the
  // port is looked for once it is over.
  UpdateIdleTickTimer();
}

void Controller::ReopenLostPort() {
  if (!StartPort()) return;  // still away, or not ready yet: the next tick tries again
  portLost_ = false;
  UpdateIdleTickTimer();
  window_.SetPanelText(1, PortNameOf(portPath_));
  RefreshState();
  if (reportPortEvent_) reportPortEvent_(PortEvent::Back, portPath_);
}

void Controller::OnTick() {
  CountTick(station_);
  // A wait begun after the loss counts from 0 again; the next tick ends it.
  if (portLostInRun_ && control_.running && portLost_) station_.TimeOutCount = kPortGoneCount;
  if (portLost_ && !control_.running) ReopenLostPort();
  if (standalone_.RunOpen()) {
    standalone_.OnTick(recordStandalone_);
    UpdateIdleTickTimer();
  }
}

void Controller::QueryNote() {
  frames_.QueryInfo();
  if (!control_.running) station_.TimeOutCount = 0;
}

void Controller::LoadFile() {
  if (control_.running) return;
  const auto chosen = window_.ChooseHexFile();
  if (chosen) LoadFileNamed(*chosen);
}

bool Controller::LoadFileNamed(const std::string& path) {
  if (control_.running) {
    // The run reloads HexFileName at its start and reads the image throughout; a file taken
    // now would change what it programs. The button is off, but a drop can still come. Aside:
    // the step in progress still completes its own line.
    window_.AppendAside("<<WARNING>> A run is in progress; " + ShownText(path) + " was not loaded");
    return false;
  }
  station_.HexFileName = path;
  AppendLoadingLines(window_, station_.HexFileName);
  const TargetType type = window_.SelectedType();
  control_.lastLoad =
      LoadImage(station_.image, station_.HexFileName, type, window_, loop_, control_.loadOptions);
  ReportLoadFindings(control_.lastLoad, type);
  InputsChanged();
  return true;
}

void Controller::ReportLoadFindings(const LoadResult& loaded, TargetType type) {
  if (!reportLoadFinding_) return;
  for (const std::string& finding : LoadFindings(loaded, type)) reportLoadFinding_(finding);
}

bool Controller::AcceptLoadedFile(const LoadResult& loaded, TargetType type, RunRecord::Kind kind) {
  const std::vector<std::string> reasons = SuspectFileReasons(loaded, type);
  if (reasons.empty()) return true;
  const SuspectFileWords words = WordsFor(kind);
  const std::string why = station_.HexFileName + " is suspect (" + ReasonsText(reasons) + ")";
  const bool forced =
      lenient_ ||
      window_.OfferToGoOn("The file " + station_.HexFileName +
                              " may be no firmware, cut short, damaged or made for another "
                              "type:\n\n" +
                              ReasonsText(reasons) + "\n\nNothing was sent to the programmer.",
                          words.goOn);
  window_.AppendLog(std::string("<<WARNING>> ") + (forced ? words.forced : words.refused) + ": " +
                    why);
  if (forced) recorder_.Forced(reasons);
  return forced;
}

void Controller::TypeChanged() {
  // A run's own reload sets the panel; between runs it would show the old layout's sum.
  if (control_.running) return;
  window_.SetPanelText(kChecksumPanel, "N/A");
  InputsChanged();
}

bool Controller::StartKey() {
  if (!board_.CanStart()) return false;
  ProgramTarget();
  return true;
}

void Controller::RefreshState() {
  board_.InputsRead(CurrentReadiness());
  ShowState();
}

Readiness Controller::CurrentReadiness() const {
  return {.fileLoaded = !station_.HexFileName.empty() && control_.lastLoad.ok(),
          .portOpen = portOpen_,
          .typeChosen = IsTargetTypeItem(ItemIndexOf(window_.SelectedType()))};
}

void Controller::InputsChanged() {
  board_.InputsChanged(CurrentReadiness());
  ShowState();
}

RunOutcome Controller::ProgramTarget() {
  return RunExclusive(&RunTargetSequence, RunRecord::Kind::Program);
}

RunOutcome Controller::StoreInProgrammer() {
  return RunExclusive(&RunFlashDownload, RunRecord::Kind::Store);
}

RunOutcome Controller::VerifyTarget() {
  return RunExclusive(&RunVerifyTarget, RunRecord::Kind::VerifyTarget);
}

RunOutcome Controller::VerifyProgrammer() {
  return RunExclusive(&RunVerifyFlash, RunRecord::Kind::VerifyFlash);
}

RunOutcome Controller::ReadTarget() {
  return RunExclusive(&RunReadTarget, RunRecord::Kind::ReadTarget);
}

RunOutcome Controller::ReadProgrammer() {
  return RunExclusive(&RunReadFlash, RunRecord::Kind::ReadFlash);
}

RunOutcome Controller::RunExclusive(RunOutcome (*sequence)(RunContext&), RunRecord::Kind kind) {
  if (control_.running) return RunOutcome::Busy;
  const bool reads = kind == RunRecord::Kind::ReadTarget || kind == RunRecord::Kind::ReadFlash;
  if (!IsTargetTypeItem(ItemIndexOf(window_.SelectedType()))) {
    // Said at once: no loader, no first command and no check would belong to the board, and
    // the run would end in a time-out that blames it.
    window_.AppendLog("");
    window_.AppendLog(kNoTypeLine);
    RefreshState();
    return lastOutcome_ = RunOutcome::NoType;
  }
  if (!station_.HexFileName.empty() && !portOpen_) {
    // Said at once: nothing sent could arrive, and the time-out would blame the target.
    window_.AppendLog("");
    window_.AppendLog("<<WARNING>> Port " + ShownPort(portPath_) + " is not open");
    RefreshState();
    return lastOutcome_ = RunOutcome::NoPort;
  }
  // The host takes the programmer over: a stand-alone run still open will not end.
  EndStandaloneWatch();
  control_.running = true;
  idleTicking_ = false;  // the run owns the timer now
  control_.closeRequested = false;
  portLostInRun_ = false;
  failureWatch_.Begin();
  // Read once: every frame, reply and check of the run belongs to this type, and the
  // selectors stay disabled until it is over.
  window_.HoldType();
  window_.SetSelectorsEnabled(false);
  window_.ShowVerdict(Verdict::None);
  board_.RunStarted();
  ShowState();
  const TargetType type = window_.SelectedType();
  replyEnd_.ExpectTargetType(type);
  const bool recording = !recordFile_.empty();
  if (recording) {
    // A read starts from no file.
    recorder_.Begin(
        {kind, portPath_, reads ? std::string() : station_.HexFileName, ItemIndexOf(type)},
        clock_(), steadyClock_());
  }
  RunContext run{station_,
                 window_,
                 loop_,
                 frames_,
                 control_,
                 sleep_,
                 images_,
                 [this, type, kind](const LoadResult& loaded) {
                   ReportLoadFindings(loaded, type);
                   return AcceptLoadedFile(loaded, type, kind);
                 }};
  if (reads)
    run.keep = [this] {
      if (!keepRead_) return true;
      const std::optional<std::string> failure = keepRead_();
      if (!failure) return true;
      window_.AppendLog(*failure);
      recorder_.FailedAfterSteps(*failure);
      return false;
    };
  // What the run's own reading of the file gave, or nothing when it read none.
  control_.lastLoad = LoadResult{};
  lastOutcome_ = sequence(run);
  ShowRunEnd(lastOutcome_, kind);
  control_.running = false;
  window_.ReleaseType();
  // The run reloaded the file (and the port may have gone meanwhile): the state after it.
  board_.InputsRead(CurrentReadiness());
  board_.RunEnded(lastOutcome_, kind == RunRecord::Kind::Program);
  ShowState();
  window_.SetSelectorsEnabled(true);
  UpdateIdleTickTimer();  // the run has switched it off; a lost port is looked for
  control_.closeRequested = false;
  // A run that ended without a closing line (interrupted, stopped before its first step) is
  // recorded once it is over (the programmer told, the buttons back). A click without a file
  // ran nothing and leaves no line, nor does a suspect file refused, which sent nothing.
  if (recording && recorder_.InRun()) {
    if (lastOutcome_ == RunOutcome::NoFile || lastOutcome_ == RunOutcome::Refused) {
      recorder_.End(lastOutcome_, station_, clock_(), steadyClock_());
    } else {
      RecordRunEnd(lastOutcome_);
    }
  }
  return lastOutcome_;
}

void Controller::RecordRunEnd(RunOutcome outcome) {
  if (!recorder_.InRun()) return;
  recorder_.FileRead(control_.lastLoad.sha256);
  WriteRecord(recorder_.End(outcome, station_, clock_(), steadyClock_()));
}

void Controller::RecordRefusedRun(RunRecord::Kind kind, const std::string& line) {
  if (recordFile_.empty()) return;
  recorder_.Begin({kind, portPath_, std::string(), ItemIndexOf(window_.SelectedType())}, clock_(),
                  steadyClock_());
  recorder_.FailedAfterSteps(line);
  WriteRecord(recorder_.End(RunOutcome::Failed, station_, clock_(), steadyClock_()));
}

void Controller::ShowRunEnd(RunOutcome outcome, RunRecord::Kind kind) {
  switch (outcome) {
    case RunOutcome::Succeeded:
      window_.ShowVerdict(Verdict::Succeeded);
      break;
    case RunOutcome::Failed:
    case RunOutcome::TimedOut: {
      window_.ShowVerdict(Verdict::Failed);
      window_.CallOperator();
      const bool targetRun = kind == RunRecord::Kind::Program ||
                             kind == RunRecord::Kind::VerifyTarget ||
                             kind == RunRecord::Kind::ReadTarget;
      const auto next = NextStepLine(outcome, portLostInRun_, failureWatch_.cause(), targetRun);
      if (next && reportNextStep_) reportNextStep_(*next);
      break;
    }
    case RunOutcome::Interrupted:
      // The programmer erases whatever it held once asked to; what it holds now is no image.
      if (kind == RunRecord::Kind::Store && control_.flashEraseAsked && reportIncompleteStore_) {
        reportIncompleteStore_();
      }
      break;
    default:
      break;
  }
}

bool Controller::ConfirmClose() {
  if (!control_.running) return true;
  if (!window_.Confirm(kStopRunQuestion)) return false;
  RequestClose();
  return true;
}

void Controller::WriteRecord(RunRecord record) {
  record.host = hostName_;
  record.version = std::string(ToolVersion());
  if (const auto error = AppendWholeLine(recordFile_, RecordLine(record))) {
    if (reportRecordError_) reportRecordError_(*error);
  }
}

void Controller::RequestClose() {
  if (control_.running) control_.closeRequested = true;
}

void Controller::OnBurst(const std::uint8_t* data, std::size_t count) {
  if (inBurst_) {
    // Only possible when the bursts come as plain messages (the in-process simulator): the
    // reply decoding handles messages while it runs, and must not be entered twice.
    heldBursts_.emplace_back(data, data + count);
    return;
  }
  inBurst_ = true;
  HandleBurst(data, count);
  while (!heldBursts_.empty()) {
    const std::vector<std::uint8_t> held = std::move(heldBursts_.front());
    heldBursts_.pop_front();
    HandleBurst(held.data(), held.size());
  }
  inBurst_ = false;
}

void Controller::HandleBurst(const std::uint8_t* data, std::size_t count) {
  // A stand-alone run's record goes to the disk before its closing report is shown.
  standalone_.OnBurst(data, std::min(count, kMaxBurst), clock_(), recordStandalone_,
                      steadyClock_());
  ReceiveHandler(station_, window_, loop_, followUp_, data, count);
  UpdateIdleTickTimer();
  ++burstsHandled_;
}

}  // namespace kv218
