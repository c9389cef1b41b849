#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script/opcode_test_support.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script_objects/array_object.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_object_numbers.h"

namespace zolt::core {
namespace {

using test::OpcodePrograms;
using test::OpcodeRun;
using test::stack_sentinel;
using test::word_of;

// Keeps what scripts write to it: typed ids with their values, answered
// also for their bare key (the low 24 bits). One id is always refused. When
// a victim is set, every accepted write or removal destroys it first.
class RecordingObject final : public ServerObject {
public:
    static constexpr uint32_t refused_id = 0x03000078;
    static constexpr uint32_t capacity = 8;

    void initialize(uint32_t) override {
        count = 0;
        reads = 0;
        writes = 0;
        victim = 0;
    }
    void finalize() override {}
    bool get_property(uint32_t id, Property& out) const override {
        ++reads;
        if (const Property* found = find(id)) {
            out = *found;
            return true;
        }
        return ServerObject::get_property(id, out);
    }
    bool set_property(uint32_t id, const Property& value) override {
        ++writes;
        last_write = value;
        if (id == refused_id) {
            return false;
        }
        destroy_victim();
        Property* slot = const_cast<Property*>(find(id));
        if (slot == nullptr) {
            if (count == capacity) {
                return false;
            }
            slot = &stored[count++];
        }
        *slot = value;
        return true;
    }
    bool remove_property(uint32_t id) override {
        const Property* const found = find(id);
        if (found == nullptr) {
            return false;
        }
        destroy_victim();
        *const_cast<Property*>(found) = stored[--count];
        return true;
    }

    const Property* find(uint32_t id) const {
        for (uint32_t index = 0; index < count; ++index) {
            if (stored[index].id == id || (is_bare_property_key(id) && (stored[index].id & 0xFFFFFFu) == id)) {
                return &stored[index];
            }
        }
        return nullptr;
    }

    Property stored[capacity];
    uint32_t count = 0;
    mutable uint32_t reads = 0;
    uint32_t writes = 0;
    Property last_write;
    ObjectHandle victim = 0;

private:
    void destroy_victim() {
        if (ServerObject* const object = get_object(victim)) {
            victim = 0;
            destroy_object(object);
        }
    }
};

constexpr uint32_t recording_server_type = 45;

class RecordingServer final : public PooledServer<RecordingObject, 8> {
public:
    RecordingServer() : PooledServer(recording_server_type) {}
    const char* get_name() const override { return "RecordingServer"; }
    RecordingObject* create() { return static_cast<RecordingObject*>(create_object_internal(0)); }
};

Property make_property(uint32_t id, std::vector<uint32_t> words) {
    Property property;
    property.id = id;
    for (size_t index = 0; index < words.size(); ++index) {
        property.value[index] = words[index];
    }
    return property;
}

// The script world with the recording server beside it; the cases are
// assembled when the fixture starts.
class ObjectOpcodeTest : public ::testing::Test {
protected:
    void start() {
        programs_.build();
        recording_server_.register_server();
    }
    void TearDown() override {
        if (recording_server_.is_registered()) {
            recording_server_.unregister_server();
        }
    }

