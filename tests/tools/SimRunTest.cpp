#include "tools/sim/SimRun.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/Midi.h"
#include "model/Model.h"
#include "model/SpeedRule.h"

namespace velmora::sim {
namespace {

struct SimResult {
  RunStatus status;
  RunRecord record;
  std::vector<StepRow> rows;
};

SimResult RunWith(const std::vector<std::string>& args) {
  const ParseOutcome parsed = ParseSimArguments(args);
  EXPECT_EQ(parsed.status, ParseStatus::kRun) << parsed.message;
  SimResult run;
  RunSinks sinks;
  sinks.onStep = [&run](const StepRow& row) { run.rows.push_back(row); };
  run.status = RunSimulation(parsed.options, sinks, run.record);
  return run;
}

bool SameFirings(const std::vector<Firing>& a, const std::vector<Firing>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].timeMs != b[i].timeMs || a[i].soma != b[i].soma || a[i].note != b[i].note) return false;
  }
  return true;
}

TEST(SimRunTest, DefaultRunFiresTheNetworksKnownFirstSpikes) {
  const SimResult run = RunWith({});
  ASSERT_GE(run.record.firings.size(), 5u);
  const struct {
    float timeMs;
    int soma, note;
  } expected[] = {{38, 1, 4}, {67, 1, 4}, {82, 1, 4}, {98, 3, 12}, {123, 2, 8}};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(run.record.firings[i].timeMs, expected[i].timeMs) << i;
    EXPECT_EQ(run.record.firings[i].soma, expected[i].soma) << i;
    EXPECT_EQ(run.record.firings[i].note, expected[i].note) << i;
  }
  for (const Firing& firing : run.record.firings) {
    EXPECT_EQ(firing.note, 4 * firing.soma) << "every neuron plays its own note";
    EXPECT_EQ(static_cast<double>(firing.timeMs), firing.elapsedMs) << "no reset: model time is elapsed time";
  }
  EXPECT_EQ(run.record.stepCount, 1000);
  EXPECT_EQ(run.rows.size(), 1000u);
}

TEST(SimRunTest, UntilStopsAtTheFirstStepThatReachesOrPassesIt) {
  const struct {
    const char* step;
    const char* until;
    std::int64_t steps;
  } cases[] = {{"3", "10", 4}, {"2.5", "10", 4}, {"1", "0", 0}, {"0.5", "0.1", 1}};
  for (const auto& c : cases) {
    const SimResult run = RunWith({"--step", c.step, "--until", c.until});
    EXPECT_EQ(run.record.stepCount, c.steps) << "step " << c.step << " until " << c.until;
  }
}

TEST(SimRunTest, ActionIsAppliedBeforeTheFirstAdvanceAtOrPastItsTime) {
  // With step 3 the model's time runs 0, 3, 6, 9, 12: an action at 10 waits for 12,
  // one at exactly 9 is applied at 9, one at 0 before the very first step.
  const struct {
    const char* at;
    double appliedAtMs;
  } cases[] = {{"10:stim1", 12}, {"9:stim1", 9}, {"0:stim1", 0}, {"12:stim2", 12}};
  for (const auto& c : cases) {
    const SimResult run = RunWith({"--step", "3", "--steps", "6", "--at", c.at});
    ASSERT_EQ(run.record.actions.size(), 1u) << c.at;
    EXPECT_EQ(run.record.actions[0].elapsedMs, c.appliedAtMs) << c.at;
  }
  const SimResult late = RunWith({"--step", "3", "--steps", "2", "--at", "10:stim1"});
  EXPECT_TRUE(late.record.actions.empty()) << "a run that ends first never applies it";
}

TEST(SimRunTest, StimulusActionMatchesStimulatingTheModelDirectly) {
  struct Notes : MidiOutput {
    MidiSendResult ShortMessage(std::uint32_t message) override {
      notes.push_back({static_cast<float>(model->time), static_cast<int>((message >> 8) & 0xFF)});
      return MidiSendResult::Accepted;
    }
    Model* model = nullptr;
    std::vector<std::pair<float, int>> notes;
  } reference;
  Model model(1.0f);
  reference.model = &model;
  model.SetNoteOutput(&reference);
  for (int step = 0; step < 300; ++step) {
    if (model.time == 20.0) model.Stimulate(true, false);
    if (model.time == 21.0) model.Stimulate(false, true);
    model.Advance();
  }
  model.SetNoteOutput(nullptr);

  const SimResult run = RunWith({"--steps", "300", "--at", "20:stim1", "--at", "20.5:stim2"});
  ASSERT_EQ(run.record.firings.size(), reference.notes.size());
  for (std::size_t i = 0; i < reference.notes.size(); ++i) {
    EXPECT_EQ(run.record.firings[i].timeMs, reference.notes[i].first) << i;
    EXPECT_EQ(run.record.firings[i].note, reference.notes[i].second) << i;
  }
  EXPECT_FALSE(SameFirings(run.record.firings, RunWith({"--steps", "300"}).record.firings))
      << "the stimuli must change the firing";
}

