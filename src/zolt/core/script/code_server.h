#pragma once
// The server of code objects (type 4, 100 of them). It keeps them in 16
// chains by the chain index of their identity, each in the order loaded, with
// per chain the selected object that answers a lookup of key 0. A lookup
// that finds nothing loaded creates the code object from the resource packs,
// taking the current language's variant of the resource first. A code object
// that call frames still use is not destroyed; release_unused_code_objects
// drops the rest but the selected ones. The code CRC, over every loaded code
// resource, goes into every save file. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script/code_object.h"
#include "zolt/core/script/code_resource_format.h"

namespace zolt::core {

constexpr uint32_t code_object_capacity = 100;

class CodeServer final : public PooledServer<CodeObject, code_object_capacity> {
public:
    CodeServer();

    const char* get_name() const override { return "CodeServer"; }
    // The framework's record, then the selected object of each chain (0 for none).
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // Refused while call frames hold the object: it only leaves its owner.
    void destroy_object_internal(ServerObject* object) override;
    // Every object goes, whatever holds it.
    void destroy_all_objects() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    // Key 0 answers the chain's selected object; then the first object of
    // the chain with the key; then a new object for the resource of the
    // chain and key (key 0 as 1) in the current language, else language 0,
    // else 1. Null when no pack holds it or the chain index is above 15.
    CodeObject* find_code_object(uint32_t key, uint32_t chain_index);
    // The first two steps only: never loads, so never moves code.
    CodeObject* find_loaded_code_object(uint32_t key, uint32_t chain_index) const;
    // The handle of find_code_object's object, or 0.
    ObjectHandle get_code_object_handle(uint32_t chain_index, uint32_t key);
    // CRC-32 over every loaded code resource, chain 0 first, each chain in
    // order; kept as the code CRC.
    uint32_t compute_code_crc();
    uint32_t get_code_crc() const { return code_crc_; }
    // Destroys every object that no call frame holds and no chain selects.
    void release_unused_code_objects();

    CodeObject* get_chain_head(uint32_t chain_index) const { return chain_heads_[chain_index]; }
    CodeObject* get_selected_object(uint32_t chain_index) const { return selected_objects_[chain_index]; }
    void set_selected_object(uint32_t chain_index, CodeObject* object) { selected_objects_[chain_index] = object; }

private:
    friend class CodeObject;

    // At the tail of the chain of its chain index.
    void link_object(CodeObject* object);
    void unlink_object(CodeObject* object);
    CodeObject* find_object_holding(ObjectHandle resource_handle);

    CodeObject* chain_heads_[code_chain_count] = {};
    CodeObject* selected_objects_[code_chain_count] = {};
    uint32_t code_crc_ = 0;
};

extern CodeServer code_server;

// The live code object the handle names; null for any other handle.
CodeObject* get_code_object(ObjectHandle handle);

}  // namespace zolt::core
