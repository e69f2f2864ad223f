#pragma once
// The main window's controller without a toolkit: start-up from the settings file, the port
// and its receive thread, the port selector, the tick timer, the note query, the load,
// program and store commands, and the close. A front end (Qt or Win32 window, command line)
// calls these operations from its events and draws what WindowOps tells it; it holds no
// protocol logic of its own. docs/architecture.md maps the windows' controls to them.
// Everything runs on the window thread, except the receive thread, which hands each burst
// over through MessageLoop::RunOnWindowThread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/board_state.h"
#include "app/next_step.h"
#include "app/run_window.h"
#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "port/port_channel.h"
#include "protocol/frames.h"
#include "protocol/reply_decoder.h"
#include "protocol/station.h"
#include "record/run_recorder.h"
#include "record/standalone_watch.h"
#include "runs/run_context.h"
#include "runs/run_outcome.h"
#include "runs/waits.h"
#include "settings/settings.h"
#include "settings/settings_location.h"

namespace kv218 {

class ReceiveThread;

class Controller {
 public:
  using PortFactory = std::function<std::unique_ptr<PortChannel>()>;
  // What a close during a run asks the operator.
  static constexpr char kStopRunQuestion[] = "A run is in progress. Stop it and close?";
  using Sleeper = std::function<void(std::chrono::milliseconds)>;
  using WallClock = std::function<WallTime()>;
  using SteadyClock = std::function<SteadyTime()>;
  // Keeps what a read run read (writes its output file); nothing when kept, else the line
  // that tells why not.
  using ReadKeeper = std::function<std::optional<std::string>()>;
  using RecordErrorReporter = std::function<void(const std::string&)>;
  enum class PortEvent { Lost, Back };
  using PortEventReporter = std::function<void(PortEvent, const std::string& path)>;
  using LoadFindingReporter = std::function<void(const std::string& finding)>;
  using IncompleteStoreReporter = std::function<void()>;
  using TextReporter = std::function<void(const std::string& text)>;

  // makePort gives a fresh, closed port for every open; by default the platform's serial port.
  // A plain path as settings is the file both read and written.
  Controller(WindowOps& window, MessageLoop& loop, SettingsLocation settings,
             PortFactory makePort = {});
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // Reads the settings, opens the stored port, starts its receive thread and shows the port
  // name (or "N/A") in panel 1. The front end then selects the port and type selectors'
  // items from settings().Com and settings().Type.
  void Open();
  const Settings& settings() const { return settings_; }

  // Saves the settings (COM from comIndex, TYPE from the target selector). On the first
  // failure shows "Unable to write to <path>: <reason>" and returns false: the window stays
  // open, the port stays open. A later close that cannot save either closes without showing it
  // again. Closing ends a run in progress at once (EndRun sent; with the port closed, not even
  // a store's erase can be waited for), stops the receive thread and closes the port.
  bool Close(int comIndex);

  // Another port picked: the old receive thread is stopped and joined, the port closed, and
  // "\\.\COM<index + 1>" opened.
  void SelectPort(int index);
  // Opens path with the stored line settings (closing the port in use first); true when it
  // opened. Panel 1 shows the port name or "N/A". With remember, the path becomes the PORT
  // saved at close; the command line's one-off --port does not.
  bool OpenPort(const std::string& path, bool remember = true);
  // Reads the settings file only; Open is this and OpenPort(settings().PortPath).
  // The record file becomes the one the settings name.
  void ReadSettingsFile();
  // Ends every burst at the 50 ms gap from the next OpenPort on, whatever the settings say
  // (the command line's --silence-framing). By default a reply whose length its head tells
  // is handed over as soon as it has arrived, and a pause inside it shorter than
  // kLongestPauseInReply does not cut it.
  void ForceSilenceFraming() { forceSilenceFraming_ = true; }

  // Each program or store run, and each stand-alone run the programmer reports, appends one
  // line to this file (empty: none). A line that cannot be written is reported through the
  // reporter (by default a warning line in the log) and changes nothing else.
  void SetRecordFile(std::string path) { recordFile_ = std::move(path); }
  const std::string& RecordFile() const { return recordFile_; }
  void SetRecordErrorReporter(RecordErrorReporter report) {
    reportRecordError_ = std::move(report);
  }
  // A lost port (pulled adapter, closed line) and its return are reported through this (by
  // default a line in the log). Panel 1 shows "N/A" while it is away.
  void SetPortEventReporter(PortEventReporter report) { reportPortEvent_ = std::move(report); }
  // What a load noticed about its file (image/load_findings.h), by the load button or at a
  // run's start, is reported through this: by default a warning line in the log after the
  // loading lines; the command line, which says it on standard error, passes an empty one.
  void SetLoadFindingReporter(LoadFindingReporter report) {
    reportLoadFinding_ = std::move(report);
  }
  // A store broken off after it asked for the erase left the programmer without a whole
  // image; this says so (by default a warning line in the log).
  void SetIncompleteStoreReporter(IncompleteStoreReporter report) {
    reportIncompleteStore_ = std::move(report);
  }
  // A port that did not open at start or at a port change, with the system's reason
  // (port/port_open_error.h): by default a warning line in the log; the command line, which
  // says it itself, passes an empty one.
  void SetPortOpenFailureReporter(TextReporter report) {
    reportPortOpenFailure_ = std::move(report);
  }
  // After a run that failed or timed out, the likely cause and what to do next
  // (app/next_step.h): by default a line of its own after the closing line.
  void SetNextStepReporter(TextReporter report) { reportNextStep_ = std::move(report); }
  // The programmer's stand-alone runs seen so far: passed, failed, and unfinished (opened and
  // never closed: recorded when the next opens, a run of the host's begins, the port closes,
  // or after kStandaloneSilenceTicks ticks without a burst).
  const StandaloneTally& StandaloneRuns() const { return standalone_.tally(); }
  // A stand-alone run still open is recorded unfinished now (closing the port does it too).
  void EndStandaloneWatch();