TEST(SimRunTest, SpeedActionChangesTheStepWithoutReset) {
  const SimResult run = RunWith({"--steps", "8", "--at", "5:speed=30"});
  ASSERT_EQ(run.rows.size(), 8u);
  EXPECT_EQ(run.rows[4].timeMs, 5.0f);
  EXPECT_EQ(run.rows[5].timeMs, static_cast<float>(5.0 + StepFactorForSpeed(30.0f)));
  EXPECT_EQ(run.rows[7].timeMs, static_cast<float>(5.0 + 3.0 * StepFactorForSpeed(30.0f)));
}

TEST(SimRunTest, ResetActionEqualsAFreshRunAtTheDefaultSpeedAndWeights) {
  const SimResult reset = RunWith({"--weights", "20,0,20,0,20,0", "--at", "0:reset", "--until", "400"});
  const SimResult fresh = RunWith({"--speed", "15", "--until", "400"});
  ASSERT_FALSE(fresh.record.firings.empty());
  EXPECT_TRUE(SameFirings(reset.record.firings, fresh.record.firings));
  EXPECT_EQ(reset.record.stepCount, fresh.record.stepCount);
}

TEST(SimRunTest, ResetSendsTimeBackSoLaterActionsWaitForTheirTimeAgain) {
  const SimResult run = RunWith({"--until", "50", "--at", "30:reset", "--at", "40:stim1"});
  ASSERT_EQ(run.record.actions.size(), 2u);
  EXPECT_EQ(run.record.actions[0].label, "reset");
  EXPECT_EQ(run.record.actions[0].elapsedMs, 30.0);
  // After the reset the step is the default speed's and time restarts from 0.
  EXPECT_GT(run.record.actions[1].elapsedMs, 30.0 + 40.0);
  EXPECT_LT(run.record.actions[1].elapsedMs, 30.0 + 40.0 + 0.1);
  EXPECT_GE(run.rows.back().timeMs, 50.0f);
  EXPECT_LT(run.rows[30].timeMs, 0.1f) << "first step after the reset";
}

TEST(SimRunTest, ActionsDueTogetherApplyInTimeOrderThenCommandLineOrder) {
  // Nothing is due at time 0; all three are due at 10.
  const SimResult run = RunWith({"--step", "10", "--steps", "2", "--at", "5:weights=1,1,1,1,1,1", "--at", "2:stim2",
                           "--at", "5:stim1"});
  std::vector<std::string> labels;
  std::vector<double> appliedMs;
  for (const AppliedAction& action : run.record.actions) {
    labels.push_back(action.label);
    appliedMs.push_back(action.elapsedMs);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"stim2", "weights=1,1,1,1,1,1", "stim1"}));
  EXPECT_EQ(appliedMs, (std::vector<double>{10, 10, 10}));
}

TEST(SimRunTest, WeightsActionAtZeroEqualsStartWeights) {
  const SimResult action = RunWith({"--at", "0:weights=12,3,9,0,15,20", "--until", "600"});
  const SimResult start = RunWith({"--weights", "12,3,9,0,15,20", "--until", "600"});
  EXPECT_TRUE(SameFirings(action.record.firings, start.record.firings));
  EXPECT_FALSE(SameFirings(start.record.firings, RunWith({"--until", "600"}).record.firings));
}

TEST(SimRunTest, SourceSpikesAreRecordedOnePerEmission) {
  const struct {
    std::vector<std::string> args;
    int source1Count, source2Count;
    double firstSource1Ms, firstSource2Ms;
  } cases[] = {
      // Due at 8.4 and 67.2 ms, sent in the steps at 9 and 68.
      {{"--until", "70"}, 4, 1, 9.0, 68.0},
      // One step of 100 ms sends every entry due by then (8.4, 37.8, 52.8, 67.8; 67.2, 85.2).
      {{"--step", "100", "--steps", "1"}, 4, 2, 100.0, 100.0},
      // A full pass of each table (55 and 47 entries) plus the start of Src1's second
      // pass at 2381.8 ms.
      {{"--until", "2390"}, 56, 47, 9.0, 68.0},
  };
  for (const auto& c : cases) {
    const SimResult run = RunWith(c.args);
    int counts[2] = {0, 0};
    double first[2] = {-1, -1};
    for (const SourceSpike& spike : run.record.sourceSpikes) {
      if (counts[spike.source - 1]++ == 0) first[spike.source - 1] = spike.elapsedMs;
    }
    EXPECT_EQ(counts[0], c.source1Count) << c.args[1];
    EXPECT_EQ(counts[1], c.source2Count) << c.args[1];
    EXPECT_EQ(first[0], c.firstSource1Ms) << c.args[1];
    EXPECT_EQ(first[1], c.firstSource2Ms) << c.args[1];
  }
}

TEST(SimRunTest, RunIsRepeatable) {
  const std::vector<std::string> args = {"--speed", "28", "--until", "700", "--at", "100:stim1", "--at", "300:reset"};
  const SimResult first = RunWith(args);
  const SimResult second = RunWith(args);
  EXPECT_TRUE(SameFirings(first.record.firings, second.record.firings));
  ASSERT_EQ(first.rows.size(), second.rows.size());
  for (std::size_t i = 0; i < first.rows.size(); ++i) {
    ASSERT_EQ(first.rows[i].timeMs, second.rows[i].timeMs) << i;
    for (int s = 0; s < kSomaCount; ++s) ASSERT_EQ(first.rows[i].summedInput[s], second.rows[i].summedInput[s]);
  }
}

}  // namespace
}  // namespace velmora::sim