    OpcodePrograms programs_;
    RecordingServer recording_server_;
};

// A handle of the right shape whose object is gone.
ObjectHandle make_dead_handle(RecordingServer& server) {
    RecordingObject* const object = server.create();
    const ObjectHandle handle = object->get_handle();
    destroy_object(object);
    return handle;
}

TEST_F(ObjectOpcodeTest, PropertyReadsFillRegistersByTheIdsType) {
    struct Row {
        const char* label;
        const char* opcode;
        uint32_t id;
        std::array<uint32_t, 4> expected;  // r0, r2, r4, r6
        bool reads;                        // whether the object is asked at all
    };
    constexpr uint32_t untouched = 0xEEEEEEEE;
    const Row rows[] = {
        {"scalar", "get_property", 0x03000011, {77, 0x03000011, untouched, untouched}, true},
        {"two floats", "get_property", 0x20000013, {word_of(5), word_of(6), untouched, untouched}, true},
        {"three floats", "get_property", 0x30000010, {word_of(1), word_of(2), word_of(3), untouched}, true},
        {"quaternion", "get_property", 0x41000012, {word_of(1), word_of(2), word_of(3), word_of(4)}, true},
        {"bare number of a vector: one word", "get_property", 0x10, {word_of(1), 0x10, untouched, untouched}, true},
        {"absent", "get_property", 0x03000099, {0, 0x03000099, untouched, untouched}, true},
        {"unhandled type", "get_property", 0x50000010, {0, 0x50000010, untouched, untouched}, false},
        {"type of a typed id", "get_property_type", 0x30000010, {0x30000010, 0x30000010, untouched, untouched}, true},
        {"type of a bare number", "get_property_type", 0x10, {0x30000010, 0x10, untouched, untouched}, true},
        {"type of an absent id", "get_property_type", 0x03000099, {0, 0x03000099, untouched, untouched}, true},
    };
    for (const Row& row : rows) {
        programs_.add({}, std::string("    ") + row.opcode + "\n");
    }
    start();
    RecordingObject* const object = recording_server_.create();
    object->set_property(0x30000010, make_property(0x30000010, {word_of(1), word_of(2), word_of(3)}));
    object->set_property(0x03000011, make_property(0x03000011, {77}));
    object->set_property(0x41000012, make_property(0x41000012, {word_of(1), word_of(2), word_of(3), word_of(4)}));
    object->set_property(0x20000013, make_property(0x20000013, {word_of(5), word_of(6)}));
    const ObjectHandle dead = make_dead_handle(recording_server_);
    for (size_t index = 0; index < std::size(rows); ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(row.label);
        object->reads = 0;
        const OpcodeRun run =
            programs_.run(static_cast<uint32_t>(index), {object->get_handle(), 0, row.id, 0, untouched, 0, untouched});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.registers[0], row.expected[0]);
        EXPECT_EQ(run.registers[2], row.expected[1]);
        EXPECT_EQ(run.registers[4], row.expected[2]);
        EXPECT_EQ(run.registers[6], row.expected[3]);
        EXPECT_EQ(object->reads != 0, row.reads);
        // A dead object answers 0 and nothing else.
        const OpcodeRun on_dead = programs_.run(static_cast<uint32_t>(index), {dead, 0, row.id, 0, untouched});
        ASSERT_TRUE(on_dead.finished);
        EXPECT_EQ(on_dead.registers[0], 0u);
        EXPECT_EQ(on_dead.registers[4], untouched);
    }
}

TEST_F(ObjectOpcodeTest, PropertyWritesPopByTheIdsTypeAndAnswerTheId) {
    struct Row {
        const char* label;
        const char* opcode;
        uint32_t id;
        uint32_t component;  // r4
        std::vector<uint32_t> pushes;
        size_t left;   // words still above the sentinel afterwards
        bool written;  // r0 = id and the object holds `value`
        std::vector<uint32_t> value;
    };
    const Row rows[] = {
        {"scalar", "set_property", 0x03000021, 0, {5}, 0, true, {5}},
        {"bare number: one word", "set_property", 0x27, 0, {1, 9}, 1, true, {9}},
        {"two floats, x on top",
         "set_property",
         0x20000022,
         0,
         {word_of(6), word_of(5)},
         0,
         true,
         {word_of(5), word_of(6)}},
        {"three floats",
         "set_property",
         0x30000023,
         0,
         {1, word_of(3), word_of(2), word_of(1)},
         1,
         true,
         {word_of(1), word_of(2), word_of(3)}},
        {"quaternion",
         "set_property",
         0x41000024,
         0,
         {word_of(4), word_of(3), word_of(2), word_of(1)},
         0,
         true,
         {word_of(1), word_of(2), word_of(3), word_of(4)}},
        {"four other floats",
         "set_property",
         0x42000025,
         0,
         {word_of(4), word_of(3), word_of(2), word_of(1)},
         0,
         true,
         {word_of(1), word_of(2), word_of(3), word_of(4)}},
        {"unhandled type pops nothing", "set_property", 0x50000026, 0, {1}, 1, false, {}},
        {"refused", "set_property", RecordingObject::refused_id, 0, {3}, 0, false, {}},
        {"one component",
         "set_property_component",
         0x30000010,
         1,
         {word_of(9)},
         0,
         true,
         {word_of(1), word_of(9), word_of(3)}},
        {"x component",
         "set_property_component",
         0x30000010,
         0,
         {word_of(9)},
         0,
         true,
         {word_of(9), word_of(2), word_of(3)}},
        {"component past the count", "set_property_component", 0x30000010, 3, {word_of(9)}, 0, false, {}},
        {"component past four", "set_property_component", 0x70000010, 4, {word_of(9)}, 0, false, {}},
        {"component of a scalar", "set_property_component", 0x03000011, 0, {word_of(9)}, 0, false, {}},
        {"link of another type", "set_link_property", 0x03000040, 0, {0}, 0, false, {}},
        {"link to nothing", "set_link_property", 0x01000040, 0, {0}, 0, true, {0}},
        {"remove", "remove_property", 0x30000010, 0, {}, 0, true, {}},
        {"remove what is absent", "remove_property", 0x03000099, 0, {}, 0, false, {}},
    };
    for (const Row& row : rows) {
        programs_.add(row.pushes, std::string("    ") + row.opcode + "\n");
    }
    start();
    const ObjectHandle dead = make_dead_handle(recording_server_);
    for (size_t index = 0; index < std::size(rows); ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(row.label);
        RecordingObject* const object = recording_server_.create();
        object->set_property(0x30000010, make_property(0x30000010, {word_of(1), word_of(2), word_of(3)}));
        object->set_property(0x03000011, make_property(0x03000011, {77}));
        object->writes = 0;
        const std::vector<uint32_t> left = [&] {
            std::vector<uint32_t> words = {stack_sentinel};
            words.insert(words.end(), row.pushes.begin(), row.pushes.begin() + static_cast<long>(row.left));
            return words;
        }();
        const OpcodeRun run =
            programs_.run(static_cast<uint32_t>(index), {object->get_handle(), 0, row.id, 0, row.component});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.stack, left);
        EXPECT_EQ(run.registers[0], row.written ? row.id : 0u);
        const Property* const found = object->find(row.id);
        if (std::string(row.opcode) == "remove_property") {
            EXPECT_EQ(found, nullptr);
        } else if (row.written) {
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(*found, make_property(row.id, row.value));
        } else if (row.id != 0x30000010 && row.id != 0x03000011) {
            EXPECT_EQ(found, nullptr);
        } else {
            EXPECT_EQ(found->value[0], row.id == 0x30000010 ? word_of(1) : 77u);
        }
        // The same operands come off the stack when the object is gone.
        const OpcodeRun on_dead = programs_.run(static_cast<uint32_t>(index), {dead, 0, row.id, 0, row.component});
        ASSERT_TRUE(on_dead.finished);
        EXPECT_EQ(on_dead.stack, left);
        EXPECT_EQ(on_dead.registers[0], 0u);
        destroy_object(object);
    }
}

