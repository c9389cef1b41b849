#include "zolt/core/input/input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "libs/utility/config_file.h"
#include "libs/utility/config_variable_table.h"
#include "libs/utility/string_buffer.h"
#include "platform/input/fake_input_backend.h"
#include "support/child_process.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/builtins/builtin_helpers.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/input/input_codes.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::core {
namespace {

using platform::FakeInputBackend;
using platform::InputDeviceKind;
using platform::InputResult;

constexpr uint32_t clock_1 = 1 | get_clock_mask_bit(1);
constexpr uint32_t clock_5 = 5 | get_clock_mask_bit(5);

struct Posted {
    uint32_t id;
    std::vector<std::string> properties;
};

std::string describe(const Property& property) {
    char text[64];
    switch (get_property_value_type(property.id)) {
    case property_type::floating:
        std::snprintf(text, sizeof text, "%08x:%g", property.id, property.get_float());
        break;
    case property_type::vector2:
        std::snprintf(text, sizeof text, "%08x:(%g,%g)", property.id, property.get_float(0), property.get_float(1));
        break;
    default:
        std::snprintf(text, sizeof text, "%08x:%x", property.id, property.get_u32());
        break;
    }
    return text;
}

// The messages posted since the last call, oldest first, with the input
// properties they carry; they are destroyed once read.
std::vector<Posted> take_posted() {
    static const uint32_t property_ids[] = {input_property::value,    input_property::fixed_1,
                                            input_property::fixed_2,  input_property::character,
                                            input_property::movement, input_property::wheel};
    std::vector<Posted> posted;
    std::vector<ServerObject*> objects;
    const ObjectList& list = message_server.get_live_list();
    if (ServerObject* const head = list.get_head()) {
        ServerObject* object = head;
        do {
            objects.push_back(object);
            object = ObjectList::get_next(object);
        } while (object != head);
    }
    for (ServerObject* object : objects) {
        auto* const message = static_cast<Message*>(object);
        Posted entry{message->get_id(), {}};
        for (uint32_t id : property_ids) {
            Property property;
            if (message->get_property(id, property)) {
                entry.properties.push_back(describe(property));
            }
        }
        posted.push_back(entry);
        destroy_object(message);
    }
    return posted;
}

std::vector<uint32_t> ids(const std::vector<Posted>& posted) {
    std::vector<uint32_t> result;
    for (const Posted& entry : posted) {
        result.push_back(entry.id);
    }
    return result;
}

// Ids without the poll's start and end.
std::vector<uint32_t> inner_ids(const std::vector<Posted>& posted) {
    std::vector<uint32_t> result = ids(posted);
    if (result.size() >= 2 && result.front() == input_poll_start_message && result.back() == input_poll_end_message) {
        return {result.begin() + 1, result.end() - 1};
    }
    ADD_FAILURE() << "a poll starts and ends with its messages";
    return result;
}

constexpr uint32_t key_a = 116;
constexpr uint32_t key_b = 117;
constexpr uint32_t scan_a = 0x1E;
constexpr uint32_t scan_b = 0x30;
constexpr uint32_t jump = 4;
constexpr uint32_t jump_code = first_action_code + jump;

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        saved_rate_ = renderer::initial_frame_rate;
        renderer::initial_frame_rate = 60;
        event_server.register_server();
        dictionary_server.register_server();
        message_server.register_server();
        string_server.register_server();
        event_server.set_next_enabled_mask(get_clock_mask_bit(0) | get_clock_mask_bit(1));
        ASSERT_EQ(event_server.run_clocks(), 0u);
        platform::set_input_backend(&backend_);
        initialize_input();
        ASSERT_TRUE(create_direct_input());
        ASSERT_TRUE(create_input_devices(nullptr));
    }
    void TearDown() override {
        release_input_devices();
        platform::set_input_backend(nullptr);
        initialize_input();
        string_server.unregister_server();
        message_server.unregister_server();
        dictionary_server.unregister_server();
        event_server.unregister_server();
        renderer::initial_frame_rate = saved_rate_;
    }

    std::vector<uint32_t> poll() {
        poll_input(clock_1);
        return inner_ids(take_posted());
    }

    FakeInputBackend backend_;

