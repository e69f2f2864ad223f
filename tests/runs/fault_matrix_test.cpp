// Every fault the simulated programmer can commit, at every step where it can strike, for
// programming a target and for storing in the programmer, for each type it applies to: how
// the run ends and its last log lines. A run that ends in success must have left the
// programmer holding exactly what a run without the fault leaves; every other run must not
// show a success line anywhere.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "test_hex.h"
#include "testkit/sequence_fixture.h"

namespace kv218 {
namespace {

using testing::SequenceFixture;
using testing::TempFolder;
using Lines = std::vector<std::string>;

enum class Job { Program, Store };

struct MatrixCase {
  std::string fault;  // empty: none
  Job job;
  int type;
  RunOutcome outcome;
  Lines tail;  // the log's last lines; a line ending in '*' stands for any line it begins
  std::string stepLine = {};  // the log must also hold a line it begins (the tail cannot show)
};

const char* JobName(Job job) { return job == Job::Program ? "program" : "store"; }

const char* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Succeeded:
      return "succeeded";
    case RunOutcome::Failed:
      return "failed";
    case RunOutcome::TimedOut:
      return "timed out";
    default:
      return "other";
  }
}

void PrintTo(const MatrixCase& c, std::ostream* os) {
  *os << JobName(c.job) << " type " << c.type << " with "
      << (c.fault.empty() ? std::string("no fault") : c.fault) << ": " << OutcomeName(c.outcome);
}

constexpr const char* kFailed = "PROGRAMMING FAILED. (T)";
constexpr const char* kSucceeded = "PROGRAMMING SUCCEEDED. (T)";
constexpr const char* kTimeOut = "TimeOut !! No response with target !!";
// The line a store's first step leaves last: the loader's result.
constexpr const char* kLoaded = "Loading ... OK*";

// One command of a run and the log line it leaves last while it waits for its answer.
struct Step {
  std::string command;  // the letters a fault names, family byte included
  std::string line;
  int frames = 1;  // frames of the command in a whole run: a fault strikes first, mid and last
};

std::vector<Step> ProgramSteps(int type) {
  if (type == 3) return {{"TA", "1. Aoto Programming Main Memory ..."}};
  const std::string read = "4. Reading Program Memory ...";
  const std::string write = "3. Programming Program Memory ...";
  if (type == 0) {
    return {{"RI", "1. Reading Device ID ..."},
            {"E", "2. Bulk Erasing ..."},
            {"WDS", write},
            {"WDD", write, 86},
            {"RDS", read},
            {"RDC", read, 22},
            {"RDD", read, 86},
            {"RDE", read},
            {"WC", "6. Programming Configuration Bits ..."},
            {"RC", "7. Reading Configuration Bits ..."},
            {"S", "9. Resetting ..."}};
  }
  const std::string f = type == 1 ? "8" : "9";
  return {{f + "RI", "1. Reading Device ID ..."},
          {f + "E", "2. Bulk Erasing ..."},
          {f + "WS", write},
          {f + "WD", write, 32},
          {f + "RDS", read},
          {f + "RDD", read, 32},
          {"S", "6. Resetting ..."}};
}

std::vector<Step> StoreSteps(int type) {
  const char* family[] = {"", "8", "9", "T"};
  const int writeBlocks[] = {86, 9, 9, 1};
  const int readBlocks[] = {171, 17, 17, 1};
  std::vector<Step> steps = {
      {"FRE", kLoaded},
      {std::string(family[type]) + "FE", "1. Bulk Erasing Flash Memory ..."},
      {"FWE", "1. Bulk Erasing Flash Memory ... OK"},
      {"FWD", "2. Flash Memory Writting ...", writeBlocks[type]},
      {"FRD", "3. Verify Flash Memory ...", readBlocks[type]},
  };
  if (type == 0) {
    steps.push_back({"FWC", "4. Flash Memory Configuation Bits Writting ..."});
    steps.push_back({"FRC", "5. Vreify Flash Memory Configuation Bits ..."});
  }
  return steps;
}

std::vector<Step> StepsOf(Job job, int type) {
  return job == Job::Program ? ProgramSteps(type) : StoreSteps(type);
}