TEST_F(ObjectOpcodeTest, ALinkWriteFirstGivesTheLinkedObjectToTheWriter) {
    programs_.add({}, "    push_r5\n    set_link_property\n");
    programs_.add({}, "    push_r5\n    set_property\n");
    start();
    RecordingObject* const writer = recording_server_.create();
    RecordingObject* const linked = recording_server_.create();
    // A plain handle write leaves the owner alone.
    OpcodeRun run = programs_.run(1, {writer->get_handle(), 0, 0x03000041, 0, 0, linked->get_handle()});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(linked->get_owner(), nullptr);

    run = programs_.run(0, {writer->get_handle(), 0, 0x01000040, 0, 0, linked->get_handle()});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.registers[0], 0x01000040u);
    EXPECT_EQ(linked->get_owner(), writer);
    EXPECT_EQ(*writer->find(0x01000040), make_property(0x01000040, {linked->get_handle()}));

    // Giving the writer to its own child is refused, and the write goes on.
    run = programs_.run(0, {linked->get_handle(), 0, 0x01000042, 0, 0, writer->get_handle()});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.registers[0], 0x01000042u);
    EXPECT_EQ(writer->get_owner(), nullptr);
    EXPECT_EQ(linked->get_owner(), writer);
    EXPECT_EQ(linked->find(0x01000042)->value[0], writer->get_handle());
}

