#include <benchmark/benchmark.h>
#include <zlib.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/io_thread.h"
#include "libs/io/request.h"
#include "platform/system/files.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_stream_file.h"

namespace {

std::string make_file(const char* name, size_t size) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::vector<char> content(size, 'z');
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    return path;
}

// From queueing a read to the IO thread until its event is signalled.
void io_request_zolt(benchmark::State& state) {
    const std::string path = make_file("zolt_bench_io.bin", 1 << 20);
    zolt::io::start_io_thread();
    zolt::io::Request request;
    request.do_open(path.c_str(), zolt::io::open_read);
    std::vector<char> buffer(static_cast<size_t>(state.range(0)));
    uint32_t offset = 0;
    for (auto _ : state) {
        zolt::io::queue_request(buffer.data(), offset, &request, static_cast<uint32_t>(buffer.size()));
        request.event.wait();
        offset = (offset + 4096) % (1 << 19);
    }
    zolt::io::stop_io_thread();
    std::filesystem::remove(path);
}

// The same read done directly on the calling thread.
void io_request_pread(benchmark::State& state) {
    const std::string path = make_file("zolt_bench_io.bin", 1 << 20);
    zolt::platform::FileHandle handle;
    zolt::platform::open_file(path.c_str(), zolt::platform::FileAccess::read,
                              zolt::platform::FileCreation::open_existing, &handle);
    std::vector<char> buffer(static_cast<size_t>(state.range(0)));
    uint32_t offset = 0;
    uint32_t transferred = 0;
    for (auto _ : state) {
        zolt::platform::read_file_at(handle, offset, buffer.data(), static_cast<uint32_t>(buffer.size()), &transferred);
        offset = (offset + 4096) % (1 << 19);
    }
    zolt::platform::close_file(handle);
    std::filesystem::remove(path);
}

class BenchSaveFiles final : public zolt::storage::SaveFileProvider {
public:
    bool make_save_file_path(uint32_t, char* path, uint32_t capacity) const override {
        std::snprintf(path, capacity, "%s", (std::filesystem::temp_directory_path() / "s00100001.zsv").c_str());
        return true;
    }
    const uint8_t* get_storage_record() const override { return record_; }

private:
    uint8_t record_[zolt::storage::storage_record_size] = {};
};

// A save of the largest stream that still loads, written as 32-bit fields.
void save_stream_zolt(benchmark::State& state) {
    BenchSaveFiles files;
    const uint32_t words = static_cast<uint32_t>(state.range(0)) / 4;
    for (auto _ : state) {
        zolt::storage::FileSaveStream stream(files);
        stream.open(0x00010001);
        for (uint32_t index = 0; index < words; ++index) {
            stream.write_u32(index);
        }
        benchmark::DoNotOptimize(stream.finish());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    std::filesystem::remove(std::filesystem::temp_directory_path() / "s00100001.zsv");
}

// The same bytes built in memory, checksummed with zlib and written with stdio.
void save_stream_stdio(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "s00100002.zsv").string();
    const uint32_t words = static_cast<uint32_t>(state.range(0)) / 4;
    std::vector<uint32_t> data(words);
    static const std::vector<char> header(zolt::storage::save_stream_offset);
    for (auto _ : state) {
        for (uint32_t index = 0; index < words; ++index) {
            data[index] = index;
        }
        uint32_t crc =
            static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), words * 4)) ^ 0xFFFFFFFFu;
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), file);
        std::fwrite(data.data(), 4, words, file);
        std::fwrite(&crc, 4, 1, file);
        std::fclose(file);
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(io_request_zolt)->Name("io_request/zolt")->Arg(4096)->UseRealTime();
BENCHMARK(io_request_pread)->Name("io_request/pread")->Arg(4096)->UseRealTime();
BENCHMARK(save_stream_zolt)->Name("save_stream/zolt")->Arg(0xA00000 - 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(save_stream_stdio)
    ->Name("save_stream/stdio")
    ->Arg(0xA00000 - 4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
