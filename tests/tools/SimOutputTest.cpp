#include "tools/sim/SimOutput.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace velmora::sim {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SimOutputTest, FiringLineShowsTimeWithSixSignificantDigits) {
  const struct {
    Firing firing;
    const char* line;
  } cases[] = {
      {{38.0f, 1, 4, 38.0}, "38 1 4\n"},
      {{123.0f, 2, 8, 0.0}, "123 2 8\n"},
      {{0.0384375f, 3, 12, 0.0}, "0.0384375 3 12\n"},
      {{2381.8f, 1, 4, 0.0}, "2381.8 1 4\n"},
      {{1234567.0f, 2, 8, 0.0}, "1.23457e+06 2 8\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFiringLine(c.firing), c.line);
}

TEST(SimOutputTest, CsvRowReadsBackEveryFloatExactly) {
  StepRow row;
  row.step = 7;
  row.timeMs = 0.26906249f;
  row.summedInput[0] = 1.5f;
  row.summedInput[1] = -0.1f;
  row.summedInput[2] = 1.0f / 3.0f;
  const std::string line = FormatCsvRow(row);
  EXPECT_EQ(CsvHeader(), "step,time,s1,s2,s3\n");
  ASSERT_EQ(line.back(), '\n');
  std::istringstream in(line);
  std::string field;
  std::vector<std::string> fields;
  while (std::getline(in, field, ',')) fields.push_back(field);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0], "7");
  EXPECT_EQ(std::stof(fields[1]), row.timeMs);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::stof(fields[2 + i]), row.summedInput[i]);
}

TEST(SimOutputTest, GeometryCsvListsEveryStoredPointOfTheTwentyThreePaths) {
  const std::vector<std::string> lines = Lines(BuildGeometryCsv());
  ASSERT_EQ(lines.size(), 5439u);
  EXPECT_EQ(lines[0], "element,index,x,y,nx,ny");
  EXPECT_EQ(lines[1].rfind("A1,0,2,208,", 0), 0u) << lines[1];

  // Per-element point counts and first and last points, as the network is laid out.
  const struct {
    const char* name;
    int count;
    int firstX, firstY, lastX, lastY;
  } paths[] = {
      {"A1", 157, 2, 208, 147, 242},     {"A2", 251, 3, 612, 238, 615},   {"A3", 212, 1, 91, 182, 140},
      {"A4", 177, 4, 406, 145, 483},     {"A5", 75, 250, 260, 267, 332},  {"A6", 149, 268, 333, 248, 475},
      {"A7", 135, 268, 333, 357, 400},   {"A8", 73, 483, 514, 549, 495},  {"A9", 554, 549, 494, 1020, 626},
      {"A10", 102, 549, 494, 557, 398},  {"A11", 96, 556, 396, 571, 304}, {"A12", 440, 556, 397, 257, 154},
      {"A13", 28, 716, 311, 742, 314},   {"A14", 674, 742, 315, 335, 556}, {"A15", 130, 742, 315, 824, 218},
      {"A16", 207, 824, 218, 1022, 178}, {"A17", 712, 824, 219, 249, 113}, {"D1", 90, 136, 260, 212, 223},
      {"D2", 106, 175, 120, 218, 212},   {"D3", 97, 242, 102, 253, 196},  {"D4", 305, 220, 672, 433, 503},
      {"D5", 310, 113, 481, 411, 477},   {"D6", 358, 337, 425, 643, 302},
  };
  std::size_t at = 1;
  for (const auto& path : paths) {
    SCOPED_TRACE(path.name);
    for (int i = 0; i < path.count; ++i, ++at) {
      ASSERT_LT(at, lines.size());
      std::istringstream in(lines[at]);
      std::string name, index, x, y, nx, ny;
      std::getline(in, name, ',');
      std::getline(in, index, ',');
      std::getline(in, x, ',');
      std::getline(in, y, ',');
      std::getline(in, nx, ',');
      std::getline(in, ny, ',');
      ASSERT_EQ(name, path.name);
      ASSERT_EQ(std::stoi(index), i);
      ASSERT_EQ(nx.size() - nx.find('.'), 7u) << "six decimals: " << lines[at];
      ASSERT_EQ(ny.size() - ny.find('.'), 7u) << "six decimals: " << lines[at];
      const double length = std::stod(nx) * std::stod(nx) + std::stod(ny) * std::stod(ny);
      ASSERT_NEAR(length, 1.0, 1e-4) << "stored normals are unit, unscaled: " << lines[at];
      if (i == 0) {
        EXPECT_EQ(std::to_string(path.firstX) + "," + std::to_string(path.firstY), x + "," + y);
      }
      if (i == path.count - 1) {
        EXPECT_EQ(std::to_string(path.lastX) + "," + std::to_string(path.lastY), x + "," + y);
      }
    }
  }
  EXPECT_EQ(at, lines.size());
}

}  // namespace
}  // namespace velmora::sim