// The write destroys the object that owns the running task, and with it the
// task: the interpreter stops at once with 0 and runs nothing after it.
TEST_F(ObjectOpcodeTest, AWriteThatDestroysTheRunningTaskStopsTheInterpreter) {
    const char* const writes[] = {
        "    push_word 5\n    set_property\n",
        "    push_word 5\n    set_property_component\n",
        "    push_zero\n    set_link_property\n",
        "    remove_property\n",
    };
    const uint32_t ids[] = {0x03000021, 0x30000010, 0x01000040, 0x30000010};
    for (const char* write : writes) {
        // Afterwards the task would write to the same object again.
        programs_.add({}, std::string(write) +
                              "    push_r1\n    pop_r0\n    set_r2 0x03000050\n    push_one\n    set_property\n");
    }
    start();
    for (size_t index = 0; index < std::size(writes); ++index) {
        SCOPED_TRACE(writes[index]);
        RecordingObject* const owner = recording_server_.create();
        const ObjectHandle owner_handle = owner->get_handle();
        RecordingObject* const target = recording_server_.create();
        target->set_property(0x30000010, make_property(0x30000010, {1, 2, 3}));
        target->writes = 0;
        target->victim = owner->get_handle();
        Task* const task = programs_.world().start(0x4000 + static_cast<uint32_t>(index));
        ASSERT_NE(task, nullptr);
        ASSERT_TRUE(ServerObject::change_owner(task, owner));
        const ObjectHandle task_handle = task->get_handle();
        task->set_argument(0, target->get_handle());
        task->set_argument(1, target->get_handle());
        task->set_argument(2, ids[index]);
        task->set_argument(4, 1);
        EXPECT_EQ(test::ScriptWorld::execute(task), 0u);
        EXPECT_FALSE(test::is_alive(task_handle));
        // The dead task's slot was not touched: no frame was saved into it.
        EXPECT_EQ(task->get_stack_byte_count(), 0u);
        EXPECT_EQ(get_object(owner_handle), nullptr);
        EXPECT_EQ(target->find(0x03000050), nullptr);
        destroy_object(target);
    }
}

TEST_F(ObjectOpcodeTest, AWriteGivesWayWhenAnotherEventCameFirst) {
    programs_.add({}, "    push_word 5\n    set_property\n    push_r0\n    pop_r3\n");
    start();
    RecordingObject* const object = recording_server_.create();
    Task* const task = programs_.world().start(0x4000);
    Task* const other = programs_.world().start(0x4000);
    ASSERT_NE(other, nullptr);
    other->cancel_wake();
    other->schedule(test::clock_0_selector, delay_now_first);
    task->set_argument(0, object->get_handle());
    task->set_argument(2, 0x03000021);
    const ObjectHandle handle = task->get_handle();
    EXPECT_EQ(test::ScriptWorld::execute(task), 0u);
    // Written, r0 set to the id, then the task gave way before going on.
    EXPECT_TRUE(test::is_alive(handle));
    EXPECT_EQ(object->writes, 1u);
    EXPECT_EQ(task->get_argument(0), 0x03000021u);
    EXPECT_EQ(task->get_argument(3), 0u);
    programs_.world().run();
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(object->writes, 1u);
}