Lines TimedOutAt(const std::string& line) { return {line, kTimeOut, kFailed}; }

Lines SuccessTail(Job job, int type) {
  if (job == Job::Store) {
    return {type == 0 ? "5. Vreify Flash Memory Configuation Bits ... OK"
                      : "3. Verify Flash Memory ... OK",
            kSucceeded};
  }
  if (type == 0) return {"9. Resetting ... OK", kSucceeded};
  if (type == 3) return {"1. Aoto Programming Main Memory ... OK", kSucceeded};
  return {"6. Resetting ... OK", kSucceeded};
}

std::vector<MatrixCase> BuildMatrix() {
  std::vector<MatrixCase> cases;
  auto add = [&](std::string fault, Job job, int type, RunOutcome outcome, Lines tail,
                 std::string stepLine = {}) {
    cases.push_back({std::move(fault), job, type, outcome, std::move(tail), std::move(stepLine)});
  };
  auto untouched = [&](const std::string& fault, Job job, int type) {
    add(fault, job, type, RunOutcome::Succeeded, SuccessTail(job, type));
  };

  for (Job job : {Job::Program, Job::Store}) {
    for (int type = 0; type <= 3; ++type) {
      untouched("", job, type);
      const std::vector<Step> steps = StepsOf(job, type);

      // Silence at every frame of every step: the first, a middle and the last of a transfer.
      for (const Step& step : steps) {
        std::vector<int> hits = {1};
        if (step.frames > 1) hits = {1, (step.frames + 1) / 2, step.frames};
        for (int n : hits) {
          const std::string which = step.frames > 1 ? "#" + std::to_string(n) : "";
          add("silent-at=" + step.command + which, job, type, RunOutcome::TimedOut,
              TimedOutAt(step.line));
        }
        // Noise ahead of the answer hides it: a reply counts only at a burst's first byte.
        add("noise-before-reply=" + step.command, job, type, RunOutcome::TimedOut,
            TimedOutAt(step.line));
      }
      add("noise-before-reply", job, type, RunOutcome::TimedOut, TimedOutAt(steps.front().line));
    }
  }

  for (int type = 0; type <= 3; ++type) {
    const bool readsBack = type != 3;
    const std::string family = type == 1 ? "8" : type == 2 ? "9" : "";
    // Identity: rejected for types 0 to 2; type 3 has none, a store asks for none.
    if (type == 0) {
      add("bad-identity", Job::Program, 0, RunOutcome::Failed,
          {"1. Reading Device ID ... NG ( 0x100 , 0x0000 )", kFailed});
    } else if (readsBack) {
      add("bad-identity", Job::Program, type, RunOutcome::Failed,
          {"1. Reading Device ID ... NG ( 0x1C , 0x1F )", kFailed});
    } else {
      untouched("bad-identity", Job::Program, type);
    }
    untouched("bad-identity", Job::Store, type);

    // Data that come back changed fail the verification, which names where they differ;
    // data that come back short fail the read-back itself, whatever the image holds where
    // they are missing.
    const std::string differs = "First difference at 0x*";
    const Lines targetNg = {"5. Verify Program Memory ... NG*", differs, kFailed};
    const Lines targetShort = {"4. Reading Program Memory ... NG", kFailed};
    const Lines flashNg = {"3. Verify Flash Memory ... NG*", differs, kFailed};
    for (const char* fault : {"corrupt-readback", "status-in-data"}) {
      if (readsBack) {
        add(fault, Job::Program, type, RunOutcome::Failed, targetNg);
      } else {
        untouched(fault, Job::Program, type);
      }
    }
    untouched("corrupt-readback", Job::Store, type);
    // The report in every block is logged as it comes, after the step line it interrupts;
    // the verdict still lands on that step line.
    add("status-in-data", Job::Store, type, RunOutcome::Failed,
        {"2. Programming Code Memory ( 0x*", differs, kFailed}, "3. Verify Flash Memory ... NG");
    add("corrupt-flash-readback", Job::Store, type, RunOutcome::Failed, flashNg);
    untouched("corrupt-flash-readback", Job::Program, type);

    if (readsBack) {
      add("short-reply", Job::Program, type, RunOutcome::Failed, targetShort);
      add("short-reply=" + family + "RDD", Job::Program, type, RunOutcome::Failed, targetShort);
      add("short-reply=" + family + "RI", Job::Program, type, RunOutcome::TimedOut,
          TimedOutAt("1. Reading Device ID ..."));
    } else {
      untouched("short-reply", Job::Program, type);
      add("short-reply=TA", Job::Program, type, RunOutcome::TimedOut,
          TimedOutAt("1. Aoto Programming Main Memory ..."));
    }
    add("short-reply", Job::Store, type, RunOutcome::Failed,
        {"3. Verify Flash Memory ... NG", kFailed});
    add("short-reply=FRD", Job::Store, type, RunOutcome::Failed,
        {"3. Verify Flash Memory ... NG", kFailed});
    add("short-reply=FRE", Job::Store, type, RunOutcome::TimedOut, TimedOutAt(kLoaded));

    // The endurance limit: one below still stores, at the limit nothing is erased.
    untouched("erase-counter=99999", Job::Store, type);
    add("erase-counter=100000", Job::Store, type, RunOutcome::Failed,
        {"FLASH MEMORY cycling endurance reach llimit !!",
         "Please contact with Velkor to repair it !!"});
    untouched("erase-counter=100000", Job::Program, type);

    // The programmer's own verdict on AutoProgram.
    if (type == 3) {
      add("autoprogram-fails", Job::Program, 3, RunOutcome::Failed,
          {"1. Aoto Programming Main Memory ... NG", kFailed});
    } else {
      untouched("autoprogram-fails", Job::Program, type);
    }
    untouched("autoprogram-fails", Job::Store, type);

    // A stop inside a read-back block changes nothing here: the in-process programmer hands
    // every burst over whole (over a line, tests/sim/framing_test.cpp).
    untouched("pause-in-reply", Job::Program, type);
    untouched("pause-in-reply", Job::Store, type);
  }
  // Type 0 keeps its configuration bits apart: short answers there are not recognised.
  add("short-reply=RC", Job::Program, 0, RunOutcome::TimedOut,
      TimedOutAt("7. Reading Configuration Bits ..."));
  add("short-reply=FRC", Job::Store, 0, RunOutcome::TimedOut,
      TimedOutAt("5. Vreify Flash Memory Configuation Bits ..."));

  // The line drops at the N-th block frame of the session (writes first, then read-backs).
  const std::string write = "3. Programming Program Memory ...";
  const std::string read = "4. Reading Program Memory ...";
  add("hangup-mid-transfer=1", Job::Program, 0, RunOutcome::TimedOut, TimedOutAt(write));
  add("hangup-mid-transfer", Job::Program, 0, RunOutcome::TimedOut, TimedOutAt(write));
  add("hangup-mid-transfer=87", Job::Program, 0, RunOutcome::TimedOut, TimedOutAt(read));
  add("hangup-mid-transfer=172", Job::Program, 0, RunOutcome::TimedOut, TimedOutAt(read));
  for (int type : {1, 2}) {
    add("hangup-mid-transfer", Job::Program, type, RunOutcome::TimedOut, TimedOutAt(write));
    add("hangup-mid-transfer=33", Job::Program, type, RunOutcome::TimedOut, TimedOutAt(read));
    add("hangup-mid-transfer=10", Job::Store, type, RunOutcome::TimedOut,
        TimedOutAt("3. Verify Flash Memory ..."));
  }
  untouched("hangup-mid-transfer", Job::Program, 3);
  add("hangup-mid-transfer", Job::Store, 0, RunOutcome::TimedOut,
      TimedOutAt("2. Flash Memory Writting ..."));
  add("hangup-mid-transfer=87", Job::Store, 0, RunOutcome::TimedOut,
      TimedOutAt("3. Verify Flash Memory ..."));
  add("hangup-mid-transfer=1", Job::Store, 3, RunOutcome::TimedOut,
      TimedOutAt("2. Flash Memory Writting ..."));
  add("hangup-mid-transfer=2", Job::Store, 3, RunOutcome::TimedOut,
      TimedOutAt("3. Verify Flash Memory ..."));
  untouched("hangup-mid-transfer=3", Job::Store, 3);
  return cases;
}

