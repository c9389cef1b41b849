#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <thread>

#include "libs/io/async_file_reader.h"
#include "libs/io/io_thread.h"
#include "support/child_process.h"
#include "zolt/core/resources/resource_builtins.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {

// What only a test may do to the loader: wake its thread with nothing to do.
struct ResourceLoaderTestAccess {
    static void wake_loader_thread(ResourceLoader& loader) { loader.work_event_.set(); }
    static bool wait_for_pass(ResourceLoader& loader, uint32_t milliseconds) {
        return loader.done_event_.wait_for(milliseconds);
    }
    static bool is_thread_running(const ResourceLoader& loader) { return loader.thread_.valid; }
};

namespace {

using test::Bytes;
using test::get_loader;
using test::make_random_bytes;
using test::make_resource;
using test::make_text_bytes;
using test::PackFolder;
using test::RunningLoader;

bool is_aligned(const void* pointer, uint32_t alignment) {
    return reinterpret_cast<uintptr_t>(pointer) % alignment == 0;
}

// Steps until nothing is left to load, as a script polling builtin 199 does.
bool step_until_loaded() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (apply_resource_marks(0) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void expect_loaded(const tools::PackResource& resource) {
    const ResourceInfo* const info = get_loader().find_resource(resource.id);
    ASSERT_NE(info, nullptr) << std::hex << resource.id;
    EXPECT_EQ(info->get_state(), resource_state::from_pack | resource_state::in_memory) << std::hex << resource.id;
    EXPECT_EQ(test::read_memory(*info), resource.data) << std::hex << resource.id;
}

TEST(ResourceLoader, LoadsStoredAndPackedResourcesOfEveryAlignmentIntoTheirPools) {
    PackFolder packs;
    tools::PackDescription description;
    for (uint32_t exponent = 0; exponent < 16; ++exponent) {
        description.resources.push_back(
            make_resource(0x10000100 + exponent, make_text_bytes(3000 + exponent * 37, exponent), exponent));
        description.resources.push_back(make_resource(0x10000200 + exponent,
                                                      make_random_bytes(500 + exponent * 3, exponent), exponent,
                                                      io::pool_type_second, false, false));
    }
    description.resources.push_back(make_resource(0x10000300, make_text_bytes(5000, 99), 4, 2));
    description.resources.push_back(make_resource(0x10000301, {}, 0));
    description.resources.push_back(make_resource(0x10000302, {}, 9, io::pool_type_second));
    description.resources.push_back(make_resource(0x10000400, make_text_bytes(4000, 7), 6, io::pool_type_deferred));
    packs.add_pack("all.pack", description);
    RunningLoader running(packs);

    ResourceLoader& loader = get_loader();
    EXPECT_EQ(loader.get_resource_count(), description.resources.size());
    EXPECT_FALSE(loader.is_busy());
    for (const tools::PackResource& resource : description.resources) {
        SCOPED_TRACE(::testing::Message() << std::hex << resource.id);
        const ResourceInfo* const info = loader.find_resource(resource.id);
        ASSERT_NE(info, nullptr);
        if (io::get_pool_type(resource.flags) == io::pool_type_deferred) {
            continue;
        }
        expect_loaded(resource);
        const void* const memory = ResourceLoader::get_resource_memory(*info);
        EXPECT_TRUE(is_aligned(memory, 1u << io::get_alignment_exponent(resource.flags)));
        const bool is_second = io::get_pool_type(resource.flags) == io::pool_type_second;
        EXPECT_TRUE(is_second ? test::is_inside(memory, loader.get_second_pool(), second_resource_pool_size)
                              : test::is_inside(memory, loader.get_general_pool(), general_resource_pool_size));
    }
    // The text went in packed and the random bytes as they are.
    EXPECT_LT(loader.find_resource(0x10000100)->stored_size, loader.find_resource(0x10000100)->unpacked_size);
    EXPECT_EQ(loader.find_resource(0x10000200)->stored_size, loader.find_resource(0x10000200)->unpacked_size);

    const ResourceInfo* const deferred = loader.find_resource(0x10000400);
    EXPECT_EQ(deferred->get_state(), resource_state::from_pack);
    EXPECT_EQ(deferred->flags, io::make_resource_flags(6, io::pool_type_deferred, false) | io::resource_flag_deferred);
    EXPECT_EQ(ResourceLoader::get_resource_memory(*deferred), nullptr);
    EXPECT_EQ(is_resource_loaded(0x10000400), 0u);
    EXPECT_EQ(is_resource_loaded(0x10000100), 1u);
    EXPECT_EQ(find_resource(0x10000400), 1u);
    EXPECT_EQ(find_resource(0x10000500), 0u);
}

TEST(ResourceLoader, LanguageFallbackTriesTheIdThenTheCurrentLanguageThenZeroThenOne) {
    struct Case {
        std::vector<uint32_t> languages_present;
        uint32_t expected_language;  // 0x10 when nothing is found
    };
    const Case cases[] = {
        {{0xF, 3, 0, 1}, 0xF}, {{3, 0, 1}, 3}, {{0, 1}, 0}, {{1, 0}, 0}, {{1}, 1}, {{2, 4}, 0x10}, {{}, 0x10},
    };
    auto make_id = [](uint32_t case_index, uint32_t language) {
        return io::set_resource_language(0x10000040 + case_index, language);
    };
    PackFolder packs;
    tools::PackDescription description;
    for (uint32_t index = 0; index < std::size(cases); ++index) {
        for (const uint32_t language : cases[index].languages_present) {
            description.resources.push_back(
                make_resource(make_id(index, language), make_text_bytes(2000, index * 16 + language)));
        }
    }
    packs.add_pack("languages.pack", description);
    test::LanguageScope language(3);
    RunningLoader running(packs);

    ResourceLoader& loader = get_loader();
    for (const tools::PackResource& resource : description.resources) {
        expect_loaded(resource);
    }
    for (uint32_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        const ResourceInfo* const found = loader.find_resource(make_id(index, 0xF));
        if (cases[index].expected_language == 0x10) {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->id, make_id(index, cases[index].expected_language));
        EXPECT_EQ(&loader.get_resource_info(make_id(index, 0xF)), found);
    }
    // Only language 0xF falls back.
    EXPECT_EQ(loader.find_resource(make_id(1, 4)), nullptr);
    EXPECT_EQ(loader.find_resource(make_id(1, 2)), nullptr);
}

TEST(ResourceLoader, UnknownIdIsFatal) {
    PackFolder packs;
    packs.add_pack("empty.pack", {});
    const test::ChildResult result = test::run_in_child([&] {
        RunningLoader running(packs);
        get_loader().get_resource_info(0x1F0000AB);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: resource 0x1f0000ab not found\n"), std::string::npos)
        << result.standard_error;
}

TEST(ResourceLoader, MarkedPacksLoadStepByStepAndUnmarkedOnesLeaveWithTheShake) {
    PackFolder packs;
    tools::PackDescription start{0, io::pack_engine_version, {make_resource(0x10000001, make_text_bytes(9000, 1))}};
    tools::PackDescription first{0x105, io::pack_engine_version, {}};
    tools::PackDescription second{0x205, io::pack_engine_version, {}};
    for (uint32_t index = 0; index < 24; ++index) {
        first.resources.push_back(make_resource(0x10001000 + index, make_text_bytes(60000, index), index % 8));
        second.resources.push_back(
            make_resource(0x10002000 + index, make_random_bytes(30000, index), 6, index % 2 == 0 ? 3 : 0));
    }
    // A version differing from the engine's only in its low 21 bits is fine.
    second.version = io::pack_engine_version | 0x1FFFFF;
    packs.add_pack("start.pack", start);
    packs.add_pack("first.pack", first);
    packs.add_pack("second.pack", second);
    RunningLoader running(packs);
    ResourceLoader& loader = get_loader();
    expect_loaded(start.resources[0]);
    EXPECT_EQ(find_resource(0x10001000), 0u);

    mark_resource_packs(0x05, 0xFF);
    // The directories were read and loads queued: not done yet.
    EXPECT_EQ(apply_resource_marks(0), 0u);
    ASSERT_TRUE(step_until_loaded());
    for (const auto* description : {&first, &second}) {
        for (const tools::PackResource& resource : description->resources) {
            expect_loaded(resource);
        }
    }
    // Marking what is loaded already leaves nothing to do.
    mark_resource_packs(0x105, 0xFFFFFFFF);
    EXPECT_EQ(apply_resource_marks(0), 1u);

    unmark_resource_packs(0x105, 0xFFFFFFFF);
    loader.shake_resources();
    EXPECT_EQ(loader.get_resource_count(), 1u + second.resources.size());
    EXPECT_EQ(find_resource(0x10001000), 0u);
    expect_loaded(start.resources[0]);
    for (const tools::PackResource& resource : second.resources) {
        expect_loaded(resource);
        EXPECT_TRUE(is_aligned(ResourceLoader::get_resource_memory(loader.get_resource_info(resource.id)), 64));
    }
    // Every kept block slid down: each pool is one free block at its top.
    const auto general_free = test::get_free_blocks(loader.get_general_pool());
    const auto second_free = test::get_free_blocks(loader.get_second_pool());
    ASSERT_EQ(general_free.size(), 1u);
    ASSERT_EQ(second_free.size(), 1u);
    EXPECT_EQ(general_free[0].first + general_free[0].second, general_resource_pool_size);
    EXPECT_EQ(second_free[0].first + second_free[0].second, second_resource_pool_size);

    // Marked again, the pack's directory is read again.
    EXPECT_EQ(apply_resource_marks(1), 1u);
    EXPECT_EQ(find_resource(0x10001000), 0u);
    mark_resource_packs(0x105, 0xFFFFFFFF);
    EXPECT_EQ(apply_resource_marks(1), 1u);
    for (const tools::PackResource& resource : first.resources) {
        expect_loaded(resource);
    }
}

TEST(ResourceLoader, ShakeWaitsForLoadsInFlightAndLosesNothing) {
    PackFolder packs;
    tools::PackDescription old_pack{1, io::pack_engine_version, {}};
    tools::PackDescription new_pack{2, io::pack_engine_version, {}};
    const uint32_t pool_types[] = {0, 2, io::pool_type_second};
    for (uint32_t index = 0; index < 8; ++index) {
        old_pack.resources.push_back(make_resource(0x10003000 + index, make_text_bytes(200000, index), 6));
    }
    for (uint32_t index = 0; index < 16; ++index) {
        new_pack.resources.push_back(
            make_resource(0x10004000 + index, make_text_bytes(1 << 20, 50 + index), index % 10, pool_types[index % 3]));
    }
    packs.add_pack("old.pack", old_pack);
    packs.add_pack("new.pack", new_pack);
    RunningLoader running(packs);
    ResourceLoader& loader = get_loader();
    loader.mark_packs(0xFFFFFFFF, 1);
    loader.load_marked_packs();

    loader.mark_packs(0xFFFFFFFF, 2);
    EXPECT_FALSE(loader.load_marked_packs_step());
    loader.unmark_packs(0xFFFFFFFF, 1);
    loader.shake_resources();
    EXPECT_FALSE(loader.is_busy());
    EXPECT_EQ(loader.find_resource(0x10003000), nullptr);
    for (const tools::PackResource& resource : new_pack.resources) {
        expect_loaded(resource);
        const ResourceInfo& info = loader.get_resource_info(resource.id);
        EXPECT_TRUE(is_aligned(ResourceLoader::get_resource_memory(info), 1u << (info.flags & 0xF)));
    }
    EXPECT_EQ(test::get_free_blocks(loader.get_general_pool()).size(), 1u);
    EXPECT_TRUE(loader.load_marked_packs_step());
}

TEST(ResourceLoader, LoaderThreadEndsOnlyWhenStopped) {
    PackFolder packs;
    tools::PackDescription later{1, io::pack_engine_version, {make_resource(0x10005000, make_text_bytes(5000, 5))}};
    packs.add_pack("later.pack", later);
    RunningLoader running(packs);
    ResourceLoader& loader = get_loader();

    // A wake with nothing pending is a pass like any other.
    ResourceLoaderTestAccess::wake_loader_thread(loader);
    EXPECT_TRUE(ResourceLoaderTestAccess::wait_for_pass(loader, 10000));
    ResourceLoaderTestAccess::wake_loader_thread(loader);
    ResourceLoaderTestAccess::wake_loader_thread(loader);
    EXPECT_TRUE(ResourceLoaderTestAccess::wait_for_pass(loader, 10000));
    EXPECT_TRUE(ResourceLoaderTestAccess::is_thread_running(loader));

    loader.mark_packs(0xFFFFFFFF, 1);
    ASSERT_TRUE(step_until_loaded());
    expect_loaded(later.resources[0]);

    loader.shutdown();
    EXPECT_FALSE(ResourceLoaderTestAccess::is_thread_running(loader));
    EXPECT_EQ(loader.get_resource_count(), 0u);
    EXPECT_EQ(loader.get_pack_count(), 0u);
    const auto general_free = test::get_free_blocks(loader.get_general_pool());
    ASSERT_EQ(general_free.size(), 1u);
    EXPECT_EQ(general_free[0].second, general_resource_pool_size);
}

TEST(ResourceLoader, SavedMarksComeBackWithTheirResources) {
    PackFolder packs;
    tools::PackDescription keyed[4];
    for (uint32_t key = 0; key < 4; ++key) {
        keyed[key].key = key;
        keyed[key].resources.push_back(make_resource(0x10006000 + key, make_text_bytes(7000, key), 3));
        packs.add_pack("key" + std::to_string(key) + ".pack", keyed[key]);
    }
    RunningLoader running(packs);
    ResourceLoader& loader = get_loader();
    loader.mark_packs(0xFFFFFFFF, 1);
    loader.mark_packs(0xFFFFFFFF, 3);
    loader.load_marked_packs();
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(2));
        loader.save_state(stream);
        ASSERT_TRUE(stream.finish());
    }
    loader.unmark_packs(0, 0);
    loader.mark_packs(0xFFFFFFFF, 2);
    loader.shake_resources();
    loader.load_marked_packs();
    EXPECT_EQ(loader.find_resource(0x10006001), nullptr);

    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(2));
    ASSERT_TRUE(loader.load_state(stream));
    for (uint32_t key = 0; key < 4; ++key) {
        SCOPED_TRACE(key);
        // Key 0 was marked at start and saved with the others.
        const bool is_saved_mark = key != 2;
        EXPECT_EQ((loader.get_pack(key).flags & pack_flag::marked) != 0, is_saved_mark);
        if (is_saved_mark) {
            expect_loaded(keyed[key].resources[0]);
        } else {
            EXPECT_EQ(loader.find_resource(0x10006000 + key), nullptr);
        }
    }
}

TEST(ResourceLoader, ReadsStoredBytesFromMemoryOrFromThePack) {
    PackFolder packs;
    const Bytes stored = make_random_bytes(4096, 11);
    const Bytes deferred = make_random_bytes(3000, 12);
    tools::PackDescription description{0, io::pack_engine_version, {}};
    description.resources.push_back(make_resource(0x10007000, stored, 0, 0, false, false));
    description.resources.push_back(make_resource(0x10007001, deferred, 0, io::pool_type_deferred, false, false));
    packs.add_pack("reads.pack", description);
    io::start_io_thread();
    {
        RunningLoader running(packs);
        ResourceLoader& loader = get_loader();
        Bytes buffer(200);
        ASSERT_TRUE(loader.read_resource_sync(0x10007000, buffer.data(), 100, 200));
        EXPECT_EQ(buffer, Bytes(stored.begin() + 100, stored.begin() + 300));
        ASSERT_TRUE(loader.read_resource_sync(0x10007001, buffer.data(), 2800, 200));
        EXPECT_EQ(buffer, Bytes(deferred.begin() + 2800, deferred.end()));
        // Past the end of the pack file: a quiet failure.
        EXPECT_FALSE(loader.read_resource_sync(0x10007001, buffer.data(), 2900, 200));

        io::AsyncFileReader reader(buffer.data());
        loader.read_resource(reader, 0x10007001, 10, 200);
        ASSERT_TRUE(reader.wait_for_completion());
        EXPECT_EQ(buffer, Bytes(deferred.begin() + 10, deferred.begin() + 210));
    }
    io::stop_io_thread();
}

}  // namespace
}  // namespace zolt::core
