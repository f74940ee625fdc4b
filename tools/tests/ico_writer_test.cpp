// The icon writer and the application icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/exceptions.h"
#include "tools/form_compiler.h"
#include "tools/ico_writer.h"

namespace {

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

TEST(IcoWriter, ContainerAndImages) {
  const std::vector<uint8_t> ico = KribbelIcon();
  ASSERT_GE(ico.size(), 6u + 3 * 16);
  EXPECT_EQ(Get16(ico, 0), 0u);
  EXPECT_EQ(Get16(ico, 2), 1u);
  ASSERT_EQ(Get16(ico, 4), 3u);
  size_t expectedOffset = 6 + 3 * 16;
  const int sizes[] = {16, 32, 48};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(sizes[i]);
    const size_t e = 6 + 16 * size_t(i);
    const uint32_t n = uint32_t(sizes[i]);
    EXPECT_EQ(ico[e], n);
    EXPECT_EQ(ico[e + 1], n);
    EXPECT_EQ(ico[e + 2], 0);
    EXPECT_EQ(Get16(ico, e + 4), 1u);
    EXPECT_EQ(Get16(ico, e + 6), 32u);
    const uint32_t maskStride = (n + 31) / 32 * 4;
    const uint32_t bytes = 40 + n * n * 4 + maskStride * n;
    EXPECT_EQ(Get32(ico, e + 8), bytes);
    EXPECT_EQ(Get32(ico, e + 12), expectedOffset);
    // The DIB: header, colour rows bottom-up, the AND mask.
    const size_t dib = expectedOffset;
    EXPECT_EQ(Get32(ico, dib), 40u);
    EXPECT_EQ(Get32(ico, dib + 4), n);
    EXPECT_EQ(Get32(ico, dib + 8), 2 * n);
    EXPECT_EQ(Get16(ico, dib + 12), 1u);
    EXPECT_EQ(Get16(ico, dib + 14), 32u);
    EXPECT_EQ(Get32(ico, dib + 16), 0u);
    const auto pixel = [&](uint32_t x, uint32_t y) { return Get32(ico, dib + 40 + ((n - 1 - y) * n + x) * 4); };
    const auto masked = [&](uint32_t x, uint32_t y) {
      return (ico[dib + 40 + n * n * 4 + (n - 1 - y) * maskStride + x / 8] >> (7 - x % 8)) & 1;
    };
    EXPECT_EQ(pixel(0, 0) >> 24, 0u);  // the rounded corner is transparent
    EXPECT_EQ(masked(0, 0), 1u);
    EXPECT_EQ(pixel(n * 33 / 100, n / 2), 0xFFFFFFFFu);  // the K's stem, white and opaque
    EXPECT_EQ(masked(n * 33 / 100, n / 2), 0u);
    EXPECT_EQ(pixel(n * 85 / 100, n / 2), 0xFFFB8C00u);  // the orange square
    expectedOffset += bytes;
  }
  EXPECT_EQ(ico.size(), expectedOffset);
  EXPECT_THROW(IcoFile({TIconImage{3, {1, 2}}}), Exception);
}

TEST(IcoWriter, CommittedIconIsWhatIcogenMakes) {
  EXPECT_EQ(ReadFileBytes(KRIBBEL_SOURCE_DIR "/resources/Kribbel.ico"), KribbelIcon());
}

}  // namespace
