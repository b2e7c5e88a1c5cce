#include "model/Model.h"

#include "model/Axon.h"
#include "model/Defaults.h"
#include "model/Dendrite.h"
#include "model/NetworkData.h"
#include "model/NetworkTables.h"
#include "model/Soma.h"
#include "model/Spikesource.h"
#include "model/Synapse.h"

namespace velmora {

namespace {

// Simulated ms that must pass, strictly, between two accepted stimuli on one input.
constexpr double kMinStimulusInterval = 2.0;
// lastStimulusTimes after a reset, ms: far enough back that a stimulus at time 0 counts.
constexpr float kRestedStimulusTime = -10.0f;
// Strength of a manual stimulus spike.
constexpr float kStimulusStrength = 1.0f;

}  // namespace

Model::Model(float step_) {
  using namespace network;

  std::array<Axon*, kAxonCount> axons{};
  for (int a = 0; a < kAxonCount; ++a) {
    const PathTable& table = kPathTables[static_cast<std::size_t>(a)];
    axons[static_cast<std::size_t>(a)] = new Axon(kAxonSpeed, table.points, table.count);
  }
  for (std::size_t k = 0; k < stimulusAxons.size(); ++k) stimulusAxons[k] = axons[kStimulusAxons[k]];
  for (std::size_t k = 0; k < sourceAxons.size(); ++k) sourceAxons[k] = axons[kSourceAxons[k]];

  std::array<Dendrite*, kDendriteCount> dendrites{};
  for (int d = 0; d < kDendriteCount; ++d) {
    const PathTable& table = kPathTables[static_cast<std::size_t>(kAxonCount + d)];
    dendrites[static_cast<std::size_t>(d)] = new Dendrite(
        kDendriteSpeed, kDendriteLengthConstant, kDendriteTimeConstant, table.points, table.count);
  }

  std::array<Synapse*, kSynapseCount> synapses{};
  for (std::size_t s = 0; s < synapses.size(); ++s) {
    const SynapseRecord& record = kSynapses[s];
    synapses[s] = new Synapse(record.facilitationTime, record.recoveryTime, record.baseUse,
                              static_cast<float>(defaultParams[s]), &kSynapseShapes[s],
                              record.dendritePosition);
  }
  for (std::size_t s = 0; s < weightSynapses.size(); ++s) weightSynapses[s] = synapses[s];

  sources[0] = new SpikeSource(kSpikeTimesT1.data(), static_cast<std::int32_t>(kSpikeTimesT1.size()));
  sources[1] = new SpikeSource(kSpikeTimesT2.data(), static_cast<std::int32_t>(kSpikeTimesT2.size()));

  for (std::size_t m = 0; m < somas.size(); ++m) {
    somas[m] = new Soma(kSomaThreshold, kSomaRefractoryPeriod, &kSomaCentres[m], kSomaMidiChannel,
                        kSomaVelocity, kSomaNotes[m]);
  }

  // The order of the connections fixes the order of every element's outputs and inputs.
  for (const Branch& branch : kBranches) Connect(axons[branch.parent], axons[branch.child]);
  for (std::size_t s = 0; s < synapses.size(); ++s) Connect(axons[kSynapses[s].fromAxon], synapses[s]);
  for (std::size_t s = 0; s < synapses.size(); ++s) Connect(synapses[s], dendrites[kSynapses[s].toDendrite]);
  for (std::size_t d = 0; d < dendrites.size(); ++d) Connect(dendrites[d], somas[kDendriteSomas[d]]);
  for (std::size_t m = 0; m < somas.size(); ++m) Connect(somas[m], axons[kSomaAxons[m]]);
  for (std::size_t k = 0; k < sources.size(); ++k) Connect(sources[k], axons[kSourceAxons[k]]);

  // Model order: sources and somas before the axons they feed, synapses after the
  // axons that deliver to them, dendrites last. Drawing follows the same order, so
  // triangles lie over spike ticks and dendrite waves over both.
  const auto add = [this](Object* element) { elements.Append(new ObjectRef{element, nullptr, nullptr}); };
  for (SpikeSource* source : sources) add(source);
  for (Soma* soma : somas) add(soma);
  for (Axon* axon : axons) add(axon);
  for (Synapse* synapse : synapses) add(synapse);
  for (Dendrite* dendrite : dendrites) add(dendrite);

  Reset(step_);
}

Model::~Model() {
  for (ObjectRef* ref = elements.head; ref != nullptr; ref = elements.Next(ref)) delete ref->object;
  elements.Clear();
}

void Model::Reset(float step_) {
  time = 0.0;
  step = step_;
  lastStimulusTimes = {kRestedStimulusTime, kRestedStimulusTime};
  for (ObjectRef* ref = elements.head; ref != nullptr; ref = elements.Next(ref)) ref->object->Reset();
}

void Model::Stimulate(bool first, bool second) {
  const bool requested[2] = {first, second};
  for (std::size_t k = 0; k < stimulusAxons.size(); ++k) {
    // A request no more than the minimum interval after the last accepted one on the
    // same input is dropped, not queued.
    if (requested[k] && time - lastStimulusTimes[k] > kMinStimulusInterval) {
      lastStimulusTimes[k] = static_cast<float>(time);
      stimulusAxons[k]->ReceiveSpike(static_cast<float>(time), kStimulusStrength, 0.0f);
    }
  }
}

void Model::SetWeights(const std::array<std::int32_t, 6>& values) {
  for (std::size_t k = 0; k < weightSynapses.size(); ++k) {
    weightSynapses[k]->weight = static_cast<float>(values[k]);
  }
}

void Model::GetActivity(float (&out)[3]) const {
  for (std::size_t k = 0; k < somas.size(); ++k) {
    // One third in extended precision: only the final conversion rounds to float.
    const long double v = somas[k]->summedInput * (1.0L / 3.0L);
    float level = v >= 1.0L ? 1.0f : static_cast<float>(v);
    // Written so that a sum that is not a number also ends as no activity.
    if (!(level > 0.0f)) level = 0.0f;
    out[k] = level;
  }
}

void Model::Advance() {
  time += step;
  const auto now = static_cast<float>(time);
  for (ObjectRef* ref = elements.head; ref != nullptr; ref = elements.Next(ref)) {
    ref->object->Update(now, step);
  }
}

void Model::Draw(DeviceContext& dc, const DrawingStyle& style) {
  for (ObjectRef* ref = elements.head; ref != nullptr; ref = elements.Next(ref)) ref->object->Draw(dc, style);
}

void Model::SetNoteOutput(MidiOutput* output) {
  for (Soma* soma : somas) soma->noteOutput = output;
}

}  // namespace velmora