// One image per type, written once for the whole matrix.
class MatrixFiles {
 public:
  MatrixFiles()
      : files_{dir_.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8)),
               dir_.Write("mvrx.hex", testing::Type16Hex(true)),
               dir_.Write("cradle.hex", testing::Type16Hex(true)),
               dir_.Write("eco.hex", testing::Type1KHex())} {}
  const std::string& ForType(int type) const { return files_[type]; }

 private:
  TempFolder dir_;
  std::string files_[4];
};

const MatrixFiles& Files() {
  static const MatrixFiles files;
  return files;
}

RunOutcome RunJob(SequenceFixture& bench, Job job, int type) {
  const std::string& file = Files().ForType(type);
  return job == Job::Program ? bench.Program(type, file) : bench.Store(type, file);
}

// What the programmer holds after a run: its targets and its flash.
bool SameWork(const sim::DeviceMemory& a, const sim::DeviceMemory& b) {
  return a.target.words24 == b.target.words24 && a.target.config24 == b.target.config24 &&
         a.target.memory16 == b.target.memory16 && a.target.memory1K == b.target.memory1K &&
         a.flash.rows == b.flash.rows && a.flash.config == b.flash.config &&
         a.flash.holdsImage == b.flash.holdsImage;
}

::testing::Matcher<const std::string&> LineMatcher(const std::string& expected) {
  if (!expected.empty() && expected.back() == '*') {
    return ::testing::StartsWith(expected.substr(0, expected.size() - 1));
  }
  return ::testing::Eq(expected);
}

