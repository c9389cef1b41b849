#pragma once
// A game world for the save system's tests: code assembled into a pack of a
// temporary folder, every server of the engine but the texture server
// registered in the engine's order over it (tasks wake on the real event
// clocks), and the save folder inside the temporary folder. A world "in
// play" holds counting tasks, waiters on a semaphore, a state machine in its
// second state, a storage chain, a dictionary and placements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/server_ring.h"
#include "support/world_comparison.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/program/server_registration.h"
#include "zolt/core/script/code_test_support.h"
#include "zolt/core/script/semaphore.h"
#include "zolt/core/script/state_machine.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/storage/save_manager.h"

namespace zolt::test {

// Entry 1 counts: it appends r4 to array r1, adds 1 and waits a frame, for
// ever. Entry 2 waits on semaphore r5 with mask r6. Entry 3 saves the game
// with id r5 and appends what the save opcode answered, then counts on.
// Entry 8 loads the game with id r5 and appends 0xBAD when refused.
// Entries 4 and 5 are the state machines' tasks; entry 6 their definition:
// broadcast 0x20 on the frame clock leads from state 0 to 1, 0x30 back.
const std::string play_code =
    ".code 0 1\n"
    ".entry idle\n.entry counter\n.entry waiter\n.entry saver\n.entry idle\n.entry idle\n"
    ".entry definition\n.entry idle\n.entry loader\n"
    "definition:\n"
    "    .word 0, states\n"
    "states:\n"
    "    .word 100, 101, 0x500, 1, transitions0\n"
    "    .word 110, 111, 0x510, 1, transitions1\n"
    "transitions0:\n"
    "    .word 0x84000020, 0, 1\n"
    "transitions1:\n"
    "    .word 0x84000030, 0, 0\n"
    "idle:\n    end_task\n"
    "counter:\n"
    "    push_r4\n    push_r1\n    pop_r0\n    append_element\n"
    "    push_r4\n    increment\n    pop_r4\n"
    "    set_r0 1667\n    wait\n"
    "    jump counter\n"
    "waiter:\n"
    "    push_r5\n    pop_r0\n    push_r6\n    pop_r2\n    wait_semaphore\n    end_task\n"
    "saver:\n"
    "    push_r5\n    pop_r0\n    save_game\n"
    "    push_r0\n    push_r1\n    pop_r0\n    append_element\n"
    "    set_r4 1000\n"
    "    jump counter\n"
    "loader:\n"
    "    push_r5\n    pop_r0\n    load_game\n"
    "    push_word 0xBAD\n    push_r1\n    pop_r0\n    append_element\n"
    "    end_task\n";

constexpr uint32_t counter_entry = 0x4001;
constexpr uint32_t waiter_entry = 0x4002;
constexpr uint32_t saver_entry = 0x4003;
constexpr uint32_t machine_entry = 0x4006;
constexpr uint32_t loader_entry = 0x4008;

inline std::vector<uint32_t> read_report(const core::ArrayObject* array) {
    if (array == nullptr) {
        return {};
    }
    return std::vector<uint32_t>(array->get_elements(), array->get_elements() + array->get_length());
}

class SaveWorld {
public:
    explicit SaveWorld(const std::string& source = play_code) {
        tools::PackDescription description;
        description.resources.push_back(tools::make_code_pack_resource(assemble_one(source)));
        packs_.add_pack("code.pack", description);
        packs_.write_pack_list();
        saved_rate_ = renderer::initial_frame_rate;
        renderer::initial_frame_rate = 60;
        for (core::ServerBase* const server : core::get_server_registration_order()) {
            if (server != &renderer::texture_server) {
                server->register_server();
            }
        }
        save_folder_ = (packs_.get_folder() / "saves").string();
        storage::save_manager.set_save_folder(save_folder_.c_str());
        core::event_server.set_next_enabled_mask(core::event_server.get_next_enabled_mask() |
                                                 core::get_clock_mask_bit(0) | core::get_clock_mask_bit(1));
        core::event_server.run_clocks();
    }
    ~SaveWorld() {
        unregister_all_servers();
        core::clear_stand_in_wake_events();
        renderer::initial_frame_rate = saved_rate_;
    }
    SaveWorld(const SaveWorld&) = delete;
    SaveWorld& operator=(const SaveWorld&) = delete;

    const std::string& get_save_folder() const { return save_folder_; }
    std::string get_save_path(const char* name) const { return save_folder_ + "/" + name; }

    // Frame-loop states 0 and 1.
    static void frame() {
        core::event_server.update_clocks();
        core::message_server.free_delivered_messages();
        core::event_server.run_clocks();
    }
    static void frames(uint32_t count) {
        for (uint32_t index = 0; index < count; ++index) {
            frame();
        }
    }
    // Frames until the condition holds, at most limit of them: how many
    // frames a task needs to wake depends on the frame period the clocks
    // measured, which a loaded machine stretches.
    template <typename Condition>
    static bool frames_until(Condition done, uint32_t limit = 100) {
        for (uint32_t index = 0; index < limit && !done(); ++index) {
            frame();
        }
        return done();
    }

    static core::Task* start(uint32_t entry, core::ObjectHandle report, uint32_t r4 = 0, uint32_t r5 = 0,
                             uint32_t r6 = 0) {
        // The frame clock: its time moves one frame period a frame.
        core::Task* const task = core::task_server.start_task(entry, 1 | core::get_clock_mask_bit(1), 0);
        task->set_argument(1, report);
        task->set_argument(4, r4);
        task->set_argument(5, r5);
        task->set_argument(6, r6);
        return task;
    }

    // The world in play; answers the array the counter reports into.
    static core::ObjectHandle make_world_in_play() {
        core::ArrayObject* const report = core::array_server.create_array(0);
        start(counter_entry, report->get_handle(), 10);
        auto* const semaphore = static_cast<core::Semaphore*>(core::semaphore_server.create_object_internal(0));
        for (const uint32_t mask : {1u, 6u}) {
            start(waiter_entry, report->get_handle(), 0, semaphore->get_handle(), mask);
        }
        auto* const machine =
            static_cast<core::StateMachine*>(core::state_machine_server.create_object_internal(machine_entry));
        core::Property value;
        value.set_u32(core::state_machine_property::next_state, 0);
        machine->set_property(core::state_machine_property::next_state, value);
        value.set_u32(core::state_machine_property::next_state, 1);
        machine->set_property(core::state_machine_property::next_state, value);
        auto* const storage = static_cast<core::Storage*>(core::storage_server.create_object_internal(0));
        value.set_u32(0x10000000, 0);
        for (uint32_t field = 0; field < 200; field += 7) {
            value.value[0] = field * 0x01010101u;
            storage->set_property(0x10000000 | field, value);
        }
        core::Dictionary* const dictionary = core::dictionary_server.create_dictionary(5);
        value.set_u32(0x03000777, 0xABCD);
        dictionary->set_property(0x03000777, value);
        core::ServerObject::attach_to_owner(dictionary, storage);
        core::Placement* const parent = core::placement_server.create_placement();
        core::Placement* const child = core::placement_server.create_placement();
        const float position[3] = {1.5f, -2.0f, 3.25f};
        value.set_floats(core::placement_property::position, position, 3);
        parent->set_property(core::placement_property::position, value);
        value.set_u32(core::placement_property::parent, parent->get_handle());
        child->set_property(core::placement_property::parent, value);
        frames(3);
        return report->get_handle();
    }

private:
    PackFolder packs_;
    std::string save_folder_;
    uint32_t saved_rate_ = 0;
};

}  // namespace zolt::test
