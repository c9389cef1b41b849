#include <algorithm>

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script/interpreter_state.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {

namespace {
uint32_t pop(ScriptContext& context) {
    return context.stack[--context.stack_index];
}

// Words a property of this id takes on the stack; 0 for a type the
// interpreter does not handle.
uint32_t get_property_word_count(uint32_t id) {
    if ((id & 0x70000000u) <= 0x10000000u) {
        return 1;
    }
    switch (get_property_value_type(id)) {
    case property_type::vector2:
        return 2;
    case property_type::vector3:
        return 3;
    case property_type::vector4:
    case property_type::quaternion:
    case property_type::vector4_other:
        return 4;
    default:
        return 0;
    }
}

// After a successful write: the write may have destroyed the running task.
StepResult finish_property_write(ScriptContext& context, const RunningTask& running, uint32_t id) {
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    context.registers[0] = id;
    if (!refresh_code(context)) {
        return StepResult::fault;
    }
    return is_other_event_due() ? StepResult::suspend : StepResult::next;
}

void give_child(ObjectHandle child_handle, ServerObject* owner) {
    if (ServerObject* const child = get_object(child_handle)) {
        ServerObject::change_owner(child, owner);
    }
}

void append_literal(String& target, const uint8_t* literal, uint32_t length) {
    // The literal lies in the code with no promise of alignment for char16_t.
    char16_t units[128];
    while (length > 0) {
        const uint32_t chunk = std::min<uint32_t>(length, 128);
        std::memcpy(units, literal, chunk * sizeof(char16_t));
        target.append_utf16(units, chunk);
        literal += chunk * sizeof(char16_t);
        length -= chunk;
    }
}
}  // namespace

StepResult element_opcode(ScriptContext& context, Opcode opcode) {
    ServerObject* const object = get_object(context.registers[0]);
    uint32_t result = 0;
    const uint32_t index = pop(context);
    switch (opcode) {
    case Opcode::get_element:
        result = object != nullptr ? object->get_element(index) : 0;
        break;
    case Opcode::set_element:
    case Opcode::set_child_element:
    case Opcode::insert_element: {
        const uint32_t value = pop(context);
        if (object == nullptr) {
            break;
        }
        if (opcode == Opcode::insert_element) {
            result = object->insert_element(index, value);
            break;
        }
        if (opcode == Opcode::set_child_element) {
            give_child(value, object);
        }
        result = object->set_element(index, value);
        break;
    }
    case Opcode::remove_element:
        result = object != nullptr ? object->remove_element(index) : 0;
        break;
    default:
        result = object != nullptr ? object->append_element(index) : 0;
        break;
    }
    context.registers[0] = result;
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

StepResult string_opcode(ScriptContext& context, const RunningTask& running, Opcode opcode, const uint8_t* literal,
                         uint32_t literal_length) {
    String* const target = get_string_object(context.registers[0]);
    switch (opcode) {
    case Opcode::clear_string:
        if (target != nullptr) {
            target->clear();
        }
        break;
    case Opcode::append_text:
        if (target != nullptr) {
            append_literal(*target, literal, literal_length);
        }
        break;
    case Opcode::append_unit: {
        const uint32_t unit = pop(context);
        if (target != nullptr) {
            const char16_t code_unit = static_cast<char16_t>(unit);
            target->append_utf16(&code_unit, 1);
        }
        break;
    }
    case Opcode::append_string:
    case Opcode::append_string_and_destroy: {
        String* const source = get_string_object(pop(context));
        if (target == nullptr || source == nullptr) {
            break;
        }
        target->append_string(*source);
        if (opcode == Opcode::append_string_and_destroy) {
            destroy_object(source);
            if (running.task->get_handle() != running.handle) {
                return StepResult::destroyed;
            }
        }
        break;
    }
    case Opcode::append_substring: {
        String* const source = get_string_object(pop(context));
        const int32_t start = static_cast<int32_t>(pop(context));
        const int32_t count = static_cast<int32_t>(pop(context));
        if (target != nullptr && source != nullptr) {
            target->append_substring(*source, count, start);
        }
        break;
    }
    default: {
        const uint32_t value = pop(context);
        const uint32_t format = pop(context);
        if (target == nullptr) {
            break;
        }
        const bool group = (format & 0x80) != 0;
        if (opcode == Opcode::append_unsigned) {
            target->append_unsigned(value, (format & 0x40) != 0 ? format & 0x3F : 0, group);
        } else if (opcode == Opcode::append_signed) {
            target->append_signed(static_cast<int32_t>(value), group);
        } else {
            target->append_float(word_to_float(value), format & 0x3F, group);
        }
        break;
    }
    }
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

StepResult property_opcode(ScriptContext& context, const RunningTask& running, Opcode opcode) {
    uint32_t* const registers = context.registers;
    const uint32_t id = registers[2];
    ServerObject* const object = get_object(registers[0]);
    registers[0] = 0;
    switch (opcode) {
    case Opcode::get_property: {
        const uint32_t word_count = get_property_word_count(id);
        Property property;
        if (object == nullptr || word_count == 0 || !object->get_property(id, property)) {
            break;
        }
        for (uint32_t component = 0; component < word_count; ++component) {
            registers[2 * component] = property.value[component];
        }
        break;
    }
    case Opcode::get_property_type:
        registers[0] = object != nullptr ? get_property_type(object, id) : 0;
        break;
    case Opcode::set_property_component: {
        const uint32_t value = pop(context);
        const uint32_t component = registers[4];
        if (object == nullptr || component >= get_property_component_count(id) || component >= 4) {
            break;
        }
        Property property;
        if (!object->get_property(id, property)) {
            property = Property{};
        }
        property.id = id;
        property.value[component] = value;
        if (object->set_property(id, property)) {
            return finish_property_write(context, running, id);
        }
        break;
    }
    case Opcode::set_property: {
        const uint32_t word_count = get_property_word_count(id);
        if (context.stack_index < word_count) {
            return StepResult::fault;
        }
        if (word_count == 0) {
            break;
        }
        Property property;
        property.id = id;
        for (uint32_t component = 0; component < word_count; ++component) {
            property.value[component] = pop(context);
        }
        if (object != nullptr && object->set_property(id, property)) {
            return finish_property_write(context, running, id);
        }
        break;
    }
    case Opcode::set_link_property: {
        const ObjectHandle handle = pop(context);
        if (object == nullptr || get_property_value_type(id) != property_type::object_link) {
            break;
        }
        give_child(handle, object);
        if (running.task->get_handle() != running.handle) {
            return StepResult::destroyed;
        }
        Property property;
        property.set_u32(id, handle);
        if (object->set_property(id, property)) {
            return finish_property_write(context, running, id);
        }
        break;
    }
    default:
        if (object != nullptr && object->remove_property(id)) {
            return finish_property_write(context, running, id);
        }
        break;
    }
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

}  // namespace zolt::core