class FaultMatrix : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(FaultMatrix, EndsAsTheFaultDemands) {
  const MatrixCase& c = GetParam();
  SequenceFixture bench(c.fault.empty() ? std::vector<std::string>{} : std::vector{c.fault});
  EXPECT_EQ(RunJob(bench, c.job, c.type), c.outcome);

  const Lines log = bench.Log();
  ASSERT_GE(log.size(), c.tail.size());
  std::vector<::testing::Matcher<const std::string&>> tail;
  for (const std::string& line : c.tail) tail.push_back(LineMatcher(line));
  EXPECT_THAT(Lines(log.end() - static_cast<std::ptrdiff_t>(c.tail.size()), log.end()),
              ::testing::ElementsAreArray(tail));

  if (!c.stepLine.empty()) {
    EXPECT_THAT(log, ::testing::Contains(::testing::StartsWith(c.stepLine)));
  }

  // Every run ends idle, and tells a programmer that still listens that it is over.
  EXPECT_TRUE(bench.window.buttonsEnabled);
  EXPECT_FALSE(bench.loop.TickTimerOn());
  if (c.fault.rfind("hangup", 0) != 0) {
    EXPECT_EQ(bench.Received().back(), sim::Command::EndRun);
  }

  if (c.outcome == RunOutcome::Succeeded) {
    SequenceFixture clean;
    ASSERT_EQ(RunJob(clean, c.job, c.type), RunOutcome::Succeeded);
    EXPECT_TRUE(SameWork(bench.model->Memory(), clean.model->Memory()))
        << "a success, but the programmer does not hold what a clean run leaves";
  } else {
    for (std::size_t i = 3; i < log.size(); ++i) {
      EXPECT_THAT(log[i], ::testing::Not(::testing::StartsWith("PROGRAMMING SUCCEEDED")));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFaultEveryStep, FaultMatrix, ::testing::ValuesIn(BuildMatrix()));

// The matrix names every fault the programmer can commit, so a new one cannot be left out.
TEST(FaultMatrixCoverage, NamesEveryFaultOfTheCatalogue) {
  const std::vector<MatrixCase> cases = BuildMatrix();
  for (const sim::FaultInfo& info : sim::kFaultCatalogue) {
    const std::string name = info.name;
    bool named = false;
    for (const MatrixCase& c : cases) {
      named = named || c.fault == name || c.fault.rfind(name + "=", 0) == 0;
    }
    EXPECT_TRUE(named) << name;
  }
}

}  // namespace
}  // namespace kv218
