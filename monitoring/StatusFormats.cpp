#include "monitoring/StatusFormats.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace velmora::monitoring {
namespace {

// Shortest text that reads back as the same double.
std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string Number(std::uint64_t value) { return std::to_string(value); }
std::string Number(std::int64_t value) { return std::to_string(value); }
std::string Number(std::int32_t value) { return std::to_string(value); }
std::string Number(std::uint32_t value) { return std::to_string(value); }
std::string Number(bool value) { return value ? "1" : "0"; }

std::string IsoUtc(std::int64_t unixSeconds) {
  const auto seconds = static_cast<std::time_t>(unixSeconds);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::int64_t UnixSeconds(std::chrono::system_clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// Builds the exposition one family at a time: HELP and TYPE, then its samples.
class Exposition {
public:
  void Family(std::string_view name, std::string_view type, std::string_view help) {
    text_ += "# HELP ";
    text_ += name;
    text_ += ' ';
    text_ += help;
    text_ += "\n# TYPE ";
    text_ += name;
    text_ += ' ';
    text_ += type;
    text_ += '\n';
  }
  void Sample(std::string_view name, const std::string& value, std::string_view labelName = {},
              std::string_view labelValue = {}) {
    text_ += name;
    if (!labelName.empty()) {
      text_ += '{';
      text_ += labelName;
      text_ += "=\"";
      for (const char c : labelValue) {
        if (c == '\\' || c == '"') text_ += '\\';
        if (c == '\n') {
          text_ += "\\n";
          continue;
        }
        text_ += c;
      }
      text_ += "\"}";
    }
    text_ += ' ';
    text_ += value;
    text_ += '\n';
  }
  template <typename Value>
  void Single(std::string_view name, std::string_view type, std::string_view help, Value value) {
    Family(name, type, help);
    Sample(name, Number(value));
  }
  template <typename Array, typename Names>
  void Labelled(std::string_view name, std::string_view type, std::string_view help, std::string_view label,
                const Array& values, const Names& labelValues) {
    Family(name, type, help);
    for (std::size_t i = 0; i < values.size(); ++i) Sample(name, Number(values[i]), label, labelValues[i]);
  }
  std::string Take() { return std::move(text_); }

private:
  std::string text_;
};

const std::array<std::string_view, kSomaCount> kSomaLabels = {"1", "2", "3"};
const std::array<std::string_view, kWeightCount> kSynapseLabels = {"1", "2", "3", "4", "5", "6"};

class JsonObject {
public:
  explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
  ~JsonObject() { out_ += '}'; }
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;

  // Starts the member `name`; the caller appends its value.
  std::string& Key(std::string_view name) {
    if (!first_) out_ += ',';
    first_ = false;
    out_ += JsonString(name);
    out_ += ':';
    return out_;
  }
  void Raw(std::string_view name, const std::string& value) { Key(name) += value; }
  void Text(std::string_view name, std::string_view value) { Key(name) += JsonString(value); }
  void Bool(std::string_view name, bool value) { Key(name) += value ? "true" : "false"; }

private:
  std::string& out_;
  bool first_ = true;
};

template <typename Array>
std::string JsonArray(const Array& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    out += Number(values[i]);
  }
  return out + "]";
}

template <typename Array, typename Names>
void JsonCounts(JsonObject& parent, std::string_view name, const Array& values, const Names& names) {
  std::string& out = parent.Key(name);
  JsonObject counts(out);
  for (std::size_t i = 0; i < values.size(); ++i) counts.Raw(names[i], Number(values[i]));
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // A whole, shortest-form UTF-8 sequence passes; anything else is one U+FFFD per byte.
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
      bool valid = length > 0 && c <= 0xF4 && i + length <= text.size();
      for (std::size_t k = 1; valid && k < length; ++k) {
        valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
      }
      if (valid && length >= 3) {
        const auto second = static_cast<unsigned char>(text[i + 1]);
        valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0) &&
                !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
      }
      if (valid) {
        out.append(text.substr(i, length));
        i += length;
      } else {
        out += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  return out + "\"";
}

std::string MetricsText(const StatusView& view) {
  const ExhibitSnapshot none;
  const ExhibitSnapshot& s = view.snapshot != nullptr ? *view.snapshot : none;
  Exposition out;
  out.Single("velmora_up", "gauge", "1 while the exhibit answers.", std::uint64_t{1});
  out.Family("velmora_build_info", "gauge", "The exhibit's version, as a label.");
  out.Sample("velmora_build_info", "1", "version", view.run.version);
  out.Single("velmora_start_time_seconds", "gauge", "When the exhibit started, seconds since 1970 (UTC).",
             UnixSeconds(view.run.started));
  out.Single("velmora_uptime_seconds", "gauge", "Seconds since the exhibit started.", view.uptimeSeconds);
  if (view.lastFrameAgeSeconds >= 0.0) {
    out.Single("velmora_last_frame_age_seconds", "gauge", "Seconds since the frame loop last handed over its state.",
               view.lastFrameAgeSeconds);
  }
  out.Single("velmora_frames_total", "counter", "Frames run.", s.frames);
  out.Single("velmora_frames_late_total", "counter", "Frames whose period exceeded 25 ms.", s.framesLate);

  out.Family("velmora_frame_period_seconds", "histogram", "Time from the end of one frame to the end of the next.");
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < kFramePeriodBucketBounds.size(); ++i) {
    cumulative += s.framePeriods.bucketCounts[i];
    out.Sample("velmora_frame_period_seconds_bucket", Number(cumulative), "le", Number(kFramePeriodBucketBounds[i]));
  }
  out.Sample("velmora_frame_period_seconds_bucket", Number(s.framePeriods.count), "le", "+Inf");
  out.Sample("velmora_frame_period_seconds_sum", Number(s.framePeriods.sumSeconds));
  out.Sample("velmora_frame_period_seconds_count", Number(s.framePeriods.count));

  out.Labelled("velmora_firings_total", "counter", "Firings of each soma.", "soma", s.firings, kSomaLabels);
  out.Labelled("velmora_interactions_total", "counter", "Visitor interactions by source.", "source", s.interactions,
               kInteractionSourceNames);
  out.Labelled("velmora_resets_total", "counter", "Returns to the defaults by cause.", "cause", s.resets,
               kResetCauseNames);
  out.Single("velmora_speed_setting", "gauge", "The visitors' speed setting, 0 to 30.",
             static_cast<double>(s.speedSetting));
  out.Labelled("velmora_weight", "gauge", "The visitors' synaptic weights.", "synapse", s.weights, kSynapseLabels);
  out.Single("velmora_display_ok", "gauge", "1 while frames reach the screen.", s.displayOk);
  out.Single("velmora_panel_connected", "gauge", "1 while the control panel's port is open.", s.panelConnected);
  out.Single("velmora_midi_output_ok", "gauge", "1 while the MIDI output works.", s.midiOutputOk);
  out.Single("velmora_display_losses_total", "counter", "Times the picture was lost and restored.", s.displayLosses);
  out.Single("velmora_actions_enabled", "gauge", "1 when actions are allowed with the token.", view.actionsEnabled);

  if (view.usage) {
    const UsageSummary& usage = *view.usage;
    out.Single("velmora_usage_recording", "gauge",
               "1 while usage statistics go to the database (or wait in memory while another program holds it).",
               usage.recording);
    out.Single("velmora_usage_events_dropped_total", "counter",
               "Interactions and resets lost: the intake was full, or the database was busy for over an hour.",
               usage.eventsDropped);
    out.Single("velmora_usage_events_waiting", "gauge", "Interactions and resets waiting in memory for the database.",
               usage.eventsWaiting);
    if (usage.lastWriteUnixMs > 0) {
      out.Single("velmora_usage_last_write_timestamp_seconds", "gauge",
                 "When the database last took a batch of usage statistics (at least once a minute), seconds since "
                 "1970 (UTC).",
                 static_cast<double>(usage.lastWriteUnixMs) / 1000.0);
    }
    if (usage.lastInteractionUnixMs > 0) {
      out.Single("velmora_last_interaction_timestamp_seconds", "gauge",
                 "The last visitor interaction, seconds since 1970 (UTC).",
                 static_cast<double>(usage.lastInteractionUnixMs) / 1000.0);
    }
    out.Single("velmora_idle_opening_days", "gauge",
               "Whole days since the last interaction on which the exhibit ran for an hour or more.",
               usage.idleOpeningDays);
  }
  return out.Take();
}

std::string StatusJson(const StatusView& view) {
  std::string out;
  {
    JsonObject root(out);
    root.Text("version", view.run.version);
    root.Text("started", IsoUtc(UnixSeconds(view.run.started)));
    root.Raw("uptime_seconds", Number(view.uptimeSeconds));
    root.Bool("actions", view.actionsEnabled);
    if (view.snapshot == nullptr) {
      root.Raw("frames", "null");
    } else {
      const ExhibitSnapshot& s = *view.snapshot;
      {
        JsonObject frames(root.Key("frames"));
        frames.Raw("count", Number(s.frames));
        frames.Raw("late", Number(s.framesLate));
        frames.Raw("mean_period_seconds",
                   s.framePeriods.count > 0 ? Number(s.framePeriods.sumSeconds / static_cast<double>(s.framePeriods.count))
                                            : std::string("null"));
        frames.Raw("last_age_seconds", Number(view.lastFrameAgeSeconds));
      }
      {
        JsonObject health(root.Key("health"));
        health.Bool("display", s.displayOk);
        health.Bool("midi_output", s.midiOutputOk);
        health.Bool("panel", s.panelConnected);
      }
      root.Raw("display_losses", Number(s.displayLosses));
      root.Raw("speed_setting", Number(static_cast<double>(s.speedSetting)));
      root.Raw("weights", JsonArray(s.weights));
      root.Raw("firings", JsonArray(s.firings));
      JsonCounts(root, "interactions", s.interactions, kInteractionSourceNames);
      JsonCounts(root, "resets", s.resets, kResetCauseNames);
    }
    if (!view.usage) {
      root.Raw("usage", "null");
    } else {
      const UsageSummary& usage = *view.usage;
      JsonObject u(root.Key("usage"));
      u.Bool("recording", usage.recording);
      u.Text("database", usage.databasePath);
      u.Text("problem", usage.problem);
      u.Raw("today_by_hour", JsonArray(usage.todayByHour));
      u.Raw("last_interaction", usage.lastInteractionUnixMs > 0
                                    ? JsonString(IsoUtc(usage.lastInteractionUnixMs / 1000))
                                    : std::string("null"));
      u.Raw("idle_opening_days", Number(usage.idleOpeningDays));
      u.Raw("events_dropped", Number(usage.eventsDropped));
      u.Raw("events_waiting", Number(usage.eventsWaiting));
      u.Raw("last_write", usage.lastWriteUnixMs > 0 ? JsonString(IsoUtc(usage.lastWriteUnixMs / 1000))
                                                    : std::string("null"));
    }
    {
      std::string& options = root.Key("options");
      options += '[';
      bool first = true;
      for (const auto& [name, value] : view.run.options) {
        if (!first) options += ',';
        first = false;
        JsonObject option(options);
        option.Text("name", name);
        option.Text("value", value);
      }
      options += ']';
    }
    std::string& messages = root.Key("startup_messages");
    messages += '[';
    for (std::size_t i = 0; i < view.startupMessages.size(); ++i) {
      if (i > 0) messages += ',';
      messages += JsonString(view.startupMessages[i]);
    }
    messages += ']';
  }
  return out;
}

}  // namespace velmora::monitoring
