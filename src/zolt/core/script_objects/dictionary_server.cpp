#include "zolt/core/script_objects/dictionary_server.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

namespace zolt::core {

DictionaryServer dictionary_server;

namespace {
uint32_t get_size_class(uint32_t size) {
    return (size + 7) / 8;
}
}  // namespace

DictionaryServer::DictionaryServer() : PooledServer(server_type::dictionary) {
    std::fill(std::begin(size_class_heads_), std::end(size_class_heads_), no_block);
}

void DictionaryServer::unregister_server() {
    PooledServer::unregister_server();
    return_size_class_lists();
}

void* DictionaryServer::allocate_block(uint32_t size) {
    const uint32_t size_class = get_size_class(size);
    if (size_class >= 1 && size_class <= dictionary_size_class_count) {
        uint32_t& head = size_class_heads_[size_class - 1];
        if (head != no_block) {
            void* const block = pool_.get_block_at(head);
            std::memcpy(&head, block, sizeof head);
            return block;
        }
    }
    if (void* const block = pool_.allocate(size_class * 8)) {
        return block;
    }
    return_size_class_lists();
    if (void* const block = pool_.allocate(size_class * 8)) {
        return block;
    }
    compact();
    if (void* const block = pool_.allocate(size_class * 8)) {
        return block;
    }
    halt_due_out_of_memory(pool_);
}

void DictionaryServer::free_block(void* block, uint32_t size) {
    const uint32_t size_class = get_size_class(size);
    if (size_class < 1 || size_class > dictionary_size_class_count) {
        pool_.free(block, size);
        return;
    }
    uint32_t& head = size_class_heads_[size_class - 1];
    std::memcpy(block, &head, sizeof head);
    head = pool_.get_block_offset(block);
}

void DictionaryServer::return_size_class_lists() {
    for (uint32_t index = 0; index < dictionary_size_class_count; ++index) {
        uint32_t& head = size_class_heads_[index];
        while (head != no_block) {
            void* const block = pool_.get_block_at(head);
            std::memcpy(&head, block, sizeof head);
            pool_.free(block, (index + 1) * 8);
        }
    }
}

void DictionaryServer::compact() {
    uint32_t count = 0;
    const ObjectList& live = get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        Dictionary* const dictionary = static_cast<Dictionary*>(object);
        if (dictionary->block_ != nullptr) {
            compaction_list_[count++] = dictionary;
        }
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    std::sort(compaction_list_, compaction_list_ + count, [](const Dictionary* a, const Dictionary* b) {
        return std::less<const uint32_t*>()(a->block_, b->block_);
    });
    for (uint32_t index = 0; index < count; ++index) {
        Dictionary* const dictionary = compaction_list_[index];
        const uint32_t size = get_size_class(dictionary->get_block_size()) * 8;
        void* const moved = pool_.slide(dictionary->block_, size, dictionary->block_, size, 0);
        if (moved != nullptr) {
            dictionary->block_ = static_cast<uint32_t*>(moved);
        }
    }
}

}  // namespace zolt::core
