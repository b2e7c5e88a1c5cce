#include "shell/VisitorAction.h"

#include <array>

namespace velmora {
namespace {

constexpr std::array<std::string_view, 6> kRaise = {"weight1+", "weight2+", "weight3+", "weight4+", "weight5+", "weight6+"};
constexpr std::array<std::string_view, 6> kLower = {"weight1-", "weight2-", "weight3-", "weight4-", "weight5-", "weight6-"};
constexpr std::array<std::string_view, 6> kSynapse = {"weight1", "weight2", "weight3", "weight4", "weight5", "weight6"};

std::string_view Of(const std::array<std::string_view, 6>& names, std::size_t weight) {
  return weight < names.size() ? names[weight] : std::string_view{};
}

}  // namespace

std::string_view ControlName(const VisitorAction& action) {
  switch (action.kind) {
    case VisitorActionKind::RaiseWeight:
      return Of(kRaise, action.weight);
    case VisitorActionKind::LowerWeight:
      return Of(kLower, action.weight);
    case VisitorActionKind::SetWeight:
      return Of(kSynapse, action.weight);
    case VisitorActionKind::SetSpeed:
      return "speed";
    case VisitorActionKind::Faster:
      return "faster";
    case VisitorActionKind::Slower:
      return "slower";
    case VisitorActionKind::Stimulus1:
      return "stimulus1";
    case VisitorActionKind::Stimulus2:
      return "stimulus2";
    case VisitorActionKind::Reset:
      return "reset";
    case VisitorActionKind::Wake:
      return action.onSynapse ? Of(kSynapse, action.weight) : "wake";
    case VisitorActionKind::SwitchLanguage:
      return "language";
  }
  return {};
}

}  // namespace velmora
