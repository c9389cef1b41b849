#pragma once
// Stored reference images for picture tests: a guard against regressions,
// never the oracle (tests check the pixels they can compute first). A frame
// matches when no channel of any pixel differs from the stored PNG by more
// than the tolerance. On a mismatch the frame and a difference image (each
// channel's difference times 8) are written into <build>/test-output and
// named in the failure. Setting ZOLT_REFRESH_REFERENCE_IMAGES=1 in the
// environment writes the frame as the new reference instead, on purpose:
//     ZOLT_REFRESH_REFERENCE_IMAGES=1 build/dev/bin/zolt_tests --gtest_filter=...
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zolt::test {

struct Frame {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;  // bottom row first, as GL reads it back
};

// name: the file's stem under tests/<folder>/reference_images. For a picture
// whose moving parts may stand a pixel or two off: with a shift, a pixel
// also matches a stored one up to that many columns and rows away, and up
// to allowed_pixels pixels may still differ.
::testing::AssertionResult matches_reference_image(const std::string& folder, const std::string& name,
                                                   const Frame& frame, uint32_t tolerance, uint32_t shift = 0,
                                                   uint32_t allowed_pixels = 0);

}  // namespace zolt::test
