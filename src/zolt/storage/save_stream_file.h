#pragma once
// A save written to its save file. The file is written under a temporary
// name of its own, reaches the disk and replaces the save of the same id only
// when the whole save succeeded, so a failed or killed save keeps the
// previous one. The stream keeps a
// running CRC-32 and ends with its register; a stream that would not load
// again (over save_stream_capacity with the CRC) fails. Write failures do not
// stop the save: the stream stops writing and finish reports the save status.
#include <cstdint>

#include "libs/io/file_replacement.h"
#include "libs/io/request.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_stream.h"

namespace zolt::storage {

class FileSaveStream final : public SaveStream {
public:
    explicit FileSaveStream(const SaveFileProvider& provider);
    // Removes the temporary file of a save that did not finish.
    ~FileSaveStream() override;

    // Clears the save status, creates the temporary file and writes the
    // reserved area and the storage record.
    bool open(uint32_t save_id) override;
    bool finish() override;

protected:
    void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used) override;

private:
    void discard_temporary_file();

    const SaveFileProvider& provider_;
    bool failed_ = true;
    bool too_long_ = false;
    io::FileReplacement replacement_;
    // Writes into the replacement's file, whose handle it never owns.
    io::Request request_;
    uint32_t crc_register_;
    // Stream bytes handed to the file so far.
    uint32_t stream_size_ = 0;
    // In the file system's form.
    char path_[io::native_path_capacity];
};

}  // namespace zolt::storage