private:
    uint32_t saved_rate_ = 0;
};

TEST_F(Input, DevicesAreMadeForTheWindowAndAcquiredAtOnce) {
    const FakeInputBackend::Device& keyboard = backend_.get_device(InputDeviceKind::keyboard);
    const FakeInputBackend::Device& mouse = backend_.get_device(InputDeviceKind::mouse);
    EXPECT_TRUE(keyboard.acquired && keyboard.data_format_set);
    EXPECT_TRUE(mouse.acquired && mouse.data_format_set);
    EXPECT_EQ(keyboard.cooperative_level, 6u);
    EXPECT_EQ(mouse.cooperative_level, 5u);
}

TEST_F(Input, AKeyHeldForThreePollsGoesDownIsHeldAndGoesUpOnce) {
    backend_.set_key(scan_a, true);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_down_message | key_a, input_held_message | key_a}));
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_held_message | key_a}));
    EXPECT_TRUE(is_input_active(key_a, any_input_user));
    EXPECT_FALSE(is_input_active(key_a, 0));
    backend_.set_key(scan_a, false);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_up_message | key_a}));
    EXPECT_EQ(poll(), (std::vector<uint32_t>{}));
    EXPECT_FALSE(is_input_active(key_a, any_input_user));
}

TEST_F(Input, CodeMessagesCarryTheirValueAndFixedWords) {
    backend_.set_key(0x9C, true);
    poll_input(clock_1);
    const std::vector<Posted> down = take_posted();
    ASSERT_EQ(down.size(), 4u);
    // Numpad enter, an extended key.
    EXPECT_EQ(down[1].id, input_down_message | 186);
    EXPECT_EQ(down[1].properties, (std::vector<std::string>{"05000024:1", "03000025:ffffffff", "03000026:ffffffff"}));
    backend_.set_key(0x9C, false);
    poll_input(clock_1);
    const std::vector<Posted> up = take_posted();
    ASSERT_EQ(up.size(), 3u);
    EXPECT_EQ(up[1].properties, (std::vector<std::string>{"05000024:0", "03000025:ffffffff", "03000026:ffffffff"}));
}

TEST_F(Input, AnActionFollowsAllItsCodes) {
    ASSERT_EQ(parse_input_binding("key_a", "jump"), 1u);
    ASSERT_EQ(parse_input_binding("KEY_B", "JUMP"), 1u);
    backend_.set_key(scan_a, true);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_down_message | key_a, input_held_message | key_a,
                                             input_down_message | jump_code, input_held_message | jump_code}));
    backend_.set_key(scan_b, true);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_held_message | key_a, input_down_message | key_b,
                                             input_held_message | key_b, input_held_message | jump_code}));
    backend_.set_key(scan_a, false);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_up_message | key_a, input_held_message | key_b,
                                             input_held_message | jump_code}));
    backend_.set_key(scan_b, false);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_up_message | key_b, input_up_message | jump_code}));
}

TEST_F(Input, AFifthBindingDropsTheOldestAndARepeatChangesNothing) {
    uint32_t slots[binding_slot_count] = {};
    for (uint32_t code : {110u, 111u, 112u, 113u, 112u}) {
        add_action_binding(slots, code);
    }
    EXPECT_EQ(std::vector<uint32_t>(slots, slots + 4), (std::vector<uint32_t>{110, 111, 112, 113}));
    add_action_binding(slots, 114);
    EXPECT_EQ(std::vector<uint32_t>(slots, slots + 4), (std::vector<uint32_t>{111, 112, 113, 114}));
    add_action_binding(slots, 0);
    EXPECT_EQ(std::vector<uint32_t>(slots, slots + 4), (std::vector<uint32_t>{0, 0, 0, 0}));
}

