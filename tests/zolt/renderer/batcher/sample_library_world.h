#pragma once
// A GL world for the layers that draw with their own materials: a 64 x 64
// display mode, the texture server with the screen copies, the alias and
// material servers, and the sample shader library, so a test draws with the
// very passes the sample content ships.
#include <gtest/gtest.h>

#include "zolt/renderer/batcher/batcher_test_support.h"

namespace zolt::renderer::test_support {

class SampleLibraryWorld : public BatcherWorld {
protected:
    SampleLibraryWorld() { use_sample_shader_library_ = true; }
    void TearDown() override;
};

}  // namespace zolt::renderer::test_support
