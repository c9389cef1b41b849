#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script/state_machine.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/storage/save_manager.h"

namespace {

using namespace zolt;

constexpr uint32_t save_id = 0x00010001;

// A world of the servers with plain records, holding count objects: a third
// placements in parent chains, a third dictionaries with a property each,
// then storage blocks, arrays and more dictionaries.
class BenchWorld {
public:
    explicit BenchWorld(uint32_t count) {
        for (core::ServerBase* server : servers_) {
            server->register_server();
        }
        folder_ = (std::filesystem::temp_directory_path() / ("zolt_bench_saves_" + std::to_string(getpid()))).string();
        storage::save_manager.set_save_folder(folder_.c_str());
        core::Property value;
        core::Placement* parent = nullptr;
        for (uint32_t index = 0; index < count; ++index) {
            switch (index % 3) {
            case 0: {
                core::Placement* const placement = core::placement_server.create_placement();
                if (parent != nullptr && index % 12 != 0) {
                    value.set_u32(core::placement_property::parent, parent->get_handle());
                    placement->set_property(core::placement_property::parent, value);
                }
                parent = placement;
                break;
            }
            case 1: {
                core::Dictionary* const dictionary = core::dictionary_server.create_dictionary(5);
                value.set_u32(0x03000100, index);
                dictionary->set_property(0x03000100, value);
                break;
            }
            default:
                if (core::storage_server.get_live_count() < core::storage_capacity) {
                    core::storage_server.create_block();
                } else if (core::array_server.get_live_count() < core::array_capacity / 2) {
                    core::array_server.create_array(8)->set_length(8);
                } else {
                    core::dictionary_server.create_dictionary(5);
                }
                break;
            }
        }
    }
    ~BenchWorld() {
        for (auto server = std::rbegin(servers_); server != std::rend(servers_); ++server) {
            (*server)->unregister_server();
        }
        std::filesystem::remove_all(folder_);
    }
    BenchWorld(const BenchWorld&) = delete;
    BenchWorld& operator=(const BenchWorld&) = delete;

    std::string get_save_path() const { return folder_ + "/s00100001.zsv"; }

private:
    core::ServerBase* const servers_[5] = {&core::dictionary_server, &core::storage_server, &core::array_server,
                                           &core::placement_server, &core::state_machine_server};
    std::string folder_;
};

std::vector<char> read_whole(const std::string& path) {
    std::vector<char> bytes(std::filesystem::file_size(path));
    FILE* const file = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

// The whole world through the save stream into its save file: a temporary
// file that reaches the disk and then replaces the save.
void save_world_zolt(benchmark::State& state) {
    BenchWorld world(static_cast<uint32_t>(state.range(0)));
    bool saved = true;
    for (auto _ : state) {
        saved = storage::save_manager.write_save(save_id) && saved;
    }
    if (!saved) {
        state.SkipWithError("the save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(world.get_save_path())));
}

// The same bytes written with stdio, brought to the disk the same way.
void save_world_stdio(benchmark::State& state) {
    BenchWorld world(static_cast<uint32_t>(state.range(0)));
    storage::save_manager.write_save(save_id);
    const std::vector<char> bytes = read_whole(world.get_save_path());
    const std::string path = world.get_save_path() + ".stdio";
    for (auto _ : state) {
        FILE* const file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fflush(file);
        fsync(fileno(file));
        std::fclose(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// Loading it back: size and CRC checks, the header, a snapshot of the running
// world, and every server's records.
void load_world_zolt(benchmark::State& state) {
    BenchWorld world(static_cast<uint32_t>(state.range(0)));
    storage::save_manager.write_save(save_id);
    bool loaded = true;
    for (auto _ : state) {
        loaded = storage::save_manager.load_game(save_id) && loaded;
    }
    if (!loaded) {
        state.SkipWithError("the load failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(world.get_save_path())));
}

// The same bytes read back with stdio.
void load_world_stdio(benchmark::State& state) {
    BenchWorld world(static_cast<uint32_t>(state.range(0)));
    storage::save_manager.write_save(save_id);
    const size_t size = std::filesystem::file_size(world.get_save_path());
    std::vector<char> bytes(size);
    for (auto _ : state) {
        FILE* const file = std::fopen(world.get_save_path().c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(bytes.data(), 1, size, file));
        std::fclose(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

BENCHMARK(save_world_zolt)->Name("save_world/zolt")->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(save_world_stdio)->Name("save_world/stdio")->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(load_world_zolt)->Name("load_world/zolt")->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(load_world_stdio)->Name("load_world/stdio")->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
