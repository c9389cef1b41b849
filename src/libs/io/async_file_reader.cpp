#include "libs/io/async_file_reader.h"

namespace zolt::io {

AsyncFileReader::AsyncFileReader(void* buffer) : buffer_(buffer) {
    // The request neither waits for nor closes the handle when destroyed; it
    // only refuses to be destroyed with a read outstanding.
    request_.flags = handle_not_owned;
}

void AsyncFileReader::start_read(platform::FileHandle handle, uint32_t offset, uint32_t size) {
    request_.handle = handle;
    queue_request(buffer_, offset, &request_, size);
}

void AsyncFileReader::cancel_read() {}

bool AsyncFileReader::is_complete() {
    return request_.event.is_signalled();
}

bool AsyncFileReader::wait_for_completion() {
    request_.event.wait();
    return request_.error == 0;
}

}  // namespace zolt::io
