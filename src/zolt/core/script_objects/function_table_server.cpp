#include "zolt/core/script_objects/function_table_server.h"

#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"

namespace zolt::core {

FunctionTableServer function_table_server;

ServerObject* FunctionTableServer::create_object_internal(uint32_t resource_id) {
    const ResourceInfo& info = resource_server.get_loader().get_resource_info(resource_id);
    FunctionTable* table = nullptr;
    if (info.has_state(resource_state::open) && info.data.object != nullptr) {
        table = get_typed_object(info.data.object->get_context_handle());
    }
    if (table == nullptr) {
        table = static_cast<FunctionTable*>(ServerBase::create_object_internal(resource_id));
        ServerObject::make_self_owned(table);
    }
    table->add_reference();
    return table;
}

void FunctionTableServer::destroy_object_internal(ServerObject* object) {
    auto* const table = static_cast<FunctionTable*>(object);
    if (table->get_reference_count() <= 1) {
        ServerBase::destroy_object_internal(table);
        return;
    }
    table->release_reference();
}

void FunctionTableServer::destroy_all_objects() {
    while (ServerObject* const last = get_live_list().get_tail()) {
        ServerBase::destroy_object_internal(last);
    }
    free_all_dead_objects();
}

float evaluate_function_table(ObjectHandle table, float x) {
    const FunctionTable* const object = get_handle_server_type(table) == server_type::function_table
                                            ? function_table_server.get_typed_object(table)
                                            : nullptr;
    return object != nullptr ? object->evaluate(x) : 0.0f;
}

}  // namespace zolt::core
