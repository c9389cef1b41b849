#include "zolt/core/script_objects/string_server.h"

#include <algorithm>
#include <functional>

namespace zolt::core {

StringServer string_server;

char16_t* StringServer::allocate_text(uint32_t length) {
    char16_t* const text = try_allocate_text(length);
    if (text == nullptr) {
        halt_due_out_of_memory(pool_);
    }
    return text;
}

char16_t* StringServer::try_allocate_text(uint32_t length) {
    const uint32_t size = length * static_cast<uint32_t>(sizeof(char16_t));
    if (void* const block = pool_.allocate(size)) {
        return static_cast<char16_t*>(block);
    }
    compact();
    return static_cast<char16_t*>(pool_.allocate(size));
}

void StringServer::free_text(char16_t* text, uint32_t length) {
    pool_.free(text, length * static_cast<uint32_t>(sizeof(char16_t)));
}

void StringServer::compact() {
    uint32_t count = 0;
    const ObjectList& live = get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        String* const string = static_cast<String*>(object);
        if (string->text_ != nullptr) {
            compaction_list_[count++] = string;
        }
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    std::sort(compaction_list_, compaction_list_ + count,
              [](const String* a, const String* b) { return std::less<const char16_t*>()(a->text_, b->text_); });
    for (uint32_t index = 0; index < count; ++index) {
        String* const string = compaction_list_[index];
        const uint32_t size = string->length_ * static_cast<uint32_t>(sizeof(char16_t));
        void* const moved = pool_.slide(string->text_, size, string->text_, size, 0);
        if (moved != nullptr) {
            string->text_ = static_cast<char16_t*>(moved);
        }
    }
}

String* get_string_object(ObjectHandle handle) {
    ServerObject* const object = resolve_handle(handle);
    return object != nullptr && get_handle_server_type(object->get_handle()) == server_type::string
               ? static_cast<String*>(object)
               : nullptr;
}

}  // namespace zolt::core
