#include "shell/Keyboard.h"

#include <optional>

#include "shell/Exhibit.h"

namespace velmora {
namespace {

struct ParameterKey {
  VirtualKey key;
  VisitorAction action;
};

// The number row raises parameters 1 .. 6; the row below it (by virtual-key code, as on
// a German layout) lowers them.
constexpr ParameterKey kParameterKeys[] = {
    {'1', {VisitorActionKind::RaiseWeight, 0}}, {'2', {VisitorActionKind::RaiseWeight, 1}},
    {'3', {VisitorActionKind::RaiseWeight, 2}}, {'4', {VisitorActionKind::RaiseWeight, 3}},
    {'5', {VisitorActionKind::RaiseWeight, 4}}, {'6', {VisitorActionKind::RaiseWeight, 5}},
    {'Q', {VisitorActionKind::LowerWeight, 0}}, {'W', {VisitorActionKind::LowerWeight, 1}},
    {'E', {VisitorActionKind::LowerWeight, 2}}, {'R', {VisitorActionKind::LowerWeight, 3}},
    {'T', {VisitorActionKind::LowerWeight, 4}}, {'Z', {VisitorActionKind::LowerWeight, 5}},
    {'F', {VisitorActionKind::Faster}},         {'S', {VisitorActionKind::Slower}},
    {VK_F1, {VisitorActionKind::Stimulus1}},    {VK_F2, {VisitorActionKind::Stimulus2}},
    {'0', {VisitorActionKind::Reset}},
};

}  // namespace

std::optional<VisitorAction> VisitorActionOfKey(VirtualKey key) {
  for (const ParameterKey& entry : kParameterKeys) {
    if (entry.key == key) return entry.action;
  }
  return std::nullopt;
}

KeyOutcome ApplyVisitorKey(Exhibit& exhibit, VirtualKey key) {
  if (key == VK_ESCAPE || key == VK_F12) return KeyOutcome::EndExhibit;
  const std::optional<VisitorAction> action = VisitorActionOfKey(key);
  if (!action) return KeyOutcome::Ignored;
  exhibit.Apply(*action, monitoring::InteractionSource::Keyboard);
  return KeyOutcome::Handled;
}

}  // namespace velmora