TEST_F(Input, BindingNamesAndValues) {
    struct Case {
        const char* name;
        const char* value;
        uint32_t answer;
        uint32_t action;
        uint32_t bound;
    };
    const Case cases[] = {
        {"key_x300", "jump", 1, jump, 510}, {"Key_X0x1ff", "fire", 1, 12, 721},
        {"key_x512", "jump", 2, 0, 0},      {"key_xyz", "jump", 2, 0, 0},
        {"key_a", "64", 2, 0, 0},           {"key_a", "no_such_action", 2, 0, 0},
        {"key_a", "63", 1, 63, key_a},      {"mouse_wheel_up", "0b101", 1, 5, 104},
        {"button_a", "jump", 1, 0, 0},      {"window_width", "640", 0, 0, 0},
    };
    for (const Case& c : cases) {
        clear_input_bindings();
        EXPECT_EQ(parse_input_binding(c.name, c.value), c.answer) << c.name << " " << c.value;
        uint32_t bound = 0;
        uint32_t action = 0;
        for (uint32_t a = 0; a < action_count; ++a) {
            if (get_action_binding(a, 0) != 0) {
                bound = get_action_binding(a, 0);
                action = a;
            }
        }
        EXPECT_EQ(bound, c.bound) << c.name;
        EXPECT_EQ(action, c.action) << c.name;
    }
    // key_none empties the action.
    parse_input_binding("key_a", "fire");
    parse_input_binding("key_none", "fire");
    EXPECT_EQ(get_action_binding(12, 0), 0u);
}

TEST_F(Input, TypedKeysAndCharacters) {
    // Typed keys go to the clocks of the last poll.
    poll_input(clock_1);
    take_posted();
    post_typed_key_message(0xFFFFFFFF, 'q', true);
    post_typed_key_message(16, 0, true);
    post_typed_key_message(161, 0, true);
    post_typed_key_message(108, 0, true);
    post_typed_key_message(600, 0, true);
    post_typed_key_message(16, 0, false);
    const std::vector<Posted> posted = take_posted();
    EXPECT_EQ(ids(posted),
              (std::vector<uint32_t>{input_typed_message, input_typed_message | 160, input_typed_message | 161,
                                     input_typed_message | 186, input_typed_message}));
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted[0].properties,
              (std::vector<std::string>{"05000024:1", "03000025:ffffffff", "03000026:0", "03000259:71"}));
    EXPECT_EQ(posted[1].properties.back(), "03000259:0");
}

TEST_F(Input, MouseButtonsWheelAndMovement) {
    const float saved[] = {mouse_sensitivity_x, mouse_sensitivity_y, mouse_acceleration_threshold,
                           mouse_acceleration_factor};
    mouse_sensitivity_x = 2.0f;
    mouse_sensitivity_y = 0.5f;
    mouse_acceleration_factor = 3.0f;
    // No step of the real-time clock yet: a threshold of 0, so any movement
    // is accelerated.
    mouse_acceleration_threshold = 100.0f;
    backend_.set_button(1, true);
    backend_.move_mouse(3, 4, -240);
    poll_input(clock_1);
    std::vector<Posted> posted = take_posted();
    ASSERT_EQ(ids(posted),
              (std::vector<uint32_t>{input_poll_start_message, input_down_message | 102, input_held_message | 102,
                                     input_down_message | 105, input_held_message | 105, input_movement_message,
                                     input_poll_end_message}));
    EXPECT_EQ(posted[5].properties, (std::vector<std::string>{"20000027:(18,-6)", "05000028:-240"}));

    // A real-time step of 100000 ticks: one second, threshold 100 counts.
    event_server.get_clock(0).last_step = 100000;
    backend_.move_mouse(30, 40, 0);
    poll_input(clock_1);
    posted = take_posted();
    EXPECT_EQ(posted[posted.size() - 2].properties, (std::vector<std::string>{"20000027:(60,-20)", "05000028:0"}));
    backend_.move_mouse(60, 0, 0);
    poll_input(clock_1);
    posted = take_posted();
    EXPECT_EQ(posted[posted.size() - 2].properties, (std::vector<std::string>{"20000027:(360,0)", "05000028:0"}));
    // The wheel codes are down only for the poll at which it turned.
    EXPECT_FALSE(is_input_active(105, any_input_user));
    mouse_sensitivity_x = saved[0];
    mouse_sensitivity_y = saved[1];
    mouse_acceleration_threshold = saved[2];
    mouse_acceleration_factor = saved[3];
}

