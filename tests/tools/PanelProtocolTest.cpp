#include "platform/PanelProtocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

TEST(PanelProtocolTest, WhatOneEndEncodesTheOtherDecodesUnchangedOverTheWholeByteRange) {
  const PanelReplyValues cases[] = {
      {false, false, {15, {6, 6, 6, 7, 6, 6}}},
      {true, false, {-128, {-128, -1, 0, 1, 126, 127}}},
      {false, true, {127, {127, 0, -1, -128, 20, -9}}},
      {true, true, {-1, {0, 0, 0, 0, 0, 0}}},
  };
  for (const PanelReplyValues& sent : cases) {
    const PanelReply reply = EncodeReply(sent);
    EXPECT_EQ(DecodeReply(reply), sent) << "reply with speed " << sent.settings.speed;

    const StatusPacket packet = EncodeStatusPacket(sent.settings);
    const auto received = FirstPanelMessage(packet);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->kind, PanelMessage::Kind::kStatusPacket);
    EXPECT_EQ(received->lengthBytes, kStatusPacketBytes);
    EXPECT_EQ(received->status, sent.settings) << "status packet with speed " << sent.settings.speed;
  }
}

TEST(PanelProtocolTest, PanelSplitsWhatArrivesIntoPollsPacketsAndStrayBytesAndWaitsForTheRestOfAPacket) {
  std::vector<std::uint8_t> bytes = {kPollLetter, 0x7F};
  const StatusPacket packet = EncodeStatusPacket({15, {6, 6, 6, 7, 6, 6}});
  bytes.insert(bytes.end(), packet.begin(), packet.end());
  bytes.insert(bytes.end(), packet.begin(), packet.end() - 1);

  std::vector<PanelMessage::Kind> kinds;
  std::span<const std::uint8_t> rest(bytes);
  while (const auto message = FirstPanelMessage(rest)) {
    kinds.push_back(message->kind);
    rest = rest.subspan(message->lengthBytes);
  }
  EXPECT_EQ(kinds, (std::vector<PanelMessage::Kind>{PanelMessage::Kind::kPoll, PanelMessage::Kind::kStrayByte,
                                                     PanelMessage::Kind::kStatusPacket}));
  EXPECT_EQ(rest.size(), kStatusPacketBytes - 1) << "an unfinished packet stays for later";
}

}  // namespace
}  // namespace velmora
