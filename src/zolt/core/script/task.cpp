#include "zolt/core/script/task.h"

#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"

namespace zolt::core {

namespace {
constexpr uint32_t clock_count = 27;

StackPagePool& pages() {
    return task_server.get_page_pool();
}

HeldCodePool& held_nodes() {
    return task_server.get_held_code_pool();
}

void push_words(ByteStack& stack, const uint32_t* words, uint32_t count) {
    push_bytes(stack, pages(), words, count * 4);
}
}  // namespace

void Task::initialize(uint32_t code_reference) {
    wake_event_ = 0;
    state_machine_ = 0;
    stack_ = {};
    held_code_ = 0;
    wait_mask_ = 0;
    push_entry_frame(code_reference);
}

void Task::finalize() {
    set_wait_object(nullptr);
    release_pages(stack_, pages());
    release_all_code_objects();
    cancel_wake();
}

bool Task::push_entry_frame(uint32_t code_reference) {
    CodeObject* const code_object =
        code_server.find_code_object(get_code_key(code_reference), get_code_chain_index(code_reference));
    const uint32_t entry_offset =
        code_object != nullptr ? code_object->get_entry_offset(get_code_entry_index(code_reference)) : 0xFFFFFFFF;
    if (entry_offset == 0xFFFFFFFF) {
        return false;
    }
    Task* const running = task_server.get_current_task();
    static constexpr uint32_t no_registers[register_count] = {};
    push_words(stack_, running != nullptr ? task_server.get_context().registers : no_registers, register_count);
    hold_code_object(code_object);
    const uint32_t tail[3] = {0, code_object->get_handle(), entry_offset};
    push_words(stack_, tail, 3);
    return true;
}

void Task::schedule(uint32_t clock_selector, uint32_t delay) {
    cancel_wake();
    wake_event_ = get_task_clock_hooks().create_wake_event(get_handle(), clock_selector, delay);
}

void Task::set_wake_time(uint32_t delay) {
    if (wake_event_ != 0) {
        get_task_clock_hooks().retime_wake_event(wake_event_, delay);
    }
}

void Task::cancel_wake() {
    if (wake_event_ != 0) {
        const ObjectHandle event = wake_event_;
        wake_event_ = 0;
        get_task_clock_hooks().destroy_wake_event(event);
    }
}

void Task::set_argument(uint32_t n, uint32_t value) {
    if (n < register_count && stack_.byte_count >= saved_frame_minimum_size) {
        overwrite_bytes_below_top(stack_, pages(), saved_frame_minimum_size - 4 * n, &value, 4);
    }
}

uint32_t Task::get_argument(uint32_t n) const {
    if (n >= register_count || stack_.byte_count < saved_frame_minimum_size) {
        return 0;
    }
    const uint32_t position = stack_.byte_count - (saved_frame_minimum_size - 4 * n);
    uint32_t page = stack_.top_page;
    uint32_t page_start = (get_page_count(stack_.byte_count) - 1) * stack_page_data_size;
    uint8_t bytes[4];
    for (uint32_t index = 4; index > 0; --index) {
        while (position + index - 1 < page_start) {
            page = pages().get_page(page).older_page;
            page_start -= stack_page_data_size;
        }
        bytes[index - 1] = pages().get_page(page).data[position + index - 1 - page_start];
    }
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

void Task::wait_on_semaphore(TaskWaitList* semaphore, uint32_t mask) {
    cancel_wake();
    wait_mask_ = mask;
    set_wait_object(semaphore);
}

void Task::set_wait_object(TaskWaitList* semaphore) {
    using WaitRing = RingList<Task, &Task::next_waiter_, &Task::previous_waiter_>;
    if (wait_object_ != nullptr) {
        WaitRing::remove(wait_object_->head, this);
        next_waiter_ = previous_waiter_ = this;
    }
    wait_object_ = semaphore;
    if (semaphore != nullptr) {
        WaitRing::append(semaphore->head, this);
    }
}

void Task::wake(uint32_t bits) {
    set_argument(0, bits);
    set_wait_object(nullptr);
    schedule(clock_being_run, delay_now_first);
}

void Task::hold_code_object(CodeObject* code_object) {
    held_code_ = held_nodes().take_node(held_code_, code_object->get_handle());
    code_object->add_reference();
}

void Task::release_code_object() {
    if (held_code_ == 0) {
        return;
    }
    HeldCodeNode& node = held_nodes().get_node(held_code_);
    const uint32_t next = node.next;
    if (CodeObject* const code_object = get_code_object(node.code_object)) {
        code_object->release_reference();
    }
    held_nodes().return_node(held_code_);
    held_code_ = next;
}

void Task::release_all_code_objects() {
    while (held_code_ != 0) {
        release_code_object();
    }
}

uint32_t Task::get_held_code_count() const {
    uint32_t count = 0;
    for (uint32_t node = held_code_; node != 0; node = held_nodes().get_node(node).next) {
        ++count;
    }
    return count;
}

void Task::save_frame(const ScriptContext& context) {
    push_words(stack_, context.stack, context.stack_index);
    push_words(stack_, context.registers, register_count);
    const uint32_t tail[3] = {context.frame_base, context.code_object, context.program_counter};
    push_words(stack_, tail, 3);
}

bool Task::restore_frame(ScriptContext& context) {
    const uint32_t byte_count = stack_.byte_count;
    if (byte_count < saved_frame_minimum_size || byte_count > saved_frame_maximum_size || byte_count % 4 != 0) {
        release_pages(stack_, pages());
        return false;
    }
    uint32_t tail[3];
    pop_bytes(stack_, pages(), tail, sizeof tail);
    pop_bytes(stack_, pages(), context.registers, saved_registers_size);
    context.stack_index = stack_.byte_count / 4;
    pop_bytes(stack_, pages(), context.stack, stack_.byte_count);
    context.frame_base = tail[0];
    context.code_object = tail[1];
    context.program_counter = tail[2];
    const CodeObject* const code_object = get_code_object(context.code_object);
    if (code_object == nullptr) {
        context.code_start = nullptr;
        context.code_size = 0;
        return false;
    }
    context.code_start = code_object->get_code_start();
    context.code_size = code_object->get_code_size();
    return true;
}

bool Task::set_property(uint32_t id, const Property& value) {
    switch (id) {
    case task_clock_property: {
        const uint32_t clock = value.get_u32() & 0x1F;
        if (clock >= clock_count || wait_object_ != nullptr) {
            return false;
        }
        cancel_wake();
        schedule(clock, 0);
        return true;
    }
    case task_delay_property:
        if (wait_object_ != nullptr) {
            return false;
        }
        set_wake_time(value.get_u32());
        return true;
    default:
        return ServerObject::set_property(id, value);
    }
}

void Task::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, wake_event_);
    write_u32(stream, state_machine_);
    write_u32(stream, stack_.byte_count);
    // Newest page first, each whole.
    for (uint32_t page = stack_.top_page; page != 0; page = pages().get_page(page).older_page) {
        write_bytes(stream, pages().get_page(page).data, stack_page_data_size);
    }
    for (uint32_t node = held_code_; node != 0; node = held_nodes().get_node(node).next) {
        write_u32(stream, held_nodes().get_node(node).code_object);
    }
    write_u32(stream, 0);
}