TEST_F(Input, SwappedButtonsReportTheRightButtonAsTheLeft) {
    backend_.buttons_swapped = true;
    backend_.set_button(1, true);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_down_message | 101, input_held_message | 101}));
}

TEST_F(Input, ASelectorWithoutAnEnabledClockPostsNothingButTheStateMoves) {
    ASSERT_EQ(parse_input_binding("key_a", "jump"), 1u);
    backend_.set_key(scan_a, true);
    poll_input(clock_5);
    EXPECT_TRUE(take_posted().empty());
    EXPECT_TRUE(is_input_active(key_a, any_input_user));
    EXPECT_TRUE(is_input_active(jump_code, any_input_user));
    post_typed_key_message(0xFFFFFFFF, 'x', true);
    EXPECT_TRUE(take_posted().empty());
}

TEST_F(Input, AnUnreadableDeviceKeepsItsCodes) {
    backend_.set_key(scan_a, true);
    poll();
    // Lost, and acquiring fails with another reason: skipped at once.
    backend_.lose_devices();
    backend_.get_device(InputDeviceKind::keyboard).acquire_results = {InputResult::other_application_has_priority};
    backend_.set_key(scan_a, false);
    const uint32_t acquires = backend_.get_device(InputDeviceKind::keyboard).acquire_calls;
    EXPECT_EQ(poll(), (std::vector<uint32_t>{}));
    EXPECT_EQ(backend_.get_device(InputDeviceKind::keyboard).acquire_calls, acquires + 1);
    EXPECT_TRUE(is_input_active(key_a, any_input_user));
    // Ten losses in a row give up; the eleventh attempt is never made.
    backend_.get_device(InputDeviceKind::keyboard).acquire_results =
        std::deque<InputResult>(10, InputResult::input_lost);
    EXPECT_EQ(poll(), (std::vector<uint32_t>{}));
    EXPECT_EQ(backend_.get_device(InputDeviceKind::keyboard).acquire_calls, acquires + 11);
    // Acquired again after a loss, the read is retried and the key goes up.
    backend_.get_device(InputDeviceKind::keyboard).acquire_results = {InputResult::input_lost};
    EXPECT_EQ(poll(), (std::vector<uint32_t>{input_up_message | key_a}));
}