TEST_F(ObjectOpcodeTest, ElementOpcodesAnswerInR0AndPopTheirOperands) {
    struct Row {
        const char* label;
        const char* opcode;
        std::vector<uint32_t> pushes;  // value (when any) first, then index
        uint32_t result;
        std::vector<uint32_t> elements;  // of the array [10, 20, 30] afterwards
    };
    const Row rows[] = {
        {"get", "get_element", {1}, 20, {10, 20, 30}},
        {"get past the end", "get_element", {3}, 0, {10, 20, 30}},
        {"get far past the end", "get_element", {0xFFFFFFFF}, 0, {10, 20, 30}},
        {"set answers the old word", "set_element", {99, 1}, 20, {10, 99, 30}},
        {"set grows the array", "set_element", {99, 4}, 0, {10, 20, 30, 0, 99}},
        {"insert", "insert_element", {99, 0}, 10, {99, 10, 20, 30}},
        {"remove", "remove_element", {2}, 30, {10, 20}},
        {"remove past the end", "remove_element", {3}, 0, {10, 20, 30}},
        {"append", "append_element", {99}, 0, {10, 20, 30, 99}},
        // The answer replaces the array in r0, so a second append reaches no array.
        {"append twice", "append_element\n    push_byte 98\n    append_element", {99}, 0, {10, 20, 30, 99}},
        {"set a child", "set_child_element", {7, 0}, 10, {7, 20, 30}},
    };
    for (const Row& row : rows) {
        programs_.add(row.pushes, std::string("    ") + row.opcode + "\n");
    }
    start();
    const ObjectHandle dead = make_dead_handle(recording_server_);
    String* const string = string_server.create_string();
    for (size_t index = 0; index < std::size(rows); ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(row.label);
        ArrayObject* const array = test::make_report_array();
        for (uint32_t word : {10u, 20u, 30u}) {
            array->append_element(word);
        }
        OpcodeRun run = programs_.run(static_cast<uint32_t>(index), {array->get_handle()});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.stack, std::vector<uint32_t>{stack_sentinel});
        EXPECT_EQ(run.registers[0], row.result);
        EXPECT_EQ(test::read_array(array), row.elements);
        // A dead handle, a dead array's, and an object without elements
        // answer 0.
        ArrayObject* const destroyed_array = test::make_report_array();
        const ObjectHandle dead_array = destroyed_array->get_handle();
        destroy_object(destroyed_array);
        for (const ObjectHandle other : {dead, dead_array, string->get_handle()}) {
            run = programs_.run(static_cast<uint32_t>(index), {other});
            ASSERT_TRUE(run.finished);
            EXPECT_EQ(run.stack, std::vector<uint32_t>{stack_sentinel});
            EXPECT_EQ(run.registers[0], 0u);
        }
        destroy_object(array);
    }
    destroy_object(string);
}

TEST_F(ObjectOpcodeTest, SettingAChildElementGivesTheObjectToTheArray) {
    programs_.add({}, "    push_r1\n    push_zero\n    set_child_element\n");
    programs_.add({}, "    push_r1\n    push_zero\n    set_element\n");
    start();
    ArrayObject* const array = test::make_report_array();
    String* const string = string_server.create_string();
    ASSERT_TRUE(programs_.run(1, {array->get_handle(), string->get_handle()}).finished);
    EXPECT_EQ(string->get_owner(), nullptr);
    ASSERT_TRUE(programs_.run(0, {array->get_handle(), string->get_handle()}).finished);
    EXPECT_EQ(string->get_owner(), array);
    EXPECT_EQ(test::read_array(array), std::vector<uint32_t>{string->get_handle()});
    const ObjectHandle string_handle = string->get_handle();
    destroy_object(array);
    EXPECT_EQ(get_object(string_handle), nullptr);
}

std::u16string text_of(const String* string) {
    return std::u16string(string->get_text(), string->get_length());
}