  // One tick of the tick timer: one more tick without a byte from the programmer
  // (TimeOutCount; every burst sets it back to 0); while the port is lost and no run is in
  // progress, tries to open it again.
  void OnTick();
  // Asks the programmer for its note (QueryInfo); the reply is logged when it comes. Outside a
  // run the silence is counted from the question on (TimeOutCount back to 0), for a front end
  // that waits for the answer; a run's own count stays.
  void QueryNote();
  // The load command: file dialog, then the loader for the selected type.
  void LoadFile();
  // Loads path as the load command loads a chosen file: a file named when the window starts,
  // or dropped on it. During a run nothing is loaded and the log says so; false then.
  bool LoadFileNamed(const std::string& path);
  // Program the target / store the image in the programmer's flash. A click while a run is
  // in progress does nothing (Busy); with no type selected the run is refused at once with
  // "Select the target type" (NoType); with a file but no open port it is refused at once
  // with a warning (NoPort). While it runs the selectors are disabled with the buttons, and
  // the target type is the one selected at its start. At its end the window shows the verdict
  // and, on a failure, calls the operator; a store interrupted after its erase says that the
  // programmer's image must be stored again.
  RunOutcome ProgramTarget();
  RunOutcome StoreInProgrammer();
  // The file the next run reloads at its start, named without loading it now: the command
  // line's runs read it afresh themselves, as after the load button.
  void SetHexFile(std::string path) { station_.HexFileName = std::move(path); }
  // The type selector changed: panel 4 no longer shows a checksum of another layout, and a
  // verdict shown no longer applies.
  void TypeChanged();
  // The window's start key (F5, the keypad's Enter, a foot pedal sending one of them): PC ->
  // Target when the window is ready for it (a file loaded, the port open, a type chosen, no
  // run in progress), otherwise nothing at all. True when a run was started.
  bool StartKey();
  // Shows the board state again after the front end set its selectors (at the start).
  void RefreshState();
  // What the window shows over its large area now.
  StateShown State() const { return board_.Shown(); }
  // Check the target / the image stored in the programmer against the loaded file, reading
  // only: nothing is erased or written, the erase counter stays. Type 3 has no target read
  // command: VerifyTarget shows an error and sends nothing.
  RunOutcome VerifyTarget();
  RunOutcome VerifyProgrammer();
  // Read the target / the programmer's stored image into the station's image (no file); the
  // command line writes it out as HEX.
  RunOutcome ReadTarget();
  RunOutcome ReadProgrammer();

  bool Running() const { return control_.running; }
  // Ends the run in progress at its next wait, once the frame in flight has its answer or its
  // step's time-out (EndRun sent, buttons enabled, the tick timer off); a store whose erase
  // was asked for first sees the erase and the counter's store through.
  // Nothing when no run is in progress.
  void RequestClose();
  // The window is asked to close. During a run the operator is asked first ("A run is in
  // progress. Stop it and close?"): yes asks the run to end (RequestClose) and returns true,
  // the window closing once the run has unwound; no returns false and the run goes on.
  // Without a run: true at once.
  bool ConfirmClose();

  // One burst from the programmer, on the window thread: the receive thread's handler (and
  // the in-process simulator's receiver). A burst that arrives while another is being handled
  // waits until that one has returned, as it would behind a blocked receive thread.
  void OnBurst(const std::uint8_t* data, std::size_t count);