TEST_F(Input, Builtins) {
    struct Case {
        uint32_t id;
        std::vector<uint32_t> stack;  // top of the stack first
        uint32_t result;
    };
    ASSERT_EQ(parse_input_binding("key_a", "jump"), 1u);
    backend_.set_key(scan_a, true);
    poll_input(clock_1);
    take_posted();
    const Case cases[] = {
        {223, {0}, 0x0F},
        {223, {3}, 0x3F},
        {223, {4}, 0xFFFFFFFF},
        {224, {0x1F}, 1},
        {224, {0x1E}, 0xFFFFFFFF},
        {224, {0x4F}, 0xFFFFFFFF},
        {231, {key_a, 0xFFFFFFFF}, 1},
        {231, {key_a, 0}, 0},
        {231, {jump_code, 0xFFFFFFFF}, 1},
        {231, {key_b, 0xFFFFFFFF}, 0},
        {231, {100000, 0xFFFFFFFF}, 0},
        {232, {jump_code, 0, 0xFFFFFFFF}, key_a},
        {232, {jump_code, 0, 1}, 0},
        {232, {jump_code, 4, 0xFFFFFFFF}, 0},
        {232, {36, 0, 0xFFFFFFFF}, 0},
        {232, {101, 0, 0xFFFFFFFF}, 0},
    };
    for (const Case& c : cases) {
        ScriptContext context{};
        for (auto word = c.stack.rbegin(); word != c.stack.rend(); ++word) {
            context.stack[context.stack_index++] = *word;
        }
        context.registers[0] = 0xDEADBEEF;
        call_builtin(context, c.id);
        EXPECT_EQ(context.registers[0], c.result) << c.id << " " << c.stack[0];
    }
    // 233 binds for user -1 only, and refuses what lies outside the tables.
    const auto bind = [](uint32_t action_code, uint32_t code, uint32_t user) {
        ScriptContext context{};
        context.stack[context.stack_index++] = user;
        context.stack[context.stack_index++] = code;
        context.stack[context.stack_index++] = action_code;
        call_builtin(context, 233);
    };
    bind(jump_code, key_b, 0xFFFFFFFF);
    bind(jump_code, 118, 0);
    bind(101, key_b, 0xFFFFFFFF);
    bind(jump_code, 5000, 0xFFFFFFFF);
    EXPECT_EQ(get_action_binding(jump, 1), key_b);
    EXPECT_EQ(get_action_binding(jump, 2), 0u);
}

TEST_F(Input, KeyNamesGoIntoStrings) {
    backend_.key_names[scan_a] = u"A";
    backend_.key_names[0x9C] = u"Num Enter";
    String* const string = string_server.create_string();
    string->append_c_string("old");
    const auto text = [&] { return std::u16string(string->get_text(), string->get_length()); };
    EXPECT_TRUE(write_input_name(key_a, string));
    EXPECT_EQ(text(), u"A");
    EXPECT_TRUE(write_input_name(186, string));
    EXPECT_EQ(text(), u"Num Enter");
    EXPECT_TRUE(write_input_name(first_raw_key_code + scan_a, string));
    EXPECT_EQ(text(), u"A");
    for (uint32_t code : {101u, 37u, key_b, 721u, 722u}) {
        string->append_c_string("x");
        EXPECT_FALSE(write_input_name(code, string)) << code;
        EXPECT_EQ(string->get_length(), 0u) << code;
    }
    // The builtin leaves a handle that is not a string alone.
    ScriptContext context{};
    context.stack[context.stack_index++] = key_a;
    context.stack[context.stack_index++] = 0x12345;
    call_builtin(context, 236);
    EXPECT_EQ(context.registers[0], 0u);
    context.stack[context.stack_index - 1] = string->get_handle();
    call_builtin(context, 236);
    EXPECT_EQ(context.registers[0], 1u);
    EXPECT_EQ(text(), u"A");
}

TEST_F(Input, TheInputLevelIsClamped) {
    for (const auto& [value, kept] : {std::pair{0.25f, 0.25f}, {-1.0f, 0.0f}, {7.0f, 1.0f}, {NAN, 0.0f}}) {
        ScriptContext context{};
        context.stack[context.stack_index++] = float_to_word(value);
        call_builtin(context, 237);
        EXPECT_EQ(get_input_level(), kept) << value;
    }
}