TEST_F(ObjectOpcodeTest, StringOpcodesAppendToTheStringInR0) {
    // r1 names a second string "abcdef", r3 a non-string (an array).
    struct Row {
        const char* label;
        std::vector<uint32_t> pushes;
        std::string code;
        std::u16string expected;  // the target "xy" afterwards
    };
    const Row rows[] = {
        {"clear", {}, "    clear_string\n", u""},
        {"literal", {}, "    append_text \"z\\u00e9\"\n", u"xyz\u00e9"},
        {"unit: the low 16 bits", {0x12345}, "    append_unit\n", u"xy\u2345"},
        {"string", {}, "    push_r1\n    append_string\n", u"xyabcdef"},
        {"not a string", {}, "    push_r3\n    append_string\n", u"xy"},
        {"itself", {}, "    push_r0\n    append_string\n", u"xyxy"},
        {"the end from -3", {0, static_cast<uint32_t>(-3)}, "    push_r1\n    append_substring\n", u"xydef"},
        {"two from 2", {2, 2}, "    push_r1\n    append_substring\n", u"xycd"},
        {"to one before the end", {static_cast<uint32_t>(-1), 4}, "    push_r1\n    append_substring\n", u"xye"},
        {"end before the start", {static_cast<uint32_t>(-3), 4}, "    push_r1\n    append_substring\n", u"xy"},
        {"nothing past the end", {3, 9}, "    push_r1\n    append_substring\n", u"xy"},
        {"padded", {0x43, 7}, "    append_unsigned\n", u"xy007"},
        {"padded at most to ten", {0x7F, 7}, "    append_unsigned\n", u"xy0000000007"},
        {"grouped", {0x80, 1234567}, "    append_unsigned\n", u"xy1,234,567"},
        {"width without bit 6", {0x03, 7}, "    append_unsigned\n", u"xy7"},
        {"unsigned above 2^31", {0, 0x80000000}, "    append_unsigned\n", u"xy2147483648"},
        {"signed", {0x80, static_cast<uint32_t>(-1234)}, "    append_signed\n", u"xy-1,234"},
        {"float", {0x02, word_of(3.14159f)}, "    append_float\n", u"xy3.14"},
    };
    for (const Row& row : rows) {
        programs_.add(row.pushes, row.code);
    }
    start();
    const char16_t saved_separator = get_group_separator();
    set_group_separator(u',');
    String* const source = string_server.create_string();
    source->append_utf16(u"abcdef", 6);
    ArrayObject* const array = test::make_report_array();
    const ObjectHandle dead = [] {
        String* const gone = string_server.create_string();
        const ObjectHandle handle = gone->get_handle();
        destroy_object(gone);
        return handle;
    }();
    for (size_t index = 0; index < std::size(rows); ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(row.label);
        String* const target = string_server.create_string();
        target->append_utf16(u"xy", 2);
        const uint32_t case_number = static_cast<uint32_t>(index);
        OpcodeRun run =
            programs_.run(case_number, {target->get_handle(), source->get_handle(), 0, array->get_handle()});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.stack, std::vector<uint32_t>{stack_sentinel});
        EXPECT_EQ(run.registers[0], target->get_handle());
        EXPECT_EQ(text_of(target), row.expected);
        EXPECT_EQ(text_of(source), u"abcdef");
        // Not a string in r0: the operands still come off, r0 stays.
        for (const ObjectHandle other : {dead, array->get_handle()}) {
            run = programs_.run(case_number, {other, source->get_handle(), 0, array->get_handle()});
            ASSERT_TRUE(run.finished);
            EXPECT_EQ(run.stack, std::vector<uint32_t>{stack_sentinel});
            EXPECT_EQ(run.registers[0], other);
        }
        destroy_object(target);
    }
    set_group_separator(saved_separator);
    destroy_object(array);
    destroy_object(source);
}

TEST_F(ObjectOpcodeTest, AppendingAndDestroyingTakesOnlyAStringIntoAString) {
    programs_.add({}, "    push_r1\n    append_string_and_destroy\n");
    start();
    String* const target = string_server.create_string();
    target->append_utf16(u"ab", 2);
    ArrayObject* const array = test::make_report_array();
    String* const source = string_server.create_string();
    source->append_utf16(u"cd", 2);
    const ObjectHandle source_handle = source->get_handle();

    // A non-string r0 leaves the popped string alive; so does a non-string source.
    ASSERT_TRUE(programs_.run(0, {array->get_handle(), source_handle}).finished);
    EXPECT_EQ(get_object(source_handle), source);
    ASSERT_TRUE(programs_.run(0, {target->get_handle(), array->get_handle()}).finished);
    EXPECT_NE(get_object(array->get_handle()), nullptr);
    EXPECT_EQ(text_of(target), u"ab");

    const OpcodeRun run = programs_.run(0, {target->get_handle(), source_handle});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.stack, std::vector<uint32_t>{stack_sentinel});
    EXPECT_EQ(text_of(target), u"abcd");
    EXPECT_EQ(get_object(source_handle), nullptr);
    destroy_object(array);
    destroy_object(target);
}

}  // namespace
}  // namespace zolt::core