  Station& station() { return station_; }
  bool PortOpen() const { return portOpen_; }
  // The open port went away and is tried again at every tick of the tick timer, which runs while it
  // is away; a port change or a close ends the waiting.
  bool PortLost() const { return portLost_; }
  // Why the last OpenPort failed (the window shows only "N/A").
  OpenFailure LastOpenFailure() const { return lastOpenFailure_; }
  // The path of the last open attempt.
  const std::string& PortPath() const { return portPath_; }
  RunOutcome LastOutcome() const { return lastOutcome_; }
  // A run on a file its reload found suspect (image/suspect_file.h) is refused before its
  // first frame: a warning line names the reasons, and the window offers to run it anyway
  // (WindowOps::OfferToGoOn). Lenient runs such a file without asking (the command line's
  // --lenient). Either way a forced run logs the reasons and its record says it was forced.
  void SetLenient(bool lenient) { lenient_ = lenient; }
  // How loads read the file (the command line's --strict); the window keeps the defaults.
  void SetLoadOptions(const LoadOptions& options) { control_.loadOptions = options; }
  // The last load, by the load button or at the start of a run.
  const LoadResult& LastLoad() const { return control_.lastLoad; }
  std::uint64_t BurstsHandled() const { return burstsHandled_; }
  // The blocking pause after BeginRun; tests pass a virtual one.
  void SetSleeper(Sleeper sleep) { sleep_ = std::move(sleep); }
  // Where the runs' reload of the HEX file comes from (null, the default: the file itself).
  // Several controllers programming at once share one reading this way.
  void SetImageSource(ImageSource* images) { images_ = images; }
  // The wall clock of the records; tests pass one that follows virtual time.
  void SetClock(WallClock clock) { clock_ = std::move(clock); }
  // The steady clock the records' durations are measured on; tests pass a virtual one.
  void SetSteadyClock(SteadyClock clock) { steadyClock_ = std::move(clock); }
  // Called when a read run has read all it reads, before its closing line: a read whose
  // result cannot be kept (its output file not written) fails there, and its closing line
  // and record say so. None: nothing to keep.
  void SetReadKeeper(ReadKeeper keeper) { keepRead_ = std::move(keeper); }
  // A run that was refused before it began (nothing sent): recorded as failed with line, as a
  // run of kind on the port; nothing without a record file.
  void RecordRefusedRun(RunRecord::Kind kind, const std::string& line);

 private:
  void ClosePort();
  // Opens portPath_ and starts its receive thread; panel 1 is left to the caller.
  bool StartPort();
  void StopPort();  // ClosePort without draining: for a port that can take nothing more
  void OnPortLost();
  // Outside a run the tick timer runs while the lost port is looked for or a stand-alone run
  // is open (its bound of silence).
  void UpdateIdleTickTimer();
  void ReopenLostPort();
  RunOutcome RunExclusive(RunOutcome (*sequence)(RunContext&), RunRecord::Kind kind);
  void HandleBurst(const std::uint8_t* data, std::size_t count);
  void WriteRecord(RunRecord record);
  // The record of the run in progress, written and on the disk: as its closing line is about
  // to be shown, or after the run for one without (interrupted, refused).
  void RecordRunEnd(RunOutcome outcome);
  void ReportLoadFindings(const LoadResult& loaded, TargetType type);
  // The run's reload is sound, or the operator (or --lenient) forces it: true; otherwise the
  // refusal is logged and the run goes no further.
  bool AcceptLoadedFile(const LoadResult& loaded, TargetType type, RunRecord::Kind kind);
  // The window after a run: the verdict, the operator called on a failure, the note of a
  // store broken off after its erase.
  void ShowRunEnd(RunOutcome outcome, RunRecord::Kind kind);
  Readiness CurrentReadiness() const;
  // The file, port or type changed: the verdict goes, the state is shown afresh.
  void InputsChanged();
  void ShowState() { window_.ShowState(board_.Shown()); }

  RunRecorder recorder_;
  // Hears the runs' events on their way to the recorder: why a run failed.
  FailureWatch failureWatch_{recorder_};
  // The front end's window, with the type held for the length of a run.
  RunWindow window_;
  MessageLoop& loop_;
  const SettingsLocation settingsLocation_;
  PortFactory makePort_;
  Sleeper sleep_;
  ImageSource* images_ = nullptr;
  WallClock clock_;
  SteadyClock steadyClock_;
  ReadKeeper keepRead_;
  std::string recordFile_;
  RecordErrorReporter reportRecordError_;
  PortEventReporter reportPortEvent_;
  LoadFindingReporter reportLoadFinding_;
  IncompleteStoreReporter reportIncompleteStore_;
  TextReporter reportPortOpenFailure_;
  TextReporter reportNextStep_;
  StandaloneRunWatch standalone_;
  StandaloneRunWatch::OnFinished recordStandalone_;  // a stand-alone run's line, on this port
  const std::string hostName_;

  Settings settings_;
  std::string portPath_;
  Station station_;
  Frames frames_;
  RunControl control_;
  RunFollowUp followUp_{frames_, control_};  // the block transfers' frames, none after a close
  std::unique_ptr<PortChannel> port_;
  ReplyEnd replyEnd_;
  bool forceSilenceFraming_ = false;
  bool lenient_ = false;
  std::unique_ptr<ReceiveThread> receiveThread_;
  bool portOpen_ = false;
  bool portLost_ = false;
  bool idleTicking_ = false;    // the tick timer is on outside a run, for the lost port or a
                                // stand-alone run
  bool portLostInRun_ = false;  // the port went away during the run in progress
  bool saveFailureShown_ = false;
  OpenFailure lastOpenFailure_;
  RunOutcome lastOutcome_ = RunOutcome::Succeeded;
  BoardStateTracker board_;

  bool inBurst_ = false;
  std::deque<std::vector<std::uint8_t>> heldBursts_;
  std::uint64_t burstsHandled_ = 0;
};

}  // namespace kv218