TEST_F(Input, TheConfigurationFileKeepsTheBindings) {
    ASSERT_EQ(parse_input_binding("key_x300", "jump"), 1u);
    ASSERT_EQ(parse_input_binding("key_a", "jump"), 1u);
    ASSERT_EQ(parse_input_binding("mouse_left", "fire"), 1u);
    ASSERT_EQ(parse_input_binding("key_numpad_enter", "50"), 1u);
    ASSERT_EQ(parse_input_binding("key_w", "forward"), 1u);
    // Codes without a name that reads back are left out.
    add_action_binding_for_user(first_action_code + 1, 722, any_input_user);
    char text[1024];
    StringBuffer buffer(text, sizeof text);
    dump_input_bindings(buffer);
    EXPECT_STREQ(text,
                 "key_w = forward\r\n"
                 "key_x300 = jump\r\n"
                 "key_a = jump\r\n"
                 "mouse_left = fire\r\n"
                 "key_numpad_enter = 50\r\n");

    // Through the program's file: written, read back into empty bindings.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zolt_input_bindings_" + std::to_string(std::rand()) + ".txt");
    ASSERT_TRUE(write_config_file(path.c_str()));
    std::ifstream written(path);
    std::stringstream contents;
    contents << written.rdbuf();
    EXPECT_NE(contents.str().find("key_x300 = jump\r\n"), std::string::npos) << contents.str();
    clear_input_bindings();
    load_config_file(true, path.c_str());
    std::filesystem::remove(path);
    char again[1024];
    StringBuffer reread(again, sizeof again);
    dump_input_bindings(reread);
    EXPECT_STREQ(again, text);
}

TEST(InputFailures, InterfaceAndDeviceCreation) {
    const auto fails = [](void (*body)(FakeInputBackend&)) {
        return test::run_in_child([body] {
            static FakeInputBackend backend;
            platform::set_input_backend(&backend);
            body(backend);
        });
    };
    test::ChildResult result = fails([](FakeInputBackend& backend) {
        backend.interface_gives_none = true;
        create_direct_input();
    });
    EXPECT_EQ(result.exit_code, ExitCode::input);
    EXPECT_NE(result.standard_error.find("zolt: error: DirectInput8Create succeeded but returned a NULL interface."),
              std::string::npos)
        << result.standard_error;
    for (InputDeviceKind kind : {InputDeviceKind::keyboard, InputDeviceKind::mouse}) {
        static InputDeviceKind failing;
        failing = kind;
        result = fails([](FakeInputBackend& backend) {
            backend.get_device(failing).create_gives_none = true;
            create_input_devices(nullptr);
        });
        EXPECT_EQ(result.exit_code, ExitCode::input);
        EXPECT_NE(result.standard_error.find(
                      "zolt: error: IDirectInput8::CreateDevice succeeded but returned a NULL interface."),
                  std::string::npos)
            << result.standard_error;
    }
}

TEST(InputFailures, AFailedStepReleasesBothDevicesAndAnswersFalse) {
    FakeInputBackend backend;
    platform::set_input_backend(&backend);
    backend.interface_result = InputResult::failed;
    EXPECT_FALSE(create_direct_input());
    backend.get_device(InputDeviceKind::mouse).set_cooperative_level_results = {InputResult::failed};
    EXPECT_FALSE(create_input_devices(nullptr));
    EXPECT_FALSE(backend.get_device(InputDeviceKind::keyboard).created);
    EXPECT_FALSE(backend.get_device(InputDeviceKind::mouse).created);
    EXPECT_EQ(backend.get_device(InputDeviceKind::keyboard).release_calls, 1u);
    EXPECT_EQ(backend.get_device(InputDeviceKind::mouse).release_calls, 1u);
    EXPECT_EQ(backend.get_device(InputDeviceKind::keyboard).acquire_calls, 0u);
    EXPECT_TRUE(create_input_devices(nullptr));
    unacquire_input_devices();
    EXPECT_FALSE(backend.get_device(InputDeviceKind::mouse).acquired);
    acquire_input_devices();
    EXPECT_TRUE(backend.get_device(InputDeviceKind::mouse).acquired);
    release_input_devices();
    platform::set_input_backend(nullptr);
}

}  // namespace
}  // namespace zolt::core
