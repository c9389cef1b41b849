#pragma once
// A save read back from its save file. open reads the whole stream part into
// the file load buffer and checks its CRC before anything is parsed; a file
// too short or too long for a stream, or one that fails its CRC, is refused
// with save status 6. The trailing CRC is never read as data.
#include <cstdint>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_file_layout.h"

namespace zolt::storage {

class FileLoadStream final : public LoadStream {
public:
    explicit FileLoadStream(const SaveFileProvider& provider);

    // Clears the save status first; the file is closed before it answers.
    bool open(uint32_t save_id) override;

private:
    const SaveFileProvider& provider_;
};

}  // namespace zolt::storage