bool Task::load(storage::LoadStream& stream) {
    wait_object_ = nullptr;
    next_waiter_ = previous_waiter_ = this;
    wait_mask_ = 0;
    stack_ = {};
    held_code_ = 0;
    uint32_t byte_count = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, wake_event_) || !read_u32(stream, state_machine_) ||
        !read_u32(stream, byte_count)) {
        return false;
    }
    // Only a frame that restore_frame can take back is a task's state.
    if (byte_count < saved_frame_minimum_size || byte_count > saved_frame_maximum_size || byte_count % 4 != 0 ||
        !stream.can_read(get_page_count(byte_count) * stack_page_data_size)) {
        return false;
    }
    // The first page read is the top page: link each further page below the last.
    uint32_t last = 0;
    for (uint32_t index = 0; index < get_page_count(byte_count); ++index) {
        const uint32_t page = pages().take_page();
        read_bytes(stream, pages().get_page(page).data, stack_page_data_size);
        if (last == 0) {
            stack_.top_page = page;
        } else {
            pages().get_page(last).older_page = page;
        }
        last = page;
    }
    stack_.byte_count = byte_count;
    uint32_t last_node = 0;
    for (;;) {
        uint32_t handle = 0;
        if (!read_u32(stream, handle)) {
            return false;
        }
        if (handle == 0) {
            return true;
        }
        if (get_handle_server_type(handle) != server_type::code) {
            return false;
        }
        const uint32_t node = held_nodes().take_node(0, handle);
        if (last_node == 0) {
            held_code_ = node;
        } else {
            held_nodes().get_node(last_node).next = node;
        }
        last_node = node;
    }
}

}  // namespace zolt::core
