#include <gtest/gtest.h>

#include <string>

#include "platform/mv_utils.h"
#include "platform/startup.h"

namespace {

TEST(Rect, EmptinessAndIntersection) {
  struct {
    TRect R;
    bool Empty;
  } cases[] = {
      {Rect(5, 5, 5, 10), true},
      {Rect(5, 5, 4, 10), true},
      {Rect(0, 0, 1, 1), false},
      {Rect(0, 3, 1, 3), true},
      {Rect(INT32_MIN, 0, INT32_MAX, 1), false},  // wide, not an overflowed negative width
  };
  for (const auto& c : cases)
    EXPECT_EQ(RectIsEmpty(c.R), c.Empty) << c.R.Left << "," << c.R.Right;

  EXPECT_EQ(IntersectRect(Rect(0, 0, 10, 10), Rect(5, -5, 20, 5)), Rect(5, 0, 10, 5));
  EXPECT_EQ(IntersectRect(Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)), TRect{});
  EXPECT_EQ(IntersectRect(Rect(5, 0, 3, 10), Rect(0, 0, 10, 10)), TRect{});
}

TEST(ProcessorTest, MmxDecisionReadsOnlyWhatItNeeds) {
  struct {
    bool HasCpuid;
    uint32_t Signature, Features;
    bool Expected;
    int SignatureReads, FeatureReads;
  } cases[] = {
      {false, 0x600, 1u << 23, false, 0, 0},  // no CPUID: nothing is read
      {true, 0x400, 1u << 23, false, 1, 0},   // family 4: features not read
      {true, 0x500, 0, false, 1, 1},
      {true, 0x500, 1u << 23, true, 1, 1},
      {true, 0xF00, 0xFFFFFFFF, true, 1, 1},
  };
  for (const auto& c : cases) {
    int signatureReads = 0, featureReads = 0;
    const bool has = HasMMXFeature(
        c.HasCpuid, [&] { ++signatureReads; return c.Signature; },
        [&] { ++featureReads; return c.Features; });
    EXPECT_EQ(has, c.Expected);
    EXPECT_EQ(signatureReads, c.SignatureReads);
    EXPECT_EQ(featureReads, c.FeatureReads);
  }
}

TEST(ProcessorTest, ThisProcessorHasCpuidAndMmx) {
  EXPECT_TRUE(ProcessorHasCpuid());
  EXPECT_TRUE(ProcessorHasMMX());  // every x86-64 processor has MMX
  EndMMX();
}

std::string Log;
void StartA() { Log += "+a"; }
void FinishA() { Log += "-a"; }
void StartB() { Log += "+b"; }
void FinishB() { Log += "-b"; }
void StartFails() { throw std::runtime_error("no"); }
void FinishNever() { Log += "-never"; }

TEST(Startup, StartsInOrderAndFinishesInReverse) {
  Log.clear();
  {
    TStartup units{{"a", StartA, FinishA}, {"b", StartB, FinishB}};
    EXPECT_EQ(Log, "+a+b");
  }
  EXPECT_EQ(Log, "+a+b-b-a");
}

TEST(Startup, FailedStartFinishesOnlyWhatStarted) {
  Log.clear();
  EXPECT_THROW((TStartup{{"a", StartA, FinishA},
                         {"x", StartFails, FinishNever},
                         {"b", StartB, FinishB}}),
               std::runtime_error);
  EXPECT_EQ(Log, "+a-a");
}

}  // namespace
